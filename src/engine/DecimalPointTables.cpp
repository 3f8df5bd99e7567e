#include "engine/DecimalPointTables.h"

#include <algorithm>
#include <initializer_list>

namespace engine {

namespace {

bool among(int t, std::initializer_list<int> values)
{
    return std::find(values.begin(), values.end(), t) != values.end();
}

DecimalRule familyA(int t)
{
    if (among(t, {0, 1, 6, 7, 21, 22, 23, 28, 29, 30, 33, 34, 35, 39, 40, 41, 45, 46, 47}))
        return {DecimalRule::Fixed, 1};
    if (among(t, {2, 3, 4, 5, 24, 25, 26, 27, 31, 32, 36, 37, 38, 42, 43, 44, 48, 49, 50}) ||
        (t >= 8 && t <= 20))
        return {DecimalRule::Fixed, 0};
    if (t >= 51 && t <= 55)
        return {DecimalRule::FromDpSetting, 0};
    return {};
}

DecimalRule familyB(int t)
{
    if (among(t, {0, 2, 9, 14}))
        return {DecimalRule::Fixed, 1};
    if (among(t, {1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16}))
        return {DecimalRule::Fixed, 0};
    if (t >= 17 && t <= 20)
        return {DecimalRule::FromDpSetting, 0};
    return {};
}

} // namespace

DecimalRule decimalRule(int familyCode, int inputSelection)
{
    return familyCode == FamilyA ? familyA(inputSelection) : familyB(inputSelection);
}

int fallbackInputSelection(int familyCode)
{
    return familyCode == FamilyA ? 2 : 1;
}

} // namespace engine
