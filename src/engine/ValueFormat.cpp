#include "engine/ValueFormat.h"

namespace engine {

namespace {

constexpr int Precision = 4;

qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

int digitCount(qint64 v)
{
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

} // namespace

QString formatValue(int raw, int decimals, const QLocale& locale)
{
    decimals = qBound(0, decimals, 9);
    const bool negative = raw < 0;
    qint64 magnitude = qAbs(qint64(raw));
    const QString point = locale.decimalPoint();
    const QString sign = negative ? QStringLiteral("-") : QString();

    // Round to the precision, half away from zero, on the digits themselves.
    const int digits = digitCount(magnitude);
    if (digits > Precision) {
        const qint64 unit = pow10(digits - Precision);
        magnitude = (magnitude + unit / 2) / unit * unit;
    }

    const qint64 scale = pow10(decimals);
    const qint64 integerPart = magnitude / scale;
    if (digitCount(integerPart) > Precision) {
        // d.ddd E+xxx: the mantissa keeps the precision's digits.
        const int total = digitCount(magnitude);
        const qint64 mantissa = magnitude / pow10(total - Precision);
        const int exponent = total - 1 - decimals;
        const QString m = QString::number(mantissa);
        return sign + m.left(1) + point + m.mid(1) + QStringLiteral("E+") +
               QStringLiteral("%1").arg(exponent, 3, 10, QLatin1Char('0'));
    }
    QString text = sign + QString::number(integerPart);
    if (decimals > 0)
        text += point + QStringLiteral("%1").arg(magnitude % scale, decimals, 10, QLatin1Char('0'));
    return text;
}

} // namespace engine
