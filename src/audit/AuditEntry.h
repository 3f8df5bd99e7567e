#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace audit {

// The hash a file's first line names when no earlier file exists.
inline const QByteArray GenesisHash(64, '0');

// What the entry is about; the words are what the files and the window show.
namespace kind {
inline const QString Write = QStringLiteral("write");
inline const QString Setting = QStringLiteral("setting");
inline const QString Title = QStringLiteral("title");
inline const QString AlarmSetting = QStringLiteral("alarm setting");
inline const QString AlarmRaised = QStringLiteral("alarm raised");
inline const QString AlarmAcknowledged = QStringLiteral("alarm acknowledged");
inline const QString Start = QStringLiteral("start");
inline const QString Rescan = QStringLiteral("re-scan");
inline const QString Lock = QStringLiteral("lock");
inline const QString Unlock = QStringLiteral("unlock");
inline const QString ProgramStart = QStringLiteral("program start");
inline const QString ProgramEnd = QStringLiteral("program end");
inline const QString ClockJump = QStringLiteral("clock jump");
inline const QString Recording = QStringLiteral("recording");
inline const QString Publishing = QStringLiteral("publishing");
} // namespace kind

// One entry as read back from a file.
struct AuditEntry
{
    QDateTime utc;
    QString offset; // the workstation's offset from UTC then, "+01:00"
    QString host;
    QString user;
    QString kind;
    QJsonObject details;
    QByteArray prev; // hex SHA-256 of the line before

    int monitor() const { return details.value(QStringLiteral("monitor")).toInt(0); }
    int slot() const { return details.value(QStringLiteral("slot")).toInt(0); }
};

// The line for an entry, without its newline. "prev" comes first, so that the chain can be
// checked without parsing the rest of the line.
QByteArray entryLine(const AuditEntry& entry);
// The entry of one line; false when the line is not an entry.
bool parseLine(const QByteArray& line, AuditEntry* entry);
// Hex SHA-256 of a line's bytes (without its newline).
QByteArray lineHash(const QByteArray& line);
// The hash a line names as its predecessor's; empty when the line does not start as an entry.
QByteArray prevOf(const QByteArray& line);

QString utcOffsetText(int seconds);
// The operating-system login of this process, and the workstation's name.
QString osUser();
QString hostName();

} // namespace audit
