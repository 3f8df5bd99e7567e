#include "params/ParameterCatalogue.h"

#include <QLatin1StringView>
#include <array>
#include <string_view>

namespace params {

namespace {

using enum TabId;
using enum InputKind;
using enum DecimalsClass;

constexpr const char* YesNoItems[] = {"NO", "YES"};
constexpr const char* DpItems[] = {"0000", "000.0", "00.00", "0.000"};
constexpr const char* OudItems[] = {"HEAT", "COOL"};
constexpr const char* OpadItems[] = {"PID", "FUZZY"};
constexpr const char* HzItems[] = {"60", "50"};
constexpr const char* Inp2Items[] = {"0", "1", "2"};
constexpr const char* OutyItems[] = {"0", "1", "2", "3", "4", "5"};
constexpr const char* PtnItems[] = {"0", "1", "2"};

constexpr TabInfo Tabs[] = {
    {Level1, "Level 1", "TypeL1", "L1", true, true},
    {Level2, "Level 2", "TypeL2", "L2", true, true},
    {Level3, "Level 3", "TypeL3", "L3", true, false},
    {Level4, "Level 4", "TypeL4", "L4", false, false},
    {Program1, "Program 1", "TypeP1", "P1", true, false},
    {Program2, "Program 2", "TypeP2", "P2", true, false},
};

// One row per parameter, grouped by tab in tab order, each tab in selector order.
constexpr ParameterEntry Catalogue[] = {
    {"SV", Level1, 0, Keypad, Ctl, nullptr, {}},
    {"OUTL", Level1, 1, Keypad, Fixed1, nullptr, {}},
    {"AT", Level1, 2, YesNo, Fixed0, "YesNoL1", YesNoItems},
    {"AL1", Level1, 3, Keypad, Ctl, nullptr, {}},
    {"AL2", Level1, 4, Keypad, Ctl, nullptr, {}},
    {"AL3", Level1, 5, Keypad, Ctl, nullptr, {}},

    {"P1", Level2, 57, Keypad, Fixed1, nullptr, {}},
    {"I1", Level2, 58, Keypad, Fixed0, nullptr, {}},
    {"D1", Level2, 59, Keypad, Fixed0, nullptr, {}},
    {"DB1", Level2, 60, Keypad, Fixed1, nullptr, {}},
    {"ATVL", Level2, 61, Keypad, Ctl, nullptr, {}},
    {"CYT1", Level2, 62, Keypad, Fixed0, nullptr, {}},
    {"HYS1", Level2, 63, Keypad, Ctl, nullptr, {}},
    {"P2", Level2, 64, Keypad, Fixed1, nullptr, {}},
    {"I2", Level2, 65, Keypad, Fixed0, nullptr, {}},
    {"D2", Level2, 66, Keypad, Fixed0, nullptr, {}},
    {"CYT2", Level2, 67, Keypad, Fixed0, nullptr, {}},
    {"HYS2", Level2, 68, Keypad, Ctl, nullptr, {}},
    {"GAP1", Level2, 69, Keypad, Ctl, nullptr, {}},
    {"GAP2", Level2, 70, Keypad, Ctl, nullptr, {}},
    {"LCK", Level2, 71, BitDigits, Fixed0, nullptr, {}},

    {"ANL1", Level3, 73, Keypad, Fixed0, nullptr, {}},
    {"ANH1", Level3, 74, Keypad, Fixed0, nullptr, {}},
    {"DP", Level3, 75, Choice, Fixed0, "DPL3", DpItems},
    {"LSPL", Level3, 76, Keypad, Ctl, nullptr, {}},
    {"USPL", Level3, 77, Keypad, Ctl, nullptr, {}},
    {"ANL2", Level3, 78, Keypad, Fixed0, nullptr, {}},
    {"ANH2", Level3, 79, Keypad, Fixed0, nullptr, {}},
    {"ALD1", Level3, 80, Keypad, Fixed0, nullptr, {}},
    {"ALT1", Level3, 81, Time, Fixed0, nullptr, {}},
    {"ALD2", Level3, 82, Keypad, Fixed0, nullptr, {}},
    {"ALT2", Level3, 83, Time, Fixed0, nullptr, {}},
    {"ALD3", Level3, 84, Keypad, Fixed0, nullptr, {}},
    {"ALT3", Level3, 85, Time, Fixed0, nullptr, {}},
    {"HYSA", Level3, 86, Keypad, Ctl, nullptr, {}},
    {"CLO1", Level3, 87, Keypad, Fixed0, nullptr, {}},
    {"CHO1", Level3, 88, Keypad, Fixed0, nullptr, {}},
    {"CLO2", Level3, 89, Keypad, Fixed0, nullptr, {}},
    {"CHO2", Level3, 90, Keypad, Fixed0, nullptr, {}},
    {"CLO3", Level3, 91, Keypad, Fixed0, nullptr, {}},
    {"CHO3", Level3, 92, Keypad, Fixed0, nullptr, {}},
    {"RUCY", Level3, 93, Keypad, Fixed0, nullptr, {}},
    {"WAIT", Level3, 94, Keypad, Ctl, nullptr, {}},
    {"SETA", Level3, 95, BitDigits, Fixed0, nullptr, {}},
    {"SVOS", Level3, 98, Keypad, Ctl, nullptr, {}},
    {"PVOS", Level3, 99, Keypad, Ctl, nullptr, {}},
    {"SOFT", Level3, 101, Keypad, Fixed3, nullptr, {}},
    {"OUD", Level3, 103, Choice, Fixed0, "OUDL3", OudItems},
    {"OPAD", Level3, 104, Choice, Fixed0, "OPADL3", OpadItems},
    {"HZ", Level3, 105, Choice, Fixed0, "HZL3", HzItems},

    {"SET1", Level4, 106, BitDigits, Fixed0, nullptr, {}},
    {"SET2", Level4, 107, BitDigits, Fixed0, nullptr, {}},
    {"SET3", Level4, 108, BitDigits, Fixed0, nullptr, {}},
    {"SET4", Level4, 109, BitDigits, Fixed0, nullptr, {}},
    {"SET5", Level4, 110, BitDigits, Fixed0, nullptr, {}},
    {"SET6", Level4, 111, BitDigits, Fixed0, nullptr, {}},
    {"SET7", Level4, 112, BitDigits, Fixed0, nullptr, {}},
    {"SET8", Level4, 113, BitDigits, Fixed0, nullptr, {}},
    {"SET9", Level4, 114, BitDigits, Fixed0, nullptr, {}},
    {"SET0", Level4, 115, BitDigits, Fixed0, nullptr, {}},
    {"INP2", Level4, 116, Choice, Fixed0, "INP2L4", Inp2Items},
    {"OUTY", Level4, 117, Choice, Fixed0, "OUTYL4", OutyItems},

    {"PTN", Program1, 6, Choice, Fixed0, "PTNP1", PtnItems},
    {"SV_1", Program1, 9, Keypad, Ctl, nullptr, {}},
    {"TM_1", Program1, 10, Time, Fixed0, nullptr, {}},
    {"OUT_1", Program1, 11, Keypad, Fixed1, nullptr, {}},
    {"SV_2", Program1, 12, Keypad, Ctl, nullptr, {}},
    {"TM_2", Program1, 13, Time, Fixed0, nullptr, {}},
    {"OUT_2", Program1, 14, Keypad, Fixed1, nullptr, {}},
    {"SV_3", Program1, 15, Keypad, Ctl, nullptr, {}},
    {"TM_3", Program1, 16, Time, Fixed0, nullptr, {}},
    {"OUT_3", Program1, 17, Keypad, Fixed1, nullptr, {}},
    {"SV_4", Program1, 18, Keypad, Ctl, nullptr, {}},
    {"TM_4", Program1, 19, Time, Fixed0, nullptr, {}},
    {"OUT_4", Program1, 20, Keypad, Fixed1, nullptr, {}},
    {"SV_5", Program1, 21, Keypad, Ctl, nullptr, {}},
    {"TM_5", Program1, 22, Time, Fixed0, nullptr, {}},
    {"OUT_5", Program1, 23, Keypad, Fixed1, nullptr, {}},
    {"SV_6", Program1, 24, Keypad, Ctl, nullptr, {}},
    {"TM_6", Program1, 25, Time, Fixed0, nullptr, {}},
    {"OUT_6", Program1, 26, Keypad, Fixed1, nullptr, {}},
    {"SV_7", Program1, 27, Keypad, Ctl, nullptr, {}},
    {"TM_7", Program1, 28, Time, Fixed0, nullptr, {}},
    {"OUT_7", Program1, 29, Keypad, Fixed1, nullptr, {}},
    {"SV_8", Program1, 30, Keypad, Ctl, nullptr, {}},
    {"TM_8", Program1, 31, Time, Fixed0, nullptr, {}},
    {"OUT_8", Program1, 32, Keypad, Fixed1, nullptr, {}},

    {"SV_1", Program2, 33, Keypad, Ctl, nullptr, {}},
    {"TM_1", Program2, 34, Time, Fixed0, nullptr, {}},
    {"OUT_1", Program2, 35, Keypad, Fixed1, nullptr, {}},
    {"SV_2", Program2, 36, Keypad, Ctl, nullptr, {}},
    {"TM_2", Program2, 37, Time, Fixed0, nullptr, {}},
    {"OUT_2", Program2, 38, Keypad, Fixed1, nullptr, {}},
    {"SV_3", Program2, 39, Keypad, Ctl, nullptr, {}},
    {"TM_3", Program2, 40, Time, Fixed0, nullptr, {}},
    {"OUT_3", Program2, 41, Keypad, Fixed1, nullptr, {}},
    {"SV_4", Program2, 42, Keypad, Ctl, nullptr, {}},
    {"TM_4", Program2, 43, Time, Fixed0, nullptr, {}},
    {"OUT_4", Program2, 44, Keypad, Fixed1, nullptr, {}},
    {"SV_5", Program2, 45, Keypad, Ctl, nullptr, {}},
    {"TM_5", Program2, 46, Time, Fixed0, nullptr, {}},
    {"OUT_5", Program2, 47, Keypad, Fixed1, nullptr, {}},
    {"SV_6", Program2, 48, Keypad, Ctl, nullptr, {}},
    {"TM_6", Program2, 49, Time, Fixed0, nullptr, {}},
    {"OUT_6", Program2, 50, Keypad, Fixed1, nullptr, {}},
    {"SV_7", Program2, 51, Keypad, Ctl, nullptr, {}},
    {"TM_7", Program2, 52, Time, Fixed0, nullptr, {}},
    {"OUT_7", Program2, 53, Keypad, Fixed1, nullptr, {}},
    {"SV_8", Program2, 54, Keypad, Ctl, nullptr, {}},
    {"TM_8", Program2, 55, Time, Fixed0, nullptr, {}},
    {"OUT_8", Program2, 56, Keypad, Fixed1, nullptr, {}},
};

constexpr std::size_t TabCount = std::size(Tabs);

// The look-ups below rely on these properties of the table; a slip when editing it should
// stop the build rather than send a value to the wrong register or with the wrong scale.
constexpr bool tabsInOrder()
{
    for (std::size_t i = 0; i < TabCount; ++i)
        if (Tabs[i].id != TabId(i))
            return false;
    return true;
}
static_assert(tabsInOrder());

constexpr bool groupedByTab()
{
    for (std::size_t i = 1; i < std::size(Catalogue); ++i)
        if (Catalogue[i].tab < Catalogue[i - 1].tab)
            return false;
    return true;
}
static_assert(groupedByTab());

// One code, one parameter: the write path scales by code alone.
constexpr bool codesUnique()
{
    for (std::size_t i = 0; i < std::size(Catalogue); ++i)
        for (std::size_t j = i + 1; j < std::size(Catalogue); ++j)
            if (Catalogue[i].code == Catalogue[j].code)
                return false;
    return true;
}
static_assert(codesUnique());

constexpr bool namesUniqueWithinTab()
{
    for (std::size_t i = 0; i < std::size(Catalogue); ++i)
        for (std::size_t j = i + 1; j < std::size(Catalogue); ++j)
            if (Catalogue[i].tab == Catalogue[j].tab &&
                std::string_view(Catalogue[i].name) == std::string_view(Catalogue[j].name))
                return false;
    return true;
}
static_assert(namesUniqueWithinTab());

// A chooser-position value needs a chooser with items; every other input must have none.
constexpr bool choosersConsistent()
{
    for (const ParameterEntry& e : Catalogue) {
        const bool positional = e.input == YesNo || e.input == Choice;
        if (positional != (e.chooser != nullptr) || positional == e.items.empty())
            return false;
        if (e.input != Keypad && e.decimals != Fixed0)
            return false;
    }
    return true;
}
static_assert(choosersConsistent());

struct Range
{
    std::size_t first = 0;
    std::size_t count = 0;
};

constexpr std::array<Range, TabCount> TabRanges = [] {
    std::array<Range, TabCount> ranges{};
    for (std::size_t i = std::size(Catalogue); i-- > 0;) {
        Range& r = ranges[std::size_t(Catalogue[i].tab)];
        r.first = i;
        ++r.count;
    }
    return ranges;
}();

constexpr std::array<DecimalsClass, 256> DecimalsByCode = [] {
    std::array<DecimalsClass, 256> byCode{};
    byCode.fill(Fixed0);
    for (const ParameterEntry& e : Catalogue)
        byCode[e.code] = e.decimals;
    return byCode;
}();

QLatin1StringView latin1(const char* text)
{
    return QLatin1StringView(text);
}

} // namespace

std::span<const TabInfo> tabs()
{
    return Tabs;
}

const TabInfo& tabInfo(TabId tab)
{
    return Tabs[std::size_t(tab)];
}

std::span<const ParameterEntry> entries(TabId tab)
{
    const Range r = TabRanges[std::size_t(tab)];
    return std::span<const ParameterEntry>(Catalogue).subspan(r.first, r.count);
}

const ParameterEntry* findEntry(TabId tab, QStringView name)
{
    for (const ParameterEntry& e : entries(tab))
        if (name == latin1(e.name))
            return &e;
    return nullptr;
}

QStringList itemNames(TabId tab)
{
    QStringList names;
    for (const ParameterEntry& e : entries(tab))
        names << latin1(e.name);
    return names;
}

DecimalsClass decimalsForCode(TAddress code)
{
    return DecimalsByCode[code];
}

QStringList choiceItems(const ParameterEntry& entry)
{
    QStringList items;
    for (const char* item : entry.items)
        items << latin1(item);
    return items;
}

QStringList chooserNames(const ParameterEntry& entry)
{
    const QLatin1StringView suffix = latin1(tabInfo(entry.tab).suffix);
    QStringList names;
    switch (entry.input) {
    case Keypad:
        break;
    case YesNo:
    case Choice:
        names << latin1(entry.chooser);
        break;
    case BitDigits:
        for (int n = 4; n >= 1; --n)
            names << QStringLiteral("Digit%1%2").arg(n).arg(suffix);
        break;
    case Time:
        for (int n = 4; n >= 1; --n)
            names << QStringLiteral("Time%1%2").arg(n).arg(suffix);
        break;
    }
    return names;
}

} // namespace params
