#include "ui/main/SubPageButtons.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>

QIcon buttonImageGlyph()
{
    static const QIcon glyph = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0, 110, 0), 1));
        p.setBrush(QColor(0, 190, 0));
        const QPointF arrow[] = {{4, 2}, {13, 8}, {4, 14}};
        p.drawPolygon(arrow, 3);
        return QIcon(pixmap);
    }();
    return glyph;
}

void markSubPageButton(QPushButton* pressed, const QList<QPushButton*>& siblings)
{
    for (QPushButton* button : siblings) {
        QFont font = button->font();
        font.setBold(button == pressed);
        button->setFont(font);
        button->setIcon(button == pressed ? buttonImageGlyph() : QIcon());
    }
}
