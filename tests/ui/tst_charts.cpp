// The Chart and Bar Chart pages and the chart settings dialog in the running program: the
// rolling rule on the points held, what a lost slot or a bad text adds, printing read back
// from PDF, every refusal of the settings dialog, and the chart settings across a restart.
#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "core/QuillmereError.h"
#include "ui/charts/BarPlot.h"
#include "ui/charts/TrendPlot.h"
#include "ui/dialogs/LengthSpinBox.h"
#include "ui/dialogs/TFmChartSetting.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TBarChartPage.h"
#include "ui/pages/TChartPage.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
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

    Run() { start(); }
    void start()
    {
        qputenv("QUILLMERE_HOME", dir.path().toLocal8Bit());
        g_dialogs->messages.clear();
        const StartOptions options = portlessStart(&log);
        program = std::make_unique<Program>(*g_dialogs, options);
        if (!program->start())
            qFatal("the program did not start: %s", qPrintable(g_dialogs->messages.join('\n')));
    }
    void restart()
    {
        home()->close();
        program.reset();
        start();
    }
    TFmHome* home() const { return program->windows().FmHome; }
    TChartPage* page() const { return home()->chartPage(); }
    TrendPlot* chart(int m) const { return page()->chart(m); }
    TFmChartSetting* dialog() const { return program->windows().FmChartSetting; }
    template <class T> T* in(QWidget* window, const char* name) const
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit* edit(const char* name) const { return in<QLineEdit>(dialog(), name); }
    void setTexts(int m, int s, const QString& pv, const QString& sv) const
    {
        StationModel& model = home()->engine().model();
        QMutexLocker lock(&model.mutex);
        model.station(m, s).PvText = pv;
        model.station(m, s).SvText = sv;
    }
    void ticks(int n) const
    {
        for (int i = 0; i < n; ++i)
            page()->TmrChartTimer();
    }
};

// The message of the error `f` raises, empty when it raises none.
template <class F> QString errorOf(F f)
{
    try {
        f();
    } catch (const QuillmereError& error) {
        return error.message();
    }
    return {};
}

QString pdfText(const QString& pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    tool.waitForFinished();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace

class TestCharts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rollingRule_data();
    void rollingRule();
    void samplingWaitsForTheScanAndLostSlotsAddZero();
    void stopEmptiesAndStartBeginsAgain();
    void badTextIsReportedOnce();
    void printsTheChartOnView();
    void okStep_data();
    void okStep();
    void lengthFieldTakesAnyText_data();
    void lengthFieldTakesAnyText();
    void barsFollowTheModel();
    void settingsSurviveARestart();
    void restoredFromMinimisedKeepsTheEdits();
    void boundsShownReadBackUnderADecimalComma();
    void linesAtTheAxisEndsAreSeen_data();
    void linesAtTheAxisEndsAreSeen();
};

void TestCharts::rollingRule_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("laterLength");
    QTest::addColumn<int>("laterTicks");
    QTest::addColumn<int>("firstX");
    QTest::addColumn<int>("lastX");
    QTest::newRow("six ticks of length 5") << 5 << 6 << 5 << 0 << 1 << 6;
    QTest::newRow("the seventh drops x = 1") << 5 << 7 << 5 << 0 << 2 << 7;
    QTest::newRow("full chart holds length + 1") << 3 << 40 << 3 << 0 << 37 << 40;
    QTest::newRow("lowered keeps its count") << 5 << 10 << 2 << 3 << 8 << 13;
    QTest::newRow("raised grows until x passes it") << 3 << 10 << 20 << 12 << 8 << 22;
}

void TestCharts::rollingRule()
{
    QFETCH(int, length);
    QFETCH(int, ticks);
    QFETCH(int, laterLength);
    QFETCH(int, laterTicks);
    Run r;
    r.home()->dpDialogClosed();
    r.chart(2)->setLength(length);
    r.ticks(ticks);
    r.chart(2)->setLength(laterLength);
    r.ticks(laterTicks);
    const TrendBuffer& points = r.chart(2)->points();
    QTEST(points.firstX(), "firstX");
    QTEST(points.lastX(), "lastX");
    QCOMPARE(points.count(), points.lastX() - points.firstX() + 1);
    // The other charts keep their own length.
    QCOMPARE(r.chart(1)->points().count(), ticks + laterTicks);
}

void TestCharts::samplingWaitsForTheScanAndLostSlotsAddZero()
{
    Run r;
    for (int s = 1; s <= 10; ++s)
        r.setTexts(2, s, QString::number(20 + s), QStringLiteral("-1.5"));
    r.ticks(2);
    QCOMPARE(r.chart(2)->points().count(), 0); // the scan has not closed yet
    r.home()->dpDialogClosed();
    r.ticks(1);
    r.setTexts(2, 3, QString(), QString()); // link lost
    r.ticks(1);
    const TrendBuffer& points = r.chart(2)->points();
    QCOMPARE(points.count(), 2);
    QCOMPARE(points.y(0, 4), 23.0);
    QCOMPARE(points.y(0, 5), -1.5);
    QCOMPARE(points.y(1, 4), 0.0);
    QCOMPARE(points.y(1, 5), 0.0);
    QCOMPARE(points.y(1, 6), 24.0);
    QCOMPARE(r.chart(1)->points().y(1, 0), 0.0); // never read
}

void TestCharts::stopEmptiesAndStartBeginsAgain()
{
    Run r;
    r.home()->dpDialogClosed();
    auto* start = r.in<QPushButton>(r.page(), "BtnChtStart");
    auto* stop = r.in<QPushButton>(r.page(), "BtnChtStop");
    QVERIFY(stop->font().bold() && !start->font().bold());
    start->click();
    QVERIFY(r.page()->isSampling() && start->font().bold() && !stop->font().bold());
    r.ticks(4);
    r.in<QPushButton>(r.page(), "BtnChtClear")->click();
    QVERIFY(r.page()->isSampling());
    r.ticks(1);
    QCOMPARE(r.chart(3)->points().firstX(), 1);
    stop->click();
    QVERIFY(!r.page()->isSampling());
    for (int m = 1; m <= 3; ++m)
        QCOMPARE(r.chart(m)->points().count(), 0);
    start->click();
    r.ticks(1);
    QCOMPARE(r.chart(1)->points().lastX(), 1);
    // Closing the window stops the sampling timer.
    r.home()->close();
    QVERIFY(!r.in<QTimer>(r.page(), "TmrChart")->isActive());
}

void TestCharts::badTextIsReportedOnce()
{
    Run r;
    r.home()->dpDialogClosed();
    r.setTexts(1, 4, QStringLiteral("1x2"), QStringLiteral("7"));
    const QString error = QStringLiteral("'1x2' is not a valid floating point value");
    QCOMPARE(errorOf([&] { r.ticks(1); }), error);
    QCOMPARE(errorOf([&] { r.ticks(3); }), QString());
    // The tick went on: every series has its points, the bad one at 0.
    QCOMPARE(r.chart(3)->points().count(), 4);
    QCOMPARE(r.chart(1)->points().y(3, 6), 0.0);
    QCOMPARE(r.chart(1)->points().y(3, 7), 7.0);
    QCOMPARE(errorOf([&] { r.home()->barChartPage()->updateBars(); }), error);
    QCOMPARE(errorOf([&] { r.home()->barChartPage()->updateBars(); }), QString());
    // Gone and back: worth telling again.
    r.setTexts(1, 4, QStringLiteral("1"), QStringLiteral("7"));
    r.ticks(1);
    r.setTexts(1, 4, QStringLiteral("1x2"), QStringLiteral("7"));
    QCOMPARE(errorOf([&] { r.ticks(1); }), error);
}

void TestCharts::printsTheChartOnView()
{
    Run r;
    r.home()->dpDialogClosed();
    r.ticks(3);
    const QString pdf = r.dir.filePath(QStringLiteral("chart.pdf"));
    g_dialogs->printFile = pdf;
    g_dialogs->printerAnswer = false;
    r.page()->BtnChartPrintClick();
    QVERIFY(!QFile::exists(pdf)); // cancelled

    r.in<QPushButton>(r.page(), "BtnChartB")->click();
    QVERIFY(r.in<QPushButton>(r.page(), "BtnChartB")->font().bold());
    QVERIFY(!r.in<QPushButton>(r.page(), "BtnChartA")->font().bold());
    g_dialogs->printerAnswer = true;
    r.page()->BtnChartPrintClick();
    g_dialogs->printFile.clear();
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains("Monitor2-Chart") && text.contains("SV10"), qPrintable(text));
    QVERIFY(!text.contains("Monitor1-Chart"));
}

void TestCharts::okStep_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("min");
    QTest::addColumn<QString>("max");
    QTest::addColumn<QString>("error"); // raised or shown
    QTest::addColumn<QString>("sampleAfter");
    QTest::addColumn<double>("axisMin");
    QTest::addColumn<double>("axisMax");
    QTest::addColumn<int>("interval");
    // Every row starts from a fixed 0..600 axis on all three charts and 1 s.
    QTest::newRow("inside") << "0.5"
                            << "100"
                            << "300"
                            << ""
                            << "0.5" << 100.0 << 300.0 << 500;
    QTest::newRow("zero stands still") << "0"
                                       << "0"
                                       << "600"
                                       << ""
                                       << "0" << 0.0 << 600.0 << 0;
    QTest::newRow("60 s") << "60"
                          << "0"
                          << "600"
                          << ""
                          << "60" << 0.0 << 600.0 << 60000;
    QTest::newRow("60.5 refused") << "60.5"
                                  << "100"
                                  << "300"
                                  << "訊息|取樣時間超出輸入範圍"
                                  << "5" << 0.0 << 600.0 << 1000;
    // The pair is applied together, wherever it lies against the axis shown.
    QTest::newRow("below the axis") << "2"
                                    << "-100"
                                    << "-50"
                                    << ""
                                    << "2" << -100.0 << -50.0 << 2000;
    QTest::newRow("min above max") << "2"
                                   << "700"
                                   << "650.5"
                                   << "Axis Maximum Value must be >= Minimum"
                                   << "2" << 0.0 << 600.0 << 1000;
    QTest::newRow("not a number") << "2"
                                  << "1"
                                  << "x"
                                  << "'x' is not a valid floating point value"
                                  << "2" << 0.0 << 600.0 << 1000;
    QTest::newRow("sample not a number") << "a"
                                         << "1"
                                         << "2"
                                         << "'a' is not a valid floating point value"
                                         << "a" << 0.0 << 600.0 << 1000;
}

void TestCharts::okStep()
{
    QFETCH(QString, error);
    Run r;
    r.page()->BtnChtStartClick();
    for (const char* tab : {"A", "B", "C"}) {
        r.in<QRadioButton>(r.dialog(), qPrintable(QStringLiteral("RdoLimit") + tab))
            ->setChecked(true);
        r.edit(qPrintable(QStringLiteral("TxtYmin") + tab))->setText("0");
        r.edit(qPrintable(QStringLiteral("TxtYmax") + tab))->setText("600");
    }
    r.edit("TxtChtSample")->setText("1");
    r.dialog()->BtnChtSetingOkClick();
    QCOMPARE(r.chart(1)->leftMaximum(), 600.0);

    r.dialog()->show();
    r.in<LengthSpinBox>(r.dialog(), "ChtAMax")->setText("77");
    r.in<QCheckBox>(r.dialog(), "Chk3DA")->setChecked(true);
    QFETCH(QString, sample);
    r.edit("TxtChtSample")->setText(sample);
    QFETCH(QString, min);
    r.edit("TxtYminA")->setText(min);
    QFETCH(QString, max);
    r.edit("TxtYmaxA")->setText(max);
    g_dialogs->messages.clear();
    const QString raised = errorOf([&] { r.dialog()->BtnChtSetingOkClick(); });
    QCOMPARE(raised.isEmpty() ? g_dialogs->messages.join('\n') : raised, error);
    QTEST(r.edit("TxtChtSample")->text(), "sampleAfter");
    QTEST(r.chart(1)->leftMinimum(), "axisMin");
    QTEST(r.chart(1)->leftMaximum(), "axisMax");
    QTEST(r.page()->sampleInterval(), "interval");
    QCOMPARE(r.dialog()->isVisible(), !error.isEmpty());
    QCOMPARE(r.chart(1)->length(), error.isEmpty() ? 77 : 600);
    QCOMPARE(r.chart(1)->view3D(), error.isEmpty());
    QVERIFY(!r.chart(1)->leftAxisAutomatic()); // the switch to a fixed axis stays applied
    // A zero interval keeps the timer from firing; the operator's Start still stands.
    QCOMPARE(r.in<QTimer>(r.page(), "TmrChart")->isActive(), r.page()->sampleInterval() > 0);
}

void TestCharts::lengthFieldTakesAnyText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("length");
    QTest::newRow("too long") << "5000" << 3600;
    QTest::newRow("letters") << "abc" << 1;
    QTest::newRow("zero") << "0" << 1;
    QTest::newRow("inside") << "250" << 250;
}

void TestCharts::lengthFieldTakesAnyText()
{
    QFETCH(QString, typed);
    QFETCH(int, length);
    Run r;
    r.dialog()->show();
    auto* field = r.in<LengthSpinBox>(r.dialog(), "ChtCMax");
    field->setText(typed);
    emit field->editingFinished(); // the field is left
    QCOMPARE(field->text(), QString::number(length));
    r.dialog()->BtnChtSetingOkClick();
    QCOMPARE(r.chart(3)->length(), length);
}

void TestCharts::barsFollowTheModel()
{
    Run r;
    TBarChartPage* bars = r.home()->barChartPage();
    QVERIFY(r.in<QPushButton>(bars, "BtnBar1")->font().bold());
    QVERIFY(r.in<QWidget>(bars, "BarPanel1")->isVisibleTo(bars));
    QVERIFY(!r.in<QWidget>(bars, "BarPanel2")->isVisibleTo(bars));
    QVERIFY(r.in<QPushButton>(r.page(), "BtnChartA")->font().bold());
    r.setTexts(1, 1, QStringLiteral("12.5"), QString());
    r.setTexts(2, 10, QStringLiteral("-3"), QString());
    r.setTexts(3, 5, QStringLiteral("400"), QString());
    r.home()->TmrHomeTimer();
    QCOMPARE(bars->barChart(1)->value(0), 12.5);
    QCOMPARE(bars->barChart(2)->value(9), -3.0);
    QCOMPARE(bars->barChart(3)->value(4), 400.0);
    QCOMPARE(bars->barChart(3)->value(3), 0.0);
    r.setTexts(3, 5, QString(), QString()); // link lost
    r.home()->TmrHomeTimer();
    QCOMPARE(bars->barChart(3)->value(4), 0.0);
}

void TestCharts::settingsSurviveARestart()
{
    Run r;
    r.dialog()->show();
    r.in<QRadioButton>(r.dialog(), "RdoLimitB")->setChecked(true);
    r.edit("TxtYminB")->setText("10");
    r.edit("TxtYmaxB")->setText("90");
    r.in<QCheckBox>(r.dialog(), "Chk3DC")->setChecked(true);
    r.in<QCheckBox>(r.dialog(), "ChkSV2")->setChecked(false);
    r.in<LengthSpinBox>(r.dialog(), "ChtBMax")->setText("50");
    r.edit("TxtChtSample")->setText("2.5");
    // A cold room: a range wholly below the axis shown.
    r.in<QRadioButton>(r.dialog(), "RdoLimitC")->setChecked(true);
    r.edit("TxtYminC")->setText("-40");
    r.edit("TxtYmaxC")->setText("-10");
    r.dialog()->BtnChtSetingOkClick();
    // Texts the next start would refuse, left in the dialog by Cancel: the last OK's values
    // are stored in their place.
    r.dialog()->show();
    r.edit("TxtChtSample")->setText("abc");
    r.edit("TxtYminB")->setText("x");
    r.edit("TxtYminC")->setText("-5");
    r.in<QPushButton>(r.dialog(), "BtnChtSetingCancel")->click();
    r.restart();
    QVERIFY(!r.chart(3)->leftAxisAutomatic());
    QCOMPARE(r.chart(3)->leftMinimum(), -40.0);
    QCOMPARE(r.chart(3)->leftMaximum(), -10.0);
    QVERIFY(!r.chart(2)->leftAxisAutomatic());
    QCOMPARE(r.chart(2)->leftMinimum(), 10.0);
    QCOMPARE(r.chart(2)->leftMaximum(), 90.0);
    QVERIFY(r.chart(1)->leftAxisAutomatic());
    QVERIFY(r.chart(3)->view3D() && !r.chart(1)->view3D());
    QVERIFY(!r.chart(2)->isSeriesShown(1) && r.chart(2)->isSeriesShown(0));
    QVERIFY(r.chart(1)->isSeriesShown(1));
    QCOMPARE(r.chart(2)->length(), 50);
    QCOMPARE(r.page()->sampleInterval(), 2500);
}

void TestCharts::restoredFromMinimisedKeepsTheEdits()
{
    Run r;
    r.dialog()->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.dialog()));
    r.edit("TxtYmaxA")->setText("123");
    r.dialog()->showMinimized();
    QTRY_VERIFY(r.dialog()->isMinimized());
    r.dialog()->showNormal();
    QTRY_VERIFY(!r.dialog()->isMinimized());
    QCOMPARE(r.edit("TxtYmaxA")->text(), QStringLiteral("123"));
    // Shown again after a close, it starts from the chart.
    r.dialog()->hide();
    r.dialog()->show();
    QCOMPARE(r.edit("TxtYmaxA")->text(), QStringLiteral("100"));
}

void TestCharts::boundsShownReadBackUnderADecimalComma()
{
    Run r;
    r.dialog()->setLocale(QLocale(QLocale::German, QLocale::Germany));
    r.chart(1)->setLeftAxisAutomatic(false);
    r.chart(1)->setLeftRange(-20.5, 1250.25);
    r.dialog()->show();
    QCOMPARE(r.edit("TxtYminA")->text(), QStringLiteral("-20,5"));
    QCOMPARE(r.edit("TxtYmaxA")->text(), QStringLiteral("1250,25")); // no group mark
    r.edit("TxtChtSample")->setText("2,5");
    r.dialog()->BtnChtSetingOkClick();
    QVERIFY(!r.dialog()->isVisible());
    QCOMPARE(r.chart(1)->leftMinimum(), -20.5);
    QCOMPARE(r.chart(1)->leftMaximum(), 1250.25);
    QCOMPARE(r.page()->sampleInterval(), 2500);
}

void TestCharts::linesAtTheAxisEndsAreSeen_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<double>("sv");
    // The axis that scales itself ends exactly at the largest value.
    QTest::newRow("self-scaling, SV at the top") << true << 250.0;
    QTest::newRow("self-scaling, SV at the bottom") << true << -50.0;
    QTest::newRow("fixed, SV at the top") << false << 300.0;
}

void TestCharts::linesAtTheAxisEndsAreSeen()
{
    QFETCH(bool, automatic);
    QFETCH(double, sv);
    TrendPlot plot(QStringLiteral("Monitor1-Chart"));
    if (!automatic) {
        plot.setLeftAxisAutomatic(false);
        plot.setLeftRange(0, sv);
    }
    // SV10 is the line looked for; PV01 holds the axis at the same end with SV10 hidden.
    TrendBuffer::Values values{};
    values[0] = sv;
    values[18] = 100;
    values[19] = sv;
    for (int i = 0; i < 30; ++i)
        plot.addSample(values, i * 1000);
    QCOMPARE(plot.leftMaximum() == sv || plot.leftMinimum() == sv, true);
    // The pixels of slot 10's colour, with and without its SV line: its whole length shows.
    auto lit = [&plot](bool svShown) {
        plot.setSvShown(svShown);
        QImage image(600, 400, QImage::Format_RGB32);
        QPainter painter(&image);
        plot.draw(painter, image.rect());
        painter.end();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == TrendPlot::slotColour(10).rgb();
        return count;
    };
    QVERIFY2(lit(true) - lit(false) > 200, qPrintable(QString::number(lit(true) - lit(false))));
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestCharts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_charts.moc"
