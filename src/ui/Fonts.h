#pragma once

#include <QFont>

// The windows were laid out for Arial, Arial Narrow, 新細明體, LiquidCrystal and Terminal; each
// font here lists those first, then the metric-compatible free families Debian ships. Sizes
// are in pixels, as the layout gives them.
namespace fonts {

QFont sans(int pixels, bool bold = false);
QFont narrow(int pixels, bool bold = true);
QFont cjk(int pixels);
QFont digital(int pixels);
QFont terminal(int pixels);

// `font` made smaller, a pixel at a time, until `text` takes at most `width` pixels; never
// below `smallest`. A font that fits already comes back as it is.
QFont fitted(QFont font, const QString& text, int width, int smallest = 6);

} // namespace fonts
