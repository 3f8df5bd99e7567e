// The real main window against simulated controllers: what an operator sees after "Start".
#include "../ui/RecordingDialogs.h"
#include "SimProcess.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "audit/AuditChain.h"
#include "ui/RadioGroup.h"
#include "ui/dialogs/TFmBarPage.h"
#include "ui/dialogs/TFmCommSetting.h"
#include "ui/dialogs/TFmRecord.h"
#include "ui/dialogs/TFmshowpawd.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TRecipePage.h"
#include "ui/params/TFmSetPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

namespace {
RecordingDialogs* g_dialogs = nullptr;
}

class TestHomeSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void monitorOneShowsTheControllers();
    void parameterAndRecipeWritesReachTheControllers();
    void recordedRowsMatchTheTiles();
};

void TestHomeSim::monitorOneShowsTheControllers()
{
    // Station 3 has two decimals from its DP setting; the rest one.
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs422", "--stations",
                    "com=1,ids=1-2,family=104,input=0,pv=253,sv=300", "--station",
                    "com=1,id=3,family=104,input=53,dp=2,pv=2531,sv=3000", "--stations",
                    "com=1,ids=4-10,family=104,input=0,pv=253,sv=300", "--stations",
                    "com=2,ids=11-20", "--stations", "com=3,ids=21-30", "--stations",
                    "com=3,ids=1-10,family=104,input=0,pv=400,sv=300", "--frozen",
                    "--no-wire-timing"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());

    Program program(*g_dialogs);
    QVERIFY(program.start());
    const Windows& w = program.windows();
    TFmHome* home = w.FmHome;
    // The shipped default store puts Monitor m on COM m, Modbus RTU, 4-wire converter.
    QCOMPARE(home->engine().model().line(3).ComPort, 3);
    QTest::mouseClick(home->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);
    QVERIFY(w.FmBarPage->isVisible());

    auto text = [&](int slot, const char* box) {
        return home->findChild<TController*>(QStringLiteral("ControllerA%1").arg(slot))
            ->findChild<QLineEdit*>(box)
            ->text();
    };
    auto linkShown = [&](int slot) {
        return !home->findChild<TController*>(QStringLiteral("ControllerA%1").arg(slot))
                    ->findChild<QLabel*>("ImgLink")
                    ->pixmap()
                    .isNull();
    };
    QTRY_COMPARE_WITH_TIMEOUT(text(10, "TxtPV"), QStringLiteral("25.3"), 60000);
    QCOMPARE(text(1, "TxtSV"), QStringLiteral("30.0"));
    QCOMPARE(text(3, "TxtPV"), QStringLiteral("25.31"));
    QCOMPARE(text(3, "TxtSV"), QStringLiteral("30.00"));
    QVERIFY(linkShown(1));
    // The DP dialog closed itself once the scan had filled its bars.
    QTRY_VERIFY_WITH_TIMEOUT(!w.FmBarPage->isVisible(), 60000);
    QVERIFY(home->DpScanDone());

    // A controller that falls silent empties on its fourth failed pass.
    // Frames counted from before the fault, so no failed attempt slips past the count.
    sim.clearFrames();
    QVERIFY(sim.command(QStringLiteral("fault 1 6 silent")));
    QTRY_VERIFY_WITH_TIMEOUT(text(6, "TxtPV").isEmpty(), 120000);
    int pvAttempts = 0;
    for (const QString& f : sim.frames(1))
        pvAttempts += f.startsWith(QStringLiteral("0603008a"));
    QVERIFY(pvAttempts >= 24);
    QVERIFY(!linkShown(6));
    QVERIFY(text(6, "TxtSV").isEmpty());
    QCOMPARE(text(7, "TxtPV"), QStringLiteral("25.3"));

    // The communication dialog moves Monitor 1 to COM3 while polling runs: the old port is
    // let go, and Monitor 1 shares the one descriptor of COM3 with Monitor 3.
    home->BtnDClick();
    auto* dialog = w.FmCommSetting;
    QTest::mouseClick(dialog->findChild<RadioGroup*>("CboComA")->button(2), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(text(2, "TxtPV"), QStringLiteral("40.0"), 20000);
    QTRY_COMPARE(sim.portEvents(1).last(), QStringLiteral("close"));
    QCOMPARE(sim.opens(3), 1);
    home->close();
}

void TestHomeSim::parameterAndRecipeWritesReachTheControllers()
{
    // One, two and no decimals on Monitors 1, 2 and 3.
    SimProcess sim({"--stations", "com=1,ids=1-10,family=104,input=0,pv=253,sv=300", "--stations",
                    "com=2,ids=11-20,family=104,input=53,dp=2,pv=2531,sv=3000", "--stations",
                    "com=3,ids=21-30,family=7,input=4,pv=25,sv=30", "--frozen",
                    "--no-wire-timing"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    Program program(*g_dialogs);
    QVERIFY(program.start());
    const Windows& w = program.windows();
    TFmHome* home = w.FmHome;
    QTest::mouseClick(home->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(home->DpScanDone(), 60000);
    const auto reg = [&sim](int com, int id, int code) {
        QString answer;
        sim.command(QStringLiteral("get %1 %2 %3").arg(com).arg(id).arg(code), &answer);
        return answer;
    };

    // SV of Monitor 1, slot 4 from the Set Controller dialog, written after the operator has
    // turned to Monitor 2's page: it goes where the dialog says, and nowhere else.
    QTest::mouseClick(home->tile(1, 4)->findChild<QPushButton*>("BtnSET"), Qt::LeftButton);
    QVERIFY(w.FmSetPage->isVisible());
    QTest::mouseClick(home->findChild<QPushButton*>("BtnB"), Qt::LeftButton);
    QCOMPARE(home->CurrentMonitor(), 2);
    QCOMPARE(w.FmSetPage->findChild<QLabel*>("LbPanel")->text(), QStringLiteral("1"));
    sim.clearFrames();
    QTest::keyClicks(w.FmSetPage->findChild<QLineEdit*>("L1Value"), "123.5");
    QTest::mouseClick(w.FmSetPage->findChild<QPushButton*>("WritwL1"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reg(1, 4, 0), QStringLiteral("value 1235"), 10000);
    QCOMPARE(reg(2, 14, 0), QStringLiteral("value 3000"));
    QVERIFY(sim.waitForFrames(2, 8, 5000));
    for (int com : {1, 2, 3}) {
        QStringList writes;
        for (const QString& f : sim.frames(com))
            if (f.mid(2, 2) == QLatin1String("06"))
                writes << f.left(12);
        QCOMPARE(writes, com == 1 ? QStringList("0406000004d3") : QStringList());
    }

    // Monitor 2, slot 10 moves from two decimals to one; the SV typed next is scaled by one.
    QTest::mouseClick(home->tile(2, 10)->findChild<QPushButton*>("BtnSET"), Qt::LeftButton);
    w.FmSetPage->findChild<QTabWidget*>("WritwL5")->setCurrentIndex(2);
    w.FmSetPage->findChild<QComboBox*>("TypeL3")->setCurrentText(QStringLiteral("DP"));
    w.FmSetPage->findChild<QComboBox*>("DPL3")->setCurrentIndex(1);
    QTest::mouseClick(w.FmSetPage->findChild<QPushButton*>("WritwL3"), Qt::LeftButton);
    QTest::keyClicks(w.FmSetPage->findChild<QLineEdit*>("L1Value"), "45.5");
    QTest::mouseClick(w.FmSetPage->findChild<QPushButton*>("WritwL1"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reg(2, 20, 0), QStringLiteral("value 455"), 10000);
    QCOMPARE(reg(2, 20, 75), QStringLiteral("value 1"));

    // The lock hides the dialog still open; it writes nothing until the lock is lifted.
    QTest::mouseClick(home->tile(2, 4)->findChild<QPushButton*>("BtnSET"), Qt::LeftButton);
    w.Fmshowpawd->setRadioGroup1Index(0);
    w.Fmshowpawd->show();
    QTest::mouseClick(w.Fmshowpawd->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    QVERIFY(!w.FmSetPage->isVisible());
    QVERIFY(!home->tile(2, 4)->findChild<QPushButton*>("BtnSET")->isEnabled());
    w.FmSetPage->findChild<QLineEdit*>("L1Value")->setText(QStringLiteral("1"));
    w.FmSetPage->WritwL1Click();
    QVERIFY(!home->engine().model().WritePending);
    QVERIFY(g_dialogs->messages.last().contains(QLatin1String("until the lock is lifted")));

    // A recipe to all Monitors, each value scaled by its controller's decimals.
    for (int s = 1; s <= 10; ++s) {
        home->recipeEdit(1, s)->setText(QStringLiteral("%1.5").arg(100 + s));
        home->recipeEdit(2, s)->setText(QStringLiteral("45.%1").arg(10 + s));
        home->recipeEdit(3, s)->setText(QString::number(170 + s));
    }
    g_dialogs->messages.clear();
    QTest::mouseClick(home->findChild<QPushButton*>("BtnWriteAll"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(reg(3, 30, 0), QStringLiteral("value 180"), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(reg(1, 10, 0), QStringLiteral("value 1105"), 5000);
    QCOMPARE(reg(1, 1, 0), QStringLiteral("value 1015"));
    QCOMPARE(reg(2, 15, 0), QStringLiteral("value 4515"));
    QCOMPARE(reg(3, 21, 0), QStringLiteral("value 171"));
    // Every write in the trail with where it came from and what became of it.
    QTRY_VERIFY_WITH_TIMEOUT(!home->recipePage()->isWriting(), 10000);
    QStringList writes;
    for (const audit::AuditEntry& e : audit::readEntries(sim.home() + "/audit"))
        if (e.kind == audit::kind::Write)
            writes << QStringList{e.details["source"].toString(),
                                  e.details["monitor"].toVariant().toString(),
                                  e.details["slot"].toVariant().toString(),
                                  e.details["parameter"].toString(),
                                  e.details["text"].toString(),
                                  e.details["word"].toString(),
                                  e.details["result"].toString()}
                          .join('|');
    QCOMPARE(writes.first(), QStringLiteral("Set Controller|1|4|SV|123.5|0x04d3|sent"));
    QVERIFY2(writes.contains("Set Controller|1|4|SV|123.5|0x04d3|confirmed"),
             qPrintable(writes.join('\n')));
    QVERIFY2(writes.contains("recipe |3|10|SV|180|0x00b4|confirmed"),
             qPrintable(writes.join('\n')));
    // The write tried under the lock: refused, and on the record all the same.
    QVERIFY2(writes.filter(QRegularExpression("^Set Controller\\|2\\|4\\|\\w+\\|1\\|.*\\|refused$"))
                     .size() == 1,
             qPrintable(writes.join('\n')));
    QCOMPARE(audit::verifyFolder(sim.home() + "/audit").intact, true);
    home->close();
}

void TestHomeSim::recordedRowsMatchTheTiles()
{
    // Two kinds of controller on Monitor 1, none on Monitor 2, one decimal more on Monitor 3.
    SimProcess sim({"--stations", "com=1,ids=1-5,family=104,input=0,pv=253,sv=300", "--stations",
                    "com=1,ids=6-10,family=104,input=0,pv=312,sv=400", "--stations",
                    "com=3,ids=21-30,family=104,input=53,dp=2,pv=4012,sv=3000", "--frozen",
                    "--no-wire-timing"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    Program program(*g_dialogs);
    QVERIFY(program.start());
    TFmHome* home = program.windows().FmHome;
    TFmRecord* dialog = program.windows().FmRecord;
    const QString folder = sim.home() + "/records";

    home->BitBtn1Click();
    dialog->findChild<QCheckBox*>("ChkSave")->click();
    dialog->findChild<QLineEdit*>("TxtSampleTime")->setText("1");
    dialog->findChild<QComboBox*>("CboSaveUnit")->setCurrentIndex(1);
    dialog->findChild<QLineEdit*>("TxtFilePath")->setText(folder);
    QTest::mouseClick(dialog->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
    QTest::mouseClick(home->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);

    // The last row of a Monitor's newest file, as its cells.
    auto lastRow = [&](int monitor) {
        const QString dir = folder + QStringLiteral("/Monitor%1").arg(monitor);
        const QStringList files = QDir(dir).entryList(QDir::Files, QDir::Time);
        QFile file(files.isEmpty() ? QString() : dir + '/' + files[0]);
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        const QList<QByteArray> lines = file.readAll().split('\n');
        return lines.size() < 3 ? QStringList()
                                : QString::fromLocal8Bit(lines[lines.size() - 2]).split('\t');
    };
    auto tileText = [&](int monitor, int slot, const char* box) {
        return home->tile(monitor, slot)->findChild<QLineEdit*>(box)->text();
    };
    for (int monitor : {1, 3}) {
        home->ShowMonitor(monitor);
        QTRY_VERIFY_WITH_TIMEOUT(!tileText(monitor, 10, "TxtPV").isEmpty(), 60000);
        // A row taken after the tiles filled; the controllers are frozen, so both hold still.
        QTRY_VERIFY_WITH_TIMEOUT(lastRow(monitor).value(19) == tileText(monitor, 10, "TxtPV"),
                                 10000);
        const QStringList row = lastRow(monitor);
        QCOMPARE(row.size(), 22); // time, 20 values, and the CR after the last TAB
        QCOMPARE(row.last(), QStringLiteral("\r"));
        for (int s = 1; s <= 10; ++s) {
            QCOMPARE(row[2 * s - 1], tileText(monitor, s, "TxtPV"));
            QCOMPARE(row[2 * s], tileText(monitor, s, "TxtSV"));
        }
    }
    QCOMPARE(lastRow(1)[1], QStringLiteral("25.3"));
    QCOMPARE(lastRow(3)[20], QStringLiteral("30.00"));
    QCOMPARE(lastRow(2).mid(1, 20), QStringList(20, QStringLiteral("Empty")));
    QCOMPARE(home->statusLine()->segment(QStringLiteral("record")), QStringLiteral("Recording"));
    home->close();
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestHomeSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_home_sim.moc"
