#pragma once

#include "params/ParameterEntry.h"

#include <QStringList>
#include <QStringView>

namespace params {

// The fixed catalogue of writable controller parameters. Everything here is a view of one
// constant table; nothing is configurable at run time.

// The six tabs in display order.
std::span<const TabInfo> tabs();
const TabInfo& tabInfo(TabId tab);

// The tab's entries in selector order.
std::span<const ParameterEntry> entries(TabId tab);

// The entry whose name is exactly `name` (case-sensitive, no trimming), or null when the tab
// has no such parameter. The selectors accept typed text, so anything may arrive here.
const ParameterEntry* findEntry(TabId tab, QStringView name);

// The selector's item list: the tab's names in catalogue order.
QStringList itemNames(TabId tab);

// The decimals class of a parameter code, as the write path scales it. Codes that no tab
// writes (7, 8, 72, 96, 97, 100, 102, everything above 117) are sent unscaled: Fixed0.
DecimalsClass decimalsForCode(TAddress code);

// Items of the entry's single chooser (yes/no or choice list); empty for other inputs.
QStringList choiceItems(const ParameterEntry& entry);

// Object names of the controls that take the entry's value, left to right: the single
// chooser, the four bit digits (Digit4.. Digit1) or the four time digits (Time4 .. Time1).
// Empty for keypad numbers, whose value comes from the tab's value edit.
QStringList chooserNames(const ParameterEntry& entry);

} // namespace params
