#include "ui/dialogs/BusyIndicator.h"

#include "ui/Handled.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(FrameIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, handled(this, &BusyIndicator::advance));
}

void BusyIndicator::start()
{
    m_timer.start();
}

void BusyIndicator::stop()
{
    m_timer.stop();
    m_frame = 0;
    update();
}

void BusyIndicator::advance()
{
    m_frame = (m_frame + 1) % FrameCount;
    update();
}

void BusyIndicator::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Scale a 72 x 56 drawing into whatever size the dialog gives us.
    const qreal scale = std::min(width() / 72.0, height() / 56.0);
    painter.translate((width() - 72 * scale) / 2, (height() - 56 * scale) / 2);
    painter.scale(scale, scale);

    // The computer: screen, stand and foot.
    painter.setPen(QPen(QColor(60, 60, 70), 1.5));
    painter.setBrush(QColor(225, 225, 230));
    painter.drawRoundedRect(QRectF(14, 6, 44, 32), 3, 3);
    painter.setBrush(QColor(40, 90, 160));
    painter.drawRect(QRectF(18, 10, 36, 24));
    painter.setBrush(QColor(200, 200, 205));
    painter.drawRect(QRectF(32, 38, 8, 6));
    painter.drawRoundedRect(QRectF(22, 44, 28, 5), 2, 2);

    // The glass moves round the screen's centre one eighth of a turn per frame.
    const qreal angle = m_frame * (2 * M_PI / FrameCount);
    const QPointF centre(36 + 13 * qCos(angle), 22 + 9 * qSin(angle));
    const qreal radius = 8;
    const QPointF handleStart = centre + QPointF(radius * 0.7, radius * 0.7);
    painter.setPen(QPen(QColor(90, 60, 20), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(handleStart, handleStart + QPointF(7, 7));
    painter.setPen(QPen(QColor(30, 30, 30), 2.5));
    painter.setBrush(QColor(200, 230, 255, 150));
    painter.drawEllipse(centre, radius, radius);
}
