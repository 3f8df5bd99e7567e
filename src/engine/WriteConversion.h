#pragma once

#include "link/LinkTypes.h"

#include <QLocale>
#include <QStringView>
#include <optional>

namespace engine {

// The integer a write sends, in both forms the write path needs.
struct WriteValue
{
    qint64 integer; // the number times 10^decimals, truncated toward zero
    quint16 word;   // its low 16 bits as they go out (two's complement for negatives)
};

// Largest factor exponent the conversion accepts; the controllers use 0..3.
constexpr int MaxFactorDecimals = 9;

// Converts a posted value text into the integer to send: the decimal number in the text times
// 10^decimals, with the digits beyond `decimals` dropped toward zero ("3.25" at 1 gives 32,
// "-5.59" at 1 gives -55). The arithmetic is done on the digits themselves, so a text with no
// more decimals than the factor covers converts exactly ("0.29" at 2 gives 29).
//
// Accepted: surrounding white space; one leading sign ("+", "-" or the locale's own signs);
// digits (ASCII or the locale's own) with at most one decimal separator, which may be "." or
// the locale's decimal point, and digits on at least one side (".5" and "5." are numbers).
// The keypad always types ".", so "." stays a decimal point even where the locale groups
// thousands with it: "1.234" is 1.234 in every locale.
// Refused, giving nothing: empty or blank text, letters, exponents ("1e3"), group separators
// ("1,234" in a locale whose decimal point is "." is not silently 1 or 1234), a second
// separator, inner spaces, a sign alone, results of more than 18 significant digits, and a
// `decimals` outside 0..MaxFactorDecimals.
//
// Integers outside -32768..65535 are not refused here; `word` keeps their low 16 bits and
// `integer` tells the caller what was asked for.
std::optional<WriteValue> convertWriteValue(QStringView text, int decimals, const QLocale& locale);

// The factor exponent of a parameter code: the target slot's DecimalPlaces for the codes the
// controller scales by its own decimal point, otherwise the code's fixed decimals (codes that
// no tab writes go out unscaled).
int factorDecimals(TAddress code, int slotDecimalPlaces);

} // namespace engine
