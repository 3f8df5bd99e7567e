#pragma once

#include "engine/LineStatistics.h"
#include "engine/StationModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace publish {

// What a subscriber learns of one slot; compared field by field to decide whether it changed.
struct SlotState
{
    QString pv, sv, out; // display texts, empty while no value is held
    bool link = false;
    int station = 0;
    QString title;

    bool operator==(const SlotState&) const = default;
};

// `link` holds from a good reply until the slot is lost; never for a slot not yet heard.
SlotState slotState(const StationRecord& record, const QString& title);

// ISO 8601 UTC with milliseconds: "2026-12-09T10:25:07.123Z".
QString isoTime(const QDateTime& time);

// {"pv":25.3,"sv":30.0,"out":52.3,"link":true,"station":1,"title":"Oven 1","time":"..."}
QByteArray slotPayload(const SlotState& state, const QDateTime& time);
// {"monitor":1,"slot":5,"kind":"high","line":"...","count":"01","time":"...","id":"..."}
// `id` tells this alarm from every other, a repeat of it included.
QByteArray alarmPayload(int monitor, int slot, const QString& line, const QString& count,
                        const QDateTime& time, const QString& id);
QByteArray linePayload(const LineStatistics& line, const QDateTime& since, const QDateTime& time);
// How many alarms the full queue had to drop, so that a subscriber knows some are missing.
QByteArray droppedPayload(quint64 dropped, const QDateTime& time);

} // namespace publish
