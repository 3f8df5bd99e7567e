#include "audit/AuditView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

namespace audit {

namespace {

QString valueText(const QJsonValue& v)
{
    if (v.isString())
        return v.toString();
    if (v.isNull() || v.isUndefined())
        return QStringLiteral("(none)");
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    return v.toVariant().toString();
}

QString csvField(const QString& field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char('\r')))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString detailsText(const AuditEntry& entry)
{
    QStringList parts;
    for (auto it = entry.details.begin(); it != entry.details.end(); ++it)
        parts << it.key() + QStringLiteral(": ") + valueText(it.value());
    return parts.join(QStringLiteral(", "));
}

QString localTimeText(const AuditEntry& entry)
{
    const QString& o = entry.offset; // "+01:00"
    const int seconds = (o.startsWith(QLatin1Char('-')) ? -1 : 1) *
                        (o.mid(1, 2).toInt() * 3600 + o.mid(4, 2).toInt() * 60);
    const QTimeZone zone(seconds);
    return entry.utc.toTimeZone(zone).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           entry.offset;
}

QStringList columnTitles()
{
    return {QStringLiteral("Time"), QStringLiteral("Kind"),    QStringLiteral("Monitor"),
            QStringLiteral("Slot"), QStringLiteral("Details"), QStringLiteral("User"),
            QStringLiteral("Host")};
}

QStringList columns(const AuditEntry& e)
{
    return {localTimeText(e),
            e.kind,
            e.monitor() ? QString::number(e.monitor()) : QString(),
            e.slot() ? QString::number(e.slot()) : QString(),
            detailsText(e),
            e.user,
            e.host};
}

std::vector<AuditEntry> filterEntries(const std::vector<AuditEntry>& entries, const AuditFilter& f)
{
    std::vector<AuditEntry> shown;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        const AuditEntry& e = *it;
        if ((f.from.isValid() && e.utc < f.from) || (f.to.isValid() && e.utc > f.to))
            continue;
        if (!f.kind.isEmpty() && e.kind != f.kind)
            continue;
        if ((f.monitor && e.monitor() != f.monitor) || (f.slot && e.slot() != f.slot))
            continue;
        if (!f.text.isEmpty() &&
            !columns(e).join(QLatin1Char(' ')).contains(f.text, Qt::CaseInsensitive))
            continue;
        shown.push_back(e);
    }
    return shown;
}

QByteArray csvText(const std::vector<AuditEntry>& entries)
{
    QStringList records;
    const auto record = [](const QStringList& fields) {
        QStringList out;
        for (const QString& f : fields)
            out << csvField(f);
        return out.join(QLatin1Char(','));
    };
    records << record(columnTitles());
    for (const AuditEntry& e : entries)
        records << record(columns(e));
    return (records.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace audit
