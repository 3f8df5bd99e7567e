// The operator lock's three dialogs, the company name dialog and the about box on their own:
// what each accepts, what it says, and what it leaves in the settings file.
#include "RecordingDialogs.h"
#include "core/QuillmereError.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/dialogs/TFmTitle.h"
#include "ui/dialogs/TFmshowpawd.h"
#include "ui/dialogs/TForm1.h"
#include "ui/dialogs/Tfmpaset.h"
#include "ui/dialogs/Tfmpassread.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <functional>
#include <memory>

using Icon = DialogService::Icon;

namespace {

const QString Box = QStringLiteral("System Message|");

// Takes each box as the moment to look at the settings file and the dialog.
class PeekingDialogs final : public DialogService
{
    using S = const QString&;

public:
    std::function<void(const QString&, Icon)> onMessage;
    void message(QWidget*, S, S text, Icon icon) override { onMessage(text, icon); }
    bool confirm(QWidget*, S, S) override { return true; }
    QString openFileName(QWidget*, S, S, S) override { return {}; }
    QString saveFileName(QWidget*, S, S, S) override { return {}; }
    QString folderName(QWidget*, S, S) override { return {}; }
    bool choosePrinter(QWidget*, QPrinter*) override { return false; }
    void openUrl(const QUrl&) override {}
};

} // namespace

class TstLockTitle : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<store::RegistryFile> m_file;
    RecordingDialogs m_dialogs;
    std::unique_ptr<QWidget> m_owner; // every dialog goes with it
    Windows m_w;

    static QLineEdit* edit(QObject* window, const char* name)
    {
        return window->findChild<QLineEdit*>(QLatin1String(name));
    }
    static void click(QObject* window, const char* name)
    {
        window->findChild<QPushButton*>(QLatin1String(name))->click();
    }

    // A value of FmHome as the file on disk holds it, read through a file and handle of its own.
    QString stored(const QString& name) const
    {
        store::RegistryFile file(m_file->path());
        SettingsStore home(file);
        home.setRoot(SettingsStore::Root::LocalMachine);
        home.openKey(store::programKey(QStringLiteral("FmHome")));
        return home.readString(name);
    }
    void changePassword(Tfmpaset* dialog, const QString& current, const QString& next,
                        const QString& confirmation)
    {
        dialog->show();
        edit(dialog, "oldEdit")->setText(current);
        edit(dialog, "newEdit")->setText(next);
        edit(dialog, "aginNewEdit")->setText(confirmation);
        click(dialog, "Button1");
    }
    static QStringList pasetTexts(Tfmpaset* dialog)
    {
        return {edit(dialog, "oldEdit")->text(), edit(dialog, "newEdit")->text(),
                edit(dialog, "aginNewEdit")->text()};
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        const QString path = m_home->filePath(QStringLiteral("settings.reg"));
        QVERIFY(store::seedDefaultSettings(path, m_home->path()));
        m_file = std::make_unique<store::RegistryFile>(path);
        m_dialogs = RecordingDialogs();
        m_owner = std::make_unique<QWidget>();
        m_w.Fmshowpawd = new TFmshowpawd(m_dialogs, m_owner.get());
        m_w.fmpassread = new Tfmpassread(m_dialogs, *m_file, m_owner.get());
        m_w.fmpaset = new Tfmpaset(m_dialogs, *m_file, m_owner.get());
        m_w.FmTitle = new TFmTitle(m_dialogs, *m_file, m_owner.get());
        m_w.Form1 = new TForm1(m_dialogs, m_owner.get());
        m_w.Fmshowpawd->attachWindows(m_w);
    }
    void cleanup() { m_owner.reset(); }

    void textsOnScreen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control"); // empty: the window's caption
        QTest::addColumn<QString>("text");
        for (const auto& [w, c, t] : std::initializer_list<std::array<const char*, 3>>{
                 {"Fmshowpawd", "", "Password Set"},
                 {"Fmshowpawd", "Label1", "The original password 40718"},
                 {"Fmshowpawd", "RadioGroup1Item0", "Lock password"},
                 {"Fmshowpawd", "RadioGroup1Item1", "Lifting of password"},
                 {"Fmshowpawd", "RadioGroup1Item2", "Change password"},
                 {"fmpassread", "", "Please enter your password"},
                 {"fmpaset", "", "Change password"},
                 {"fmpaset", "Label1", "Enter your Current Password"},
                 {"fmpaset", "Label2", "Choose a New Password"},
                 {"fmpaset", "Label3", "Confirm your New Password"},
                 {"FmTitle", "", "Company name"},
                 {"FmTitle", "Label1", "Please enter your company name"},
                 {"FmTitle", "Edit1", " "},
                 {"Form1", "", "Quillmere 9.22"},
                 {"Form1", "RzLabel2", "Quillmere 9.22"},
                 {"Form1", "RzLabel3", "Version 9.22"}}) {
            QTest::addRow("%s %s", w, c) << w << c << t;
        }
    }
    void textsOnScreen()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, text);
        auto* dialog = m_owner->findChild<QDialog*>(window);
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        const QWidget* shown = control.isEmpty() ? dialog : dialog->findChild<QWidget*>(control);
        QCOMPARE(shown->property(control.isEmpty() ? "windowTitle" : "text").toString(), text);
    }

    void passwordsShowAsStars()
    {
        for (QLineEdit* e : {edit(m_w.fmpassread, "Edit1"), edit(m_w.fmpaset, "oldEdit"),
                             edit(m_w.fmpaset, "newEdit"), edit(m_w.fmpaset, "aginNewEdit")}) {
            QCOMPARE(e->echoMode(), QLineEdit::Password);
            QCOMPARE(e->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, e),
                     int('*'));
        }
    }

    void passwordAcceptance_data()
    {
        QTest::addColumn<QStringList>("passwords"); // set one after the other beforehand
        QTest::addColumn<QString>("entered");
        QTest::addColumn<bool>("enterAccepts");  // by the enter-password dialog
        QTest::addColumn<bool>("changeAccepts"); // as current password by the change dialog
        const QStringList none, set{"Heat 7"}, reset{"Heat 7", ""};
        QTest::newRow("none set: default") << none << "40718" << true << true;
        QTest::newRow("none set: empty") << none << "" << true << true;
        QTest::newRow("none set: other") << none << "40719" << false << false;
        QTest::newRow("none set: 2864") << none << "2864" << false << false;
        QTest::newRow("none set: 7391") << none << "7391" << false << false;
        QTest::newRow("set: default") << set << "40718" << false << false;
        QTest::newRow("set: empty") << set << "" << false << false;
        QTest::newRow("set: the password") << set << "Heat 7" << true << true;
        QTest::newRow("set: other case") << set << "heat 7" << false << false;
        QTest::newRow("set: 2864") << set << "2864" << true << false;
        QTest::newRow("set: 7391") << set << "7391" << false << true;
        QTest::newRow("reset: default") << reset << "40718" << true << true;
        QTest::newRow("reset: empty") << reset << "" << true << true;
        QTest::newRow("reset: old password") << reset << "Heat 7" << false << false;
    }
    void passwordAcceptance()
    {
        QFETCH(QStringList, passwords);
        QFETCH(QString, entered);
        QFETCH(bool, enterAccepts);
        QFETCH(bool, changeAccepts);
        QString current = QStringLiteral("40718");
        for (const QString& next : passwords) {
            changePassword(m_w.fmpaset, current, next, next);
            QCOMPARE(stored("password"), next);
            current = next.isEmpty() ? QStringLiteral("40718") : next;
        }
        m_dialogs = RecordingDialogs();
        const bool set = !passwords.isEmpty() && !passwords.last().isEmpty();
        const QString before = stored("password");

        QSignalSpy unlocked(m_w.fmpassread, &Tfmpassread::unlockRequested);
        m_w.fmpassread->show();
        edit(m_w.fmpassread, "Edit1")->setText(entered);
        click(m_w.fmpassread, "Button1");
        QCOMPARE(unlocked.count(), enterAccepts ? 1 : 0);
        QCOMPARE(m_dialogs.messages.value(0),
                 Box + (enterAccepts ? "Password has been lifted"
                                     : "Password input error, please re-enter"));
        QCOMPARE(m_dialogs.icons.value(0), enterAccepts ? Icon::NoIcon : Icon::Warning);
        QCOMPARE(edit(m_w.fmpassread, "Edit1")->text(), QString());
        QCOMPARE(m_w.fmpassread->isVisible(), !enterAccepts);
        QCOMPARE(stored("fmpassword"), set ? "2864" : "40718");
        QCOMPARE(stored("password"), before);

        changePassword(m_w.fmpaset, entered, "Next", "Next");
        QCOMPARE(m_dialogs.messages.value(1),
                 Box + (changeAccepts ? "Password amend success"
                                      : "The password you entered is not valid"));
        QCOMPARE(m_dialogs.icons.value(1), Icon::Warning);
        const QString kept = changeAccepts ? "" : "Next";
        QCOMPARE(pasetTexts(m_w.fmpaset), QStringList({"", kept, kept}));
        QCOMPARE(m_w.fmpaset->isVisible(), !changeAccepts);
        QCOMPARE(stored("ifpassword"), set ? "7391" : "40718");
        QCOMPARE(stored("password"), changeAccepts ? "Next" : before);
    }

    // A slip in the confirmation keeps all three texts; the password is stored only once the
    // success box has been acknowledged, with the dialog already closed.
    void newPasswordNeedsConfirmingAndAcknowledging()
    {
        PeekingDialogs peeking;
        auto* paset = new Tfmpaset(peeking, *m_file, m_owner.get());
        QStringList seen;
        peeking.onMessage = [&](const QString& text, Icon icon) {
            seen << QStringLiteral("%1%2, stored '%3', %4")
                        .arg(text, icon == Icon::Warning ? "!" : "", stored("password"),
                             paset->isVisible() ? "open" : "closed");
        };
        changePassword(paset, "40718", "Heat 7", "Heat 8");
        QCOMPARE(pasetTexts(paset), QStringList({"40718", "Heat 7", "Heat 8"}));
        edit(paset, "aginNewEdit")->setText("Heat 7");
        click(paset, "Button1");
        QCOMPARE(seen, QStringList({"The password you entered is not valid!, stored '', open",
                                    "Password amend success!, stored '', closed"}));
        QCOMPARE(stored("password"), "Heat 7");
        QCOMPARE(pasetTexts(paset), QStringList({"", "", ""}));
    }

    void passwordSetChoice_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("presses");
        QTest::addColumn<int>("locks");
        QTest::addColumn<QString>("shown"); // the one window open afterwards
        QTest::newRow("nothing chosen") << -1 << 1 << 0 << "Fmshowpawd";
        QTest::newRow("lock") << 0 << 1 << 1 << "";
        QTest::newRow("lock while locked") << 0 << 2 << 2 << "";
        QTest::newRow("lift") << 1 << 1 << 0 << "fmpassread";
        QTest::newRow("change") << 2 << 1 << 0 << "fmpaset";
    }
    void passwordSetChoice()
    {
        QFETCH(int, item);
        QFETCH(int, presses);
        QFETCH(int, locks);
        QFETCH(QString, shown);
        QCOMPARE(m_w.Fmshowpawd->radioGroup1Index(), -1);
        QSignalSpy locked(m_w.Fmshowpawd, &TFmshowpawd::lockRequested);
        m_w.Fmshowpawd->setRadioGroup1Index(item);
        for (int i = 0; i < presses; ++i) {
            m_w.Fmshowpawd->show();
            click(m_w.Fmshowpawd, "Button1");
        }
        QCOMPARE(locked.count(), locks);
        QCOMPARE(m_dialogs.messages, QStringList(locks, Box + "Password has been locked"));
        QCOMPARE(m_dialogs.icons, QList<Icon>(locks, Icon::Warning));
        for (QWidget* w :
             std::initializer_list<QWidget*>{m_w.Fmshowpawd, m_w.fmpassread, m_w.fmpaset}) {
            QCOMPARE(w->isVisible(), w->objectName() == shown);
        }
    }

    void missingHomeKeyStopsTheOk_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("error");
        QTest::newRow("enter") << "fmpassread"
                               << "'fmpassword'";
        QTest::newRow("change") << "fmpaset"
                                << "'ifpassword'";
        QTest::newRow("title") << "FmTitle"
                               << "'HmTitle'";
    }
    void missingHomeKeyStopsTheOk()
    {
        QFETCH(QString, window);
        QFETCH(QString, error);
        const QByteArray before = "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE CONTROL\\FmRecord]\r\n"
                                  "\"RecordEnabled\"=dword:00000000\r\n";
        QFile file(m_file->path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(before) > 0);
        file.close();

        QSignalSpy unlocked(m_w.fmpassread, &Tfmpassread::unlockRequested);
        QSignalSpy retitled(m_w.FmTitle, &TFmTitle::titleChanged);
        auto* dialog = m_owner->findChild<QDialog*>(window);
        dialog->show();
        for (QLineEdit* e : dialog->findChildren<QLineEdit*>()) {
            e->setText(QStringLiteral("40718"));
        }
        QString raised;
        try { // as the general error handler would see it
            click(dialog, dialog == m_w.FmTitle ? "RzButton1" : "Button1");
        } catch (const QuillmereError& e) {
            raised = e.message();
        }
        QCOMPARE(raised, "Failed to set data for " + error);
        QCOMPARE(m_dialogs.messages, QStringList());
        QCOMPARE(unlocked.count(), 0);
        QCOMPARE(retitled.count(), dialog == m_w.FmTitle ? 1 : 0); // the title line goes first
        QVERIFY(dialog->isVisible());
        for (QLineEdit* e : dialog->findChildren<QLineEdit*>()) {
            QCOMPARE(e->text(), "40718");
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void titleDialog_data()
    {
        QTest::addColumn<QString>("typed"); // null: the edit left as it opened
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("title");
        QTest::newRow("untouched") << QString() << false << " ";
        QTest::newRow("a name") << "Acme Heat Treating" << false << "Acme Heat Treating";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("quotes, backslashes") << R"(A "B" \ C\)" << false << R"(A "B" \ C\)";
        QTest::newRow("Chinese") << "溫控科技" << false << "溫控科技";
        QTest::newRow("cancel") << "New name" << true << QString();
    }
    void titleDialog()
    {
        QFETCH(QString, typed);
        QFETCH(bool, cancel);
        QFETCH(QString, title);
        const QStringList before{stored("HmTitle"), stored("IDA_1")};
        QSignalSpy retitled(m_w.FmTitle, &TFmTitle::titleChanged);
        m_w.FmTitle->show();
        if (!typed.isNull()) {
            edit(m_w.FmTitle, "Edit1")->setText(typed);
        }
        click(m_w.FmTitle, cancel ? "RzButton2" : "RzButton1");
        QCOMPARE(QList<QVariantList>(retitled),
                 cancel ? QList<QVariantList>() : QList<QVariantList>{{title}});
        QCOMPARE(QStringList({stored("HmTitle"), stored("IDA_1")}),
                 QStringList({cancel ? before[0] : title, before[1]}));
        QVERIFY(!m_w.FmTitle->isVisible());
        m_w.FmTitle->show(); // opens with what was typed last, not with the title
        QCOMPARE(edit(m_w.FmTitle, "Edit1")->text(), typed.isNull() ? " " : typed);
    }

    void linksOpenTheirAddress()
    {
        m_w.Form1->show();
        for (const auto& [name, address] :
             {std::pair{"RzURLLabel2", "https://www.quillmere.example/"},
              {"RzURLLabel1", "https://support.quillmere.example/"}}) {
            auto* link = m_w.Form1->findChild<QLabel*>(name);
            QCOMPARE(link->text(), address);
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            m_dialogs.openedUrls.clear();
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(m_dialogs.openedUrls, {QUrl(address)});
        }
    }

    void aboutBoxShowsTheDrawnLogo()
    {
        QCOMPARE(m_w.Form1->size(), QSize(368, 255));
        const QImage logo = TForm1::logo().toImage();
        QCOMPARE(logo.size(), QSize(105, 41));
        QCOMPARE(m_w.Form1->findChild<QLabel*>("Image1")->pixmap().toImage(), logo);
        QSet<QRgb> colours;
        for (int i = 0; i < logo.width() * logo.height(); ++i) {
            colours.insert(logo.pixel(i % logo.width(), i / logo.width()));
        }
        QVERIFY2(colours.size() > 20, "the logo is nearly blank");
    }
};

QTEST_MAIN(TstLockTitle)
#include "tst_lock_title.moc"
