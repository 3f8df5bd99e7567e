#include "ui/main/ScanIndicator.h"

#include <QPainter>

ScanIndicator::ScanIndicator(QWidget* parent) : QWidget(parent)
{
    setFixedSize(IndicatorWidth, IndicatorHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScanIndicator::setActive(bool active)
{
    if (active == m_active) {
        return;
    }
    m_active = active;
    update();
}

QColor ScanIndicator::colour() const
{
    return m_active ? QColor(Qt::red) : QColor(Qt::white);
}

void ScanIndicator::paintEvent(QPaintEvent* /*event*/)
{
    // A thin dark outline keeps the white bar visible on the light page.
    QPainter painter(this);
    painter.fillRect(rect(), colour());
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
