#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace comm {

// UUCP lock files ("LCK..ttyUSB0"), the convention minicom, cu, picocom, Qt's serial port and
// others use to show each other a port is taken. Ours are written in the ASCII form every
// reader understands: the process number right-aligned in ten characters and a line end.

// The lock file's name for a device: the path below /dev with '/' turned into '_'.
QString lockFileName(const QString& devicePath);

// The process number a lock file names, or 0 when it names none. Read in the forms in use:
// ASCII with leading padding and trailing words ("%10ld minicom user\n", Qt's "pid\napp\n"),
// and the old binary form, a 4-byte number.
qint64 lockFileOwner(const QByteArray& content);

// Whether the process is alive (or alive but not ours to signal).
bool processAlive(qint64 pid);

// Takes the device's lock in the first of `folders`, after looking in all of them for a lock
// of another living process. Returns 0 when the lock is ours now, -EBUSY with *holder set
// when another process holds one, and another -errno when no lock file could be written
// (a folder we may not write to): the port may still be used then, guarded by its flock.
// A lock whose process has gone is stale and is replaced.
int takeLockFile(const QStringList& folders, const QString& devicePath, qint64* holder);
// Removes our lock file of the device; a file another process has put there stays.
void releaseLockFile(const QStringList& folders, const QString& devicePath);
// Removes every lock file this process still holds: for the way out when the thread that
// holds the ports cannot be waited for.
void releaseAllLockFiles();

} // namespace comm
