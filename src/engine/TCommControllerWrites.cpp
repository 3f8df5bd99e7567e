// The engine's write path: the queue behind RequestWrite, the checks a write passes before it
// goes out, the rescan after a write that changes the decimal point, and the read-back of a
// written set value.
#include "engine/TCommController.h"

#include "engine/WriteConversion.h"
#include "link/FrameCodec.h"
#include "params/ParameterCatalogue.h"

#include <QLocale>
#include <QMutexLocker>

namespace {

constexpr TAddress CodeSv = 0;

// Codes after whose write the controller scales its values differently: the input type and
// the decimal point decide the decimal places (see DecimalPointTables).
bool changesScaling(TAddress code)
{
    return code == 72 || code == 75;
}

bool scaledBySlot(TAddress code)
{
    return params::decimalsForCode(code) == params::DecimalsClass::Ctl;
}

constexpr qint64 RegisterLowest = -32768;
constexpr qint64 RegisterHighest = 65535;

} // namespace

QString TCommController::refusal(const PendingWrite& write, const StationRecord& rec, TPsl psl)
{
    const comm::FrameCodec& codec = comm::FrameCodec::forProtocol(psl);
    if (!codec.addressable(rec.StationId))
        return QStringLiteral("station ID %1 cannot be addressed on a %2 line (IDs %3 to %4)")
            .arg(rec.StationId)
            .arg(QLatin1String(codec.name()))
            .arg(codec.lowestStation())
            .arg(codec.highestStation());
    if (write.expectedStation >= 0 && write.expectedStation != rec.StationId)
        return QStringLiteral("the slot now has station ID %1, not %2")
            .arg(rec.StationId)
            .arg(write.expectedStation);
    const int decimals = engine::factorDecimals(write.code, rec.DecimalPlaces);
    const auto value = engine::convertWriteValue(write.valueText, decimals, QLocale::system());
    if (!value)
        return QStringLiteral("'%1' is not a number").arg(write.valueText);
    // Cut to its low 16 bits it would set the controller to something nobody asked for
    // (2499.9 at three decimals would arrive as 9532).
    if (value->integer < RegisterLowest || value->integer > RegisterHighest)
        return QStringLiteral("'%1' at %2 decimal places is outside the controller's range")
            .arg(write.valueText)
            .arg(decimals);
    return {};
}

quint64 TCommController::RequestWrite(int monitor, int slot, TAddress code,
                                      const QString& valueText, int expectedStation)
{
    if (!StationModel::isValidSlot(monitor, slot))
        return 0;
    QMutexLocker lock(&m_model.mutex);
    const quint64 id = ++m_model.lastWriteId;
    m_model.writeQueue.push_back({id, monitor, slot, code, valueText, expectedStation});
    m_model.WritePending = true;
    return id;
}

QString TCommController::checkWrite(int monitor, int slot, TAddress code, const QString& valueText,
                                    int expectedStation) const
{
    if (!StationModel::isValidSlot(monitor, slot))
        return QStringLiteral("Monitor%1 has no slot %2").arg(monitor).arg(slot);
    QMutexLocker lock(&m_model.mutex);
    return refusal({0, monitor, slot, code, valueText, expectedStation},
                   m_model.station(monitor, slot), m_model.line(monitor).Psl);
}

std::optional<int> TCommController::addressableStation(int monitor, int slot) const
{
    QMutexLocker lock(&m_model.mutex);
    const int station = m_model.station(monitor, slot).StationId;
    if (!comm::FrameCodec::forProtocol(m_model.line(monitor).Psl).addressable(station))
        return std::nullopt;
    return station;
}

void TCommController::ExecuteWrite()
{
    PendingWrite write;
    bool stale = false;
    {
        QMutexLocker lock(&m_model.mutex);
        if (m_model.writeQueue.empty()) {
            m_model.WritePending = false;
            return;
        }
        write = m_model.writeQueue.front();
        stale = m_model.station(write.monitor, write.slot).DecimalsStale;
    }
    applyLine(write.monitor);
    // The value is scaled by the decimal places the controller has now, not by those it had
    // before its decimal point was written.
    if (stale && scaledBySlot(write.code) && addressableStation(write.monitor, write.slot))
        scanSlotDecimals(write.monitor, write.slot);

    WriteResult result;
    std::optional<engine::WriteValue> value;
    {
        QMutexLocker lock(&m_model.mutex);
        const StationRecord& rec = m_model.station(write.monitor, write.slot);
        result.station = rec.StationId;
        result.reason = refusal(write, rec, m_model.line(write.monitor).Psl);
        // Still stale after the rescan above: the controller did not answer it, and a value
        // scaled by a guess could be 10 or 100 times off.
        if (result.reason.isEmpty() && rec.DecimalsStale && scaledBySlot(write.code))
            result.reason = QStringLiteral("its decimal places could not be read again after "
                                           "its decimal point was changed");
        if (result.reason.isEmpty())
            value = engine::convertWriteValue(write.valueText,
                                              engine::factorDecimals(write.code, rec.DecimalPlaces),
                                              QLocale::system());
    }
    result.write = write;
    result.outcome = value ? WriteResult::Sent : WriteResult::Refused;
    std::optional<WriteResult> superseded;
    if (value) {
        m_link->Send(WriteCommand, write.code, result.station, value->word);
        countTransaction(write.monitor, write.slot);
        if (m_link->lastTally().writesSent == 0) {
            value.reset();
            result.outcome = WriteResult::Refused;
            result.reason = QStringLiteral("the line could not send it (%1)")
                                .arg(m_link->lastTally().portError);
        }
    }
    if (value) {
        QMutexLocker lock(&m_model.mutex);
        StationRecord& rec = m_model.station(write.monitor, write.slot);
        if (changesScaling(write.code))
            rec.DecimalsStale = true;
        if (write.code == CodeSv) {
            if (rec.AwaitedWrite != 0) {
                superseded = WriteResult{{},
                                         WriteResult::NotConfirmed,
                                         rec.StationId,
                                         QStringLiteral("another set value was written before "
                                                        "it was read back")};
                superseded->write.id = rec.AwaitedWrite;
                superseded->write.monitor = write.monitor;
                superseded->write.slot = write.slot;
            }
            rec.AwaitedWrite = write.id;
            rec.AwaitedWord = value->word;
        }
    }
    {
        QMutexLocker lock(&m_model.mutex);
        m_model.writeQueue.pop_front();
        m_model.WritePending = !m_model.writeQueue.empty();
    }
    if (superseded)
        Q_EMIT writeResult(*superseded);
    Q_EMIT writeResult(result);
}

void TCommController::settleAwaited(int monitor, int slot, std::optional<int> readBack,
                                    const QString& reason)
{
    WriteResult result;
    {
        QMutexLocker lock(&m_model.mutex);
        StationRecord& rec = m_model.station(monitor, slot);
        if (rec.AwaitedWrite == 0)
            return;
        result.write.id = std::exchange(rec.AwaitedWrite, 0);
        result.write.monitor = monitor;
        result.write.slot = slot;
        result.station = rec.StationId;
        if (readBack && quint16(*readBack) == rec.AwaitedWord) {
            result.outcome = WriteResult::Confirmed;
        } else {
            result.outcome = WriteResult::NotConfirmed;
            result.reason = readBack ? QStringLiteral("read back %1").arg(rec.SvText) : reason;
        }
    }
    Q_EMIT writeResult(result);
}
