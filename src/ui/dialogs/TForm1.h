#pragma once

#include <QDialog>
#include <QPixmap>

class DialogService;

// The about box: name, version, the maker's logo (drawn here) and two web links.
class TForm1 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm1(DialogService& dialogs, QWidget* parent = nullptr);

    // The maker's logo, 105 x 41.
    static QPixmap logo();

private:
    // A click on either link label opens the address it shows.
    bool eventFilter(QObject* watched, QEvent* event) override;

    DialogService& m_dialogs;
};
