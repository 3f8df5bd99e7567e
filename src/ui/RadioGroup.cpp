#include "ui/RadioGroup.h"

#include "ui/Handled.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : QGroupBox(caption, parent), m_group(new QButtonGroup(this))
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setVerticalSpacing(2);
    const int rows = (int(items.size()) + columns - 1) / qMax(1, columns);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->installEventFilter(this);
        m_group->addButton(button, i);
        layout->addWidget(button, i % rows, i / rows);
        m_buttons << button;
    }
    connect(m_group, &QButtonGroup::idToggled, this, handled([this](int id, bool checked) {
                if (checked)
                    itemIndexChanged(id);
            }));
}

int RadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    const int clamped = qBound(-1, index, count() - 1);
    if (clamped == itemIndex())
        return;
    if (clamped < 0) {
        // An exclusive group refuses to have its checked button unchecked.
        m_group->setExclusive(false);
        if (QAbstractButton* checked = m_group->checkedButton())
            checked->setChecked(false);
        m_group->setExclusive(true);
        itemIndexChanged(-1);
        return;
    }
    m_buttons[clamped]->setChecked(true);
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && m_buttons.contains(watched))
        entered();
    return QGroupBox::eventFilter(watched, event);
}
