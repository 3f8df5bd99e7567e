#include "ui/DialogKeys.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

namespace {

// Without auto-default a button ignores Enter; an operator who tabbed to a button still
// expects Enter to press that button and no other.
class EnterPressesFocusedButton final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        static_cast<QPushButton*>(watched)->click();
        return true;
    }
};

} // namespace

void keepEnterToChosenButtons(QDialog& dialog)
{
    auto* enter = new EnterPressesFocusedButton(&dialog);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->isDefault())
            continue; // chosen by the dialog itself
        button->setAutoDefault(false);
        button->installEventFilter(enter);
    }
}
