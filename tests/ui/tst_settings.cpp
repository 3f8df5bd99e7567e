// The settings through the program's own start and close: the restore at the first showing,
// the store at closing, their failures, one program per home, the communication dialog, the
// operator lock and the company title as the running program wires them.
#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "alarms/AlarmDatabases.h"
#include "app/QuillmereApplication.h"
#include "app/SignalCloser.h"
#include "app/StartUp.h"
#include "audit/AuditChain.h"
#include "core/QuillmereError.h"
#include "link/PortTable.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/RadioGroup.h"
#include "ui/dialogs/TFmCommSetting.h"
#include "ui/dialogs/TFmTitle.h"
#include "ui/dialogs/TFmshowpawd.h"
#include "ui/dialogs/Tfmpassread.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {

RecordingDialogs* g_dialogs = nullptr;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A home folder with the shipped default store, edited line by line before the start.
struct Folder
{
    QTemporaryDir dir;
    QString store() const { return dir.path() + QStringLiteral("/settings.reg"); }

    Folder()
    {
        qputenv("QUILLMERE_HOME", dir.path().toLocal8Bit());
        store::seedDefaultSettings(store(), dir.path());
        alarms::seedDefaultDatabases(dir.path()); // the main window opens the alarm tables
    }
    // Replaces the line that defines `name` (a "-" removes it).
    void set(const char* name, const QByteArray& line)
    {
        QByteArray text = readFile(store());
        const QByteArray prefix = '"' + QByteArray(name) + "\"=";
        const qsizetype at = text.indexOf('\n' + prefix) + 1;
        QVERIFY2(at > 0, name);
        const qsizetype end = text.indexOf('\n', at);
        text.replace(at, end - at + 1, line == "-" ? QByteArray() : prefix + line + '\n');
        writeFile(store(), text);
    }
    QString text(const char* key, const char* name) const
    {
        store::RegistryFile file(store());
        SettingsStore s(file);
        s.openKey(store::programKey(QLatin1String(key)));
        return s.readString(QLatin1String(name));
    }
    int integer(const char* key, const char* name) const
    {
        store::RegistryFile file(store());
        SettingsStore s(file);
        s.openKey(store::programKey(QLatin1String(key)));
        return s.readInteger(QLatin1String(name));
    }
};

struct Run
{
    FakeLine::Log log;
    std::unique_ptr<Program> program;
    bool started = false;

    Run()
    {
        g_dialogs->messages.clear();
        const StartOptions options = portlessStart(&log);
        program = std::make_unique<Program>(*g_dialogs, options);
        started = program->start();
    }
    TFmHome* home() const { return program->windows().FmHome; }
    const Windows& w() const { return program->windows(); }
    template <class T> T* find(const char* name) const
    {
        return home()->findChild<T*>(QLatin1String(name));
    }
    RadioGroup* group(const char* name) const { return find<RadioGroup>(name); }
    QLineEdit* edit(const char* tile, const char* box) const
    {
        return find<TController>(tile)->findChild<QLineEdit*>(QLatin1String(box));
    }
    LineSettings line(int m) const { return home()->engine().model().line(m); }
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyValueRoundTrips();
    void restoreFailures_data();
    void restoreFailures();
    void whatTheDialogsStoreStartsTheRealProgramAgain_data();
    void whatTheDialogsStoreStartsTheRealProgramAgain();
    void signalClosesAsTheWindowDoes_data();
    void signalClosesAsTheWindowDoes();
    void storeFailureKeepsTheWindowOpen();
    void unreadableStoreEndsStartUpAndIsLeftAlone();
    void secondProgramOnTheSameHomeEnds();
    void radioIndexesClamp_data();
    void radioIndexesClamp();
    void communicationOk_data();
    void communicationOk();
    void communicationDialogShowsTheEngine();
    void otherPortEditAndRadioGroupExcludeEachOther();
    void portSearchLines_data();
    void portSearchLines();
    void portSearchListsTheHomeLinks();
    void lockTitleAndHotKeyThroughTheMainWindow();
};

void TestSettings::everyValueRoundTrips()
{
    Folder f;
    for (int n = 1; n <= 10; ++n)
        for (const char* m : {"A", "B", "C"}) {
            const QByteArray s = QByteArray(m) + QByteArray::number(n);
            f.set(QByteArray("UnitTitle" + QByteArray(m) + '_' + QByteArray::number(n)),
                  "\"Oven \\\"" + s + "\\\"\"");
            f.set(QByteArray("ID" + QByteArray(m) + '_' + QByteArray::number(n)),
                  '"' + QByteArray::number(100 + n + (m[0] - 'A') * 10) + '"');
            f.set(QByteArray("Recipe" + QByteArray(m) + '_' + QByteArray::number(n)),
                  "\"2" + QByteArray::number(n) + ".5\"");
        }
    f.set("HmTitle", "\"ACME 熱處理\"");
    f.set("ScanAll", "dword:00000001");
    f.set("Converter", "dword:00000001");
    f.set("Psl", "dword:00000000");
    f.set("COMA", "dword:00000002");
    f.set("COMB", "dword:00000007");
    f.set("COMC", "dword:ffffffff");
    f.set("BPSA", "\"0\"");
    f.set("BPSB", "\"3\"");
    f.set("BPSC", "\"4\"");
    f.set("Title", "\"Line 7\"");
    const QByteArray before = readFile(f.store());
    {
        Run r;
        QVERIFY(r.started);
        QCOMPARE(r.find<QLabel>("Label2")->text(), QStringLiteral("ACME 熱處理"));
        QCOMPARE(r.edit("ControllerB7", "TxtUnitTitle")->text(), QStringLiteral("Oven \"B7\""));
        QCOMPARE(r.edit("ControllerC10", "TxtID")->text(), QStringLiteral("130"));
        QCOMPARE(r.home()->engine().model().station(3, 10).StationId, 130);
        QCOMPARE(r.home()->recipeEdit(2, 4)->text(), QStringLiteral("24.5"));
        QVERIFY(r.home()->engine().model().ScanAll);
        QCOMPARE(r.line(1).ComPort, 3);
        QCOMPARE(r.line(2).ComPort, 8);
        QCOMPARE(r.line(3).ComPort, 0);
        QCOMPARE(r.line(1).BaudRate, 38400);
        QCOMPARE(r.line(2).BaudRate, 4800);
        QCOMPARE(r.line(3).BaudRate, 2400);
        QCOMPARE(r.line(3).Converter, TConverter::RS485);
        QCOMPARE(r.line(2).Psl, TPsl::veln);
        QCOMPARE(r.home()->windowTitle(), QStringLiteral("Line 7"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Line 7"));
        r.home()->close();
        QVERIFY(!r.home()->isVisible());
        QVERIFY(g_dialogs->messages.isEmpty());
    }
    // What was restored is what is stored again, value for value and in place.
    QCOMPARE(readFile(f.store()), before);
}

void TestSettings::restoreFailures_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("homeRestored");
    QTest::addColumn<bool>("linesSet");

    QTest::newRow("ID not an integer") << QByteArray("IDA_1") << QByteArray("\"x1\"")
                                       << "'x1' is not a valid integer value" << false << false;
    QTest::newRow("ScanAll missing") << QByteArray("ScanAll") << QByteArray("-")
                                     << "Failed to get data for 'ScanAll'" << true << false;
    QTest::newRow("ScanAll as text") << QByteArray("ScanAll") << QByteArray("\"0\"")
                                     << "Invalid data type for 'ScanAll'" << true << false;
    QTest::newRow("HmTitle as integer") << QByteArray("HmTitle") << QByteArray("dword:00000001")
                                        << "Invalid data type for 'HmTitle'" << false << false;
    QTest::newRow("baud text empty") << QByteArray("BPSB") << QByteArray("\"\"")
                                     << "'' is not a valid integer value" << true << false;
    QTest::newRow("baud missing") << QByteArray("BPSC") << QByteArray("-")
                                  << "'' is not a valid integer value" << true << false;
    QTest::newRow("sample time edited by hand")
        << QByteArray("TxtChtSample") << QByteArray("\"abc\"")
        << "'abc' is not a valid floating point value" << true << true;
    QTest::newRow("empty ID is 1")
        << QByteArray("IDB_4") << QByteArray("\"\"") << QString() << true << true;
    QTest::newRow("missing title is empty")
        << QByteArray("HmTitle") << QByteArray("-") << QString() << true << true;
}

void TestSettings::restoreFailures()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    QFETCH(bool, homeRestored);
    QFETCH(bool, linesSet);
    Folder f;
    f.set("UnitTitleC_10", "\"last\"");
    f.set(name.constData(), line);
    const QByteArray before = readFile(f.store());

    // The windows as the program creates them; the restore run by hand to look inside.
    g_dialogs->messages.clear();
    store::RegistryFile file(f.store());
    FakeLine::Log log;
    const StartOptions options = portlessStart(&log);
    std::unique_ptr<TFmHome> home(createWindows(*g_dialogs, file, options).FmHome);
    QString error;
    try {
        home->FormShow();
    } catch (const QuillmereError& e) {
        error = e.message();
    }
    QCOMPARE(error, message);
    QCOMPARE(home->tile(3, 10)->titleText() == QLatin1String("last"), homeRestored);
    QCOMPARE(home->engine().model().line(2).ComPort == 2, linesSet); // the default store's COMB
    if (name == "IDB_4") {
        QCOMPARE(home->tile(2, 4)->idText(), QStringLiteral("1"));
        QCOMPARE(home->engine().model().station(2, 4).StationId, 1);
    }
    home.reset();

    // The real start: the message is shown and the program ends, the store untouched.
    Run r;
    QCOMPARE(r.started, message.isEmpty());
    if (!message.isEmpty()) {
        QCOMPARE(g_dialogs->messages,
                 QStringList{QCoreApplication::applicationName() + '|' + message});
        QVERIFY(!r.home());
    }
    if (!r.started)
        QCOMPARE(readFile(f.store()), before);
}

void TestSettings::whatTheDialogsStoreStartsTheRealProgramAgain_data()
{
    QTest::addColumn<QByteArrayList>("values"); // name=value lines of the store
    QTest::addColumn<QByteArray>("lang");
    QTest::newRow("range below zero")
        << QByteArrayList{"RdoAutoA=dword:00000000", "RdoLimitA=dword:00000001", "TxtYminA=\"-40\"",
                          "TxtYmaxA=\"-10\""}
        << QByteArray("C.UTF-8");
    QTest::newRow("decimal comma under de_DE")
        << QByteArrayList{"RdoAutoB=dword:00000000", "RdoLimitB=dword:00000001",
                          "TxtYminB=\"-20,5\"", "TxtYmaxB=\"80,25\"", "TxtChtSample=\"0,5\""}
        << QByteArray("de_DE.UTF-8");
    QTest::newRow("neither Auto nor Define Range")
        << QByteArrayList{"RdoAutoC=dword:00000000", "RdoLimitC=dword:00000000"}
        << QByteArray("C.UTF-8");
}

// The program itself, as the operator starts it: the window comes up, and a SIGTERM closes
// it as its window's close does, storing exactly what was restored.
void TestSettings::whatTheDialogsStoreStartsTheRealProgramAgain()
{
    QFETCH(QByteArrayList, values);
    QFETCH(QByteArray, lang);
    Folder f;
    for (const QByteArray& value : values) {
        const qsizetype at = value.indexOf('=');
        f.set(value.left(at).constData(), value.mid(at + 1));
    }
    const QByteArray before = readFile(f.store());
    // The restore writes the protocol back before the chart values: the mark going is the
    // sign that the program is past the point where a signal would find it unguarded.
    QByteArray marked = before;
    marked.insert(marked.indexOf("\n[") + 1, "; not read yet\n");
    writeFile(f.store(), marked);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLMERE_HOME", f.dir.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LANG", QString::fromLatin1(lang));
    env.remove("LC_ALL");
    env.remove("LC_NUMERIC");
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationDirPath() + "/quillmere", {});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!readFile(f.store()).contains("; not read yet"), 30000);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0); // a start that failed would end with 1
    QCOMPARE(readFile(f.store()), before);
    QVERIFY(!QFile::exists(f.dir.filePath("quillmere.lock")));
}

void TestSettings::signalClosesAsTheWindowDoes_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("session end") << 0; // the session manager has Qt quit
}

void TestSettings::signalClosesAsTheWindowDoes()
{
    QFETCH(int, number);
    Folder f;
    Run r;
    QVERIFY(r.started);
    SignalCloser closer([&r] { r.program->closeFromOutside(); });
    QTest::mouseClick(r.find<QPushButton>("BtnStart"), Qt::LeftButton);
    r.edit("ControllerB3", "TxtUnitTitle")->setText("changed before logout");
    // Past the integer range: the next start could not read it, so the ID in force is kept.
    r.edit("ControllerA2", "TxtID")->setText("99999999999");
    if (number) {
        ::kill(::getpid(), number);
    } else {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
    }
    QTRY_VERIFY(!r.home()->isVisible());
    QCOMPARE(f.text("FmHome", "UnitTitleB_3"), QStringLiteral("changed before logout"));
    QCOMPARE(f.text("FmHome", "IDA_2"), QStringLiteral("2"));
    QVERIFY(!r.home()->engine().isRunning());
    QVERIFY(!r.find<QTimer>("TmrHome")->isActive());
    QVERIFY(g_dialogs->messages.isEmpty());
}

void TestSettings::storeFailureKeepsTheWindowOpen()
{
    Folder f;
    Run r;
    QVERIFY(r.started);
    QTest::mouseClick(r.find<QPushButton>("BtnStart"), Qt::LeftButton);
    r.edit("ControllerA2", "TxtUnitTitle")->setText("kept");
    // The communication key is gone from the file by the time the window closes.
    QByteArray text = readFile(f.store());
    const qsizetype at = text.indexOf("[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE CONTROL\\FmComm");
    const qsizetype end = text.indexOf("\n[", at + 1);
    text.remove(at, end - at + 1);
    writeFile(f.store(), text);

    QVERIFY(!r.home()->close());
    QCOMPARE(g_dialogs->messages.last(),
             QCoreApplication::applicationName() + "|Failed to set data for 'ScanAll'");
    QVERIFY(r.home()->isVisible());
    QVERIFY(r.home()->engine().isRunning());
    QVERIFY(r.find<QTimer>("TmrHome")->isActive());
    QCOMPARE(f.text("FmHome", "UnitTitleA_2"), QStringLiteral("kept"));
    r.home()->engine().Stop();
}

void TestSettings::unreadableStoreEndsStartUpAndIsLeftAlone()
{
    Folder f;
    QByteArray text = readFile(f.store());
    text.replace("\"IDA_3\"=\"3\"", "\"IDA_3\"=\"3");
    writeFile(f.store(), text);
    Run r;
    QVERIFY(!r.started);
    QCOMPARE(g_dialogs->messages.size(), 1);
    QVERIFY2(g_dialogs->messages[0].contains(f.store()), qPrintable(g_dialogs->messages[0]));
    const int line = int(text.left(text.indexOf("\"IDA_3\"")).count('\n')) + 1;
    QVERIFY2(g_dialogs->messages[0].contains(QStringLiteral("line %1").arg(line)),
             qPrintable(g_dialogs->messages[0]));
    QCOMPARE(readFile(f.store()), text);
}

void TestSettings::secondProgramOnTheSameHomeEnds()
{
    Folder f;
    Run first;
    QVERIFY(first.started);
    const QByteArray before = readFile(f.store());
    Run second;
    QVERIFY(!second.started);
    QCOMPARE(g_dialogs->messages.size(), 1);
    QVERIFY(g_dialogs->messages[0].contains(QStringLiteral("already running")));
    QVERIFY(g_dialogs->messages[0].contains(QString::number(QCoreApplication::applicationPid())));
    QVERIFY(!second.home());
    QCOMPARE(readFile(f.store()), before);
}

void TestSettings::radioIndexesClamp_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<int>("index");

    QTest::newRow("port 12 is COM 8")
        << QByteArray("COMA") << QByteArray("dword:0000000c") << QByteArray("CboComA") << 7;
    QTest::newRow("port -1 is none")
        << QByteArray("COMA") << QByteArray("dword:ffffffff") << QByteArray("CboComA") << -1;
    QTest::newRow("port -5 is none")
        << QByteArray("COMB") << QByteArray("dword:fffffffb") << QByteArray("CboComB") << -1;
    QTest::newRow("baud 0 is 38400")
        << QByteArray("BPSA") << QByteArray("\"0\"") << QByteArray("CboBpsA") << 0;
    QTest::newRow("baud 38400 is the last item")
        << QByteArray("BPSA") << QByteArray("\"38400\"") << QByteArray("CboBpsA") << 4;
    QTest::newRow("scan mode 5 is the last")
        << QByteArray("ScanAll") << QByteArray("dword:00000005") << QByteArray("RdoScanAll") << 1;
}

void TestSettings::radioIndexesClamp()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, group);
    QFETCH(int, index);
    Folder f;
    f.set(name.constData(), line);
    Run r;
    QVERIFY(r.started);
    QCOMPARE(r.group(group.constData())->itemIndex(), index);
    if (group == "CboComA")
        QCOMPARE(r.line(1).ComPort, index + 1);
    if (group == "CboBpsA")
        QCOMPARE(r.line(1).BaudRate, index == 0 ? 38400 : 2400);
}

void TestSettings::communicationOk_data()
{
    QTest::addColumn<QString>("setUp"); // group=index or EditN=text, comma-separated
    QTest::addColumn<QString>("lines"); // expected per line: port/baud/converter/protocol
    QTest::addColumn<QString>("error");

    QTest::newRow("COM 3 on Monitor1") << "CboComA=2"
                                       << "3/9600/0/0,2/9600/0/0,3/9600/0/0" << QString();
    QTest::newRow("12 typed on Monitor2") << "Edit2=12"
                                          << "1/9600/0/0,12/9600/0/0,3/9600/0/0" << QString();
    QTest::newRow("VELN, 2 wires, 19200") << "CboPsl=0,CboConverter=1,CboBpsC=1"
                                          << "1/9600/1/1,2/9600/1/1,3/19200/1/1" << QString();
    QTest::newRow("RS232 on all lines") << "CboConverter=2"
                                        << "1/9600/1/0,2/9600/1/0,3/9600/1/0" << QString();
    QTest::newRow("no port chosen is port 0") << "CboComC=-1"
                                              << "1/9600/0/0,2/9600/0/0,0/9600/0/0" << QString();
    QTest::newRow("typed port not a number stops at its line")
        << "Edit2=1x,CboComA=4,CboConverter=1,RdoScanAll=-1"
        << "5/9600/1/0,2/9600/0/0,3/9600/0/0"
        << "'1x' is not a valid integer value";
}

void TestSettings::communicationOk()
{
    QFETCH(QString, setUp);
    QFETCH(QString, lines);
    QFETCH(QString, error);
    Folder f;
    Run r;
    QVERIFY(r.started);
    TFmCommSetting* dialog = r.w().FmCommSetting;
    r.find<QPushButton>("BtnD")->click();
    QVERIFY(dialog->isVisible());
    for (const QString& step : setUp.split(',')) {
        const QString name = step.section('=', 0, 0);
        const QString value = step.section('=', 1);
        if (name.startsWith(QLatin1String("Edit")))
            dialog->findChild<QLineEdit*>(name)->setText(value);
        else
            dialog->findChild<RadioGroup*>(name)->setItemIndex(value.toInt());
    }
    g_dialogs->messages.clear();
    QTest::mouseClick(dialog->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
    if (!error.isEmpty())
        QCOMPARE(g_dialogs->messages,
                 QStringList{QCoreApplication::applicationName() + '|' + error});
    QCOMPARE(dialog->isVisible(), !error.isEmpty());
    QStringList seen;
    for (int m = 1; m <= 3; ++m)
        seen << QStringLiteral("%1/%2/%3/%4")
                    .arg(r.line(m).ComPort)
                    .arg(r.line(m).BaudRate)
                    .arg(int(r.line(m).Converter))
                    .arg(int(r.line(m).Psl));
    QCOMPARE(seen.join(','), lines);
    // Scan mode first, then converter and protocol stored at once; the rest at close.
    QCOMPARE(r.home()->engine().model().ScanAll, setUp.contains("RdoScanAll=-1"));
    QCOMPARE(f.integer("FmCommSetting", "Converter"),
             dialog->findChild<RadioGroup*>("CboConverter")->itemIndex());
    // The converter stored at OK is in the trail with its old and new value.
    if (setUp.contains("CboConverter")) {
        QStringList changes;
        for (const audit::AuditEntry& e : audit::readEntries(f.dir.path() + "/audit"))
            if (e.kind == audit::kind::Setting)
                changes << QStringList{e.details["key"].toString(), e.details["value"].toString(),
                                       e.details["old"].toString(), e.details["new"].toString()}
                               .join('|');
        QVERIFY2(changes.contains(QStringLiteral("FmCommSetting|Converter|0|%1")
                                      .arg(f.integer("FmCommSetting", "Converter"))),
                 qPrintable(changes.join('\n')));
    }
    if (setUp.startsWith(QLatin1String("Edit2=12")))
        QCOMPARE(dialog->findChild<RadioGroup*>("CboComB")->itemIndex(), -1);
    if (error.isEmpty()) {
        // A typed port is not stored: after a restart that line has no port.
        r.home()->close();
        r.program.reset();
        Run again;
        QCOMPARE(again.line(2).ComPort, setUp.startsWith(QLatin1String("Edit2")) ? 0 : 2);
        QVERIFY(again.w().FmCommSetting->findChild<QLineEdit*>("Edit2")->text().isEmpty());
    }
}

void TestSettings::communicationDialogShowsTheEngine()
{
    Folder f;
    Run r;
    QVERIFY(r.started);
    TFmCommSetting* dialog = r.w().FmCommSetting;
    {
        StationModel& model = r.home()->engine().model();
        model.line(3).ComPort = 12;
        model.line(2).BaudRate = 1200; // no item: the group keeps its choice
        model.ScanAll = true;
    }
    dialog->findChild<RadioGroup*>("CboBpsB")->setItemIndex(3);
    dialog->findChild<RadioGroup*>("CboPsl")->setItemIndex(0); // the store says 1
    dialog->findChild<QLineEdit*>("Edit1")->setText("9");
    r.home()->BtnDClick();
    QCOMPARE(dialog->findChild<RadioGroup*>("CboComC")->itemIndex(), 7);
    QCOMPARE(dialog->findChild<RadioGroup*>("CboComA")->itemIndex(), -1);
    QCOMPARE(dialog->findChild<RadioGroup*>("CboBpsB")->itemIndex(), 3);
    QCOMPARE(dialog->findChild<RadioGroup*>("CboPsl")->itemIndex(), 1);
    QCOMPARE(dialog->findChild<RadioGroup*>("RdoScanAll")->itemIndex(), 1);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Commication Setting"));
    // Cancel applies nothing and keeps what was typed.
    dialog->findChild<QPushButton*>("BtnCancel")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(r.line(1).ComPort, 1);
    QCOMPARE(dialog->findChild<QLineEdit*>("Edit1")->text(), QStringLiteral("9"));
}

void TestSettings::otherPortEditAndRadioGroupExcludeEachOther()
{
    Folder f;
    Run r;
    QVERIFY(r.started);
    TFmCommSetting* dialog = r.w().FmCommSetting;
    r.home()->BtnDClick();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    auto* ports = dialog->findChild<RadioGroup*>("CboComB");
    auto* edit = dialog->findChild<QLineEdit*>("Edit2");
    QTest::keyClicks(edit, "12");
    QCOMPARE(ports->itemIndex(), -1);
    // Clicking into the port group empties the typed port and selects the clicked item.
    QTest::mouseClick(ports->button(4), Qt::LeftButton);
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(ports->itemIndex(), 4);
}

void TestSettings::portSearchLines_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QString>("line"); // empty: filtered out

    QTest::newRow("built-in") << "COM1" << false << "COM1 /dev/x";
    QTest::newRow("USB adapter") << "COM5" << true << "COM5 /dev/x====>COM5 ComPort USB Port ";
    QTest::newRow("COM10 passes") << "COM10" << false << "COM10 /dev/x";
    QTest::newRow("COM0 does not") << "COM0" << false << QString();
    QTest::newRow("no number") << "" << true << QString();
    QTest::newRow("short name") << "COM" << false << QString();
}

void TestSettings::portSearchLines()
{
    QFETCH(QString, port);
    QFETCH(bool, usb);
    QFETCH(QString, line);
    QCOMPARE(comm::portSearchLine({QStringLiteral("/dev/x"), port, usb}).value_or(QString()), line);
}

void TestSettings::portSearchListsTheHomeLinks()
{
    Folder f;
    QVERIFY(QDir(f.dir.path()).mkpath("ports"));
    QVERIFY(QFile::link("/dev/null", f.dir.path() + "/ports/COM5"));
    QVERIFY(QFile::link("/dev/zero", f.dir.path() + "/ports/COM12"));
    QVERIFY(QDir(f.dir.path()).mkpath("by-id"));
    QVERIFY(QFile::link("/dev/zero", f.dir.path() + "/by-id/usb-FTDI_A1-if00-port0"));
    // Links in port order, then the devices no link names; /dev/ttyS<k> is COM k+1 unless a
    // link took the number; a device's stable name is shown where it has one.
    const QList<comm::PortTableEntry> table = comm::portTable(
        f.dir.path(),
        {{"/dev/ttyS0", false}, {"/dev/ttyS4", false}, {"/dev/zero", true}, {"/dev/ttyUSB7", true}},
        f.dir.path() + "/by-id");
    QStringList seen;
    for (const comm::PortTableEntry& e : table)
        seen << e.portName + '=' + e.deviceName + (e.usb ? "+usb" : "");
    QCOMPARE(seen, (QStringList{"COM5=/dev/null",
                                "COM12=" + f.dir.path() + "/by-id/usb-FTDI_A1-if00-port0+usb",
                                "COM1=/dev/ttyS0", "=/dev/ttyS4", "=/dev/ttyUSB7+usb"}));
    Run r;
    QVERIFY(r.started);
    auto* memo = r.w().FmCommSetting->findChild<QPlainTextEdit*>("Memo1");
    QCOMPARE(memo->toPlainText(), QStringLiteral(" "));
    r.w().FmCommSetting->RzButton1Click();
    // One line at a time, 100 ms apart, without holding up the window.
    QCOMPARE(memo->toPlainText(), QStringLiteral("COM5 /dev/null"));
    QTRY_VERIFY(memo->toPlainText().startsWith("COM5 /dev/null\nCOM12 /dev/zero"));
}

void TestSettings::lockTitleAndHotKeyThroughTheMainWindow()
{
    Folder f;
    {
        Run r;
        QVERIFY(r.started);
        // Ctrl+A reaches the program even in a tile's title edit, which would take it as
        // Select All.
        QLineEdit* title = r.edit("ControllerA1", "TxtUnitTitle");
        title->setFocus();
        QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(r.w().FmTitle->isVisible());
        QVERIFY(!title->hasSelectedText());
        auto* name = r.w().FmTitle->findChild<QLineEdit*>("Edit1");
        name->setText("ACME Heat Treatment");
        r.w().FmTitle->findChild<QPushButton*>("RzButton1")->click();
        QCOMPARE(r.find<QLabel>("Label2")->text(), QStringLiteral("ACME Heat Treatment"));

        // The lock reaches all thirty tiles and the right password lifts it.
        r.find<QPushButton>("Button5")->click();
        QVERIFY(r.w().Fmshowpawd->isVisible());
        r.w().Fmshowpawd->setRadioGroup1Index(0);
        r.w().Fmshowpawd->Button1Click();
        for (const char* tile : {"ControllerA1", "ControllerB5", "ControllerC10"}) {
            QVERIFY(!r.edit(tile, "TxtID")->isEnabled());
            QVERIFY(!r.find<TController>(tile)->findChild<QPushButton*>("BtnSET")->isEnabled());
        }
        r.w().fmpassread->findChild<QLineEdit*>("Edit1")->setText("40718");
        r.w().fmpassread->Button1Click();
        QVERIFY(r.edit("ControllerC10", "TxtID")->isEnabled());
        r.home()->close();
    }
    Run again;
    QCOMPARE(again.find<QLabel>("Label2")->text(), QStringLiteral("ACME Heat Treatment"));
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
