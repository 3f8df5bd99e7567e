#pragma once

#include <optional>

namespace engine {

// What an input selection code means for a controller's decimal places.
struct DecimalRule
{
    enum Kind { Fixed, FromDpSetting, Unchanged };
    Kind kind = Unchanged;
    int places = 0; // for Fixed
};

// The family code that selects the first table; every other family uses the second.
constexpr int FamilyA = 104;

DecimalRule decimalRule(int familyCode, int inputSelection);

// Input selection that stands in when the controller answers its family but not its input
// code: one that gives 0 decimal places in the family's table.
int fallbackInputSelection(int familyCode);

} // namespace engine
