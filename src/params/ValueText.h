#pragma once

#include "params/ParameterEntry.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace params {

// Value texts built from the choosers, exactly as the write request carries them. Every
// builder refuses (returns nothing) a position or digit its chooser cannot show, such as
// the -1 of a chooser with no item chosen: a digit out of range would otherwise carry into
// the neighbouring digit and write a different value than the one on screen.

// "0" for NO, "1" for YES.
std::optional<QString> yesNoValueText(int position);

// The four bit choosers read as the hexadecimal digits of one 16-bit word, leftmost most
// significant, written in decimal: 0 0 0 1 gives "1", 1 1 1 1 gives "4369".
std::optional<QString> bitDigitsValueText(int digit4, int digit3, int digit2, int digit1);

// The 0-based position of the chosen item of the entry's choice list (or yes/no chooser).
std::optional<QString> choiceValueText(const ParameterEntry& entry, int position);

// Hours and minutes as a count of minutes: 01:30 gives "90", 99:59 gives "5999".
std::optional<QString> timeValueText(int time4, int time3, int time2, int time1);

// Items of one bit-digit chooser.
QStringList bitDigitItems();
// Items of time chooser Time4..Time1 (`position` 4..1): Time2 is the tens of minutes.
QStringList timeDigitItems(int position);

// Level 1 and Level 2 take keypad numbers only strictly between these bounds, compared with
// the number as typed, before any decimal scaling.
constexpr double KeypadLowerBound = -200.0;
constexpr double KeypadUpperBound = 2500.0;

// True when the typed number may be written from a tab that checks the keypad range.
bool keypadValueInRange(double value);

} // namespace params
