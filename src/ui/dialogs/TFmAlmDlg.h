#pragma once

#include <QDialog>

class QLabel;
class QListWidget;

// "Alarm Message": pops up in front of the operator with every alarm not yet acknowledged.
// Modeless, so polling and the main window go on while it is up. Hiding it, by OK or by the
// window frame, forgets its lines; the history on the Alarm page keeps them.
class TFmAlmDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TFmAlmDlg(QWidget* parent = nullptr);

    // Appends "Message<n>, <line>" with n the line's 1-based position, updates the count and
    // shows the dialog (it stays where it is when it is already up).
    void addAlarm(const QString& line);
    QListWidget* LstAlarm() const { return m_list; }
    QLabel* STxtAlmCount() const { return m_count; }

    void BtnOKClick();

signals:
    // The operator acknowledged these lines (OK, or the window frame's close), before they go.
    void acknowledged(const QStringList& lines, const QString& how);

protected:
    void hideEvent(QHideEvent* event) override;   // FormHide
    void closeEvent(QCloseEvent* event) override; // FormClose

private:
    void forgetLines();
    QStringList shownLines() const;

    QLabel* m_count = nullptr;
    QListWidget* m_list = nullptr;
};
