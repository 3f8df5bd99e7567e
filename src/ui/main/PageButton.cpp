#include "ui/main/PageButton.h"

#include <QMouseEvent>

PageButton::PageButton(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setScaledContents(true);
}

void PageButton::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
