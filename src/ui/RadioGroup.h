#pragma once

#include <QGroupBox>
#include <QList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons that is read and set by item index, as the settings
// store keeps it: -1 means nothing selected. Setting an index clamps it: below -1 gives -1,
// at or above the number of items gives the last item.
class RadioGroup : public QGroupBox
{
    Q_OBJECT

public:
    RadioGroup(const QString& caption, const QStringList& items, int columns = 1,
               QWidget* parent = nullptr);

    int itemIndex() const;
    void setItemIndex(int index);
    int count() const { return int(m_buttons.size()); }
    QRadioButton* button(int index) const { return m_buttons.value(index); }

Q_SIGNALS:
    // One of the buttons received the focus (the group was entered).
    void entered();
    void itemIndexChanged(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QButtonGroup* m_group = nullptr;
    QList<QRadioButton*> m_buttons;
};
