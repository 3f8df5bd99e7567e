#include "ui/params/SetPageTab.h"

#include "params/ParameterCatalogue.h"
#include "params/ValueText.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/params/Keypad.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using params::InputKind;
using params::ParameterEntry;
using params::TabId;

namespace {

// What each selector shows when the dialog is created, by tab. Program 1 opens on its first
// step rather than on PTN, the first item of its list.
constexpr const char* CreationSelection[] = {"SV", "P1", "ANL1", "SET1", "SV_1", "SV_1"};

// Every chooser group sits in one place right of the value edit; only one group shows at a
// time. The time group has its ":" between Time3 and Time2.
constexpr int ChooserLeft = 180;
constexpr int ChooserTop = 46;
constexpr int ChooserWidth = 48;
constexpr int ChooserGap = 4;
constexpr int ColonWidth = 12;
constexpr int SingleChooserWidth = 100;

} // namespace

SetPageTab::SetPageTab(TabId tab, QWidget* parent) : QWidget(parent), m_tab(tab)
{
    const params::TabInfo& info = params::tabInfo(tab);
    const QString suffix = QLatin1String(info.suffix);
    setObjectName(QStringLiteral("TabSheet%1").arg(int(tab) + 1));

    m_selector = new QComboBox(this);
    m_selector->setObjectName(QLatin1String(info.selector));
    m_selector->setEditable(true);
    // Typed text is matched exactly at Write: it must neither join the list nor be completed
    // into a name the operator did not type.
    m_selector->setInsertPolicy(QComboBox::NoInsert);
    m_selector->setCompleter(nullptr);
    m_selector->setMaxVisibleItems(16);
    m_selector->addItems(params::itemNames(tab));
    m_selector->setCurrentIndex(
        m_selector->findText(QLatin1String(CreationSelection[int(tab)]), Qt::MatchExactly));
    m_selector->setFont(fonts::sans(14));
    m_selector->setGeometry(16, 12, 120, 26);

    if (info.hasKeypad) {
        m_value = new QLineEdit(this);
        m_value->setObjectName(suffix + QStringLiteral("Value"));
        m_value->setFont(fonts::sans(16));
        m_value->setGeometry(16, 46, 120, 28);
        m_keypad = new Keypad(suffix, this);
        m_keypad->setObjectName(QStringLiteral("Image%1").arg(int(tab) + 1));
        m_keypad->move(16, 80);
    }

    addChoosers();

    m_write = new QPushButton(QStringLiteral("Write"), this);
    m_write->setObjectName(QStringLiteral("Writw") + suffix);
    m_write->setFont(fonts::sans(14, true));
    m_write->setGeometry(400, 208, 110, 34);

    applyInputForm();
    connect(m_selector, &QComboBox::currentTextChanged, this,
            handled(this, &SetPageTab::applyInputForm));
}

void SetPageTab::addChoosers()
{
    for (const ParameterEntry& entry : params::entries(m_tab)) {
        const QStringList names = params::chooserNames(entry);
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (m_choosers.count(names[i]))
                continue;
            const int position = 4 - int(i); // of a digit: Digit4/Time4 leftmost
            QStringList items;
            switch (entry.input) {
            case InputKind::YesNo:
            case InputKind::Choice:
                items = params::choiceItems(entry);
                break;
            case InputKind::BitDigits:
                items = params::bitDigitItems();
                break;
            case InputKind::Time:
                items = params::timeDigitItems(position);
                break;
            case InputKind::Keypad:
                break;
            }
            QComboBox* chooser = addChooser(names[i], items);
            if (names.size() == 1) {
                chooser->setGeometry(ChooserLeft, ChooserTop, SingleChooserWidth, 26);
                continue;
            }
            int left = ChooserLeft + int(i) * (ChooserWidth + ChooserGap);
            if (entry.input == InputKind::Time && i >= 2)
                left += ColonWidth + ChooserGap;
            chooser->setGeometry(left, ChooserTop, ChooserWidth, 26);
            // Level 4 opens with every bit set.
            if (m_tab == TabId::Level4 && entry.input == InputKind::BitDigits)
                chooser->setCurrentIndex(1);
        }
        if (entry.input == InputKind::Time && !m_timeLabel) {
            m_timeLabel = new QLabel(QStringLiteral(":"), this);
            m_timeLabel->setObjectName(QStringLiteral("TimeLabel") +
                                       QLatin1String(params::tabInfo(m_tab).suffix));
            m_timeLabel->setFont(fonts::sans(16, true));
            m_timeLabel->setAlignment(Qt::AlignCenter);
            m_timeLabel->setGeometry(ChooserLeft + 2 * (ChooserWidth + ChooserGap), ChooserTop,
                                     ColonWidth, 26);
        }
    }
}

QComboBox* SetPageTab::addChooser(const QString& name, const QStringList& items)
{
    auto* chooser = new QComboBox(this);
    chooser->setObjectName(name);
    chooser->setFont(fonts::sans(14));
    chooser->addItems(items);
    chooser->setCurrentIndex(0);
    m_choosers[name] = chooser;
    return chooser;
}

const ParameterEntry* SetPageTab::selectedEntry() const
{
    return params::findEntry(m_tab, m_selector->currentText());
}

QStringList SetPageTab::fallbackChooserNames() const
{
    // A tab without a keypad has to show something: Level 4 shows its bit digits.
    if (m_keypad)
        return {};
    for (const ParameterEntry& entry : params::entries(m_tab))
        if (entry.input == InputKind::BitDigits)
            return params::chooserNames(entry);
    return {};
}

void SetPageTab::applyInputForm()
{
    // Only what is shown changes: the edit keeps its text and every chooser its position.
    const ParameterEntry* entry = selectedEntry();
    const QStringList shown = entry ? params::chooserNames(*entry) : fallbackChooserNames();
    for (const auto& [name, chooser] : m_choosers)
        chooser->setVisible(shown.contains(name));
    if (m_timeLabel)
        m_timeLabel->setVisible(entry && entry->input == InputKind::Time);
    if (m_keypad) {
        const bool keypadOn = !entry || entry->input == InputKind::Keypad;
        m_value->setVisible(keypadOn);
        m_keypad->setOn(keypadOn);
    }
}

std::optional<QString> SetPageTab::chooserValueText(const ParameterEntry& entry) const
{
    QList<int> p;
    for (const QString& name : params::chooserNames(entry))
        p << m_choosers.at(name)->currentIndex();
    switch (entry.input) {
    case InputKind::YesNo:
        return params::yesNoValueText(p[0]);
    case InputKind::Choice:
        return params::choiceValueText(entry, p[0]);
    case InputKind::BitDigits:
        return params::bitDigitsValueText(p[0], p[1], p[2], p[3]);
    case InputKind::Time:
        return params::timeValueText(p[0], p[1], p[2], p[3]);
    case InputKind::Keypad:
        break;
    }
    return std::nullopt;
}
