#include "core/QuillmereError.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using store::RegistryFile;

namespace {

const QString Home = QStringLiteral("SOFTWARE\\QUILLMERE CONTROL\\FmHome");
const QByteArray Doc = "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE CONTROL\\FmHome]\n"
                       "\"T\"=\"text\"\n\"D\"=dword:00000002\n\"B\"=hex:01,02\n"
                       "\"E\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\QUILLMERE CONTROL\\FmRecord]\n"
                       "\"W\"=dword:00000005\n\n";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const QuillmereError& e) {
        return e.message();
    }
    return QStringLiteral("no error");
}

ino_t inode(const QString& path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void valuesRoundTripThroughTheFile_data();
    void valuesRoundTripThroughTheFile();
    void readsAndWritesFailWithTheStoreMessages_data();
    void readsAndWritesFailWithTheStoreMessages();
    void namesIgnoreCaseAndKeepTheirFirstSpelling();
    void syntaxErrorNamesFileAndLineAndNothingIsSavedOverIt_data();
    void syntaxErrorNamesFileAndLineAndNothingIsSavedOverIt();
    void failedReplacementLeavesTheOldFile();
    void writesBeforeAnErrorReachTheFile();
    void regeditUtf16ExportIsReadAndItsOtherValuesKept();
    void fileIsReplacedOncePerKeyNotPerValue();
    void handlesShareWritesAndAChangedFileIsReread();
    void seedingWritesEveryRestoredValueAndNeverOverwrites_data();
    void seedingWritesEveryRestoredValueAndNeverOverwrites();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("settings.reg"));
    writeAll(m_path, Doc);
}

void TestStore::valuesRoundTripThroughTheFile_data()
{
    QTest::addColumn<QVariant>("value"); // QString, int or bool: chooses the write and the read
    QTest::addColumn<QByteArray>("line");
    const auto row = [](const char* tag, const QVariant& value, const char* line) {
        QTest::newRow(tag) << value << QByteArray(line);
    };
    row("plain", QString("ACME Heat"), R"("V"="ACME Heat")");
    row("empty", QString(""), R"("V"="")");
    row("escapes", QString("C:\\Data \"A\""), R"("V"="C:\\Data \"A\"")");
    row("CJK", QString("溫控點 01"), R"("V"="溫控點 01")");
    row("newline", QString("a\nb"), R"("V"=hex(1):61,00,0a,00,62,00,00,00)");
    row("0", 0, R"("V"=dword:00000000)");
    row("10", 10, R"("V"=dword:0000000a)");
    row("-1", -1, R"("V"=dword:ffffffff)");
    row("INT_MIN", INT_MIN, R"("V"=dword:80000000)");
    row("INT_MAX", INT_MAX, R"("V"=dword:7fffffff)");
    row("true", true, R"("V"=dword:00000001)");
    row("false", false, R"("V"=dword:00000000)");
}

void TestStore::valuesRoundTripThroughTheFile()
{
    QFETCH(QVariant, value);
    QFETCH(QByteArray, line);
    const QString name = QStringLiteral("V");
    const int type = value.typeId();
    {
        RegistryFile file(m_path);
        SettingsStore s(file);
        QVERIFY(s.openKey(Home));
        if (type == QMetaType::QString)
            s.writeString(name, value.toString());
        else if (type == QMetaType::Bool)
            s.writeBool(name, value.toBool());
        else
            s.writeInteger(name, value.toInt());
    }
    QVERIFY(readAll(m_path).contains("\n" + line + "\n"));
    RegistryFile reread(m_path);
    SettingsStore s(reread);
    QVERIFY(s.openKey(Home));
    const QVariant back = type == QMetaType::QString ? QVariant(s.readString(name))
                          : type == QMetaType::Bool  ? QVariant(s.readBool(name))
                                                     : QVariant(s.readInteger(name));
    QCOMPARE(back, value);
}

void TestStore::readsAndWritesFailWithTheStoreMessages_data()
{
    const QString none = QStringLiteral("SOFTWARE\\QUILLMERE CONTROL\\FmNone");
    QTest::addColumn<QString>("key"); // empty: no key opened at all
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("result");
    const auto row = [](const char* tag, const QString& key, const char* operation,
                        const char* name, const char* result) {
        QTest::newRow(tag) << key << QString(operation) << QString(name) << QString(result);
    };
    row("missing integer", Home, "int", "Nope", "Failed to get data for 'Nope'");
    row("missing bool", Home, "bool", "Nope", "Failed to get data for 'Nope'");
    row("missing text is empty", Home, "text", "Nope", "");
    row("text as integer", Home, "int", "T", "Invalid data type for 'T'");
    row("integer as text", Home, "text", "D", "Invalid data type for 'D'");
    row("binary as text", Home, "text", "B", "Invalid data type for 'B'");
    row("binary as integer", Home, "int", "B", "Invalid data type for 'B'");
    row("bool of 2", Home, "bool", "D", "1");
    // From regedit /e on an old workstation.
    row("expandable text", Home, "text", "E", "%TMP%");
    row("expandable text as integer", Home, "int", "E", "Invalid data type for 'E'");
    const QString record = QStringLiteral("SOFTWARE\\QUILLMERE CONTROL\\FmRecord");
    row("64-bit export key", record, "int", "W", "5");
    row("64-bit export key, write", record, "write", "W", "");
    row("missing key, integer", none, "int", "D", "Failed to get data for 'D'");
    row("missing key, text", none, "text", "T", "");
    row("missing key, write", none, "write", "T", "Failed to set data for 'T'");
    row("no key, write", QString(), "write", "X", "Failed to set data for 'X'");
}

void TestStore::readsAndWritesFailWithTheStoreMessages()
{
    QFETCH(QString, key);
    QFETCH(QString, operation);
    QFETCH(QString, name);
    QFETCH(QString, result);
    const QString none = QStringLiteral("SOFTWARE\\QUILLMERE CONTROL\\FmNone");
    RegistryFile file(m_path);
    SettingsStore s(file);
    s.setRoot(SettingsStore::Root::LocalMachine);
    if (!key.isEmpty())
        QCOMPARE(s.openKey(key), key != none);
    QString got;
    try {
        if (operation == "int")
            got = QString::number(s.readInteger(name));
        else if (operation == "bool")
            got = QString::number(s.readBool(name));
        else if (operation == "text")
            got = s.readString(name);
        else
            s.writeString(name, QStringLiteral("x"));
    } catch (const QuillmereError& e) {
        got = e.message();
    }
    QCOMPARE(got, result);
}

void TestStore::namesIgnoreCaseAndKeepTheirFirstSpelling()
{
    writeAll(m_path, "Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmere Control\\FmHome]\n"
                     "\"HmTitle\"=\"a\"\n\"Other\"=\"b\"\n\n"
                     "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
                     "\"/dev/ttyS0\"=\"COM1\"\n\n");
    RegistryFile file(m_path);
    SettingsStore s(file);
    QVERIFY(s.openKey(QStringLiteral("\\HARDWARE\\DEVICEMAP\\SERIALCOMM")));
    QCOMPARE(s.getValueNames(), QStringList{"/dev/ttyS0"});
    QVERIFY(s.openKey(QStringLiteral("software\\QUILLMERE CONTROL\\fmhome")));
    s.writeString(QStringLiteral("HMTITLE"), QStringLiteral("x"));
    s.writeString(QStringLiteral("New"), QStringLiteral("n"));
    QCOMPARE(s.readString(QStringLiteral("hmtitle")), QStringLiteral("x"));
    QCOMPARE(s.getValueNames(), QStringList({"HmTitle", "Other", "New"}));
    s.closeKey();
    QCOMPARE(readAll(m_path),
             QByteArray("Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmere Control\\FmHome]\n"
                        "\"HmTitle\"=\"x\"\n\"Other\"=\"b\"\n\"New\"=\"n\"\n\n"
                        "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
                        "\"/dev/ttyS0\"=\"COM1\"\n\n"));
}

void TestStore::syntaxErrorNamesFileAndLineAndNothingIsSavedOverIt_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");
    const QByteArray key =
        "REGEDIT4\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE CONTROL\\FmHome]\r\n";
    QTest::newRow("empty file") << QByteArray() << 1;
    QTest::newRow("no header") << QByteArray("[HKEY_LOCAL_MACHINE\\X]\n") << 1;
    QTest::newRow("value before key") << QByteArray("REGEDIT4\n\n\"A\"=\"b\"\n") << 3;
    QTest::newRow("unterminated text") << key + "\"A\"=\"b\r\n" << 4;
    QTest::newRow("unknown escape") << key + "\"A\"=\"C:\\Data\"\r\n" << 4;
    QTest::newRow("bad dword") << key + "\"T\"=\"ok\"\r\n\"A\"=dword:0000000g\r\n" << 5;
    QTest::newRow("long dword") << key + "\"A\"=dword:000000000\r\n" << 4;
    QTest::newRow("stray line") << key + "A=1\r\n" << 4;
    QTest::newRow("continued at end") << key + "\"A\"=hex:01,\\\r\n" << 4;
    QTest::newRow("bad hex byte") << key + "\"A\"=hex(2):01,\\\r\n  0x\r\n" << 5;
    QTest::newRow("not UTF-8") << key + "\"A\"=\"\xb7\xc5\"\r\n" << 4;
}

void TestStore::syntaxErrorNamesFileAndLineAndNothingIsSavedOverIt()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    RegistryFile file(m_path);
    SettingsStore early(file); // took its key while the file was still good
    QVERIFY(early.openKey(Home));
    early.writeString(QStringLiteral("T"), QStringLiteral("changed"));
    writeAll(m_path, bytes);

    SettingsStore s(file);
    const QString message = errorOf([&] { s.openKey(Home); });
    QVERIFY2(message.startsWith(QStringLiteral("%1, line %2: ").arg(m_path).arg(line)),
             qPrintable(message));
    QCOMPARE(errorOf([&] { s.writeInteger(QStringLiteral("D"), 1); }),
             QStringLiteral("Failed to set data for 'D'"));
    QCOMPARE(errorOf([&] { early.closeKey(); }), QStringLiteral("Failed to set data for 'T'"));
    QCOMPARE(readAll(m_path), bytes);
}

void TestStore::failedReplacementLeavesTheOldFile()
{
    RegistryFile file(m_path);
    SettingsStore s(file);
    QVERIFY(s.openKey(Home));
    s.writeString(QStringLiteral("T"), QString(4096, u'x'));
    s.writeInteger(QStringLiteral("D"), 7);
    // Running as root, permissions would not stop the write; a file size limit does.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    QString message, detail;
    try {
        s.closeKey();
    } catch (const QuillmereError& e) {
        message = e.message();
        detail = e.detail();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    QCOMPARE(message, QStringLiteral("Failed to set data for 'D'"));
    // The file and the system's reason, for the operator to mend the cause.
    QCOMPARE(detail, m_path + QStringLiteral(": File too large"));
    QCOMPARE(readAll(m_path), Doc);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"settings.reg"});
}

void TestStore::writesBeforeAnErrorReachTheFile()
{
    RegistryFile file(m_path);
    try {
        SettingsStore s(file);
        QVERIFY(s.openKey(Home));
        s.writeString(QStringLiteral("A"), QStringLiteral("1"));
        s.writeBool(QStringLiteral("C"), true);
        throw QuillmereError(QStringLiteral("'ab' is not a valid integer value"));
    } catch (const QuillmereError&) {
    }
    RegistryFile reread(m_path);
    SettingsStore s(reread);
    QVERIFY(s.openKey(Home));
    QCOMPARE(s.readString(QStringLiteral("A")), QStringLiteral("1"));
    QCOMPARE(s.readBool(QStringLiteral("C")), true);
}

void TestStore::regeditUtf16ExportIsReadAndItsOtherValuesKept()
{
    const QString hex2 = QStringLiteral(
        "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\n"
        "  45,00,25,00,00,00\n");
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\n\n; plant PC\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE CONTROL\\FmHome]\n"
                                  "\"HmTitle\"=\"溫控 \\\"A\\\"\"\n\"IDA_1\"=dword:0000000a\n") +
                   QString(hex2).replace(QStringLiteral(",00\n"), QStringLiteral(",00 \r\n")) +
                   QStringLiteral("\"Name\"=hex(1):41,00,42,00,00,00\n@=\"default\"\n\n");
    text.replace(u'\n', QStringLiteral("\r\n"));
    writeAll(m_path,
             "\xff\xfe" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    RegistryFile file(m_path);
    SettingsStore s(file);
    QVERIFY(s.openKey(Home));
    QCOMPARE(s.getValueNames(), QStringList({"HmTitle", "IDA_1", "Path", "Name", ""}));
    QCOMPARE(s.readString(QStringLiteral("HmTitle")), QStringLiteral("溫控 \"A\""));
    QCOMPARE(s.readInteger(QStringLiteral("IDA_1")), 10);
    QCOMPARE(s.readString(QStringLiteral("Name")), QStringLiteral("AB"));
    QCOMPARE(s.readString(QString()), QStringLiteral("default"));
    QCOMPARE(s.readString(QStringLiteral("Path")), QStringLiteral("%USERPROFILE%"));
    s.writeInteger(QStringLiteral("IDA_1"), 11);
    s.closeKey();
    const QByteArray bytes = readAll(m_path);
    QVERIFY(bytes.startsWith("Windows Registry Editor Version 5.00\n\n["));
    QVERIFY(bytes.contains("\n" + hex2.toUtf8() + "\"Name\"=\"AB\"\n@=\"default\"\n"));
    QVERIFY(!bytes.contains('\r'));
}

void TestStore::fileIsReplacedOncePerKeyNotPerValue()
{
    QFile held(m_path); // keeps the old inode alive, so its number cannot come back
    QVERIFY(held.open(QIODevice::ReadOnly));
    const ino_t original = inode(m_path);
    RegistryFile file(m_path);
    {
        SettingsStore s(file);
        QVERIFY(s.openKey(Home));
        for (int i = 0; i < 30; ++i) {
            s.writeString(QStringLiteral("V%1").arg(i), QStringLiteral("x"));
            QCOMPARE(inode(m_path), original);
        }
        QVERIFY(s.openKey(Home)); // opening a key commits the one before
        QVERIFY(inode(m_path) != original);
        QVERIFY(readAll(m_path).contains("\"V29\"=\"x\"\n"));
        s.writeString(QStringLiteral("Last"), QStringLiteral("y"));
    }
    QVERIFY(readAll(m_path).contains("\"Last\"=\"y\"\n"));
}

void TestStore::handlesShareWritesAndAChangedFileIsReread()
{
    RegistryFile file(m_path);
    SettingsStore a(file);
    SettingsStore b(file);
    QVERIFY(a.openKey(Home));
    QVERIFY(b.openKey(Home));
    a.writeString(QStringLiteral("T"), QStringLiteral("new"));
    a.writeInteger(QStringLiteral("N"), 5);
    QCOMPARE(b.readString(QStringLiteral("T")), QStringLiteral("new"));
    QCOMPARE(b.readInteger(QStringLiteral("N")), 5);
    a.closeKey();
    b.closeKey();
    // An operator may edit the file while the program is stopped.
    writeAll(m_path, QByteArray(Doc).replace("\"text\"", "\"edited by hand\""));
    QVERIFY(b.openKey(Home));
    QCOMPARE(b.readString(QStringLiteral("T")), QStringLiteral("edited by hand"));
}

void TestStore::seedingWritesEveryRestoredValueAndNeverOverwrites_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("values"); // I or T and the name, in the order they are read
    QTest::addColumn<QByteArrayList>("lines");
    QStringList home{"THmTitle"};
    for (int n = 1; n <= 10; ++n) {
        for (const char* prefix : {"UnitTitle", "ID", "Recipe"}) {
            for (const char* m : {"A", "B", "C"})
                home << QStringLiteral("T%1%2_%3").arg(prefix, m).arg(n);
        }
    }
    QTest::newRow("FmHome") << "FmHome" << home.join(u' ')
                            << QByteArrayList{R"("UnitTitleC_10"="溫控點 10")", R"("IDC_10"="30")",
                                              R"("IDA_1"="1")", R"("RecipeA_1"="100")"};
    QTest::newRow("FmCommSetting")
        << "FmCommSetting"
        << "IScanAll IConverter IPsl ICOMA ICOMB ICOMC TBPSA TBPSB TBPSC TTitle"
        << QByteArrayList{R"("Psl"=dword:00000001)", R"("COMC"=dword:00000002)", R"("BPSB"="2")",
                          R"("Title"="Quillmere 8.21")"};
    QTest::newRow("FmChartSetting")
        << "FmChartSetting"
        << "IRdoAutoA IRdoAutoB IRdoAutoC IRdoLimitA IRdoLimitB IRdoLimitC TTxtYminA TTxtYminB "
           "TTxtYminC TTxtYmaxA TTxtYmaxB TTxtYmaxC IChk3DA IChk3DB IChk3DC IChkSV1 IChkSV2 "
           "IChkSV3 TTxtChtSample TTxtChtAMax TTxtChtBMax TTxtChtCMax"
        << QByteArrayList{R"("RdoAutoC"=dword:00000001)", R"("RdoLimitA"=dword:00000000)",
                          R"("TxtYmaxB"="100")", R"("ChkSV3"=dword:00000001)",
                          R"("TxtChtCMax"="600")"};
    QTest::newRow("FmRecord")
        << "FmRecord"
        << "IChkSave ITxtSampleTime ICboSampleUnit ICboSaveUnit ICboFileType TTxtFilePath"
        << QByteArrayList{R"("TxtSampleTime"=dword:0000000a)",
                          R"("TxtFilePath"="/plant/Quillmere Data")"};
}

void TestStore::seedingWritesEveryRestoredValueAndNeverOverwrites()
{
    QFETCH(QString, key);
    QFETCH(QString, values);
    QFETCH(QByteArrayList, lines);
    const QString path = m_dir->filePath(QStringLiteral("new/settings.reg"));
    QVERIFY(store::seedDefaultSettings(path, QStringLiteral("/plant")));
    const QByteArray seeded = readAll(path);
    for (const QByteArray& line : lines)
        QVERIFY2(seeded.contains("\n" + line + "\n"), line.constData());
    RegistryFile file(path);
    SettingsStore s(file);
    QVERIFY(s.openKey(store::programKey(key)));
    QStringList names;
    for (const QString& v : values.split(u' ')) {
        names << v.mid(1);
        QCOMPARE(errorOf([&] {
                     v[0] == u'I' ? void(s.readInteger(v.mid(1))) : void(s.readString(v.mid(1)));
                 }),
                 QStringLiteral("no error"));
    }
    QCOMPARE(s.getValueNames(), names);
    QVERIFY(!seeded.contains("password"));

    QVERIFY(!store::seedDefaultSettings(m_path, QStringLiteral("/plant")));
    QCOMPARE(readAll(m_path), Doc);
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
