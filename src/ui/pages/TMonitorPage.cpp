#include "ui/pages/TMonitorPage.h"

#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/main/ScanIndicator.h"
#include "ui/main/SubPageButtons.h"
#include "ui/main/TController.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int TileLefts[] = {8, 160, 312, 464, 616};
constexpr int TileTops[] = {34, 226};
constexpr const char* Letters = "ABC";

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int width)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, 425, width, 30);
    return button;
}

} // namespace

TMonitorPage::TMonitorPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Panel1"));
    buildMonitorPanels();
    buildButtonRow();
    ShowMonitor(1);
}

void TMonitorPage::buildMonitorPanels()
{
    static const QString titles[] = {QStringLiteral("Monitor-1"), QStringLiteral("Monitor-2"),
                                     QStringLiteral("Monitor-3  ")};
    for (int m = 1; m <= 3; ++m) {
        auto* panel = new QWidget(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(QLatin1Char(Letters[m - 1])));
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
                QStringLiteral("Controller%1%2").arg(QLatin1Char(Letters[m - 1])).arg(s));
            tile->move(at);
            tile->setSlotNumber(s);
            connect(tile, &TController::setReleased, this,
                    handled([this, tile] { setReleased(tile); }));
            m_tiles[size_t(m - 1)][size_t(s - 1)] = tile;

            auto* indicator = new ScanIndicator(panel);
            const int number = (m - 1) * 10 + s;
            indicator->setObjectName(QStringLiteral("Shape%1").arg(number));
            indicator->setGeometry(at.x(), at.y() - 5, 17, 5);
            m_indicators[size_t(number - 1)] = indicator;
        }
    }
}

void TMonitorPage::buildButtonRow()
{
    auto* btnD = makeButton(this, "BtnD", QStringLiteral("Communication "), 83, 89);
    btnD->setFont(fonts::sans(11, true));
    btnD->setStyleSheet(QStringLiteral("color: blue"));
    connect(btnD, &QPushButton::clicked, this, handled(this, &TMonitorPage::communicationClicked));
    m_btnStart = makeButton(this, "BtnStart", QStringLiteral("Start"), 178, 81);
    connect(m_btnStart, &QPushButton::clicked, this, handled(this, &TMonitorPage::startClicked));
    for (int m = 1; m <= 3; ++m) {
        const QByteArray name = "Btn" + QByteArray(1, Letters[m - 1]);
        auto* button = makeButton(this, name.constData(), QStringLiteral("Monitor%1").arg(m),
                                  265 + (m - 1) * 87, 81);
        connect(button, &QPushButton::clicked, this, handled([this, m] { ShowMonitor(m); }));
        m_monitorButtons[size_t(m - 1)] = button;
    }
    auto* rescan = makeButton(this, "BtnScanDP", QStringLiteral("Re-Scan"), 526, 81);
    connect(rescan, &QPushButton::clicked, this, handled(this, &TMonitorPage::rescanClicked));
    auto* passwordSet = makeButton(this, "Button5", QStringLiteral("Password Set"), 613, 100);
    connect(passwordSet, &QPushButton::clicked, this,
            handled(this, &TMonitorPage::passwordClicked));
}

TController* TMonitorPage::tile(int monitor, int slot) const
{
    return m_tiles[size_t(monitor - 1)][size_t(slot - 1)];
}

void TMonitorPage::ShowMonitor(int monitor)
{
    for (int m = 1; m <= 3; ++m)
        m_monitorPanels[size_t(m - 1)]->setVisible(m == monitor);
    m_currentMonitor = monitor;
    markSubPageButton(m_monitorButtons[size_t(monitor - 1)],
                      {m_monitorButtons.begin(), m_monitorButtons.end()});
}

void TMonitorPage::setActiveIndicator(int monitor, int slot)
{
    const int red = monitor == 0 ? 0 : (monitor - 1) * 10 + slot;
    for (int i = 1; i <= 30; ++i)
        m_indicators[size_t(i - 1)]->setActive(i == red);
}

void TMonitorPage::setLocked(bool locked)
{
    for (int s = 1; s <= 10; ++s)
        for (int m = 1; m <= 3; ++m)
            tile(m, s)->setLocked(locked);
}

void TMonitorPage::setStartEnabled(bool enabled)
{
    m_btnStart->setEnabled(enabled);
}
