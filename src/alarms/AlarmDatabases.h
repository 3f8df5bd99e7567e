#pragma once

#include <QSqlDatabase>
#include <QString>

namespace alarms {

// The two named databases the alarm tables live in. Each name is also the Qt connection name.
inline const QString DbAlarmInfo = QStringLiteral("DbAlarmInfo");   // table DbAlarm
inline const QString DbAlarmCount = QStringLiteral("DbAlarmCount"); // table DbAlmCount

// First start, in the part of the installer: when `<home>/databases.ini` is missing it is
// written with both names pointing at SQLite files in `home` (DbAlarmInfo.sqlite,
// DbAlarmCount.sqlite); a default SQLite file that is missing is created with its table (the
// count table with its thirty rows of "00"). A database the ini points elsewhere (PostgreSQL)
// is never touched: its tables are made by the plant with alarm-tables.sql. True when
// anything was created. Raises QuillmereError when a file or table cannot be written.
bool seedDefaultDatabases(const QString& home);

// Opens (or returns the already open) connection `name` as `<home>/databases.ini` configures
// it: section [name] with Driver (QSQLITE or QPSQL), Database (a relative SQLite file is taken
// from `home`), Host, Port, User, Password, Options (Qt's connect options). Raises
// QuillmereError with the database's own message when it cannot be opened; a missing SQLite
// file is such an error, never silently created empty.
QSqlDatabase openDatabase(const QString& name, const QString& home);

} // namespace alarms
