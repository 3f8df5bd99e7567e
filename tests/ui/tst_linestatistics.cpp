// The line statistics on screen: the status line's text from a statistics copy, its click and
// segments, and the statistics window over an engine that has polled a scripted line.
#include "../unit/FakeLine.h"
#include "engine/TCommController.h"
#include "link/Crc.h"
#include "ui/dialogs/TFmLineStatistics.h"
#include "ui/main/StatusLine.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

namespace {

// A statistics copy with `answering` slotTable answering on each line and the given port errors.
EngineStatistics statistics(const QList<int>& answering, const QStringList& portErrors)
{
    EngineStatistics stats;
    for (int m = 1; m <= 3; ++m) {
        for (int s = 1; s <= answering.value(m - 1); ++s)
            stats.line(m).slot(s).answering = true;
        stats.line(m).portError = portErrors.value(m - 1);
    }
    return stats;
}

// Every controller on the line answers its register reads with 7.
QByteArray answerSeven(const QByteArray& request, int)
{
    if (quint8(request[1]) != 3)
        return request;
    QByteArray r = request.left(2) + QByteArray::fromHex("020007");
    const quint16 crc = comm::crc16Modbus(r);
    r.append(char(crc & 0xFF));
    r.append(char(crc >> 8));
    return r;
}

} // namespace

class TestLineStatistics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusLineSummarisesTheLines_data();
    void statusLineSummarisesTheLines();
    void statusLineClicksAndKeepsSegments();
    void windowShowsTheCountsAndResetsThem();
};

void TestLineStatistics::statusLineSummarisesTheLines_data()
{
    QTest::addColumn<QList<int>>("answering");
    QTest::addColumn<QStringList>("portErrors");
    QTest::addColumn<QStringList>("segments"); // key, text, key, text, ...
    QTest::addColumn<QString>("text");
    QTest::newRow("before anything answered")
        << QList<int>{0, 0, 0} << QStringList{} << QStringList{}
        << "Monitor1 0/10  Monitor2 0/10  Monitor3 0/10";
    QTest::newRow("one controller lost, a line without its port")
        << QList<int>{10, 9, 0} << QStringList{"", "", "COM3 /dev/ttyUSB2: No such device"}
        << QStringList{}
        << "Monitor1 10/10  Monitor2 9/10  Monitor3 0/10 (port error: COM3 /dev/ttyUSB2: No "
           "such device)";
    QTest::newRow("each port error after its own line")
        << QList<int>{0, 0, 10}
        << QStringList{"COM1 /dev/ttyUSB0: hung up (device gone)",
                       "COM2 /dev/ttyS1: in use by process 812", ""}
        << QStringList{}
        << "Monitor1 0/10 (port error: COM1 /dev/ttyUSB0: hung up (device gone))  Monitor2 0/10 "
           "(port error: COM2 /dev/ttyS1: in use by process 812)  Monitor3 10/10";
    QTest::newRow("a port refused to all three lines, said once")
        << QList<int>{0, 0, 0}
        << QStringList(3, "COM4 /dev/ttyUSB0: permission denied (add the user to the dialout "
                          "group)")
        << QStringList{}
        << "Monitor1 0/10 (port error: COM4 /dev/ttyUSB0: permission denied (add the user to the "
           "dialout group))  Monitor2 0/10 (port error: as Monitor1)  Monitor3 0/10 (port error: "
           "as Monitor1)";
    QTest::newRow("later features after the lines")
        << QList<int>{10, 10, 10} << QStringList{}
        << QStringList{"record", "Recording", "publish", "Broker away"}
        << "Monitor1 10/10  Monitor2 10/10  Monitor3 10/10  Recording  Broker away";
}

void TestLineStatistics::statusLineSummarisesTheLines()
{
    QFETCH(QList<int>, answering);
    QFETCH(QStringList, portErrors);
    QFETCH(QStringList, segments);
    QFETCH(QString, text);
    StatusSegments list;
    for (qsizetype i = 0; i + 1 < segments.size(); i += 2)
        list.append({segments[i], segments[i + 1]});
    QCOMPARE(::statusLineText(statistics(answering, portErrors), list), text);
}

void TestLineStatistics::statusLineClicksAndKeepsSegments()
{
    StatusLine line;
    QCOMPARE(line.objectName(), QStringLiteral("StatusLine"));
    line.resize(600, 20);
    line.show();
    QVERIFY(QTest::qWaitForWindowExposed(&line));
    QSignalSpy clicked(&line, &StatusLine::clicked);
    QTest::mouseClick(&line, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    QTest::mouseClick(&line, Qt::RightButton);
    QCOMPARE(clicked.size(), 1);

    line.setStatistics(statistics({10, 10, 3}, {}));
    line.setSegment(QStringLiteral("record"), QStringLiteral("Recording"));
    line.setSegment(QStringLiteral("publish"), QStringLiteral("Broker away"));
    line.setSegment(QStringLiteral("record"), QStringLiteral("Recording paused")); // in place
    QCOMPARE(line.text(), QStringLiteral("Monitor1 10/10  Monitor2 10/10  Monitor3 3/10  "
                                         "Recording paused  Broker away"));
    line.setSegment(QStringLiteral("record"), QString());
    QCOMPARE(line.segment(QStringLiteral("record")), QString());
    QVERIFY(line.text().endsWith(QStringLiteral("Monitor3 3/10  Broker away")));
}

void TestLineStatistics::windowShowsTheCountsAndResetsThem()
{
    FakeLine::Log log;
    auto* fake = new FakeLine(&log);
    fake->answer = answerSeven;
    TCommController engine(std::make_unique<TRs485Comm>(std::unique_ptr<comm::SerialIo>(fake)));
    for (int m = 1; m <= 3; ++m)
        engine.model().line(m) = {m, 38400, TConverter::RS485, TPsl::rtu};
    engine.model().line(3).ComPort = 9;
    engine.PollSlot(1, 2); // four good replies
    engine.PollSlot(3, 1);

    TFmLineStatistics window(&engine);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.isRefreshing());
    auto* lines = window.findChild<QTableWidget*>(QStringLiteral("GrdLines"));
    auto* slotTable = window.findChild<QTableWidget*>(QStringLiteral("GrdSlots"));
    QVERIFY(lines && slotTable);
    const auto cell = [](QTableWidget* t, int r, int c) { return t->item(r, c)->text(); };
    QCOMPARE(cell(lines, 0, TFmLineStatistics::ColPort), QStringLiteral("COM1"));
    QCOMPARE(cell(lines, 0, TFmLineStatistics::ColTransactions), QStringLiteral("4"));
    QCOMPARE(cell(lines, 0, TFmLineStatistics::ColGood), QStringLiteral("4"));
    QCOMPARE(cell(lines, 0, TFmLineStatistics::ColAnswering), QStringLiteral("1/10"));
    QCOMPARE(cell(lines, 2, TFmLineStatistics::ColPort), QStringLiteral("COM9"));
    QCOMPARE(cell(slotTable, 1, TFmLineStatistics::ColStation), QStringLiteral("2"));
    QVERIFY(cell(slotTable, 1, TFmLineStatistics::ColLastGood) != QStringLiteral("-"));
    QCOMPARE(cell(slotTable, 2, TFmLineStatistics::ColLastGood), QStringLiteral("-"));

    // New counts show at the next tick without anyone asking.
    engine.PollSlot(1, 2);
    QTRY_COMPARE_WITH_TIMEOUT(cell(lines, 0, TFmLineStatistics::ColTransactions),
                              QStringLiteral("8"), 3000);

    auto* reset = window.findChild<QPushButton*>(QStringLiteral("BtnReset"));
    QVERIFY(reset);
    QTest::mouseClick(reset, Qt::LeftButton);
    QCOMPARE(cell(lines, 0, TFmLineStatistics::ColTransactions), QStringLiteral("0"));
    QCOMPARE(cell(slotTable, 1, TFmLineStatistics::ColLastGood), QStringLiteral("-"));
    QCOMPARE(cell(lines, 0, TFmLineStatistics::ColAnswering), QStringLiteral("1/10"));

    // Every control can be found by its name.
    for (const QWidget* control :
         {static_cast<QWidget*>(lines), static_cast<QWidget*>(slotTable),
          static_cast<QWidget*>(reset), window.findChild<QWidget*>(QStringLiteral("BtnClose")),
          window.findChild<QWidget*>(QStringLiteral("LbSince"))})
        QVERIFY(control && !control->objectName().isEmpty());
    window.findChild<QPushButton*>(QStringLiteral("BtnClose"))->click();
    QVERIFY(!window.isVisible() && !window.isRefreshing());
}

QTEST_MAIN(TestLineStatistics)
#include "tst_linestatistics.moc"
