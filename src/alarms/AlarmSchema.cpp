#include "alarms/AlarmSchema.h"

#include "core/QuillmereError.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace alarms {
namespace {

// The statements of the section that begins with the line "-- table <name>"; comments dropped.
QStringList section(const QString& table)
{
    QFile file(QStringLiteral(":/alarms/alarm-tables.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw QuillmereError(QStringLiteral("The alarm table definitions are missing"));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QString start = QStringLiteral("-- table ") + table + QLatin1Char(' ');
    QString text;
    bool inside = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("-- table ")))
            inside = line.startsWith(start);
        else if (inside && !line.startsWith(QLatin1String("--")))
            text += line + QLatin1Char('\n');
    }
    // Split at the semicolons outside a $$ function body.
    QStringList statements;
    QString statement;
    bool inBody = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.mid(i, 2) == QLatin1String("$$")) {
            inBody = !inBody;
            statement += QStringLiteral("$$");
            ++i;
        } else if (text[i] == QLatin1Char(';') && !inBody) {
            if (!statement.trimmed().isEmpty())
                statements << statement.trimmed();
            statement.clear();
        } else {
            statement += text[i];
        }
    }
    if (!statement.trimmed().isEmpty())
        statements << statement.trimmed();
    return statements;
}

} // namespace

QStringList settingsTableStatements()
{
    return section(QStringLiteral("DbAlarm"));
}

QStringList settingsNotifyStatements()
{
    return section(QStringLiteral("DbAlarmNotify"));
}

QStringList countTableStatements()
{
    return section(QStringLiteral("DbAlmCount"));
}

void createTables(QSqlDatabase db, const QStringList& statements)
{
    // A table without its rows would pass the start-up check and lose every count: all or none.
    if (!db.transaction())
        throw QuillmereError(db.lastError().text());
    for (const QString& statement : statements) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            const QString message = query.lastError().text();
            db.rollback();
            throw QuillmereError(message);
        }
    }
    if (!db.commit()) {
        const QString message = db.lastError().text();
        db.rollback();
        throw QuillmereError(message);
    }
}

} // namespace alarms
