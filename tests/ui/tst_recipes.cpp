// The recipe page in the running program: what SAVE puts on disk, what Load puts in the edits,
// the boxes the operator sees, and the writes posted to the engine, one pending at a time.
#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/dialogs/TFmWriting.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TRecipePage.h"
#include "ui/params/TFmSetPage.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

RecordingDialogs* g_dialogs = nullptr;
const QStringList WriteButtons = {"BtnWriteA", "BtnWriteB", "BtnWriteC", "BtnWriteAll"};

// The program started on a home of its own, its engine stepped slot by slot by a timer over
// those controllers (the engine thread itself is exercised against the simulator in e2e).
struct Run
{
    QTemporaryDir dir;
    FakeLine::Log log;
    Bank controllers;
    std::unique_ptr<Program> program;
    QStringList posts; // "monitor/slot/code/text" as the engine sent them
    QTimer engine;
    int step = 0;

    Run()
    {
        qputenv("QUILLMERE_HOME", dir.path().toLocal8Bit());
        g_dialogs->messages.clear();
        g_dialogs->icons.clear();
        StartOptions options;
        options.makeEngine = [this] {
            auto* line = new FakeLine(&log);
            line->answer = [this](const QByteArray& req, int) { return controllers.answer(req); };
            return std::make_unique<TCommController>(
                std::make_unique<TRs485Comm>(std::unique_ptr<comm::SerialIo>(line)));
        };
        program = std::make_unique<Program>(*g_dialogs, options);
        if (!program->start())
            qFatal("the program did not start");
        for (int m = 1; m <= 3; ++m) {
            home()->engine().model().line(m).Converter = TConverter::RS485;
            for (int s = 1; s <= 10; ++s)
                controllers.regs[(m - 1) * 10 + s] = {};
        }
        QObject::connect(&home()->engine(), &TCommController::writeResult,
                         [this](const WriteResult& r) {
                             if (r.outcome == WriteResult::Sent)
                                 posts << QStringLiteral("%1/%2/%3/")
                                                  .arg(r.write.monitor)
                                                  .arg(r.write.slot)
                                                  .arg(r.write.code) +
                                              r.write.valueText;
                         });
        engine.setInterval(5);
        QObject::connect(&engine, &QTimer::timeout, [this] {
            home()->engine().PollSlot(step / 10 + 1, step % 10 + 1);
            step = (step + 1) % 30;
        });
    }
    TFmHome* home() const { return program->windows().FmHome; }
    TFmWriting* writing() const { return program->windows().FmWriting; }
    template <class T> T* find(const QString& name) const
    {
        // The progress dialog's names first: other dialogs have an LbTitle and a BtnOK too.
        T* found = writing()->findChild<T*>(name);
        return found ? found : home()->findChild<T*>(name);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList edits() const
    {
        QStringList texts;
        for (int i = 0; i < 30; ++i)
            texts << home()->recipeEdit(i / 10 + 1, i % 10 + 1)->text();
        return texts;
    }
    void setEdits(const QStringList& texts) const
    {
        for (int i = 0; i < 30; ++i)
            home()->recipeEdit(i / 10 + 1, i % 10 + 1)->setText(texts[i]);
    }
    QString recipeName() const { return find<QLabel>("LbRecipeName")->text(); }
};

} // namespace

class TestRecipes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void saveWritesTheEdits();
    void loadFillsTheEdits();
    void fileErrorsReplaceComplete_data();
    void fileErrorsReplaceComplete();
    void writesPostOneAtATime_data();
    void writesPostOneAtATime();
    void stalledEngineHoldsTheWrite();
    void dialogWriteDuringARecipeWaitsItsTurn();
};

void TestRecipes::saveWritesTheEdits()
{
    Run r;
    QVERIFY(QFileInfo(r.path("Recipe")).isDir()); // made at start
    QVERIFY(QFile(r.path("Recipe/Line3.txt")).open(QIODevice::WriteOnly));
    QStringList texts(30, QStringLiteral("100"));
    texts[0] = QStringLiteral("攝氏25");
    texts[29] = QString();
    r.setEdits(texts);
    // The default extension is added, and the file of that name replaced only when confirmed.
    const QString asked = "儲存配方|Line3.txt already exists.\nDo you want to replace it?";
    g_dialogs->fileAnswer = r.path("Recipe/Line3");
    g_dialogs->confirmAnswer = false;
    r.find<QPushButton>("BtnSaveRecipe")->click();
    g_dialogs->confirmAnswer = true;
    QFile file(r.path("Recipe/Line3.txt"));
    QCOMPARE(file.size(), 0);
    QCOMPARE(g_dialogs->messages, QStringList{asked});
    r.find<QPushButton>("BtnSaveRecipe")->click();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "\xe6\x94\x9d\xe6\xb0\x8f" + QByteArray("25,") +
                                 QByteArray("100,").repeated(28) + ",");
    QCOMPARE(r.recipeName(), QStringLiteral("Line3"));
    QCOMPARE(g_dialogs->messages, QStringList({asked, asked, "Save Recive|Complete!"}));
    QCOMPARE(g_dialogs->icons.value(0), DialogService::Icon::Information);
}

void TestRecipes::loadFillsTheEdits()
{
    Run r;
    QFile file(r.path("Recipe/Line 2.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("1,2," + QByteArray(28, ',')) == 32);
    file.close();
    g_dialogs->fileAnswer = file.fileName();
    r.find<QPushButton>("BtnLoadRecipe")->click();
    QStringList edits(30, QString());
    edits[0] = QStringLiteral("1");
    edits[1] = QStringLiteral("2");
    QCOMPARE(r.edits(), edits);
    QCOMPARE(r.recipeName(), QStringLiteral("Line 2"));
    QCOMPARE(g_dialogs->messages, QStringList{"Load Recipe|Complete!"});
}

void TestRecipes::fileErrorsReplaceComplete_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("answer"); // in the home folder; empty: cancelled
    QTest::addColumn<QString>("b3");     // Monitor 2, slot 3
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QByteArray>("content"); // of the answer, put there first when not empty
    const auto row = [](const char* name, const char* button, const char* answer, const char* b3,
                        const char* caption, const char* says, const QByteArray& content = {}) {
        QTest::newRow(name) << QString(button) << QString(answer) << QString(b3) << QString(caption)
                            << QString(says) << content;
    };
    row("save cancelled", "BtnSaveRecipe", "", "100", "", "");
    row("load cancelled", "BtnLoadRecipe", "", "100", "", "");
    row("save into a missing folder", "BtnSaveRecipe", "nowhere/x.txt", "100", "Save Recive",
        "nowhere/x.txt");
    row("load a missing file", "BtnLoadRecipe", "Recipe/gone.txt", "100", "Load Recipe",
        "No such file or directory");
    row("save a value with a comma", "BtnSaveRecipe", "Recipe/x.txt", "1,5", "Save Recive",
        "SV 03 of Monitor2");
    row("load three values", "BtnLoadRecipe", "Recipe/x.txt", "100", "error",
        "x.txt holds 3 values instead of 30. Nothing was loaded.", "1,2,3");
}

void TestRecipes::fileErrorsReplaceComplete()
{
    QFETCH(QString, button);
    QFETCH(QString, answer);
    QFETCH(QString, b3);
    QFETCH(QString, caption);
    QFETCH(QString, says);
    QFETCH(QByteArray, content);
    Run r;
    r.home()->recipeEdit(2, 3)->setText(b3);
    const QStringList before = r.edits();
    g_dialogs->fileAnswer = answer.isEmpty() ? QString() : r.path(answer);
    QFile file(g_dialogs->fileAnswer);
    QVERIFY(content.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(content) > 0));
    file.close();
    r.find<QPushButton>(button)->click();
    QCOMPARE(r.edits(), before);
    QCOMPARE(r.recipeName(), QString());
    QCOMPARE(QDir(r.path("Recipe")).entryList(QDir::Files),
             content.isEmpty() ? QStringList() : QStringList{"x.txt"});
    if (caption.isEmpty()) {
        QCOMPARE(g_dialogs->messages, QStringList());
        return;
    }
    QCOMPARE(g_dialogs->messages.size(), 1);
    QVERIFY2(g_dialogs->messages[0].startsWith(caption + '|') &&
                 g_dialogs->messages[0].contains(says),
             qPrintable(g_dialogs->messages[0]));
    QCOMPARE(g_dialogs->icons[0], DialogService::Icon::Error);
}

void TestRecipes::writesPostOneAtATime_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("firstMonitor");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("closeOnTheWay");
    QTest::addColumn<QString>("fault");   // "silent <station>" or "text <monitor> <slot> <text>"
    QTest::addColumn<QString>("problem"); // the one line of the closing message
    const QString one = QStringLiteral("Write to Controllers of Monitor%1....");
    const QString all = QStringLiteral("Write to All Controller....");
    const QString none;
    QTest::newRow("Monitor 1") << "BtnWriteA" << one.arg(1) << 1 << 10 << false << none << none;
    QTest::newRow("Monitor 2") << "BtnWriteB" << one.arg(2) << 2 << 10 << false << none << none;
    QTest::newRow("Monitor 3") << "BtnWriteC" << one.arg(3) << 3 << 10 << false << none << none;
    QTest::newRow("all") << "BtnWriteAll" << all << 1 << 30 << false << none << none;
    QTest::newRow("all, dialog closed on the way")
        << "BtnWriteAll" << all << 1 << 30 << true << none << none;
    QTest::newRow("Monitor 2, one silent controller")
        << "BtnWriteB" << one.arg(2) << 2 << 10 << false << "silent 13"
        << "SV 03 of Monitor2: no reply";
    QTest::newRow("Monitor 3, a value that is no number")
        << "BtnWriteC" << one.arg(3) << 3 << 10 << false << "text 3 5 abc"
        << "SV 05 of Monitor3: 'abc' is not a number";
}

void TestRecipes::writesPostOneAtATime()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(int, firstMonitor);
    QFETCH(int, count);
    QFETCH(bool, closeOnTheWay);
    QFETCH(QString, fault);
    QFETCH(QString, problem);
    Run r;
    QStringList texts;
    for (int i = 0; i < 30; ++i)
        texts << QStringLiteral("%1.%2").arg(i / 10 + 1).arg(i % 10 + 1);
    const QStringList f = fault.split(u' ');
    if (f[0] == QLatin1String("silent"))
        r.controllers.silent << f[1].toInt();
    if (f[0] == QLatin1String("text"))
        texts[(f[1].toInt() - 1) * 10 + f[2].toInt() - 1] = f[3];
    r.setEdits(texts);
    const int last = firstMonitor + (count - 1) / 10;
    QStringList expected;
    for (int i = 0; i < count; ++i)
        if (const QString t =
                i == count - 1 ? QStringLiteral("9.9") : texts[(firstMonitor - 1) * 10 + i];
            t != QLatin1String("abc"))
            expected
                << QStringLiteral("%1/%2/0/%3").arg(firstMonitor + i / 10).arg(i % 10 + 1).arg(t);
    const quint64 firstId = r.home()->engine().model().lastWriteId;
    auto* bar = r.find<QProgressBar>("Bar");
    auto* lbTitle = r.find<QLabel>("LbTitle");

    r.engine.start();
    r.find<QPushButton>(button)->click();
    QVERIFY(r.writing()->isVisible());
    QCOMPARE(lbTitle->text(), title);
    QCOMPARE(bar->maximum(), count);
    QVERIFY(!r.find<QPushButton>("BtnOK")->isVisible());
    QTRY_VERIFY(r.posts.size() >= 1);
    // Read at its own post: a change now reaches the last slot.
    r.home()->recipeEdit(last, 10)->setText(QStringLiteral("9.9"));
    // Another write pressed meanwhile must not take turns with this one.
    for (const QString& other : WriteButtons) {
        QVERIFY(!r.find<QPushButton>(other)->isEnabled());
        r.find<QPushButton>(other)->click();
    }
    // Nor may a load put another recipe's values under the slots still to come.
    QVERIFY(!r.find<QPushButton>("BtnLoadRecipe")->isEnabled());
    r.home()->recipePage()->BtnWriteAllClick();
    if (closeOnTheWay)
        r.writing()->close();

    QTRY_COMPARE_WITH_TIMEOUT(r.posts.size(), expected.size(), count * 200 + 2000);
    QCOMPARE(r.posts, expected);
    QCOMPARE(r.home()->engine().model().lastWriteId - firstId, quint64(expected.size()));
    // Done once every written slot has read its value back.
    for (const QString& other : WriteButtons + QStringList{"BtnLoadRecipe"})
        QTRY_VERIFY(r.find<QPushButton>(other)->isEnabled());
    const QString closing = QStringLiteral("Write Recipe|These set values were not written or not "
                                           "confirmed:\n") +
                            problem;
    QCOMPARE(g_dialogs->messages, problem.isEmpty() ? QStringList() : QStringList(closing));
    if (closeOnTheWay) {
        QVERIFY(!r.writing()->isVisible());
        return;
    }
    // The last post filled the bar; the once-a-second look sees it within a second (with
    // room for a busy machine).
    QCOMPARE(bar->value(), count);
    QTRY_COMPARE_WITH_TIMEOUT(lbTitle->text(),
                              problem.isEmpty() ? QStringLiteral("Complete!")
                                                : QStringLiteral("Not all values were written"),
                              1250);
    QVERIFY(r.find<QPushButton>("BtnOK")->isVisible());
    r.find<QPushButton>("BtnOK")->click();
    QVERIFY(!r.writing()->isVisible());
    QCOMPARE(bar->value(), 0);
    QVERIFY(!r.writing()->findChild<QTimer*>("Timer1")->isActive());
}

void TestRecipes::stalledEngineHoldsTheWrite()
{
    Run r;
    auto* lbTitle = r.find<QLabel>("LbTitle");
    // The dialog still open from a finished write, showing "Complete!" over a full bar.
    r.writing()->beginWrite(QStringLiteral("earlier"), 10);
    r.writing()->setBarPosition(10);
    r.writing()->setOutcome(QStringLiteral("Complete!"));
    QTRY_COMPARE_WITH_TIMEOUT(lbTitle->text(), QStringLiteral("Complete!"), 1250);

    // Its last write still pending, and nothing takes writes (polling not started): the new
    // write waits, however long, without reading as done.
    r.home()->engine().RequestWrite(1, 10, 0, QStringLiteral("12"));
    r.find<QPushButton>("BtnWriteB")->click();
    QCOMPARE(lbTitle->text(), QStringLiteral("Write to Controllers of Monitor2...."));
    QVERIFY(!r.find<QPushButton>("BtnOK")->isVisible());
    QTest::qWait(1300);
    QCOMPARE(lbTitle->text(), QStringLiteral("Write to Controllers of Monitor2...."));
    QCOMPARE(r.find<QProgressBar>("Bar")->value(), 0);
    QVERIFY(!r.find<QPushButton>("BtnWriteA")->isEnabled());
    r.engine.start();
    QTRY_COMPARE_WITH_TIMEOUT(r.posts.size(), 11, 4000);
    QCOMPARE(r.posts.mid(0, 2), QStringList({"1/10/0/12", "2/1/0/100"}));
}

void TestRecipes::dialogWriteDuringARecipeWaitsItsTurn()
{
    Run r;
    r.engine.start();
    r.find<QPushButton>("BtnWriteAll")->click();
    QTRY_VERIFY(r.posts.size() >= 3);
    TFmSetPage* set = r.program->windows().FmSetPage;
    // SET on Monitor 3, slot 4 (its recipe value comes last), then back to Monitor 1's page.
    r.find<QPushButton>("BtnC")->click();
    QTest::mouseClick(r.home()->tile(3, 4)->findChild<QPushButton*>("BtnSET"), Qt::LeftButton);
    r.find<QPushButton>("BtnA")->click();
    QTest::keyClicks(set->findChild<QLineEdit*>("L1Value"), "55");
    QTest::mouseClick(set->findChild<QPushButton*>("WritwL1"), Qt::LeftButton);
    // Nothing replaced: thirty recipe values and the dialog's, each once, in the order posted.
    QTRY_COMPARE_WITH_TIMEOUT(r.posts.size(), 31, 10000);
    const qsizetype dialog = r.posts.indexOf(QStringLiteral("3/4/0/55"));
    QVERIFY2(dialog >= 3, qPrintable(r.posts.join(u' ')));
    QStringList recipe = r.posts;
    recipe.removeAt(dialog);
    for (int i = 0; i < 30; ++i)
        QCOMPARE(recipe[i], QStringLiteral("%1/%2/0/100").arg(i / 10 + 1).arg(i % 10 + 1));
    QTRY_COMPARE(r.find<QLabel>("LbTitle")->text(), QStringLiteral("Complete!"));
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestRecipes test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recipes.moc"
