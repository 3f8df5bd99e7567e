// The history viewer driven through its widgets: a record folder written with the recorder's
// own format, the period read on the worker, zoom and reset, the cursor, the overlay of two
// periods, the statistics, and the CSV and PDF exports read back.
#include "RecordingDialogs.h"
#include "audit/AuditEntry.h"
#include "core/LocaleText.h"
#include "record/RecordFormat.h"
#include "ui/history/HistoryPlot.h"
#include "ui/history/TFmHistory.h"
#include "ui/history/TimeAxis.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Rows = 720; // two hours at 10 s
constexpr qint64 Step = 10000;
const QLocale Writer("en_US");

// PV1 climbs by 0.1 a row against an SV of 50; PV2 holds 200 but is "Empty" for rows 100..109.
record::MonitorTexts rowValues(int i)
{
    record::MonitorTexts v;
    v[0] = {QString::number(i * 0.1, 'f', 1), QStringLiteral("50.0")};
    v[1] = {i >= 100 && i < 110 ? QString() : QStringLiteral("200.0"), QStringLiteral("200.0")};
    return v;
}

// Rows 0..Rows-1 of Monitor2 from `start`, every 10 s, in day files as the recorder writes
// them; the first file also holds a torn line and a row written twice.
void writeMonitor(const QString& folder, const QDateTime& start, int offsetRows = 0)
{
    QDir(folder).mkpath(QStringLiteral("Monitor2"));
    QString lastName;
    for (int i = 0; i < Rows; ++i) {
        const QDateTime at = start.addMSecs(i * Step);
        const QString name = record::fileName(at, 1, 0, Writer);
        QFile file(folder + QStringLiteral("/Monitor2/") + name);
        QVERIFY(file.open(QIODevice::Append));
        if (file.size() == 0)
            file.write(record::headerLine(0));
        const QByteArray row =
            record::rowLine(core::longTimeText(at.time(), Writer), rowValues(i + offsetRows));
        file.write(row);
        if (i == 5 && offsetRows == 0) {
            file.write(row);
            file.write(row.left(20));
            file.write("\r\n");
        }
    }
}

void writeAlarm(const QString& auditFolder, const QDateTime& at, int monitor, int slot)
{
    audit::AuditEntry e;
    e.utc = at.toUTC();
    e.offset = audit::utcOffsetText(at.offsetFromUtc());
    e.host = QStringLiteral("ws1");
    e.user = QStringLiteral("op");
    e.kind = audit::kind::AlarmRaised;
    e.details = {{QStringLiteral("monitor"), monitor},
                 {QStringLiteral("slot"), slot},
                 {QStringLiteral("alarm"), QStringLiteral("Deviation High Alarm")},
                 {QStringLiteral("count"), QStringLiteral("01")}};
    e.prev = audit::GenesisHash;
    QDir().mkpath(auditFolder);
    QFile file(auditFolder + QLatin1Char('/') + at.toUTC().toString(QStringLiteral("yyyy-MM")) +
               QStringLiteral(".jsonl"));
    QVERIFY(file.open(QIODevice::Append));
    file.write(audit::entryLine(e) + '\n');
}

QStringList listing(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size()) +
                     it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
    }
    files.sort();
    return files;
}

} // namespace

class TestHistoryUi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_records;
    QDateTime m_start; // the first row, two hours ago
    RecordingDialogs m_dialogs;
    std::unique_ptr<TFmHistory> m_window;

    template <class T> T* find(const QString& name) const
    {
        T* w = m_window->findChild<T*>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    HistoryPlot* plot() const { return m_window->plot(); }
    // Slots 1 and 2 of Monitor2, the last 24 hours read.
    void showLastDay(bool compare = false)
    {
        find<QLineEdit>(QStringLiteral("TxtFolder"))->setText(m_records);
        find<QComboBox>(QStringLiteral("CboMonitor"))->setCurrentIndex(1);
        for (int s = 1; s <= 10; ++s)
            find<QCheckBox>(QStringLiteral("ChkSlot%1").arg(s))->setChecked(s <= 2);
        find<QCheckBox>(QStringLiteral("ChkCompare"))->setChecked(false);
        QSignalSpy done(m_window.get(), &TFmHistory::readsDone);
        find<QPushButton>(QStringLiteral("BtnLast24h"))->click();
        QVERIFY(done.wait(20000));
        if (compare) {
            find<QDateTimeEdit>(QStringLiteral("DtCompareFrom"))
                ->setDateTime(m_start.addDays(-2).addSecs(-60));
            find<QDateTimeEdit>(QStringLiteral("DtCompareTo"))
                ->setDateTime(m_start.addDays(-2).addSecs(3 * 3600));
            find<QCheckBox>(QStringLiteral("ChkCompare"))->setChecked(true);
            QVERIFY(done.wait(20000));
        }
    }
    QString cell(int row, int column) const
    {
        auto* t = find<QTableWidget>(QStringLiteral("GridStatistics"));
        return t->item(row, column) ? t->item(row, column)->text() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_records = m_dir.filePath(QStringLiteral("Quillmere Data"));
        const QDateTime now = QDateTime::currentDateTime();
        m_start = QDateTime::fromMSecsSinceEpoch((now.toMSecsSinceEpoch() - 2 * 3600 * 1000) /
                                                 Step * Step);
        writeMonitor(m_records, m_start);
        // The batch of two days before, to compare with: its values 7 units higher.
        writeMonitor(m_records, m_start.addDays(-2).addSecs(45), 70);
        writeAlarm(m_dir.filePath(QStringLiteral("audit")), m_start.addSecs(600), 2, 1);
        writeAlarm(m_dir.filePath(QStringLiteral("audit")), m_start.addSecs(700), 2, 7);
        QFile settings(m_dir.filePath(QStringLiteral("settings.reg")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUILLMERE CONTROL\\FmHome]\r\n"
                       "\"HmTitle\"=\"Acme Heat Treating\"\r\n");
    }
    void init()
    {
        m_dialogs = RecordingDialogs();
        m_window = std::make_unique<TFmHistory>(
            m_dialogs,
            HistoryOptions{QString(), m_dir.filePath(QStringLiteral("audit")), m_dir.path()});
        m_window->resize(1200, 800);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }

    void readShowsRowsAndWhatWasSkipped()
    {
        const QStringList before = listing(m_records);
        showLastDay();
        const QString status = find<QLabel>(QStringLiteral("LbStatus"))->text();
        QVERIFY2(status.startsWith(QStringLiteral("720 rows from")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("1 torn lines skipped")), qPrintable(status));
        QVERIFY2(status.contains(QStringLiteral("1 duplicate rows skipped")), qPrintable(status));
        QCOMPARE(plot()->origin(0), m_start.toMSecsSinceEpoch());
        QCOMPARE(plot()->viewEnd() - plot()->viewStart(), (Rows - 1) * Step);
        // Reading never touches the record folder.
        QCOMPARE(listing(m_records), before);
    }

    void statisticsOfTheShownPeriod_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("slot 1 climbs") << 0 << QStringList{"A", "1", "0", "71.9", "35.95"};
        QTest::newRow("slot 2 has one gap")
            << 1 << QStringList{"A", "2", "200", "200", "200.00", "0 s", "0 s", "1"};
    }
    void statisticsOfTheShownPeriod()
    {
        QFETCH(int, row);
        QFETCH(QStringList, cells);
        showLastDay();
        QCOMPARE(find<QTableWidget>(QStringLiteral("GridStatistics"))->rowCount(), 2);
        for (int c = 0; c < cells.size(); ++c)
            QCOMPARE(cell(row, c), cells[c]);
        // Above SV + band: PV1 above 55 from row 551 on; with no band, from row 501.
        const QString above = cell(0, 5);
        find<QDoubleSpinBox>(QStringLiteral("SpnBand"))->setValue(0);
        QVERIFY2(cell(0, 5) != above, qPrintable(above));
        // Zoomed to the first ten minutes, the table follows: PV1 only reaches 6.0.
        plot()->setView(0, 600 * 1000);
        QCOMPARE(cell(0, 3), QStringLiteral("6"));
        QCOMPARE(cell(0, 5), QStringLiteral("0 s"));
    }

    void wheelZoomsAroundTheMouseAndResetShowsAll()
    {
        showLastDay();
        HistoryPlot* p = plot();
        const qint64 span = p->viewEnd() - p->viewStart();
        const QPoint at(p->plotRect().left() + p->plotRect().width() / 4,
                        p->plotRect().center().y());
        const qint64 under = p->xAt(at.x());
        QWheelEvent wheel(at, p->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(p, &wheel);
        QVERIFY(qAbs((p->viewEnd() - p->viewStart()) - qint64(span * 0.64)) < 1000);
        QVERIFY(qAbs(p->xAt(at.x()) - under) < 2 * Step);
        QTest::keyClick(p, Qt::Key_Right);
        QVERIFY(p->viewStart() > 0);
        QTest::keyClick(p, Qt::Key_Home);
        QCOMPARE(p->viewStart(), qint64(0));
        QCOMPARE(p->viewEnd(), span);
        p->setView(1000, 2000000);
        find<QPushButton>(QStringLiteral("BtnResetZoom"))->click();
        QCOMPARE(p->viewEnd(), span);
    }

    void boxZoomShowsTheBox()
    {
        showLastDay();
        HistoryPlot* p = plot();
        const QRect r = p->plotRect();
        const QPoint from(r.left() + r.width() / 2, r.top() + 10);
        const QPoint to(r.left() + r.width() * 3 / 4, r.bottom() - 10);
        const qint64 x0 = p->xAt(from.x());
        const qint64 x1 = p->xAt(to.x());
        QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(p, to);
        QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, to);
        QCOMPARE(p->viewStart(), x0);
        QCOMPARE(p->viewEnd(), x1);
        // A pan with the right button moves the view, not its width.
        QTest::mousePress(p, Qt::RightButton, Qt::NoModifier, to);
        QTest::mouseMove(p, to - QPoint(100, 0));
        QTest::mouseRelease(p, Qt::RightButton, Qt::NoModifier, to - QPoint(100, 0));
        QVERIFY(p->viewStart() > x0);
        QCOMPARE(p->viewEnd() - p->viewStart(), x1 - x0);
    }

    void cursorReadsTheNearestRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("slot1");
        QTest::addColumn<QString>("slot2");
        QTest::newRow("first row") << 0 << "PV1 0   SV1 50"
                                   << "PV2 200   SV2 200";
        QTest::newRow("in the gap") << 104 << "PV1 10.4   SV1 50"
                                    << "PV2 Empty   SV2 200";
        QTest::newRow("later") << 333 << "PV1 33.3   SV1 50"
                               << "PV2 200   SV2 200";
    }
    void cursorReadsTheNearestRow()
    {
        QFETCH(int, row);
        QFETCH(QString, slot1);
        QFETCH(QString, slot2);
        showLastDay();
        HistoryPlot* p = plot();
        p->setView(row * Step - 60000, row * Step + 60000);
        // Qt drops a move to where the mouse already is: come from elsewhere.
        QTest::mouseMove(p, p->plotRect().topLeft());
        QTest::mouseMove(p, QPoint(qRound(p->xPixel(row * Step)), p->plotRect().center().y()));
        const QStringList lines = p->cursorText().split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), historyview::momentText(m_start.toMSecsSinceEpoch() + row * Step));
        QCOMPARE(lines.value(1),
                 QLocale::system().decimalPoint() == QLatin1Char('.')
                     ? slot1
                     : QString(slot1).replace('.', QLocale::system().decimalPoint()));
        QCOMPARE(lines.value(2), slot2);
    }

    void comparedPeriodStartsAtTheLeftEdgeToo()
    {
        showLastDay(true);
        HistoryPlot* p = plot();
        QVERIFY(p->comparing());
        QCOMPARE(p->origin(1), m_start.addDays(-2).addSecs(45).toMSecsSinceEpoch());
        QCOMPARE(p->viewStart(), qint64(0));
        QCOMPARE(qRound(p->xPixel(0)), p->plotRect().left());
        // At the left edge the cursor reads both first rows: B's batch began 7 units higher.
        QTest::mouseMove(p, p->plotRect().center());
        QTest::mouseMove(p, QPoint(p->plotRect().left(), p->plotRect().center().y()));
        const QStringList lines = p->cursorText().split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("+0:00:00"));
        QCOMPARE(lines.value(2).section(QStringLiteral("   "), 0, 0),
                 QStringLiteral("PV1 A 0 B %1").arg(QLocale::system().toString(7.0, 'g', 7)));
        QCOMPARE(find<QTableWidget>(QStringLiteral("GridStatistics"))->rowCount(), 4);
        QCOMPARE(cell(2, 0), QStringLiteral("B"));
        // Switching the comparison off leaves the chosen period alone.
        find<QCheckBox>(QStringLiteral("ChkCompare"))->setChecked(false);
        QVERIFY(!p->comparing());
        QCOMPARE(p->origin(0), m_start.toMSecsSinceEpoch());
    }

    void cancelDropsTheRead()
    {
        find<QLineEdit>(QStringLiteral("TxtFolder"))->setText(m_records);
        find<QComboBox>(QStringLiteral("CboMonitor"))->setCurrentIndex(1);
        find<QPushButton>(QStringLiteral("BtnLast7d"))->click();
        QVERIFY(m_window->reading());
        find<QPushButton>(QStringLiteral("BtnCancel"))->click();
        QVERIFY(!m_window->reading());
        QTest::qWait(300);
        QVERIFY(!plot()->data(0));
        QCOMPARE(find<QLabel>(QStringLiteral("LbStatus"))->text(), QStringLiteral("cancelled"));
    }

    void csvExportOfTheShownPeriod()
    {
        showLastDay();
        plot()->setView(95 * Step, 112 * Step);
        const QString path = m_dir.filePath(QStringLiteral("out.csv"));
        m_dialogs.fileAnswer = path;
        find<QPushButton>(QStringLiteral("BtnCsv"))->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.value(0), QByteArray("time,PV1,SV1,PV2,SV2\r"));
        // The shown rows 95..112, one line each, and a gap as an empty cell.
        QVERIFY(lines.size() >= 18 + 1);
        QVERIFY2(lines.value(1).endsWith(",9.5,50.0,200.0,200.0\r"), lines.value(1).constData());
        const QByteArray gapRow = lines.value(1 + 104 - 95);
        QVERIFY2(gapRow.endsWith(",10.4,50.0,,200.0\r"), gapRow.constData());
        QVERIFY(gapRow.startsWith(
            QDateTime::fromMSecsSinceEpoch(m_start.toMSecsSinceEpoch() + 104 * Step)
                .toOffsetFromUtc(m_start.offsetFromUtc())
                .toString(Qt::ISODate)
                .left(19)
                .toLatin1()));

        // Never into the record folder.
        const QStringList before = listing(m_records);
        m_dialogs.fileAnswer = m_records + QStringLiteral("/Monitor2/export.csv");
        find<QPushButton>(QStringLiteral("BtnCsv"))->click();
        QCOMPARE(listing(m_records), before);
        QVERIFY(m_dialogs.messages.last().contains(QStringLiteral("record folder")));
    }

    void pdfReportHoldsTitleChartStatisticsAlarmsAndSignature()
    {
        showLastDay();
        find<QLineEdit>(QStringLiteral("TxtReviewer"))->setText(QStringLiteral("Jane Roe"));
        QCOMPARE(find<QLineEdit>(QStringLiteral("TxtTitle"))->text(),
                 QStringLiteral("Acme Heat Treating"));
        const QString pdf = m_dir.filePath(QStringLiteral("report.pdf"));
        m_dialogs.printFile = pdf;
        m_dialogs.printerAnswer = true;
        find<QPushButton>(QStringLiteral("BtnPdf"))->click();
        QCOMPARE(m_dialogs.printDialogs, 1);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(20000));
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString& expected :
             {QStringLiteral("Acme Heat Treating"), QStringLiteral("Monitor2, slots 1, 2"),
              QStringLiteral("Period:"), QStringLiteral("Above SV + band (5.0)"),
              QStringLiteral("71.9"), QStringLiteral("Deviation High Alarm"),
              QStringLiteral("Reviewed by (name): Jane Roe"), QStringLiteral("Signature")})
            QVERIFY2(out.contains(expected), qPrintable(expected + QStringLiteral(" in\n") + out));
        // Slot 7's alarm is not among the slots reported.
        QCOMPARE(out.count(QStringLiteral("Deviation High Alarm")), 1);
    }

    void settingsGoToTheViewersHome()
    {
        showLastDay();
        find<QDoubleSpinBox>(QStringLiteral("SpnBand"))->setValue(2.5);
        m_window->close();
        m_window = std::make_unique<TFmHistory>(m_dialogs, HistoryOptions{{}, {}, m_dir.path()});
        QCOMPARE(find<QLineEdit>(QStringLiteral("TxtFolder"))->text(), m_records);
        QCOMPARE(find<QComboBox>(QStringLiteral("CboMonitor"))->currentIndex(), 1);
        QVERIFY(!find<QCheckBox>(QStringLiteral("ChkSlot3"))->isChecked());
        QCOMPARE(find<QDoubleSpinBox>(QStringLiteral("SpnBand"))->value(), 2.5);
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("quillmere-history.ini"))));
    }
};

QTEST_MAIN(TestHistoryUi)
#include "tst_history_ui.moc"
