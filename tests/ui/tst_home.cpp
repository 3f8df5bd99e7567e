// The main window: start-up state, page switching, the Monitor page buttons, the refresh of
// the tiles from the station model, the engine's update requests and the DP dialog.
#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "core/QuillmereError.h"
#include "record/DataRecorder.h"
#include "ui/dialogs/TFmBarPage.h"
#include "ui/dialogs/TFmCommSetting.h"
#include "ui/dialogs/TFmLineStatistics.h"
#include "ui/main/ScanIndicator.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"
#include "ui/params/TFmSetPage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

RecordingDialogs* g_dialogs = nullptr;

struct Home
{
    FakeLine::Log log;
    QTemporaryDir folder;
    std::unique_ptr<Program> program;
    Windows windows;
    TFmHome* home = nullptr;

    // The program's own start on a fresh home folder, with an engine that touches no port.
    explicit Home(const QString& pictures = {})
    {
        g_dialogs->messages.clear();
        qputenv("QUILLMERE_HOME", folder.path().toLocal8Bit());
        const StartOptions options = portlessStart(&log, pictures);
        program = std::make_unique<Program>(*g_dialogs, options);
        if (!program->start())
            qFatal("start-up failed: %s", qPrintable(g_dialogs->messages.join('\n')));
        windows = program->windows();
        home = windows.FmHome;
    }

    template <class T> T* find(const QString& name) const { return home->findChild<T*>(name); }
    QWidget* widget(const QString& name) const { return find<QWidget>(name); }
    QImage picture(int button) const
    {
        return find<QLabel>(QStringLiteral("ImgButton%1").arg(button))->pixmap().toImage();
    }
    void setStation(int m, int s, const QString& pv, const QString& sv, const QString& out)
    {
        StationRecord& r = home->engine().model().station(m, s);
        r.PvText = pv;
        r.SvText = sv;
        r.OutText = out;
    }
};

QImage bitmap(const QString& folder, const QString& file)
{
    return QImage(folder + QLatin1Char('/') + file).convertToFormat(QImage::Format_RGB32);
}

bool isBoldWithGlyph(QPushButton* button)
{
    return button->font().bold() && !button->icon().isNull();
}

} // namespace

class TestHome : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startUpShowsMonitorOne();
    void monitorButtonsSwitchPanels();
    void pageSwitch_data();
    void pageSwitch();
    void missingPictureStopsTheSwitchAtThatFile();
    void tilesShowModelTexts();
    void onlyTheVisibleMonitorsIdsReachTheEngine();
    void startOnlyOnceRescanBeforeAndAfter();
    void engineUpdatesPaintLampsAndIndicators();
    void dpDialogFollowsTheScanAndSetsDpScanDone();
    void setOpensTheSetControllerDialogForItsTile();
    void startUpCreatesTheWindows();
    void missingFirstPictureEndsStartUp();
    void enterPressesOnlyAChosenButton_data();
    void enterPressesOnlyAChosenButton();
};

void TestHome::startUpShowsMonitorOne()
{
    Home h;
    QCOMPARE(h.home->CurrentMonitor(), 1);
    QVERIFY(h.widget("PanelA")->isVisible());
    QVERIFY(!h.widget("PanelB")->isVisible());
    QVERIFY(!h.widget("PanelC")->isVisible());
    QVERIFY(isBoldWithGlyph(h.find<QPushButton>("BtnA")));
    QVERIFY(!h.find<QPushButton>("BtnB")->font().bold());
    QVERIFY(h.find<QPushButton>("BtnC")->icon().isNull());
    QCOMPARE(h.find<QLabel>("Label2")->text(),
             QStringLiteral("Please enter Ctrl+A change of company name"));
    QCOMPARE(h.find<QLabel>("ImgButton1")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             bitmap(QCoreApplication::applicationDirPath(), "button1D.bmp"));
    QVERIFY(h.find<QPushButton>("BtnStart")->isEnabled());
    QVERIFY(!h.home->DpScanDone());
    // Every tile knows its slot; the indicators sit right above the tiles.
    TController* c7 = h.find<TController>("ControllerC7");
    QCOMPARE(c7->slotNumberText(), QStringLiteral("07"));
    QCOMPARE(c7->geometry(), QRect(160, 226, 141, 182));
    QCOMPARE(h.find<TController>("ControllerA5")->width(), 145);
    QCOMPARE(h.widget("Shape27")->geometry(), QRect(160, 221, 17, 5));
    QCOMPARE(h.widget("Shape27")->parentWidget(), h.widget("PanelC"));
    QCOMPARE(h.widget("BtnStart")->y(), 425);
}

void TestHome::monitorButtonsSwitchPanels()
{
    Home h;
    QTest::mouseClick(h.find<QPushButton>("BtnC"), Qt::LeftButton);
    QCOMPARE(h.home->CurrentMonitor(), 3);
    QVERIFY(h.widget("PanelC")->isVisible());
    QVERIFY(!h.widget("PanelA")->isVisible());
    QVERIFY(isBoldWithGlyph(h.find<QPushButton>("BtnC")));
    QVERIFY(!h.find<QPushButton>("BtnA")->font().bold());
    QVERIFY(h.find<QPushButton>("BtnA")->icon().isNull());
}

void TestHome::pageSwitch_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("caption");
    QTest::newRow("chart") << 2 << 2 << "Quillmere Controller-->Chart";
    QTest::newRow("bar chart") << 6 << 5 << "Quillmere Controller-->Bar Chart";
    QTest::newRow("alarm") << 3 << 3 << "Quillmere Controller-->Alarm";
    QTest::newRow("recipe") << 4 << 4 << "Quillmere Controller-->Recipe";
    QTest::newRow("monitor") << 1 << 1 << "Quillmere Controller-->Monitor";
}

void TestHome::pageSwitch()
{
    QFETCH(int, button);
    QFETCH(int, page);
    QFETCH(QString, caption);
    Home h;
    QTest::mouseClick(h.widget(QStringLiteral("ImgButton%1").arg(button)), Qt::LeftButton);
    QCOMPARE(h.home->windowTitle(), caption);
    for (int p = 1; p <= 5; ++p)
        QCOMPARE(h.widget(QStringLiteral("Panel%1").arg(p))->isVisible(), p == page);
    const QString folder = QCoreApplication::applicationDirPath();
    for (int b : {1, 2, 3, 4, 6}) {
        const QString file = QStringLiteral("button%1%2.bmp").arg(b).arg(b == button ? 'D' : 'U');
        QCOMPARE(h.picture(b).convertToFormat(QImage::Format_RGB32), bitmap(folder, file));
    }
    QVERIFY(g_dialogs->messages.isEmpty());
}

void TestHome::missingPictureStopsTheSwitchAtThatFile()
{
    QTemporaryDir pictures;
    const QString bin = QCoreApplication::applicationDirPath();
    for (const QString& f : QDir(bin).entryList({QStringLiteral("button*.bmp")}))
        QVERIFY(QFile::copy(bin + '/' + f, pictures.path() + '/' + f));
    Home h(pictures.path());
    QTest::mouseClick(h.widget("ImgButton6"), Qt::LeftButton); // all pictures "U" but 6
    QVERIFY(QFile::remove(pictures.path() + "/button3U.bmp"));

    // Chart: 2 "D" first, then 1, 3 (missing), 4, 6.
    QTest::mouseClick(h.widget("ImgButton2"), Qt::LeftButton);
    QCOMPARE(g_dialogs->messages,
             QStringList{QCoreApplication::applicationName() + "|Cannot open file " +
                         pictures.path() + "/button3U.bmp"});
    QCOMPARE(h.home->windowTitle(), QStringLiteral("Quillmere Controller-->Chart"));
    QVERIFY(h.widget("Panel2")->isVisible());
    QCOMPARE(h.picture(2).convertToFormat(QImage::Format_RGB32), bitmap(bin, "button2D.bmp"));
    QCOMPARE(h.picture(1).convertToFormat(QImage::Format_RGB32), bitmap(bin, "button1U.bmp"));
    // The pictures after the missing one keep what they showed.
    QCOMPARE(h.picture(6).convertToFormat(QImage::Format_RGB32), bitmap(bin, "button6D.bmp"));
    QCOMPARE(h.picture(4).convertToFormat(QImage::Format_RGB32), bitmap(bin, "button4U.bmp"));
}

void TestHome::tilesShowModelTexts()
{
    Home h;
    h.setStation(1, 1, "25.3", "30.0", "523");
    h.setStation(1, 2, "", "40.0", "-5");
    h.setStation(1, 3, "1.0", "2.0", "1200");
    h.home->TmrHomeTimer();
    TController* t1 = h.find<TController>("ControllerA1");
    QCOMPARE(t1->findChild<QLineEdit*>("TxtPV")->text(), QStringLiteral("25.3"));
    QCOMPARE(t1->findChild<QLineEdit*>("TxtSV")->text(), QStringLiteral("30.0"));
    QVERIFY(!t1->findChild<QLabel*>("ImgLink")->pixmap().isNull());
    QCOMPARE(t1->findChild<QProgressBar*>("PrgOut")->value(), 523);
    TController* t2 = h.find<TController>("ControllerA2");
    QVERIFY(t2->findChild<QLineEdit*>("TxtPV")->text().isEmpty());
    QCOMPARE(t2->findChild<QLineEdit*>("TxtSV")->text(), QStringLiteral("40.0"));
    QVERIFY(t2->findChild<QLabel*>("ImgLink")->pixmap().isNull());
    QCOMPARE(t2->findChild<QProgressBar*>("PrgOut")->value(), 0);
    QCOMPARE(h.find<TController>("ControllerA3")->findChild<QProgressBar*>("PrgOut")->value(),
             1000);
}

void TestHome::onlyTheVisibleMonitorsIdsReachTheEngine()
{
    Home h;
    StationModel& model = h.home->engine().model();
    h.find<TController>("ControllerA3")->setIdText("45");
    h.find<TController>("ControllerB3")->setIdText("46");
    h.home->TmrHomeTimer();
    QCOMPARE(model.station(1, 3).StationId, 45);
    QCOMPARE(model.station(2, 3).StationId, 13); // not shown: keeps its ID
    h.setStation(2, 3, "9.9", "", "");
    QTest::mouseClick(h.find<QPushButton>("BtnB"), Qt::LeftButton);
    h.home->TmrHomeTimer();
    QCOMPARE(model.station(2, 3).StationId, 46);
    QCOMPARE(h.find<TController>("ControllerB3")->findChild<QLineEdit*>("TxtPV")->text(),
             QStringLiteral("9.9"));
    // A pasted text that is no integer is not taken over.
    h.find<TController>("ControllerB4")->findChild<QLineEdit*>("TxtID")->setText("4x");
    h.home->TmrHomeTimer();
    QCOMPARE(model.station(2, 4).StationId, 14);
}

void TestHome::startOnlyOnceRescanBeforeAndAfter()
{
    Home h;
    auto* start = h.find<QPushButton>("BtnStart");
    QTest::mouseClick(h.find<QPushButton>("BtnScanDP"), Qt::LeftButton);
    QVERIFY(h.home->engine().model().RescanRequested);
    QVERIFY(h.windows.FmBarPage->isVisible());
    h.windows.FmBarPage->hide();

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!start->isEnabled());
    QVERIFY(h.home->engine().isRunning());
    QVERIFY(h.windows.FmBarPage->isVisible());
    QVERIFY(h.home->findChild<QTimer*>("TmrHome")->isActive());
    QTest::mouseClick(start, Qt::LeftButton); // disabled: nothing happens
    QVERIFY(h.find<QPushButton>("BtnScanDP")->isEnabled());
    h.home->close();
    QVERIFY(h.home->engine().isFinished());
    QVERIFY(!h.home->findChild<QTimer*>("TmrHome")->isActive());
}

void TestHome::engineUpdatesPaintLampsAndIndicators()
{
    Home h;
    auto lampColour = [&](const char* tile, const char* lamp) {
        return h.find<TController>(tile)->findChild<QLabel*>(lamp)->palette().color(
            QPalette::Window);
    };
    h.home->applyEngineUpdate({EngineUpdate::Lamps, 3, 1, 9, {}, {}});
    QCOMPARE(lampColour("ControllerC1", "Lab_OUT1"), QColor(0, 206, 0));
    QCOMPARE(lampColour("ControllerC1", "Lab_AL1"), QColor(0, 206, 0));
    QCOMPARE(lampColour("ControllerC1", "Lab_OUT2"), QColor(109, 167, 231));
    h.home->applyEngineUpdate({EngineUpdate::Indicator, 3, 1, 0, {}, {}});
    auto red = [&](int n) {
        return h.find<ScanIndicator>(QStringLiteral("Shape%1").arg(n))->isActive();
    };
    QVERIFY(red(21));
    int reds = 0;
    for (int n = 1; n <= 30; ++n)
        reds += red(n);
    QCOMPARE(reds, 1);
    h.home->applyEngineUpdate({EngineUpdate::Indicator, 0, 0, 0, {}, {}});
    QVERIFY(!red(21));
}

void TestHome::dpDialogFollowsTheScanAndSetsDpScanDone()
{
    Home h;
    TFmBarPage* page = h.windows.FmBarPage;
    QTest::mouseClick(h.find<QPushButton>("BtnScanDP"), Qt::LeftButton);
    for (int m = 1; m <= 3; ++m)
        for (int s = 1; s <= 10; ++s)
            h.home->applyEngineUpdate({EngineUpdate::ScanProgress, m, 0, s, {}, {}});
    QCOMPARE(page->findChild<QProgressBar*>("Bar3")->value(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(!page->isVisible(), 1500);
    QVERIFY(h.home->DpScanDone());

    Home byHand;
    QTest::mouseClick(byHand.find<QPushButton>("BtnScanDP"), Qt::LeftButton);
    byHand.home->applyEngineUpdate({EngineUpdate::ScanProgress, 1, 0, 4, {}, {}});
    byHand.windows.FmBarPage->close();
    QVERIFY(byHand.home->DpScanDone());
}

void TestHome::setOpensTheSetControllerDialogForItsTile()
{
    Home h;
    QTest::mouseClick(h.find<QPushButton>("BtnC"), Qt::LeftButton);
    auto* tile = h.find<TController>("ControllerC7");
    tile->setIdText("23");
    QTest::mouseClick(tile->findChild<QPushButton*>("BtnSET"), Qt::RightButton);
    QVERIFY(h.windows.FmSetPage->isVisible());
    auto caption = [&](const char* label) {
        return h.windows.FmSetPage->findChild<QLabel*>(label)->text();
    };
    QCOMPARE(caption("LbPanel"), QStringLiteral("3"));
    QCOMPARE(caption("LbNO"), QStringLiteral("07"));
    QCOMPARE(caption("LbID"), QStringLiteral("23"));
}

void TestHome::startUpCreatesTheWindows()
{
    // The program's own start: the main window first, then the dialogs it owns.
    Home h;
    for (QWidget* dialog :
         std::initializer_list<QWidget*>{h.windows.FmBarPage, h.windows.FmCommSetting})
        QCOMPARE(dialog->parent(), h.home);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Quillmere 8.21"));
    // The status line sits below the page buttons and opens the line statistics.
    QWidget* status = h.home->statusLine();
    QVERIFY(status->y() >= h.widget("ImgButton1")->geometry().bottom());
    QTest::mouseClick(status, Qt::LeftButton);
    QVERIFY(h.windows.FmLineStatistics->isVisible());
}

void TestHome::missingFirstPictureEndsStartUp()
{
    QTemporaryDir empty;
    qputenv("QUILLMERE_HOME", empty.path().toLocal8Bit());
    g_dialogs->messages.clear();
    Program program(*g_dialogs, {{}, empty.path()});
    QVERIFY(!program.start());
    QCOMPARE(g_dialogs->messages,
             QStringList{QCoreApplication::applicationName() + "|Cannot open file " + empty.path() +
                         "/button1D.bmp"});
}

void TestHome::enterPressesOnlyAChosenButton_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("before"); // had the focus first, if any
    QTest::addColumn<QString>("target"); // has it at Enter; "": as the dialog opens
    QTest::addColumn<QString>("pressed");
    // The Write that had the focus stays unpressed; the name and password dialogs are there to
    // confirm what was just typed.
    const char* const rows[][4] = {{"FmSetPage", "", "TypeL1", ""},
                                   {"FmSetPage", "", "L1Value", ""},
                                   {"FmSetPage", "WritwL1", "L1Value", ""},
                                   {"FmSetPage", "", "WritwL1", "WritwL1"},
                                   {"FmCommSetting", "", "Edit1", ""},
                                   {"FmCommSetting", "RzButton1", "TxtTitle", ""},
                                   {"FmChartSetting", "", "TxtChtSample", ""},
                                   {"FmChartSetting", "", "ChtAMax", ""},
                                   {"FmRecord", "", "TxtSampleTime", ""},
                                   {"FmAddAlarm", "", "TxtHAlm", ""},
                                   {"FmModifyAlarm", "", "TxtLAlm", ""},
                                   {"FmBrowse", "", "DirectoryListBox1", ""},
                                   {"FmAlmDlg", "", "LstAlarm", ""},
                                   {"FmLineStatistics", "", "", "BtnClose"},
                                   {"FmTitle", "", "Edit1", "RzButton1"},
                                   {"FmTitle", "", "RzButton2", "RzButton2"},
                                   {"fmpassread", "", "Edit1", "Button1"},
                                   {"fmpaset", "", "aginNewEdit", "Button1"}};
    for (const auto& r : rows)
        QTest::addRow("%s %s %s", r[0], r[1], r[2]) << r[0] << r[1] << r[2] << r[3];
}

void TestHome::enterPressesOnlyAChosenButton()
{
    QFETCH(QString, dialog);
    QFETCH(QString, before);
    QFETCH(QString, target);
    QFETCH(QString, pressed);
    Home h;
    h.home->recorder().settings().RecordEnabled = true; // else the record dialog's edits are off
    auto* window = h.find<QDialog>(dialog);
    QStringList clicks;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        connect(button, &QPushButton::pressed, this, // before a handler that may raise
                [&clicks, button] { clicks << button->objectName(); });
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    for (const QString& name : {before, target}) {
        if (name.isEmpty())
            continue;
        auto* widget = window->findChild<QWidget*>(name);
        QVERIFY(widget);
        for (QWidget* w = widget; w != window; w = w->parentWidget()) // its tab to the front
            if (auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget()))
                stack->setCurrentWidget(w);
        widget->setFocus(Qt::TabFocusReason);
        QVERIFY(widget->isAncestorOf(QApplication::focusWidget()) ||
                widget == QApplication::focusWidget());
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(clicks, pressed.isEmpty() ? QStringList() : QStringList{pressed});
    QVERIFY(!h.home->engine().model().WritePending);
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestHome test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_home.moc"
