#include "ui/main/TFmHome.h"

#include "core/QuillmereError.h"
#include "engine/TCommController.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/dialogs/TFmBarPage.h"
#include "ui/main/PageButton.h"
#include "ui/main/ScanIndicator.h"
#include "ui/main/SubPageButtons.h"
#include "ui/main/TController.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMutexLocker>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace {

constexpr int PageCount = 5;

struct PageButtonInfo
{
    int number; // ImgButton<number>
    int left;
    const char* caption;
    int page; // Panel<page>
};

// Left to right along the bottom edge.
constexpr PageButtonInfo PageButtons[] = {
    {1, 26, "Quillmere Controller-->Monitor", 1},    {2, 146, "Quillmere Controller-->Chart", 2},
    {6, 266, "Quillmere Controller-->Bar Chart", 5}, {3, 386, "Quillmere Controller-->Alarm", 3},
    {4, 506, "Quillmere Controller-->Recipe", 4},
};

const PageButtonInfo& pageButtonInfo(int number)
{
    for (const PageButtonInfo& info : PageButtons)
        if (info.number == number)
            return info;
    Q_UNREACHABLE();
}

constexpr int TileLefts[] = {8, 160, 312, 464, 616};
constexpr int TileTops[] = {34, 226};

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int width)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, 425, width, 30);
    return button;
}

} // namespace

TFmHome::TFmHome(DialogService& dialogs, std::unique_ptr<TCommController> engine,
                 const QString& pictureFolder)
    : m_dialogs(dialogs),
      m_engine(engine ? std::move(engine) : std::make_unique<TCommController>()),
      m_pictureFolder(pictureFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : pictureFolder)
{
    setObjectName(QStringLiteral("FmHome"));
    setFixedSize(800, 548);
    setWindowTitle(QCoreApplication::applicationName());

    LastAutoPrint = 0;
    for (int p = 0; p < PageCount; ++p) {
        auto* page = new QWidget(this);
        page->setObjectName(QStringLiteral("Panel%1").arg(p + 1));
        page->setGeometry(6, 32, 786, 462);
        m_pages[size_t(p)] = page;
    }
    // All pages exist and are visible at creation; the Monitor page lies on top.
    m_pages[0]->raise();
    buildMonitorPage();
    buildPageButtons();

    // Ctrl+A belongs to this program only: a system-wide grab would take Select All away
    // from every other program on the workstation.
    auto* hotKeyShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), this);
    hotKeyShortcut->setObjectName(QStringLiteral("HotKeyCtrlA"));
    hotKeyShortcut->setContext(Qt::ApplicationShortcut);
    connect(hotKeyShortcut, &QShortcut::activated, this, &TFmHome::hotKey);

    connect(m_engine.get(), &TCommController::updateRequested, this, &TFmHome::applyEngineUpdate,
            Qt::QueuedConnection);

    loadPicture(m_pageButtons[0], QStringLiteral("button1D.bmp"));

    m_tmrHome = new QTimer(this);
    m_tmrHome->setObjectName(QStringLiteral("TmrHome"));
    m_tmrHome->setInterval(500);
    connect(m_tmrHome, &QTimer::timeout, this, &TFmHome::TmrHomeTimer);

    ShowMonitor(1);
}

TFmHome::~TFmHome()
{
    m_engine->Stop();
}

void TFmHome::buildMonitorPage()
{
    QWidget* page = m_pages[0];
    static const char* const letters = "ABC";
    static const QString titles[] = {QStringLiteral("Monitor-1"), QStringLiteral("Monitor-2"),
                                     QStringLiteral("Monitor-3  ")};
    for (int m = 1; m <= 3; ++m) {
        auto* panel = new QWidget(page);
        panel->setObjectName(QStringLiteral("Panel%1").arg(QLatin1Char(letters[m - 1])));
        panel->setGeometry(8, 6, 769, 412);
        m_monitorPanels[size_t(m - 1)] = panel;

        auto* title = new QLabel(titles[m - 1], panel);
        title->setObjectName(QStringLiteral("LbMonitor%1").arg(m));
        title->setAlignment(Qt::AlignCenter);
        title->setFont(fonts::sans(18, true));
        title->setGeometry(0, 4, 769, 22);

        for (int s = 1; s <= 10; ++s) {
            const int column = (s - 1) % 5;
            const int row = (s - 1) / 5;
            const QPoint at(TileLefts[column], TileTops[row]);
            auto* tile = new TController(
                column == 4 ? TController::WideWidth : TController::NormalWidth, panel);
            tile->setObjectName(
                QStringLiteral("Controller%1%2").arg(QLatin1Char(letters[m - 1])).arg(s));
            tile->move(at);
            tile->setSlotNumber(s);
            // The ID box shows the slot's station ID; the stored IDs replace it when the
            // settings are restored.
            tile->setIdText(QString::number(m_engine->model().station(m, s).StationId));
            // SET opens the Set Controller dialog; it is connected here when that dialog
            // becomes part of the program.
            m_tiles[size_t(m - 1)][size_t(s - 1)] = tile;

            auto* indicator = new ScanIndicator(panel);
            const int number = (m - 1) * 10 + s;
            indicator->setObjectName(QStringLiteral("Shape%1").arg(number));
            indicator->setGeometry(at.x(), at.y() - 5, 17, 5);
            m_indicators[size_t(number - 1)] = indicator;
        }
    }

    auto* btnD = makeButton(page, "BtnD", QStringLiteral("Communication "), 83, 89);
    btnD->setFont(fonts::sans(11, true));
    btnD->setStyleSheet(QStringLiteral("color: blue"));
    btnD->setEnabled(false); // the communication dialog arrives with its own change
    m_btnStart = makeButton(page, "BtnStart", QStringLiteral("Start"), 178, 81);
    connect(m_btnStart, &QPushButton::clicked, this, &TFmHome::BtnStartClick);
    for (int m = 1; m <= 3; ++m) {
        const QByteArray name = "Btn" + QByteArray(1, letters[m - 1]);
        auto* button = makeButton(page, name.constData(), QStringLiteral("Monitor%1").arg(m),
                                  265 + (m - 1) * 87, 81);
        connect(button, &QPushButton::clicked, this, [this, m] { ShowMonitor(m); });
        m_monitorButtons[size_t(m - 1)] = button;
    }
    m_btnScanDp = makeButton(page, "BtnScanDP", QStringLiteral("Re-Scan"), 526, 81);
    connect(m_btnScanDp, &QPushButton::clicked, this, &TFmHome::BtnScanDPClick);
    auto* passwordSet = makeButton(page, "Button5", QStringLiteral("Password Set"), 613, 100);
    passwordSet->setEnabled(false); // the password lock arrives with its own change
}

void TFmHome::buildPageButtons()
{
    m_title = new QLabel(QStringLiteral("Please enter Ctrl+A change of company name"), this);
    m_title->setObjectName(QStringLiteral("Label2"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setFont(fonts::sans(21));
    m_title->setGeometry(197, 4, 426, 26);

    m_version = new QLabel(QStringLiteral("VER 9.22"), this);
    m_version->setObjectName(QStringLiteral("RzVersionInfoStatus4"));
    m_version->setGeometry(678, 8, 78, 22);
    m_version->setCursor(Qt::PointingHandCursor);

    for (const PageButtonInfo& info : PageButtons) {
        auto* button = new PageButton(this);
        button->setObjectName(QStringLiteral("ImgButton%1").arg(info.number));
        button->setGeometry(info.left, 498, info.number == 1 ? 113 : 112, 41);
        // The built-in look until the first switch reads the pictures from disk.
        button->setFrameStyle(QFrame::Panel | QFrame::Raised);
        button->setAlignment(Qt::AlignCenter);
        button->setText(QString::fromLatin1(info.caption).section(QStringLiteral("-->"), 1));
        const int number = info.number;
        connect(button, &PageButton::clicked, this, [this, number] { switchPage(number); });
        m_pageButtons[size_t(number - 1)] = button;
    }

    auto* record = new QPushButton(QStringLiteral("Record...."), this);
    record->setObjectName(QStringLiteral("BitBtn1"));
    record->setGeometry(634, 498, 137, 41);
    record->setCursor(Qt::PointingHandCursor);
    record->setEnabled(false); // the record dialog arrives with data recording
}

TController* TFmHome::tile(int monitor, int slot) const
{
    return m_tiles[size_t(monitor - 1)][size_t(slot - 1)];
}

void TFmHome::ShowMonitor(int monitor)
{
    for (int m = 1; m <= 3; ++m)
        m_monitorPanels[size_t(m - 1)]->setVisible(m == monitor);
    m_currentMonitor = monitor;
    markSubPageButton(m_monitorButtons[size_t(monitor - 1)],
                      {m_monitorButtons.begin(), m_monitorButtons.end()});
}

void TFmHome::switchPage(int pageButton)
{
    const PageButtonInfo& clicked = pageButtonInfo(pageButton);
    setWindowTitle(QLatin1String(clicked.caption));
    for (int p = 1; p <= PageCount; ++p)
        m_pages[size_t(p - 1)]->setVisible(p == clicked.page);

    // The pressed picture first (except for the bar chart button), then the others.
    QList<int> order;
    if (pageButton != 6)
        order << pageButton;
    for (int n : {1, 2, 3, 4, 6})
        if (n != pageButton || pageButton == 6)
            order << n;
    for (int n : order) {
        const QString file = QStringLiteral("button%1%2.bmp")
                                 .arg(n)
                                 .arg(n == pageButton ? QLatin1Char('D') : QLatin1Char('U'));
        loadPicture(m_pageButtons[size_t(n - 1)], file);
    }
}

void TFmHome::loadPicture(PageButton* button, const QString& file)
{
    const QString path = m_pictureFolder + QLatin1Char('/') + file;
    QPixmap picture;
    if (!picture.load(path))
        throw QuillmereError(QStringLiteral("Cannot open file %1").arg(path));
    button->setPixmap(picture);
}

void TFmHome::BtnStartClick()
{
    if (m_windows.FmBarPage)
        m_windows.FmBarPage->showCentredOn(this);
    m_engine->Start();
    m_tmrHome->start();
    // Recording starts here too once data recording is in place.
    m_btnStart->setEnabled(false);
}

void TFmHome::BtnScanDPClick()
{
    if (m_windows.FmBarPage)
        m_windows.FmBarPage->showCentredOn(this);
    m_engine->RequestRescan();
}

void TFmHome::dpDialogClosed()
{
    m_dpScanDone = true;
}

void TFmHome::TmrHomeTimer()
{
    StationModel& model = m_engine->model();
    const int m = m_currentMonitor;
    for (int s = 1; s <= 10; ++s) {
        TController* t = tile(m, s);
        const std::optional<int> id = t->stationId();
        QString pv, sv, out;
        {
            QMutexLocker lock(&model.mutex);
            StationRecord& rec = model.station(m, s);
            if (id)
                rec.StationId = *id;
            pv = rec.PvText;
            sv = rec.SvText;
            out = rec.OutText;
        }
        t->showValues(pv, sv, out);
    }
    // The alarm history's print check and the bar charts join this tick with their pages.
}

void TFmHome::applyEngineUpdate(const EngineUpdate& update)
{
    switch (update.kind) {
    case EngineUpdate::Indicator: {
        const int red = update.monitor == 0 ? 0 : (update.monitor - 1) * 10 + update.slot;
        for (int i = 1; i <= 30; ++i)
            m_indicators[size_t(i - 1)]->setActive(i == red);
        break;
    }
    case EngineUpdate::Lamps:
        tile(update.monitor, update.slot)->setLamps(update.value);
        break;
    case EngineUpdate::ScanProgress:
        if (m_windows.FmBarPage)
            m_windows.FmBarPage->setProgress(update.monitor, update.value);
        break;
    case EngineUpdate::Alarm:
        QApplication::beep();
        // The alarm history, the alarm message dialog and the count table take the line
        // from here once the alarm pages are in place.
        break;
    }
}

void TFmHome::hotKey()
{
    // Opens the company name dialog once it is part of the program.
}

void TFmHome::closeEvent(QCloseEvent* event)
{
    m_tmrHome->stop();
    m_engine->Stop();
    event->accept();
}
