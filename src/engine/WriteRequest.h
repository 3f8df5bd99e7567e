#pragma once

#include "link/LinkTypes.h"

#include <QMetaType>
#include <QString>

// One parameter write as it waits in the engine's queue. `id` is its identity from
// RequestWrite on, so that whoever posted it can follow what became of it.
struct PendingWrite
{
    quint64 id = 0;
    int monitor = 1;
    int slot = 1;
    TAddress code = 0;
    QString valueText;
    // The station ID the poster showed the operator; -1 when the poster showed none. A slot
    // whose ID has changed since is not written: the value was meant for another controller.
    int expectedStation = -1;
};

// What became of a write. Every write gets Sent or Refused once; a set value (code 0) that was
// sent gets Confirmed or NotConfirmed once more, from the slot's next reading.
struct WriteResult
{
    enum Outcome { Sent, Refused, Confirmed, NotConfirmed };

    PendingWrite write;
    Outcome outcome = Sent;
    int station = 0; // the station ID the write was meant for at the time of the result
    QString reason;  // why it was refused or not confirmed; empty otherwise
};

Q_DECLARE_METATYPE(WriteResult)
