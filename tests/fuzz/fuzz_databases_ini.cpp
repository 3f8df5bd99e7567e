// databases.ini as typed by hand. Only the SQLite driver is reachable, so that no input makes
// the target dial a server; the SQLite file itself is never there, so every open fails with
// the program's error after the whole section has been read.
#include "FuzzInput.h"
#include "alarms/AlarmDatabases.h"
#include "core/QuillmereError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const bool once = [] {
        // Plugins from a folder holding the SQLite driver alone.
        const QString drivers = dir.filePath(QStringLiteral("plugins/sqldrivers"));
        QDir().mkpath(drivers);
        QFile::link(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                        QStringLiteral("/sqldrivers/libqsqlite.so"),
                    drivers + QStringLiteral("/libqsqlite.so"));
        QCoreApplication::setLibraryPaths({dir.filePath(QStringLiteral("plugins"))});
        QDir().mkpath(dir.filePath(QStringLiteral("home")));
        return true;
    }();
    (void)once;
    const QString home = dir.filePath(QStringLiteral("home"));
    writeInput(home + QStringLiteral("/databases.ini"), reinterpret_cast<const char*>(data),
               qsizetype(size));
    for (const QString& name : {alarms::DbAlarmInfo, alarms::DbAlarmCount}) {
        try {
            alarms::openDatabase(name, home);
            abort(); // no database file exists, nor any other driver
        } catch (const QuillmereError&) {
        }
    }
    return 0;
}
