#pragma once

#include "alarms/SqlConnection.h"

#include <QList>
#include <QString>

namespace alarms {

// One row of the Frequency grid (`DBGrid2`), in the table's field order.
struct AlarmCountRow
{
    QString AlarmCount;   // "01", "12"
    QString Panel;        // "01".."03"
    QString ControllerNO; // "01".."10"
};

// `QryAlmCount`: the alarm count table DbAlmCount of the named database DbAlarmCount, opened
// (openDatabase) beforehand. Runs the program's SQL texts with their parameters bound as text.
// Raises QuillmereError with the database's message; after a lost connection the next call
// reconnects.
class AlarmCountTable
{
public:
    // Raises, naming the table, when it lacks any of its thirty (Panel, ControllerNO) rows.
    explicit AlarmCountTable(const QString& connectionName = DbAlarmCount);

    // Start-up: every count back to "00".
    void resetAll();

    // A raised alarm: the slot's count becomes `countText` (Panel "01".."03", ControllerNO
    // "01".."10" as the table writes them).
    void write(int monitor, int slot, const QString& countText);

    // The slots whose count is not "00", in key order on every database.
    QList<AlarmCountRow> frequencyRows();

private:
    SqlConnection m_db;
};

} // namespace alarms
