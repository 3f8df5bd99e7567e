#include "ui/main/HotKeyFilter.h"
#include "ui/Handled.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

bool isCtrlA(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                           Qt::AltModifier | Qt::MetaModifier);
    return key->key() == Qt::Key_A && mods == Qt::ControlModifier;
}

} // namespace

HotKeyFilter::HotKeyFilter(std::function<void(int)> handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

HotKeyFilter::~HotKeyFilter()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool HotKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claim the key so that no shortcut and no widget's own Ctrl+A acts on it; the key
        // press that follows is ours.
        if (isCtrlA(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isCtrlA(key)) {
            // Auto-repeat of a held key opens the dialog once.
            if (!key->isAutoRepeat() && m_handler)
                runHandled([this] { m_handler(HotKeyId); });
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
