#include "ui/dialogs/TFmBarPage.h"

#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/dialogs/BusyIndicator.h"

#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>

#include <algorithm>

TFmBarPage::TFmBarPage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmBarPage"));
    setWindowTitle(QStringLiteral("DP Reading..."));
    setModal(false);
    setFixedSize(416, 172);

    // The inactive-caption-text colour this dialog used is near black on many Linux themes; a
    // pale blue keeps the calm look it had on the workstations it was made for.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(216, 228, 248));
    setPalette(palette);
    setAutoFillBackground(true);

    auto* title = new QLabel(QStringLiteral("DP Reading..."), this);
    title->setObjectName(QStringLiteral("LbTitle"));
    title->setFont(fonts::sans(37, true));
    title->adjustSize();
    title->move(16, 8);

    m_animate = new BusyIndicator(this);
    m_animate->setObjectName(QStringLiteral("Animate1"));
    m_animate->setGeometry(328, 6, 72, 56);

    for (int m = 1; m <= 3; ++m) {
        const int top = 70 + (m - 1) * 32;
        auto* label = new QLabel(QStringLiteral("Monitor%1").arg(m), this);
        label->setObjectName(QStringLiteral("LbMonitor%1").arg(m));
        label->setFont(fonts::sans(14, false));
        label->setGeometry(16, top, 76, 20);

        auto* bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("Bar%1").arg(m));
        bar->setRange(0, BarMaximum);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setGeometry(96, top, 300, 20);
        m_bars[size_t(m - 1)] = bar;
    }

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setParent(this);
    m_timer1.setInterval(TimerIntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, handled(this, &TFmBarPage::Timer1Timer));
}

void TFmBarPage::setProgress(int monitor, int value)
{
    if (monitor < 1 || monitor > 3) {
        return;
    }
    // A progress bar ignores a value outside its range; the scan's last word must not be lost.
    m_bars[size_t(monitor - 1)]->setValue(std::clamp(value, 0, BarMaximum));
}

int TFmBarPage::progress(int monitor) const
{
    if (monitor < 1 || monitor > 3) {
        return 0;
    }
    return m_bars[size_t(monitor - 1)]->value();
}

bool TFmBarPage::allBarsFull() const
{
    return std::all_of(m_bars.begin(), m_bars.end(),
                       [](const QProgressBar* bar) { return bar->value() == BarMaximum; });
}

void TFmBarPage::showCentredOn(QWidget* anchor)
{
    // Centred when it opens; once open, the operator may have moved it and it stays put.
    if (!isVisible() && anchor) {
        QRect placed(QPoint(), frameGeometry().size());
        placed.moveCenter(anchor->window()->frameGeometry().center());
        move(placed.topLeft());
    }
    show();
    raise();
    activateWindow();
}

void TFmBarPage::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_animate->start();
    m_timer1.start();
}

void TFmBarPage::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // A spontaneous hide is the window system minimising us with the main window: the scan is
    // still being watched, so nothing is closed.
    if (event->spontaneous()) {
        return;
    }
    // Every way out passes here: the timer's close(), the title bar's close button, Escape.
    m_animate->stop();
    m_timer1.stop();
    for (QProgressBar* bar : m_bars) {
        bar->setValue(0);
    }
    m_closedOnce = true;
    emit closedByUserOrTimer();
}

void TFmBarPage::Timer1Timer()
{
    if (allBarsFull()) {
        close();
    }
}
