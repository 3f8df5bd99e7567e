#include "engine/WriteConversion.h"

#include "params/ParameterCatalogue.h"

#include <QString>
#include <vector>

namespace engine {

namespace {

// 18 decimal digits always fit in a qint64 (its limit is about 9.22e18).
constexpr int MaxSignificantDigits = 18;

// Value of `c` as a decimal digit: ASCII digits always, the locale's own digits as well
// (they run from its zero digit, as in Unicode); -1 for anything else.
int digitValue(QChar c, QStringView localeZero)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (localeZero.size() == 1) {
        const int offset = int(c.unicode()) - int(localeZero.front().unicode());
        if (offset >= 0 && offset <= 9)
            return offset;
    }
    return -1;
}

// Removes `prefix` from the front of `text` when it is there.
bool consume(QStringView& text, QStringView prefix)
{
    if (prefix.isEmpty() || !text.startsWith(prefix))
        return false;
    text = text.mid(prefix.size());
    return true;
}

} // namespace

std::optional<WriteValue> convertWriteValue(QStringView text, int decimals, const QLocale& locale)
{
    if (decimals < 0 || decimals > MaxFactorDecimals)
        return std::nullopt;

    const QString localeMinus = locale.negativeSign();
    const QString localePlus = locale.positiveSign();
    const QString localePoint = locale.decimalPoint();
    const QString localeZero = locale.zeroDigit();

    QStringView rest = text.trimmed();
    bool negative = false;
    if (consume(rest, u"-") || consume(rest, localeMinus))
        negative = true;
    else if (!consume(rest, u"+"))
        consume(rest, localePlus);

    // Significant digits of the scaled magnitude: the integer part without leading zeros,
    // then the first `decimals` fraction digits; later fraction digits are dropped.
    std::vector<int> digits;
    bool seenDigit = false;
    bool inFraction = false;
    int fractionTaken = 0;
    while (!rest.isEmpty()) {
        const int digit = digitValue(rest.front(), localeZero);
        if (digit >= 0) {
            seenDigit = true;
            const bool taken = !inFraction || fractionTaken < decimals;
            if (inFraction && taken)
                ++fractionTaken;
            if (taken && !(digits.empty() && digit == 0))
                digits.push_back(digit);
            // Checked while reading so that an absurdly long text is refused early.
            if (int(digits.size()) + (inFraction ? decimals - fractionTaken : decimals) >
                MaxSignificantDigits)
                return std::nullopt;
            rest = rest.mid(1);
            continue;
        }
        if (inFraction)
            return std::nullopt;
        if (consume(rest, u".") || consume(rest, localePoint)) {
            inFraction = true;
            continue;
        }
        return std::nullopt;
    }
    if (!seenDigit)
        return std::nullopt;

    qint64 magnitude = 0;
    for (int d : digits)
        magnitude = magnitude * 10 + d;
    for (int i = fractionTaken; i < decimals; ++i)
        magnitude *= 10;

    const qint64 integer = negative ? -magnitude : magnitude;
    // Conversion to unsigned is modular, which is exactly two's complement truncation.
    const auto word = quint16(quint64(integer) & 0xFFFFu);
    return WriteValue{integer, word};
}

int factorDecimals(TAddress code, int slotDecimalPlaces)
{
    switch (params::decimalsForCode(code)) {
    case params::DecimalsClass::Ctl:
        return slotDecimalPlaces;
    case params::DecimalsClass::Fixed0:
        return 0;
    case params::DecimalsClass::Fixed1:
        return 1;
    case params::DecimalsClass::Fixed3:
        return 3;
    }
    return 0;
}

} // namespace engine
