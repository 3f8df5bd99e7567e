#include "ui/dialogs/TForm1.h"

#include "core/Home.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QDir>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>

#include <array>
#include <utility>

namespace {

const QColor Navy(22, 44, 92);
const QColor Ember(232, 92, 24);
const QColor Gold(252, 196, 64);

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                 const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setGeometry(geometry);
    return label;
}

// The mark: a flame whose heart is a thermometer, the maker's two trades in one sign.
void drawMark(QPainter& painter)
{
    QPainterPath flame;
    flame.moveTo(15.5, 39.0);
    flame.cubicTo(5.0, 39.0, 1.5, 30.0, 4.5, 22.0);
    flame.cubicTo(6.5, 16.5, 10.5, 13.0, 11.0, 6.5);
    flame.cubicTo(14.0, 9.0, 15.0, 12.5, 14.5, 16.0);
    flame.cubicTo(17.0, 12.0, 20.5, 6.0, 19.5, 1.5);
    flame.cubicTo(26.5, 8.0, 30.5, 18.0, 28.5, 27.0);
    flame.cubicTo(27.0, 34.5, 22.0, 39.0, 15.5, 39.0);
    flame.closeSubpath();
    QLinearGradient heat(0, 40, 0, 0);
    heat.setColorAt(0.0, QColor(196, 32, 24));
    heat.setColorAt(0.55, Ember);
    heat.setColorAt(1.0, Gold);
    painter.setPen(QPen(QColor(150, 36, 16), 0.8));
    painter.setBrush(heat);
    painter.drawPath(flame);

    // Thermometer: a glass tube and bulb in white, the column in the flame's deepest red.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(14.0, 13.0, 5.0, 20.0), 2.5, 2.5);
    painter.drawEllipse(QPointF(16.5, 32.5), 4.6, 4.6);
    painter.setBrush(QColor(196, 32, 24));
    painter.drawRect(QRectF(15.6, 20.0, 1.8, 12.0));
    painter.drawEllipse(QPointF(16.5, 32.5), 3.0, 3.0);
    painter.setPen(QPen(Navy, 0.8));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 16.5 + i * 4.0;
        painter.drawLine(QPointF(19.0, y), QPointF(21.0, y));
    }
}

// Bold capitals as large as the space allows on any font the system has.
QFont fittingFont(const QString& text, int width, int pixels)
{
    QFont font = fonts::sans(pixels, true);
    while (pixels > 6 && QFontMetrics(font).horizontalAdvance(text) > width) {
        font.setPixelSize(--pixels);
    }
    return font;
}

} // namespace

TForm1::TForm1(DialogService& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillmere 9.22"));
    setModal(false);
    setFixedSize(368, 255);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(20, 20, 105, 41);
    image->setPixmap(logo());

    addLabel(this, "RzLabel2", QStringLiteral("Quillmere 9.22"), fonts::sans(22, true),
             QRect(144, 16, 208, 28));
    addLabel(this, "RzLabel3", QStringLiteral("Version 9.22"), fonts::sans(14),
             QRect(144, 46, 208, 20));
    addLabel(this, "RzLabel1",
             QStringLiteral("Copyright (C) Quillmere Control. All rights reserved."),
             fonts::sans(12), QRect(20, 88, 332, 20));

    QFont linkFont = fonts::sans(13);
    linkFont.setUnderline(true);
    const std::array<std::pair<const char*, const char*>, 2> links{{
        {"RzURLLabel2", "https://www.quillmere.example/"},
        {"RzURLLabel1", "https://support.quillmere.example/"},
    }};
    for (size_t i = 0; i < links.size(); ++i) {
        QLabel* link = addLabel(this, links[i].first, QLatin1String(links[i].second), linkFont,
                                QRect(20, 126 + int(i) * 28, 332, 22));
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
        link->setPalette(palette);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }

    // Support asks first where the program keeps its settings and tables.
    const QFont small = fonts::sans(11);
    const QString home = QDir::toNativeSeparators(core::homeFolder());
    QLabel* homeLine = addLabel(this, "LblHome",
                                QFontMetrics(small).elidedText(
                                    QStringLiteral("Home folder: ") + home, Qt::ElideMiddle, 332),
                                small, QRect(20, 182, 332, 18));
    homeLine->setToolTip(home);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("RzButton1"));
    ok->setFont(fonts::sans(13));
    ok->setGeometry(142, 208, 84, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

QPixmap TForm1::logo()
{
    QImage picture(105, 41, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawMark(painter);

    const QString name = QStringLiteral("QUILLMERE");
    const QRect nameBox(33, 6, 71, 20);
    painter.setFont(fittingFont(name, nameBox.width(), 16));
    painter.setPen(Navy);
    painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter, name);

    painter.setPen(QPen(Ember, 1.2));
    painter.drawLine(QPointF(33.5, 27.5), QPointF(103.5, 27.5));

    QFont small = fonts::sans(8, true);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
    painter.setFont(small);
    painter.setPen(Navy);
    painter.drawText(QRect(33, 29, 72, 11), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("CONTROL"));
    painter.end();
    return QPixmap::fromImage(picture);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    auto* link = qobject_cast<QLabel*>(watched);
    const bool isMouse =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease;
    if (!link || !isMouse || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
        return QDialog::eventFilter(watched, event);
    }
    // Taking the press keeps the release on the label; like a button, the click counts only
    // when the mouse is let go over it.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonRelease &&
        link->rect().contains(mouse->position().toPoint())) {
        m_dialogs.openUrl(QUrl(link->text()));
    }
    return true;
}
