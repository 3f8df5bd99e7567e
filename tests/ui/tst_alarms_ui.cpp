// The Alarm page in the running program: rows in the settings table and the engine's alarm
// fields after Add, Modify and Delete, a raised alarm on screen and in the count table, and the
// history's printouts read back from PDF.
#include "audit/AuditChain.h"
#include "ui/audit/TFmAuditTrail.h"

#include <QTableWidget>

#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "alarms/AlarmDatabases.h"
#include "app/QtDialogService.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/dialogs/TFmAddAlarm.h"
#include "ui/dialogs/TFmAlmDlg.h"
#include "ui/dialogs/TFmModifyAlarm.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TAlarmHistoryPanel.h"
#include "ui/pages/TAlarmPage.h"
#include <QJsonDocument>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMutexLocker>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <sys/stat.h>

namespace {

RecordingDialogs* g_dialogs = nullptr;
const QString Duplicate = QStringLiteral("警報點重複設定|");

struct Run
{
    QTemporaryDir dir;
    FakeLine::Log log;
    std::unique_ptr<Program> program;

    explicit Run(DialogService* dialogs = nullptr)
    {
        qputenv("QUILLMERE_HOME", dir.path().toLocal8Bit());
        g_dialogs->messages.clear();
        g_dialogs->printDialogs = 0;
        const StartOptions options = portlessStart(&log);
        program = std::make_unique<Program>(dialogs ? *dialogs : *g_dialogs, options);
        if (!program->start())
            qFatal("the program did not start: %s", qPrintable(g_dialogs->messages.join('\n')));
        page()->BtnAlmSettingClick();
    }
    TFmHome* home() const { return program->windows().FmHome; }
    TAlarmPage* page() const { return home()->alarmPage(); }
    TFmAddAlarm* add() const { return program->windows().FmAddAlarm; }
    template <class T> T* in(QWidget* window, const char* name) const
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    // Through the event loop, so that a raised error reaches the general error handler.
    void click(QWidget* window, const char* name) const
    {
        QTest::mouseClick(in<QAbstractButton>(window, name), Qt::LeftButton);
    }
    QStringList grid(const char* name) const
    {
        QAbstractItemModel* model = in<QTableView>(home(), name)->model();
        QStringList rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells << model->index(r, c).data().toString();
            rows << cells.join('|');
        }
        return rows;
    }
    StationRecord station(int m, int s) const
    {
        StationModel& model = home()->engine().model();
        QMutexLocker lock(&model.mutex);
        return model.station(m, s);
    }
    void addRows(int radio, const QString& panel, const QString& slot, const QString& high = "5",
                 const QString& low = "3", bool first = false)
    {
        click(home(), "BtnAddSetting");
        const QByteArray name = "Radio" + QByteArray::number(radio);
        click(add(), name.constData());
        in<QComboBox>(add(), radio == 2 ? "CboPanel2" : "CboPanel1")->setCurrentText(panel);
        in<QComboBox>(add(), "CboControllerNO")->setCurrentText(slot);
        in<QLineEdit>(add(), "TxtHAlm")->setText(high);
        in<QLineEdit>(add(), "TxtLAlm")->setText(low);
        in<QCheckBox>(add(), "ChkFirstAlarm")->setChecked(first);
        click(add(), "BtnOK");
    }
    void raise(int m, int s, const QString& line, const QString& count) const
    {
        EngineUpdate update;
        update.kind = EngineUpdate::Alarm;
        update.monitor = m;
        update.slot = s;
        update.text = line;
        update.countText = count;
        home()->applyEngineUpdate(update);
    }
    // Another program's word on the count table: every update refused, as a table made
    // read-only refuses it.
    void refuseCounts(bool refuse) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(dir.filePath("DbAlarmCount.sqlite"));
        QVERIFY(db.open());
        QSqlQuery(db).exec(refuse ? "CREATE TRIGGER readonly BEFORE UPDATE ON DbAlmCount BEGIN "
                                    "SELECT RAISE(FAIL, 'DbAlmCount is read-only'); END"
                                  : "DROP TRIGGER readonly");
        db.close();
        db = {};
        QSqlDatabase::removeDatabase("other");
    }
    QString status(const char* segment) const
    {
        return home()->statusLine()->segment(QLatin1String(segment));
    }
};

QList<QMessageBox*> openBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

QStringList slotRows(const QString& panel, int from, int to)
{
    QStringList rows;
    for (int s = from; s <= to; ++s)
        rows << QStringLiteral("%1|%2|5|3|NO").arg(panel).arg(s, 2, 10, QLatin1Char('0'));
    return rows;
}

// pdftotext -bbox: per page, the words with the top of their box.
QList<QList<std::pair<QString, double>>> pdfWords(const QString& pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    tool.waitForFinished();
    const QString html = QString::fromUtf8(tool.readAllStandardOutput());
    QList<QList<std::pair<QString, double>>> pages;
    static const QRegularExpression item(
        QStringLiteral("<page |<word xMin=\"[\\d.]+\" yMin=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(0).startsWith(QLatin1String("<page ")))
            pages.append(QList<std::pair<QString, double>>());
        else
            // NFKC: a CJK font may map 頁 to the look-alike radical in the PDF's text.
            pages.last().append({match.captured(2).normalized(QString::NormalizationForm_KC),
                                 match.captured(1).toDouble()});
    }
    return pages;
}

double topOf(const QList<std::pair<QString, double>>& words, const QString& word)
{
    for (const auto& [text, top] : words)
        if (text == word)
            return top;
    return -1;
}

} // namespace

class TestAlarmsUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addStoresRowsInOrderAndStopsAtADuplicate_data();
    void addStoresRowsInOrderAndStopsAtADuplicate();
    void deleteAllClearsEverySlot();
    void tableThatCannotBeOpenedEndsStartUp_data();
    void tableThatCannotBeOpenedEndsStartUp();
    void modifyWritesBackTheRowItWasOpenedFor();
    void alarmReachesHistoryDialogAndCounts();
    void messagesWhileABoxIsOpenWaitForIt();
    void printPutsFortyLinesOnAPage_data();
    void printPutsFortyLinesOnAPage();
    void autoPrintRunsAcrossMidnight();
    void periodTextRules_data();
    void periodTextRules();
};

void TestAlarmsUi::addStoresRowsInOrderAndStopsAtADuplicate_data()
{
    QTest::addColumn<QString>("stored"); // a slot set beforehand, "panel/slot"
    QTest::addColumn<int>("radio");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("warning"); // empty: no refusal
    QTest::newRow("one controller") << "" << 1 << "2" << 1 << "5" << slotRows("2", 5, 5) << "";
    QTest::newRow("one Monitor stops at 07")
        << "3/07" << 2 << "3" << 1 << "5" << slotRows("3", 1, 7) << "盤面:3,溫控點:07";
    QTest::newRow("all twice") << "" << 3 << "1" << 2 << "5"
                               << slotRows("1", 1, 10) + slotRows("2", 1, 10) + slotRows("3", 1, 10)
                               << "盤面:1,溫控點:01";
    QTest::newRow("limit not a number") << "" << 3 << "1" << 1 << "5x" << QStringList() << "";
}

void TestAlarmsUi::addStoresRowsInOrderAndStopsAtADuplicate()
{
    QFETCH(QString, stored);
    QFETCH(int, radio);
    QFETCH(QString, panel);
    QFETCH(int, times);
    QFETCH(QString, high);
    QFETCH(QStringList, rows);
    QFETCH(QString, warning);
    Run r;
    if (!stored.isEmpty())
        r.addRows(1, stored.section('/', 0, 0), stored.section('/', 1), "5", "3");
    for (int i = 0; i < times; ++i)
        r.addRows(radio, panel, "05", high, "3");
    QCOMPARE(r.grid("DBGrid1"), rows);
    if (high == "5x") {
        QCOMPARE(g_dialogs->messages.size(), 1);
        QCOMPARE(g_dialogs->messages[0].section('|', 1),
                 "'5x' is not a valid floating point value");
        QVERIFY(r.add()->isVisible());
        return;
    }
    const StationRecord fifth = r.station(panel.toInt(), 5);
    QCOMPARE(fifth.HighLimitText, QStringLiteral("5"));
    QCOMPARE(fifth.LowLimitText, QStringLiteral("3"));
    QCOMPARE(fifth.AlarmAtFirst, false);
    if (warning.isEmpty()) {
        QCOMPARE(g_dialogs->messages, QStringList());
        QVERIFY(!r.add()->isVisible());
        return;
    }
    // The warning, then the database's own refusal; the rows before it kept, none after it.
    QCOMPARE(g_dialogs->messages.size(), 2);
    QCOMPARE(g_dialogs->messages[0], Duplicate + warning);
    QCOMPARE(g_dialogs->icons[0], DialogService::Icon::Warning);
    QCOMPARE(g_dialogs->icons[1], DialogService::Icon::Error);
    QVERIFY(r.add()->isVisible());
    if (radio == 2)
        QCOMPARE(r.station(3, 8).HighLimitText, QString());
}

void TestAlarmsUi::deleteAllClearsEverySlot()
{
    Run r;
    r.click(r.home(), "BtnDeleteSetting"); // an empty table: nothing happens
    r.addRows(3, "1", "01");
    QCOMPARE(r.grid("DBGrid1").size(), 30);
    r.in<QTableView>(r.home(), "DBGrid1")->selectRow(4);
    r.click(r.home(), "BtnDeleteSetting");
    QCOMPARE(r.grid("DBGrid1").size(), 29);
    QCOMPARE(r.station(1, 5).HighLimitText, QString());
    r.click(r.home(), "BtnDelteAll");
    QCOMPARE(r.grid("DBGrid1"), QStringList());
    for (int i = 0; i < 30; ++i)
        QCOMPARE(r.station(i / 10 + 1, i % 10 + 1).HighLimitText, QString());
    QCOMPARE(g_dialogs->messages, QStringList());
}

void TestAlarmsUi::tableThatCannotBeOpenedEndsStartUp_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("mode");       // of databases.ini
    QTest::addColumn<QString>("counts"); // SQL run on the default count table beforehand
    QTest::addColumn<QString>("error");  // what the one message says
    const QByteArray local = "[DbAlarmInfo]\nDriver=QSQLITE\nDatabase=DbAlarmInfo.sqlite\n"
                             "[DbAlarmCount]\nDriver=QSQLITE\nDatabase=DbAlarmCount.sqlite\n";
    QTest::newRow("settings file gone")
        << QByteArray("[DbAlarmInfo]\nDriver=QSQLITE\nDatabase=gone/DbAlarm.sqlite\n"
                      "[DbAlarmCount]\nDriver=QSQLITE\nDatabase=DbAlarmCount.sqlite\n")
        << 0600 << ""
        << "gone/DbAlarm";
    // ':' is a Qt resource to QDir; SQLite would make an empty table file in the current folder.
    QTest::newRow("settings name read as a resource")
        << QByteArray("[DbAlarmInfo]\nDriver=QSQLITE\nDatabase=:\n"
                      "[DbAlarmCount]\nDriver=QSQLITE\nDatabase=DbAlarmCount.sqlite\n")
        << 0600 << "" << "the database file of DbAlarmInfo does not exist";
    QTest::newRow("count table short of rows")
        << local << 0600 << "DELETE FROM DbAlmCount WHERE Panel = '02' AND ControllerNO > '07'"
        << "DbAlmCount of DbAlarmCount lacks 3 of its 30 rows (Panel/ControllerNO 02/08, 02/09, "
           "02/10)";
    QTest::newRow("counts on the shared server")
        << QByteArray("[DbAlarmInfo]\nDriver=QPSQL\nDatabase=plant\nHost=db\n"
                      "[DbAlarmCount]\nDriver=QPSQL\nDatabase=plant\nHost=db\n")
        << 0600 << ""
        << "keep DbAlarmCount in this workstation's home";
    QTest::newRow("password others can read") << local + "Password=secret\n"
                                              << 0644 << ""
                                              << "others can read the file";
}

void TestAlarmsUi::tableThatCannotBeOpenedEndsStartUp()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, mode);
    QFETCH(QString, counts);
    QFETCH(QString, error);
    QTemporaryDir dir;
    if (!counts.isEmpty()) {
        alarms::seedDefaultDatabases(dir.path());
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(dir.filePath("DbAlarmCount.sqlite"));
        QVERIFY(db.open() && QSqlQuery(db).exec(counts));
        db.close();
        db = {};
        QSqlDatabase::removeDatabase("other");
    }
    QFile file(dir.filePath("databases.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ini);
    file.close();
    QVERIFY(::chmod(qPrintable(file.fileName()), mode_t(mode)) == 0);
    qputenv("QUILLMERE_HOME", dir.path().toLocal8Bit());
    g_dialogs->messages.clear();
    Program program(*g_dialogs);
    QVERIFY(!program.start());
    QCOMPARE(g_dialogs->messages.size(), 1);
    QVERIFY2(g_dialogs->messages[0].contains(error), qPrintable(g_dialogs->messages[0]));
    QCOMPARE(program.windows().FmHome, nullptr);
}

void TestAlarmsUi::modifyWritesBackTheRowItWasOpenedFor()
{
    Run r;
    r.addRows(1, "1", "01");
    r.addRows(1, "1", "02");
    {
        StationModel& model = r.home()->engine().model();
        QMutexLocker lock(&model.mutex);
        StationRecord& rec = model.station(1, 1);
        rec.DeviationCount = 4;
        rec.HighLatched = rec.LowLatched = true;
    }
    auto* grid = r.in<QTableView>(r.home(), "DBGrid1");
    grid->selectRow(0);
    r.click(r.home(), "BtnModifySetting");
    TFmModifyAlarm* modify = r.program->windows().FmModifyAlarm;
    QCOMPARE(r.in<QLabel>(modify, "STxtControllerNO")->text(), QStringLiteral("01"));
    grid->selectRow(1); // a later selection does not move the dialog to another row
    r.in<QLineEdit>(modify, "TxtHAlm")->setText(QStringLiteral("7.5"));
    r.in<QCheckBox>(modify, "ChkFirstAlarm")->setChecked(true);
    r.click(modify, "BtnOK");
    QCOMPARE(r.grid("DBGrid1"), QStringList({"1|01|7.5|3|YES", "1|02|5|3|NO"}));
    const StationRecord rec = r.station(1, 1);
    QCOMPARE(rec.HighLimitText, QStringLiteral("7.5"));
    QVERIFY(rec.AlarmAtFirst && !rec.HighLatched && !rec.LowLatched);
    QCOMPARE(rec.DeviationCount, 0);
    QVERIFY(!modify->isVisible());
}

void TestAlarmsUi::alarmReachesHistoryDialogAndCounts()
{
    Run r;
    TFmAlmDlg* dialog = r.program->windows().FmAlmDlg;
    QCOMPARE(r.grid("DBGrid2"), QStringList()); // every count "00" after start
    r.raise(2, 7, "L1", "01");
    r.raise(1, 3, "L2", "02");
    QCOMPARE(r.page()->history()->lines(), QStringList({"L1", "L2"}));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->STxtAlmCount()->text(), QStringLiteral("2"));
    QCOMPARE(dialog->LstAlarm()->item(0)->text(), QStringLiteral("Message1, L1"));
    QCOMPARE(dialog->LstAlarm()->item(1)->text(), QStringLiteral("Message2, L2"));
    QCOMPARE(r.grid("DBGrid2"), QStringList({"02|01|03", "01|02|07"})); // key order
    r.click(dialog, "BtnOK");
    QVERIFY(!dialog->isVisible());
    // The trail has both alarms and one acknowledgement naming the lines the dialog showed.
    QStringList trail;
    for (const audit::AuditEntry& e : audit::readEntries(r.dir.path() + "/audit"))
        if (e.kind.startsWith("alarm"))
            trail << e.kind + '|' +
                         QString::fromUtf8(QJsonDocument(e.details).toJson(QJsonDocument::Compact));
    QCOMPARE(
        trail,
        QStringList({R"(alarm raised|{"alarm":"L1","count":"01","monitor":2,"slot":7})",
                     R"(alarm raised|{"alarm":"L2","count":"02","monitor":1,"slot":3})",
                     R"(alarm acknowledged|{"by":"OK","lines":["Message1, L1","Message2, L2"]})"}));
    // The Audit Trail window filtered to Monitor 2 shows that alarm; its CSV and PDF are what
    // it shows.
    TFmAuditTrail* window = r.home()->showAuditTrail();
    window->findChild<QComboBox*>("CboMonitor")->setCurrentIndex(2);
    const auto* grid = window->findChild<QTableWidget*>("GridAudit");
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("alarm raised"));
    QVERIFY(window->findChild<QLabel*>("LbChain")->text().startsWith("Chain: intact"));
    for (const QString& name : {QStringLiteral("shown.csv"), QStringLiteral("shown.pdf")}) {
        g_dialogs->fileAnswer = r.dir.filePath(name);
        QTest::mouseClick(
            window->findChild<QPushButton*>(name.endsWith("csv") ? "BtnCsv" : "BtnPdf"),
            Qt::LeftButton);
        QFile out(g_dialogs->fileAnswer);
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QByteArray bytes = out.readAll();
        if (name.endsWith("csv"))
            QCOMPARE(bytes.split('\n').size(), 3); // the titles, one entry, the end
        else
            QVERIFY(bytes.startsWith("%PDF"));
        QVERIFY(bytes.contains("alarm raised") || name.endsWith("pdf"));
    }
    g_dialogs->fileAnswer.clear();
    window->hide();
    QCOMPARE(dialog->STxtAlmCount()->text(), QStringLiteral("0"));
    QCOMPARE(dialog->LstAlarm()->count(), 0);
    r.raise(2, 7, "L3", "02");
    QCOMPARE(dialog->LstAlarm()->item(0)->text(), QStringLiteral("Message1, L3"));
    QCOMPARE(r.page()->history()->lines().size(), 3);
    QCOMPARE(r.grid("DBGrid2"), QStringList({"02|01|03", "02|02|07"}));
}

void TestAlarmsUi::messagesWhileABoxIsOpenWaitForIt()
{
    // The real boxes, each with its own event loop, as an unattended station has them.
    QtDialogService boxes;
    Run r(&boxes);
    r.refuseCounts(true);
    int mostOpen = 0;
    QString waitingStatus, countStatus, summary;
    std::function<void()> closeNext;
    QTimer::singleShot(0, [&] {
        // Inside the first box: two more alarms and a wrong period come in.
        mostOpen = std::max(mostOpen, int(openBoxes().size()));
        r.raise(1, 4, "L2", "01");
        r.raise(2, 2, "L3", "01");
        r.page()->BtnAlmRecordClick();
        r.click(r.home(), "ChkAutoPrn");
        r.in<QLineEdit>(r.home(), "TxtPrnTime")->setText("0");
        mostOpen = std::max(mostOpen, int(openBoxes().size()));
        waitingStatus = r.status("waiting");
        countStatus = r.status("alarmdb");
        openBoxes().value(0)->accept();
        // The next box, once it is up: what waited.
        closeNext = [&] {
            mostOpen = std::max(mostOpen, int(openBoxes().size()));
            if (openBoxes().isEmpty())
                return QTimer::singleShot(10, closeNext);
            summary = openBoxes()[0]->text();
            openBoxes()[0]->accept();
        };
        QTimer::singleShot(10, closeNext);
    });
    r.raise(2, 7, "L1", "01");
    QCOMPARE(mostOpen, 1);
    QCOMPARE(openBoxes().size(), 0);
    QCOMPARE(waitingStatus, "1 more messages waiting behind the open box");
    QCOMPARE(r.status("waiting"), QString());
    QCOMPARE(summary, "輸入錯誤");
    // Every alarm on screen; the three counts wait for the table, none is lost.
    QCOMPARE(r.page()->history()->lines(), QStringList({"L1", "L2", "L3"}));
    QCOMPARE(r.program->windows().FmAlmDlg->LstAlarm()->count(), 3);
    QVERIFY2(countStatus.startsWith("Alarm counts: 3 waiting (DbAlmCount is read-only"),
             qPrintable(countStatus));
    QCOMPARE(r.grid("DBGrid2"), QStringList());
    r.refuseCounts(false);
    r.page()->TmrAlarmDatabaseTimer();
    QCOMPARE(r.grid("DBGrid2"), QStringList({"01|01|04", "01|02|02", "01|02|07"}));
    QCOMPARE(r.status("alarmdb"), QString());
}

void TestAlarmsUi::printPutsFortyLinesOnAPage_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages"); // 0: no job at all
    QTest::newRow("41 lines") << 41 << 2;
    QTest::newRow("40 lines") << 40 << 1;
    QTest::newRow("empty history") << 0 << 0;
    QTest::newRow("no printer") << 3 << -1; // the dialog's choice left without a printer
}

void TestAlarmsUi::printPutsFortyLinesOnAPage()
{
    QFETCH(int, lines);
    QFETCH(int, pages);
    Run r;
    for (int i = 0; i < lines; ++i)
        r.page()->history()->appendLine(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')));
    g_dialogs->printFile = pages < 0 ? QString() : r.dir.filePath("history.pdf");
    g_dialogs->printerAnswer = true;
    r.page()->BtnAlmRecordClick();
    r.click(r.home(), "BtnPrintRecord");
    g_dialogs->printFile.clear();
    QCOMPARE(g_dialogs->printDialogs, pages ? 1 : 0);
    QCOMPARE(QFile::exists(r.dir.filePath("history.pdf")), pages > 0);
    if (pages < 0) {
        QCOMPARE(g_dialogs->messages.size(), 1);
        QVERIFY(g_dialogs->messages[0].contains("No default printer"));
        QCOMPARE(r.page()->history()->lines().size(), lines);
    }
    if (pages <= 0)
        return;
    const auto words = pdfWords(r.dir.filePath("history.pdf"));
    QCOMPARE(words.size(), pages);
    QVERIFY(topOf(words[0], "History") >= 0);
    QVERIFY(topOf(words[0], "Page1") > topOf(words[0], "L39"));
    QCOMPARE(r.page()->history()->lines().size(), lines); // a print never empties it
    if (pages == 1)
        return;
    QCOMPARE(topOf(words[1], "L40"), topOf(words[0], "L00")); // every page starts at Top
    QCOMPARE(topOf(words[1], "History"), -1.0);
    const double footer = topOf(words[1], "第2頁");
    QVERIFY(footer > 0 && footer < topOf(words[0], "Page1")); // two text heights up
}

void TestAlarmsUi::autoPrintRunsAcrossMidnight()
{
    Run r;
    TAlarmHistoryPanel* history = r.page()->history();
    QDateTime now(QDate(2024, 5, 3), QTime(23, 59, 30));
    int printed = 0;
    history->setClock([&now] { return now; });
    history->setPrinterSource([&] {
        auto printer = std::make_unique<QPrinter>();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(r.dir.filePath(QStringLiteral("auto%1.pdf").arg(++printed)));
        return printer;
    });
    r.page()->BtnAlmRecordClick();
    r.click(r.home(), "ChkAutoPrn");
    r.in<QLineEdit>(r.home(), "TxtPrnTime")->setText(QStringLiteral("1")); // restarts the period
    r.click(r.home(), "ChkAutoDel");
    const auto tickAt = [&](const QTime& time, int expectPrinted) {
        now = QDateTime(QDate(2024, 5, 4), time);
        history->appendLine(QStringLiteral("L"));
        history->autoPrintCheck();
        QCOMPARE(printed, expectPrinted);
    };
    tickAt(QTime(0, 0, 30), 0); // not later than the period's end
    tickAt(QTime(0, 0, 30, 500), 1);
    QCOMPARE(history->lines(), QStringList()); // emptied after printing
    tickAt(QTime(0, 1, 30, 500), 1);
    tickAt(QTime(0, 1, 31), 2);
    QVERIFY(QFile::exists(r.dir.filePath("auto2.pdf")));
    QCOMPARE(g_dialogs->messages, QStringList());
}

void TestAlarmsUi::periodTextRules_data()
{
    QTest::addColumn<QString>("typed"); // no whole number: never a period, said once
    for (const char* typed : {"x", ".0", "0.0", "-.5", "1e20"})
        QTest::newRow(typed) << typed;
}

void TestAlarmsUi::periodTextRules()
{
    QFETCH(QString, typed);
    Run r;
    TAlarmHistoryPanel* history = r.page()->history();
    int printed = 0;
    history->setPrinterSource([&]() -> std::unique_ptr<QPrinter> {
        ++printed;
        return {};
    });
    r.page()->BtnAlmRecordClick();
    r.click(r.home(), "ChkAutoPrn");
    auto* text = r.in<QLineEdit>(r.home(), "TxtPrnTime");
    text->selectAll();
    QTest::keyClick(text, Qt::Key_0);
    QCOMPARE(g_dialogs->messages, QStringList{"訊息|輸入錯誤"});
    QCOMPARE(text->text(), QStringLiteral("1"));
    // Pasted in one go, through the event loop so that its error reaches the error handler.
    QMetaObject::invokeMethod(
        text, [&] { text->setText(typed); }, Qt::QueuedConnection);
    QTRY_COMPARE(g_dialogs->messages.size(), 2);
    QCOMPARE(g_dialogs->messages[1].section('|', 1),
             QStringLiteral("'%1' is not a valid integer value").arg(typed));
    QCOMPARE(text->text(), typed);
    history->appendLine(QStringLiteral("L"));
    history->setClock([] { return QDateTime::currentDateTime().addDays(1); });
    for (int i = 0; i < 3; ++i)
        history->autoPrintCheck();
    QCOMPARE(printed, 0);
    QCOMPARE(g_dialogs->messages.size(), 2);
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestAlarmsUi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alarms_ui.moc"
