#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace alarms {

// The two named databases the alarm tables live in. Each name is also the Qt connection name.
inline const QString DbAlarmInfo = QStringLiteral("DbAlarmInfo");   // table DbAlarm
inline const QString DbAlarmCount = QStringLiteral("DbAlarmCount"); // table DbAlmCount

// The bounds the program puts on every wait for a database server unless databases.ini names
// the option itself (in Options, as a libpq keyword or, for the two server settings, in
// options='-c ...'). The window waits for each operation: each bound keeps it under ~5 s.
inline constexpr int ConnectTimeoutS = 3;        // a host that does not answer the connect
inline constexpr int KeepaliveIdleS = 2;         // a host gone while the connection idles:
inline constexpr int KeepaliveIntervalS = 1;     // noticed after about 2 + 2 x 1 s
inline constexpr int KeepaliveCount = 2;         //
inline constexpr int TcpUserTimeoutMs = 4000;    // sent data not acknowledged (host gone mid-query)
inline constexpr int StatementTimeoutMs = 3000;  // a statement the server is slow with
inline constexpr int LockTimeoutMs = 1000;       // a lock held by another session
inline constexpr int SqliteBusyTimeoutMs = 1000; // a SQLite file locked by another program

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

// Opens the connection `db` and, on PostgreSQL, sets the session's statement and lock
// timeouts (unless its options name them). The error text, empty when it is open.
QString openSession(QSqlDatabase& db);

// Whether the server of the open-or-closed connection `name` takes a connection now: a
// connection of its own, opened and closed again. For a worker thread, so that the window
// never waits for a server that may be gone; the connection settings are read beforehand on
// the connection's own thread (reachabilityCheck) and the check itself runs anywhere. The
// error text, empty when the server answered.
std::function<QString()> reachabilityCheck(const QString& name);

// True when DbAlarmCount points at the same server database as DbAlarmInfo: the database the
// workstations of a plant share, where every start would reset every workstation's counts.
bool sharesTheSettingsDatabase(const QString& home);

} // namespace alarms
