#pragma once

#include "link/LinkTypes.h"

#include <span>

namespace params {

// The six tabs of the Set Controller dialog, in the order they are shown.
enum class TabId : int { Level1, Level2, Level3, Level4, Program1, Program2 };

// How the operator enters a value; decides which controls the dialog shows and how the
// value text is built.
enum class InputKind : int { Keypad, YesNo, BitDigits, Choice, Time };

// Decimal places the controller expects in the transmitted integer. Ctl means the target
// slot's DecimalPlaces as found by the decimal-point scan.
enum class DecimalsClass : int { Ctl, Fixed0, Fixed1, Fixed3 };

struct TabInfo
{
    TabId id;
    const char* title;      // tab caption
    const char* selector;   // object name of the tab's parameter selector
    const char* suffix;     // ends the object names of the tab's controls ("Digit4L2")
    bool hasKeypad;         // Level 4 has neither keypad nor value edit
    bool checksKeypadRange; // Level 1 and 2 refuse numbers outside the keypad range
};

struct ParameterEntry
{
    const char* name;
    TabId tab;
    TAddress code;
    InputKind input;
    DecimalsClass decimals;
    // Only for the yes/no chooser and choice lists: the one chooser's object name and its
    // items; the value text is the chosen item's position. Null and empty otherwise.
    const char* chooser;
    std::span<const char* const> items;
};

} // namespace params
