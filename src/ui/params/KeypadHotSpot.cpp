#include "ui/params/KeypadHotSpot.h"

#include <QMouseEvent>
#include <QPainter>

KeypadHotSpot::KeypadHotSpot(QWidget* parent) : QWidget(parent)
{
    setFixedSize(Size, Size);
    setCursor(Qt::PointingHandCursor);
    // Like the keys of a picture, these never take the focus from the value edit.
    setFocusPolicy(Qt::NoFocus);
}

void KeypadHotSpot::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_leftDown = true;
        update();
    }
    event->accept();
    emit pressed();
}

void KeypadHotSpot::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_leftDown)
        return;
    m_leftDown = false;
    update();
    // Sliding off the key before letting go is the usual way to take a press back.
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void KeypadHotSpot::paintEvent(QPaintEvent*)
{
    if (!m_leftDown)
        return;
    QPainter painter(this);
    painter.fillRect(rect().adjusted(2, 2, -2, -2), QColor(0, 0, 0, 48));
}
