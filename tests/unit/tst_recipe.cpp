// Recipe files as bytes on disk: the format, the load rules, the name rule, and that a save
// which cannot finish leaves the old recipe exactly as it was.
#include "recipe/RecipeFile.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QStringList thirtyOf(const QString& text)
{
    return QStringList(recipe::FieldCount, text);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestRecipe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileBytesRoundTrip_data();
    void fileBytesRoundTrip();
    void loadRules_data();
    void loadRules();
    void names_data();
    void names();
    void failingSaveKeepsTheOldFile();
};

void TestRecipe::fileBytesRoundTrip_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("thirty 100") << thirtyOf("100") << QByteArray("100,").repeated(30);
    QTest::newRow("all empty") << thirtyOf({}) << QByteArray(30, ',');
    QStringList mixed = thirtyOf("1.5");
    mixed[0] = QStringLiteral("攝氏");
    mixed[29] = QStringLiteral("-0.5");
    QTest::newRow("system encoding, no BOM")
        << mixed << "\xe6\x94\x9d\xe6\xb0\x8f," + QByteArray("1.5,").repeated(28) + "-0.5,";
}

void TestRecipe::fileBytesRoundTrip()
{
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, bytes);
    QCOMPARE(recipe::recipeFileBytes(fields), bytes);
    QCOMPARE(recipe::recipeFields(bytes), fields);
}

void TestRecipe::loadRules_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("fault"); // empty: the page loads it
    QStringList three = thirtyOf({});
    three[0] = QStringLiteral("1");
    three[1] = QStringLiteral("2");
    const QString miss = QStringLiteral("holds %1 values instead of 30");
    QTest::newRow("1,2,3: the last value has no comma")
        << QByteArray("1,2,3") << three << miss.arg(3);
    QTest::newRow("text after the thirtieth comma")
        << QByteArray("100,").repeated(30) + "7,8,junk\r\n"
        << thirtyOf("100") << miss.arg(33);
    QTest::newRow("empty file") << QByteArray() << thirtyOf({}) << miss.arg(0);
    QTest::newRow("31 fields") << QByteArray("5,").repeated(31) << thirtyOf("5") << miss.arg(31);
    QTest::newRow("line end after the thirtieth comma") << QByteArray("5,").repeated(30) + "\r\n"
                                                        << thirtyOf("5") << QString();
    QStringList cut = thirtyOf("5");
    cut[29] = QString();
    QTest::newRow("29 fields") << QByteArray("5,").repeated(29) << cut << miss.arg(29);
    QTest::newRow("thirtieth value without its comma")
        << QByteArray("5,").repeated(29) + "25" << cut
        << "ends in a value without its comma, as a file cut short does";
    QStringList chinese = thirtyOf("5");
    chinese[0] = QStringLiteral("攝氏");
    const QString text = QStringLiteral("攝氏,") + QStringLiteral("5,").repeated(29);
    QTest::newRow("UTF-8 with byte-order mark")
        << "\xef\xbb\xbf" + text.toUtf8() << chinese << QString();
    const QByteArray le = QByteArray("\xff\xfe") + QStringEncoder(QStringEncoder::Utf16LE)(text);
    const QByteArray be = QByteArray("\xfe\xff") + QStringEncoder(QStringEncoder::Utf16BE)(text);
    QTest::newRow("UTF-16 LE with byte-order mark") << le << chinese << QString();
    QTest::newRow("UTF-16 BE with byte-order mark") << be << chinese << QString();
}

void TestRecipe::loadRules()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QFETCH(QString, fault);
    QCOMPARE(recipe::recipeFields(bytes), fields);
    QCOMPARE(recipe::recipeFault(bytes), fault);
}

void TestRecipe::names_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("Line 2.txt") << "/home/q/Recipe/Line 2.txt"
                                << "Line 2";
    QTest::newRow("upper-case extension") << "/home/q/Recipe/Line2.TXT"
                                          << "";
    QTest::newRow("first .txt") << "Batch.txt.old"
                                << "Batch";
    QTest::newRow("folder not searched") << "/home/q/a.txt/plain"
                                         << "";
}

void TestRecipe::names()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(recipe::recipeName(path), name);
}

void TestRecipe::failingSaveKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Line 2.txt"));
    const QByteArray old = QByteArray("5,").repeated(30);
    QCOMPARE(recipe::saveRecipeFile(path, "an older recipe, replaced"), QString());
    QCOMPARE(recipe::saveRecipeFile(path, old), QString());
    QCOMPARE(readFile(path), old);

    // A file size limit below the new recipe's length: the write stops part way, as on a full
    // disk. Without the signal ignored the process would be killed instead.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 70;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = recipe::saveRecipeFile(path, QByteArray("100,").repeated(30));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY2(error.contains(path) && error.contains(QStringLiteral("File too large")),
             qPrintable(error));
    QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Line 2.txt"});
}

QTEST_GUILESS_MAIN(TestRecipe)
#include "tst_recipe.moc"
