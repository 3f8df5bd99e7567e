#include "ui/Fonts.h"

#include <QFontMetrics>
#include <QStringList>

namespace fonts {

namespace {

QFont make(const QStringList& families, int pixels, QFont::StyleHint hint, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

QFont sans(int pixels, bool bold)
{
    return make(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
        pixels, QFont::SansSerif, bold);
}

QFont narrow(int pixels, bool bold)
{
    return make({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                 QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("DejaVu Sans")},
                pixels, QFont::SansSerif, bold);
}

QFont cjk(int pixels)
{
    return make({QStringLiteral("PMingLiU"), QStringLiteral("Noto Sans CJK TC"),
                 QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK SC")},
                pixels, QFont::AnyStyle, false);
}

QFont digital(int pixels)
{
    return make({QStringLiteral("DSEG7 Classic"), QStringLiteral("LiquidCrystal")}, pixels,
                QFont::Monospace, false);
}

QFont terminal(int pixels)
{
    return make({QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"),
                 QStringLiteral("Liberation Mono")},
                pixels, QFont::Monospace, true);
}

QFont fitted(QFont font, const QString& text, int width, int smallest)
{
    while (font.pixelSize() > smallest && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

} // namespace fonts
