// Recording in the running program: the record dialog's OK and closing, the "Record...." entry,
// Start, the store at close, a restart, the folder chooser and the status line.
#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "alarms/AlarmDatabases.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "record/DataRecorder.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/dialogs/TFmBrowse.h"
#include "ui/dialogs/TFmRecord.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TFmHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

RecordingDialogs* g_dialogs = nullptr;

struct Run
{
    QTemporaryDir dir;
    FakeLine::Log log;
    std::unique_ptr<Program> program;

    Run()
    {
        qputenv("QUILLMERE_HOME", dir.path().toLocal8Bit());
        store::seedDefaultSettings(dir.path() + "/settings.reg", dir.path());
        alarms::seedDefaultDatabases(dir.path());
        start();
    }
    void start()
    {
        g_dialogs->messages.clear();
        const StartOptions options = portlessStart(&log);
        program = std::make_unique<Program>(*g_dialogs, options);
        QVERIFY(program->start());
    }
    TFmHome* home() const { return program->windows().FmHome; }
    TFmRecord* dialog() const { return program->windows().FmRecord; }
    template <class T> T* find(const char* name) const
    {
        return dialog()->findChild<T*>(QLatin1String(name));
    }
    QTimer* timer() const { return home()->findChild<QTimer*>("TmrRecord"); }
    const record::RecordSettings& settings() const { return home()->recorder().settings(); }
    int stored(const char* name) const
    {
        store::RegistryFile file(dir.path() + "/settings.reg");
        SettingsStore s(file);
        s.openKey(store::programKey(QStringLiteral("FmRecord")));
        return s.readInteger(QLatin1String(name));
    }
};

} // namespace

class TestRecordUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void okTakesOverInOrder_data();
    void okTakesOverInOrder();
    void recordEntryAndStartSwitchTheTimer();
    void storeKeepsTheConfirmedSampleTimeForATextThatIsNoNumber();
    void settingsSurviveARestart();
    void failureShowsInTheStatusLineUntilAWriteSucceeds();
    void rowsWaitingAtCloseAreWrittenAfterTheRestart();
};

void TestRecordUi::okTakesOverInOrder_data()
{
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("unit"); // the text in CboSampleUnit
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("error");

    QTest::newRow("3 Minute") << "3"
                              << "Minute" << 180000 << true << QString();
    QTest::newRow("10 Sec") << "10"
                            << "Sec" << 10000 << true << QString();
    QTest::newRow("typed unit counts as Minute") << "2"
                                                 << "sec " << 120000 << true << QString();
    QTest::newRow("0 never fires") << "0"
                                   << "Sec" << 0 << false << QString();
    QTest::newRow("ab stops after Save")
        << "ab"
        << "Minute" << 5000 << false << "'ab' is not a valid integer value";
}

void TestRecordUi::okTakesOverInOrder()
{
    QFETCH(QString, time);
    QFETCH(QString, unit);
    QFETCH(int, interval);
    QFETCH(bool, active);
    QFETCH(QString, error);
    Run r;
    r.home()->findChild<QPushButton*>("BitBtn1")->click();
    QVERIFY(r.dialog()->isVisible());
    r.home()->recorder().setSampleInterval(5000); // as before any OK
    r.find<QCheckBox>("ChkSave")->click();
    QVERIFY(r.find<QLineEdit>("TxtSampleTime")->isEnabled());
    r.find<QLineEdit>("TxtSampleTime")->setText(time);
    r.find<QComboBox>("CboSampleUnit")->setEditText(unit);
    r.find<QComboBox>("CboSaveUnit")->setCurrentIndex(1);
    r.find<QLineEdit>("TxtFilePath")->setText("/elsewhere");
    QTest::mouseClick(r.find<QPushButton>("BtnOK"), Qt::LeftButton);

    QCOMPARE(g_dialogs->messages,
             error.isEmpty() ? QStringList() : QStringList{qApp->applicationName() + '|' + error});
    QVERIFY(r.settings().RecordEnabled);
    QCOMPARE(r.settings().RecordSaveUnit, error.isEmpty() ? 1 : 0);
    QCOMPARE(r.settings().RecordFolder == "/elsewhere", error.isEmpty());
    QCOMPARE(r.dialog()->isVisible(), !error.isEmpty());
    QCOMPARE(r.timer()->interval(), interval);
    QCOMPARE(r.timer()->isActive(), active);
}

void TestRecordUi::recordEntryAndStartSwitchTheTimer()
{
    Run r;
    r.dialog()->findChild<QCheckBox*>("ChkSave")->setChecked(true);
    r.dialog()->BtnOKClick();
    QVERIFY(r.timer()->isActive()); // closing the dialog switches it, even before Start
    r.home()->close();
    r.start();
    QVERIFY(r.settings().RecordEnabled);
    QVERIFY(!r.timer()->isActive()); // never before Start
    r.home()->BtnStartClick();
    QVERIFY(r.timer()->isActive());
    r.home()->findChild<QPushButton*>("BitBtn1")->click();
    QVERIFY(!r.timer()->isActive());
    r.find<QCheckBox>("ChkSave")->click();
    QVERIFY(!r.find<QPushButton>("BtnBrowse")->isEnabled());
    r.find<QPushButton>("BtnCancel")->click(); // RecordEnabled still set
    QVERIFY(r.timer()->isActive());
    r.home()->close();
    QVERIFY(!r.timer()->isActive());
}

void TestRecordUi::storeKeepsTheConfirmedSampleTimeForATextThatIsNoNumber()
{
    Run r;
    r.home()->BtnStartClick();
    r.home()->BitBtn1Click();
    QVERIFY(QTest::qWaitForWindowExposed(r.dialog()));
    r.find<QCheckBox>("ChkSave")->setChecked(true);
    r.find<QLineEdit>("TxtSampleTime")->setText("ab");
    r.find<QComboBox>("CboFileType")->setCurrentIndex(1);
    // Back from minimised, the dialog keeps what was typed.
    r.dialog()->showMinimized();
    QTRY_VERIFY(r.dialog()->isMinimized());
    r.dialog()->showNormal();
    QTRY_VERIFY(!r.dialog()->isMinimized());
    QCOMPARE(r.find<QLineEdit>("TxtSampleTime")->text(), QStringLiteral("ab"));
    r.find<QPushButton>("BtnCancel")->click();
    // The close goes through; the next start could not read "ab", so the 10 in force is kept.
    QVERIFY(r.home()->close());
    QVERIFY(g_dialogs->messages.isEmpty());
    QCOMPARE(r.stored("ChkSave"), 1);
    QCOMPARE(r.stored("TxtSampleTime"), 10);
    QCOMPARE(r.stored("CboFileType"), 1);
    r.start();
    QCOMPARE(r.settings().RecordSampleTime, 10);
    QCOMPARE(r.settings().RecordFileType, 1);
}

void TestRecordUi::settingsSurviveARestart()
{
    Run r;
    QCOMPARE(r.find<QLineEdit>("TxtFilePath")->text(), r.dir.path() + "/Quillmere Data");
    // The folder chooser's OK fills the path.
    r.find<QCheckBox>("ChkSave")->click();
    r.find<QPushButton>("BtnBrowse")->click();
    TFmBrowse* browse = r.program->windows().FmBrowse;
    QVERIFY(browse->isVisible());
    QVERIFY(browse->findChild<QComboBox*>("DriveComboBox1")->findText("/") >= 0);
    QVERIFY(QDir().mkpath(r.dir.path() + "/runs"));
    browse->setFolder(r.dir.path() + "/runs");
    browse->findChild<QPushButton*>("BtnOK")->click();
    QCOMPARE(r.find<QLineEdit>("TxtFilePath")->text(), r.dir.path() + "/runs");

    r.find<QLineEdit>("TxtSampleTime")->setText("3");
    r.find<QComboBox>("CboSampleUnit")->setCurrentIndex(1);
    r.find<QComboBox>("CboSaveUnit")->setEditText("weekly");
    r.find<QComboBox>("CboFileType")->setCurrentIndex(1);
    r.dialog()->BtnOKClick();
    QVERIFY(r.home()->close());
    r.start();
    QCOMPARE(r.settings().RecordSampleTime, 3);
    QCOMPARE(r.settings().RecordSampleUnit, 1);
    QCOMPARE(r.settings().RecordSaveUnit, 1);
    QCOMPARE(r.settings().RecordFileType, 1);
    QCOMPARE(r.settings().RecordFolder, r.dir.path() + "/runs");
    QCOMPARE(r.timer()->interval(), 180000);
    r.home()->BitBtn1Click();
    QCOMPARE(r.find<QComboBox>("CboSaveUnit")->currentText(), QStringLiteral("Day"));
}

// Points the record folder at <dir>/data with a file where Monitor2's folder belongs.
static bool fileInPlaceOfMonitor2(Run& r, QFile& inTheWay)
{
    const QString folder = r.dir.path() + "/data";
    if (!QDir().mkpath(folder) || !inTheWay.open(QIODevice::WriteOnly))
        return false;
    r.find<QLineEdit>("TxtFilePath")->setText(folder);
    return true;
}

void TestRecordUi::failureShowsInTheStatusLineUntilAWriteSucceeds()
{
    Run r;
    const QString folder = r.dir.path() + "/data";
    QFile inTheWay(folder + "/Monitor2");
    QVERIFY(fileInPlaceOfMonitor2(r, inTheWay));
    r.home()->TmrRecordTimer();
    StatusLine* status = r.home()->statusLine();
    QVERIFY2(status->text().contains("Recording failed: a file is in the place of the folder: " +
                                     folder + "/Monitor2 (1 rows waiting)"),
             qPrintable(status->text()));
    QVERIFY(g_dialogs->messages.isEmpty());
    QVERIFY(inTheWay.remove());
    r.home()->TmrRecordTimer();
    QVERIFY(status->text().endsWith("  Recording"));
    const QStringList files = QDir(folder + "/Monitor2").entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile file(folder + "/Monitor2/" + files[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("Empty\t"), 40); // two rows of nothing polled yet
}

void TestRecordUi::rowsWaitingAtCloseAreWrittenAfterTheRestart()
{
    Run r;
    const QString folder = r.dir.path() + "/data";
    QFile inTheWay(folder + "/Monitor2");
    QVERIFY(fileInPlaceOfMonitor2(r, inTheWay));
    r.dialog()->BtnOKClick();
    r.home()->TmrRecordTimer();
    QVERIFY(r.home()->close());
    QVERIFY(QFile::exists(r.dir.path() + "/record-waiting.dat"));

    QVERIFY(inTheWay.remove());
    r.start();
    QTRY_COMPARE(QDir(folder + "/Monitor2").entryList(QDir::Files).size(), 1);
    QFile file(folder + "/Monitor2/" + QDir(folder + "/Monitor2").entryList(QDir::Files)[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("Empty\t"), 20); // the one row, once
    QVERIFY(!QFile::exists(r.dir.path() + "/record-waiting.dat"));
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestRecordUi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_record_ui.moc"
