#pragma once

#include <QLocale>
#include <QString>

namespace engine {

// Display text of a controller value: `raw` / 10^decimals with exactly `decimals` digits after
// the locale's decimal separator, rounded first to 4 significant digits; a value whose integer
// part needs more than 4 digits is shown in scientific form ("3.277E+004").
// 253 at 1 gives "25.3", -5 at 1 "-0.5", 12346 at 1 "1235.0". Integer arithmetic throughout.
QString formatValue(int raw, int decimals, const QLocale& locale = QLocale::system());

} // namespace engine
