#pragma once

#include <QMetaType>
#include <QString>

// What the engine asks the user-interface thread to show. The engine never touches a window;
// it issues these in order through one queued signal, and they are applied in that order.
struct EngineUpdate
{
    enum Kind {
        Indicator,    // slot (monitor, slot) red, all others white; monitor 0: all white
        Lamps,        // the slot's four lamps from `value`: bit 0 OUT1, 1 OUT2, 3 AL1, 4 AL2
        ScanProgress, // the decimal-point bar of `monitor` stands at `value` (0..10)
        Alarm,        // a deviation alarm: `text` is the alarm line, `countText` the new count
    };

    Kind kind = Indicator;
    int monitor = 0;
    int slot = 0;
    int value = 0;
    QString text;
    QString countText;
};

Q_DECLARE_METATYPE(EngineUpdate)
