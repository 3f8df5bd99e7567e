#include "audit/WriteAuditor.h"

#include "audit/AuditEntry.h"
#include "audit/AuditLog.h"
#include "engine/TCommController.h"
#include "engine/WriteConversion.h"

#include <QJsonObject>
#include <QMutexLocker>

namespace audit {

namespace {

QString outcomeWord(WriteResult::Outcome outcome)
{
    switch (outcome) {
    case WriteResult::Sent:
        return QStringLiteral("sent");
    case WriteResult::Refused:
        return QStringLiteral("refused");
    case WriteResult::Confirmed:
        return QStringLiteral("confirmed");
    case WriteResult::NotConfirmed:
        return QStringLiteral("not confirmed");
    }
    return {};
}

} // namespace

WriteAuditor::WriteAuditor(AuditLog& log, TCommController& engine, QObject* parent)
    : QObject(parent), m_log(log), m_engine(engine)
{
    connect(&engine, &TCommController::writeResult, this, &WriteAuditor::result);
}

void WriteAuditor::posted(quint64 id, const QString& source, const QString& parameter)
{
    if (id != 0)
        m_posters[id] = {source, parameter};
}

void WriteAuditor::refused(const QString& source, const QString& parameter,
                           const PendingWrite& write, int station, const QString& reason)
{
    WriteResult r;
    r.write = write;
    r.outcome = WriteResult::Refused;
    r.station = station;
    r.reason = reason;
    record(source, parameter, r);
}

void WriteAuditor::result(const WriteResult& result)
{
    const auto it = m_posters.find(result.write.id);
    const Poster poster = it != m_posters.end() ? it->second : Poster{};
    WriteResult r = result;
    if (result.outcome == WriteResult::Sent && it != m_posters.end())
        it->second.write = result.write;
    else if (r.write.valueText.isEmpty() && poster.write.id == r.write.id)
        r.write = poster.write;
    record(poster.source, poster.parameter, r);
    // A sent set value has its read-back still to come; everything else ends here.
    const bool more = result.outcome == WriteResult::Sent && result.write.code == 0;
    if (it != m_posters.end() && !more)
        m_posters.erase(it);
}

void WriteAuditor::record(const QString& source, const QString& parameter, const WriteResult& r)
{
    int decimals = 0;
    if (r.write.monitor >= 1 && r.write.monitor <= 3 && r.write.slot >= 1 && r.write.slot <= 10) {
        QMutexLocker lock(&m_engine.model().mutex);
        decimals = m_engine.model().station(r.write.monitor, r.write.slot).DecimalPlaces;
    }
    QJsonObject d{{QStringLiteral("source"), source.isEmpty() ? QStringLiteral("unknown") : source},
                  {QStringLiteral("monitor"), r.write.monitor},
                  {QStringLiteral("slot"), r.write.slot},
                  {QStringLiteral("station"), r.station},
                  {QStringLiteral("code"), int(r.write.code)},
                  {QStringLiteral("parameter"), parameter},
                  {QStringLiteral("text"), r.write.valueText},
                  {QStringLiteral("result"), outcomeWord(r.outcome)}};
    if (const auto value = engine::convertWriteValue(
            r.write.valueText, engine::factorDecimals(r.write.code, decimals), QLocale::system()))
        d.insert(QStringLiteral("word"),
                 QStringLiteral("0x%1").arg(value->word, 4, 16, QLatin1Char('0')));
    if (!r.reason.isEmpty())
        d.insert(QStringLiteral("reason"), r.reason);
    m_log.record(kind::Write, d);
}

} // namespace audit
