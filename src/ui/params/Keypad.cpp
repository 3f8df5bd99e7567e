#include "ui/params/Keypad.h"

#include "ui/Fonts.h"
#include "ui/params/KeypadHotSpot.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int KeySize = KeypadHotSpot::Size;
// Picture order, row by row; the blank stands for the back key, which is drawn as an arrow.
constexpr char16_t PictureKeys[] = u"1234567890. ";
constexpr qsizetype BackIndex = 11;

QString keyName(const QString& suffix, qsizetype index)
{
    const QChar c = QChar(PictureKeys[index]);
    if (index == BackIndex)
        return suffix + QStringLiteral("KeyBack");
    if (c == u'.')
        return suffix + QStringLiteral("KeyDot");
    return suffix + QStringLiteral("Key") + c;
}

QRect keyRect(qsizetype index)
{
    return QRect(int(index % Keypad::Columns) * KeySize, int(index / Keypad::Columns) * KeySize,
                 KeySize, KeySize);
}

void drawBackArrow(QPainter& painter, const QRectF& face)
{
    const QPointF c = face.center();
    QPainterPath arrow;
    arrow.moveTo(c.x() - 11, c.y());
    arrow.lineTo(c.x() - 2, c.y() - 8);
    arrow.lineTo(c.x() - 2, c.y() - 3);
    arrow.lineTo(c.x() + 11, c.y() - 3);
    arrow.lineTo(c.x() + 11, c.y() + 3);
    arrow.lineTo(c.x() - 2, c.y() + 3);
    arrow.lineTo(c.x() - 2, c.y() + 8);
    arrow.closeSubpath();
    painter.fillPath(arrow, QColor(40, 40, 40));
}

// Drawn once; every keypad shows the same picture.
const QPixmap& keypadPicture()
{
    static const QPixmap picture = [] {
        QPixmap pixmap(Keypad::Columns * KeySize, Keypad::Rows * KeySize);
        pixmap.fill(QColor(96, 96, 104));
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(fonts::sans(18, true));
        for (qsizetype i = 0; i < Keypad::Columns * Keypad::Rows; ++i) {
            const QRectF face = QRectF(keyRect(i)).adjusted(3, 3, -3, -3);
            painter.setPen(QPen(QColor(60, 60, 60), 1));
            painter.setBrush(QColor(236, 236, 228));
            painter.drawRoundedRect(face, 5, 5);
            if (i == BackIndex) {
                drawBackArrow(painter, face);
                continue;
            }
            painter.setPen(QColor(20, 20, 20));
            painter.drawText(face, Qt::AlignCenter, QString(QChar(PictureKeys[i])));
        }
        return pixmap;
    }();
    return picture;
}

} // namespace

Keypad::Keypad(const QString& suffix, QWidget* parent) : QWidget(parent)
{
    setFixedSize(Columns * KeySize, Rows * KeySize);
    for (qsizetype i = 0; i < qsizetype(m_keys.size()); ++i) {
        auto* key = new KeypadHotSpot(this);
        key->setObjectName(keyName(suffix, i));
        key->move(keyRect(i).topLeft());
        m_keys[size_t(i)] = key;
    }
}

KeypadHotSpot* Keypad::key(QChar key) const
{
    const qsizetype index = QStringView(PictureKeys).first(BackIndex).indexOf(key);
    return index < 0 ? nullptr : m_keys[size_t(index)];
}

QString Keypad::keyCharacters()
{
    return QString::fromUtf16(PictureKeys, BackIndex);
}

void Keypad::setOn(bool on)
{
    setVisible(on);
    for (KeypadHotSpot* key : m_keys)
        key->setEnabled(on);
}

void Keypad::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, keypadPicture());
}
