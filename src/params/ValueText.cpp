#include "params/ValueText.h"

namespace params {

namespace {

constexpr int BitDigitMax = 1;

// Largest digit each time chooser offers, by position 1..4 (index 0 unused).
constexpr int TimeDigitMax[] = {-1, 9, 5, 9, 9};

bool inRange(int value, int max)
{
    return value >= 0 && value <= max;
}

QStringList digitItems(int max)
{
    QStringList items;
    for (int d = 0; d <= max; ++d)
        items << QString::number(d);
    return items;
}

} // namespace

std::optional<QString> yesNoValueText(int position)
{
    if (!inRange(position, 1))
        return std::nullopt;
    return QString::number(position);
}

std::optional<QString> bitDigitsValueText(int digit4, int digit3, int digit2, int digit1)
{
    for (int d : {digit4, digit3, digit2, digit1})
        if (!inRange(d, BitDigitMax))
            return std::nullopt;
    return QString::number(4096 * digit4 + 256 * digit3 + 16 * digit2 + digit1);
}

std::optional<QString> choiceValueText(const ParameterEntry& entry, int position)
{
    if (position < 0 || std::size_t(position) >= entry.items.size())
        return std::nullopt;
    return QString::number(position);
}

std::optional<QString> timeValueText(int time4, int time3, int time2, int time1)
{
    if (!inRange(time4, TimeDigitMax[4]) || !inRange(time3, TimeDigitMax[3]) ||
        !inRange(time2, TimeDigitMax[2]) || !inRange(time1, TimeDigitMax[1]))
        return std::nullopt;
    return QString::number(600 * time4 + 60 * time3 + 10 * time2 + time1);
}

QStringList bitDigitItems()
{
    return digitItems(BitDigitMax);
}

QStringList timeDigitItems(int position)
{
    if (position < 1 || position > 4)
        return {};
    return digitItems(TimeDigitMax[position]);
}

bool keypadValueInRange(double value)
{
    // Written so that NaN, which compares false both ways, is out of range.
    return value > KeypadLowerBound && value < KeypadUpperBound;
}

} // namespace params
