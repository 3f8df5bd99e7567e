#pragma once

#include <QSqlDatabase>
#include <QStringList>

namespace alarms {

// The CREATE statements of the alarm tables, from alarm-tables.sql (built into the library and
// the file a plant runs with psql on its server): one text for SQLite and PostgreSQL, with
// unquoted names, so both fold them alike and the program's SQL finds them on either.
QStringList settingsTableStatements();  // DbAlarm, key (Panel, ControllerNO)
QStringList settingsNotifyStatements(); // PostgreSQL: the trigger telling every change
QStringList countTableStatements();     // DbAlmCount with its thirty rows of "00"

// Runs `statements` on `db` in one transaction: all of them or none. Raises QuillmereError.
void createTables(QSqlDatabase db, const QStringList& statements);

} // namespace alarms
