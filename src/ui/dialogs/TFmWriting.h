#pragma once

#include <QDialog>
#include <QTimer>

class BusyIndicator;
class QLabel;
class QProgressBar;
class QPushButton;

// "Write Recipe": the progress of a recipe write, one bar step per posted write. Modeless and
// on top. `Timer1` looks once a second whether the bar is full and the write has its outcome
// (every value read back: "Complete!") and then shows it with the OK button; closing, by OK or the
// close box, only hides the dialog, stops the timer and empties the bar. The write itself goes on
// without it.
class TFmWriting : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TimerIntervalMs = 1000;

    explicit TFmWriting(QWidget* parent = nullptr);

    // Shows the dialog in its writing state for a write of `maximum` posts: title, an empty
    // bar, OK hidden, the busy indicator running. Also when it is still open from the last
    // write, so an old full bar can never read as this write being done.
    void beginWrite(const QString& title, int maximum);
    void setBarPosition(int position);
    // The title the write ends with, once the page knows it.
    void setOutcome(const QString& title) { m_outcome = title; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startWriting();
    void Timer1Timer();
    void BtnOKClick();

    QLabel* m_title = nullptr;          // LbTitle
    BusyIndicator* m_working = nullptr; // AniWorking
    QProgressBar* m_bar = nullptr;
    QPushButton* m_ok = nullptr;
    QTimer m_timer1;
    QString m_outcome; // empty until the write has one
};
