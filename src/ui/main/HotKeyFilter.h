#pragma once

#include <QObject>
#include <functional>

// Ctrl+A for the whole program, whichever window or control has the focus. It sits on the
// application object and sees the key before any widget: an editable line edit would
// otherwise take Ctrl+A as Select All, which a plain shortcut cannot override. A system-wide
// grab is not done on purpose: it would take Select All away from every other program on the
// workstation.
class HotKeyFilter : public QObject
{
    Q_OBJECT

public:
    static constexpr int HotKeyId = 0;

    // `handler` receives the identifier of the hot key that was pressed.
    HotKeyFilter(std::function<void(int)> handler, QObject* parent = nullptr);
    ~HotKeyFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(int)> m_handler;
};
