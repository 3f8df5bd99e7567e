#pragma once

#include <QFont>

// The windows were laid out for Arial, Arial Narrow, 新細明體, LiquidCrystal and Terminal; each
// font here lists those first, then the metric-compatible free families Debian ships. Sizes
// are in pixels, as the layout gives them.
namespace fonts {

QFont sans(int pixels, bool bold = false);
QFont narrow(int pixels);
QFont cjk(int pixels);
QFont digital(int pixels);
QFont terminal(int pixels);

} // namespace fonts
