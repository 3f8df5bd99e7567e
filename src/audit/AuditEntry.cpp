#include "audit/AuditEntry.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace audit {

namespace {
const QByteArray PrevPrefix = QByteArrayLiteral("{\"prev\":\"");
}

QByteArray entryLine(const AuditEntry& entry)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), entry.utc.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("offset"), entry.offset);
    o.insert(QStringLiteral("host"), entry.host);
    o.insert(QStringLiteral("user"), entry.user);
    o.insert(QStringLiteral("kind"), entry.kind);
    o.insert(QStringLiteral("details"), entry.details);
    const QByteArray rest = QJsonDocument(o).toJson(QJsonDocument::Compact);
    // rest is "{...}": splice "prev" in front of its first key.
    return PrevPrefix + entry.prev + "\"," + rest.mid(1);
}

bool parseLine(const QByteArray& line, AuditEntry* entry)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    entry->prev = o.value(QStringLiteral("prev")).toString().toLatin1();
    entry->utc =
        QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    entry->offset = o.value(QStringLiteral("offset")).toString();
    entry->host = o.value(QStringLiteral("host")).toString();
    entry->user = o.value(QStringLiteral("user")).toString();
    entry->kind = o.value(QStringLiteral("kind")).toString();
    entry->details = o.value(QStringLiteral("details")).toObject();
    return entry->utc.isValid() && !entry->kind.isEmpty();
}

QByteArray lineHash(const QByteArray& line)
{
    return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
}

QByteArray prevOf(const QByteArray& line)
{
    if (!line.startsWith(PrevPrefix) || line.size() < PrevPrefix.size() + 66)
        return {};
    if (line.at(PrevPrefix.size() + 64) != '"')
        return {};
    return line.mid(PrevPrefix.size(), 64);
}

QString utcOffsetText(int seconds)
{
    const QChar sign = seconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int a = std::abs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(sign)
        .arg(a / 60, 2, 10, QLatin1Char('0'))
        .arg(a % 60, 2, 10, QLatin1Char('0'));
}

QString osUser()
{
    // The login the process runs under, not $USER, which any caller can set.
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

QString hostName()
{
    return QSysInfo::machineHostName();
}

} // namespace audit
