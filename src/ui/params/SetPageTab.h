#pragma once

#include "params/ParameterEntry.h"

#include <QString>
#include <QWidget>
#include <map>
#include <optional>

class Keypad;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// One tab sheet of the Set Controller dialog: the parameter selector, the value edit with its
// keypad (not on Level 4), the choosers of the tab's parameters and the Write button. It shows
// the input form the selector text names; what Write does is the dialog's business.
class SetPageTab : public QWidget
{
    Q_OBJECT

public:
    explicit SetPageTab(params::TabId tab, QWidget* parent = nullptr);

    params::TabId tab() const { return m_tab; }
    QComboBox* selector() const { return m_selector; }
    QLineEdit* valueEdit() const { return m_value; } // null on Level 4
    Keypad* keypad() const { return m_keypad; }      // null on Level 4
    QPushButton* writeButton() const { return m_write; }

    // The parameter the selector text names exactly, or null for typed text that names none.
    const params::ParameterEntry* selectedEntry() const;
    // The value text of a chooser parameter from its choosers as they stand; nothing when a
    // chooser shows no item (and for keypad numbers, whose text is the edit's).
    std::optional<QString> chooserValueText(const params::ParameterEntry& entry) const;

private:
    void addChoosers();
    QComboBox* addChooser(const QString& name, const QStringList& items);
    void applyInputForm();
    // The choosers shown when the selector text names no parameter.
    QStringList fallbackChooserNames() const;

    params::TabId m_tab;
    QComboBox* m_selector = nullptr;
    QLineEdit* m_value = nullptr;
    Keypad* m_keypad = nullptr;
    QPushButton* m_write = nullptr;
    QLabel* m_timeLabel = nullptr;
    std::map<QString, QComboBox*> m_choosers; // by object name
};
