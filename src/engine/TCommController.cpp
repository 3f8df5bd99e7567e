#include "engine/TCommController.h"

#include "core/LocaleText.h"
#include "engine/DecimalPointTables.h"
#include "engine/DeviationEvaluation.h"
#include "engine/ValueFormat.h"
#include "link/UucpLock.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QMutexLocker>
#include <QTime>

#include <cstdlib>

namespace {

constexpr TAddress CodeSv = 0;
constexpr TAddress CodeInputSelection = 72;
constexpr TAddress CodeDpSetting = 75;
constexpr TAddress CodeFamily = 134;
constexpr TAddress CodeOutput = 135;
constexpr TAddress CodeStatus = 136;
constexpr TAddress CodePv = 138;

constexpr int RetriesReachable = 5;
constexpr int RetriesLost = 1;
constexpr int RetriesScan = 3;
constexpr int FailuresTolerated = 3; // the fourth failed pass in a row loses the slot
constexpr int LampBits = 0x1B;       // OUT1, OUT2, AL1, AL2; bit 2 is not shown

// One more failed read of the slot. True when the counter had already reached the tolerated
// failures: it starts again at 0 and the caller gives up the slot's values.
bool countFailure(StationRecord& rec)
{
    if (rec.FailCount < FailuresTolerated) {
        ++rec.FailCount;
        return false;
    }
    rec.FailCount = 0;
    return true;
}

} // namespace

TCommController::TCommController(QObject* parent)
    : TCommController(std::make_unique<TRs485Comm>(), parent)
{
}

TCommController::TCommController(std::unique_ptr<TRs485Comm> link, QObject* parent)
    : QThread(parent), m_link(std::move(link))
{
    qRegisterMetaType<EngineUpdate>();
    qRegisterMetaType<WriteResult>();
}

TCommController::~TCommController()
{
    if (!Stop()) {
        // A thread stuck in the kernel cannot be ended from here, and a thread object
        // destroyed while its thread runs takes the program down with a crash. The program is
        // ending: it ends now, leaving no lock file of ours; the kernel closes the ports and
        // drops their flocks.
        comm::releaseAllLockFiles();
        std::_Exit(EXIT_FAILURE);
    }
}

void TCommController::Start()
{
    if (m_started)
        return;
    m_started = true;
    start();
}

bool TCommController::Stop()
{
    requestInterruption();
    // The engine sees the request before its next slot step. The longest step (a pending
    // write, one slot of a Re-Scan, four reads of six attempts at 236 ms on a 4-wire line, the
    // ports' closes) stays under 8 s; only a system call that does not come back takes longer.
    if (!wait(QDeadlineTimer(StopWaitMs))) {
        qWarning("The polling engine has not stopped within %d s; it is left to end by itself.",
                 StopWaitMs / 1000);
        return false;
    }
    // The thread closes its ports as it ends; this covers steps driven without the thread.
    m_link->ClosePort();
    return true;
}

void TCommController::RequestRescan()
{
    QMutexLocker lock(&m_model.mutex);
    m_model.RescanRequested = true;
}

StationRecord TCommController::stationCopy(int monitor, int slot) const
{
    QMutexLocker lock(&m_model.mutex);
    return m_model.station(monitor, slot);
}

EngineStatistics TCommController::statisticsCopy() const
{
    QMutexLocker lock(&m_model.mutex);
    EngineStatistics copy = m_model.statistics;
    for (int m = 1; m <= MonitorCount; ++m) {
        LineStatistics& line = copy.line(m);
        line.comPort = m_model.line(m).ComPort;
        for (int s = 1; s <= SlotCount; ++s) {
            const StationRecord& rec = m_model.station(m, s);
            SlotStatistics& slot = line.slotStatistics[size_t(s - 1)];
            slot.stationId = rec.StationId;
            slot.answering = !rec.LinkLost && !rec.PvText.isEmpty();
        }
    }
    return copy;
}

void TCommController::ResetStatistics()
{
    QMutexLocker lock(&m_model.mutex);
    m_model.statistics.reset(QDateTime::currentDateTime());
}

void TCommController::run()
{
    // A Re-Scan pressed before Start waits for the start-up scan and runs right after it: the
    // start-up scan is not the one that was asked for, so it leaves the request standing.
    bool requestedBeforeStart = false;
    {
        QMutexLocker lock(&m_model.mutex);
        requestedBeforeStart = m_model.RescanRequested;
    }
    ScanDecimalPoints();
    if (requestedBeforeStart) {
        QMutexLocker lock(&m_model.mutex);
        m_model.RescanRequested = true;
    }
    while (!stopRequested()) {
        PollCycle();
        msleep(1);
    }
    // No port is left open behind the engine.
    m_link->ClosePort();
}

void TCommController::post(EngineUpdate::Kind kind, int monitor, int slot, int value)
{
    EngineUpdate update;
    update.kind = kind;
    update.monitor = monitor;
    update.slot = slot;
    update.value = value;
    Q_EMIT updateRequested(update);
}

void TCommController::applyLine(int monitor)
{
    LineSettings line;
    std::array<int, MonitorCount> ports{};
    {
        QMutexLocker lock(&m_model.mutex);
        line = m_model.line(monitor);
        for (int m = 1; m <= MonitorCount; ++m)
            ports[size_t(m - 1)] = m_model.line(m).ComPort;
    }
    // A line moved to another port lets go of its old one (which closes unless another line
    // still uses it); outside the lock, since a close can sleep on a real adapter.
    if (ports != m_linePorts) {
        m_link->keepOnlyPorts(QList<int>(ports.begin(), ports.end()));
        m_linePorts = ports;
    }
    m_link->ComPort = line.ComPort;
    m_link->BaudRate = quint16(qBound(110, line.BaudRate, 38400));
    m_link->Converter = line.Converter;
    m_link->Psl = line.Psl;
}

void TCommController::countTransaction(int monitor, int slot)
{
    const QDateTime now = QDateTime::currentDateTime();
    QMutexLocker lock(&m_model.mutex);
    m_model.statistics.line(monitor).count(slot, m_link->lastTally(), now);
}

std::optional<int> TCommController::readValue(int monitor, int slot, int station, TAddress code)
{
    const bool ok = m_link->Receive(station, code);
    countTransaction(monitor, slot);
    if (!ok)
        return std::nullopt;
    return m_link->ReceivedText().toInt();
}

void TCommController::PollCycle()
{
    for (int m = 1; m <= MonitorCount; ++m) {
        quint64 before = 0;
        {
            QMutexLocker lock(&m_model.mutex);
            before = m_model.statistics.line(m).transactions;
        }
        QElapsedTimer pass;
        pass.start();
        for (int s = 1; s <= SlotCount; ++s) {
            if (stopRequested())
                return;
            closeHungUpPorts();
            PollSlot(m, s);
        }
        const double ms = double(pass.nsecsElapsed()) / 1e6;
        QMutexLocker lock(&m_model.mutex);
        // A pass that skipped every slot (all lost, "Only scan controllers") took no time on
        // the line and would only drag the average towards nothing.
        LineStatistics& line = m_model.statistics.line(m);
        if (line.transactions != before)
            line.countCycle(ms);
    }
}

void TCommController::closeHungUpPorts()
{
    // With "Only scan controllers" a line whose controllers are all lost makes no transaction
    // until a Re-Scan; a pulled adapter's descriptor would stay open that long, and the
    // kernel would give the adapter plugged back in another name. Looked at between slot
    // steps, every quarter second at most: an idle line's steps take no time, so a hang-up
    // there is seen within that quarter second.
    constexpr int IdlePortCheckMs = 250;
    if (m_hangUpCheck.isValid() && !m_hangUpCheck.hasExpired(IdlePortCheckMs))
        return;
    m_hangUpCheck.start();
    m_link->closeHungUpPorts();
}

void TCommController::PollSlot(int m, int s)
{
    bool writePending = false;
    bool rescan = false;
    {
        QMutexLocker lock(&m_model.mutex);
        writePending = m_model.WritePending;
        rescan = m_model.RescanRequested;
    }
    if (writePending)
        ExecuteWrite();
    if (rescan)
        ScanDecimalPoints();

    applyLine(m);
    const std::optional<int> addressable = addressableStation(m, s);
    if (!addressable) {
        // Never polled: the slot shows no value rather than another controller's.
        bool hadValues = false;
        {
            QMutexLocker lock(&m_model.mutex);
            StationRecord& rec = m_model.station(m, s);
            hadValues = !rec.PvText.isEmpty() || !rec.SvText.isEmpty() || !rec.OutText.isEmpty();
            rec.PvText.clear();
            rec.SvText.clear();
            rec.OutText.clear();
        }
        if (hadValues)
            post(EngineUpdate::Lamps, m, s, 0);
        settleAwaited(m, s, std::nullopt, QStringLiteral("its station ID cannot be addressed"));
        return;
    }
    const int station = *addressable;
    bool stale = false;
    {
        QMutexLocker lock(&m_model.mutex);
        const StationRecord& rec = m_model.station(m, s);
        if (rec.LinkLost && !m_model.ScanAll) {
            lock.unlock();
            settleAwaited(m, s, std::nullopt,
                          QStringLiteral("lost slot: not polled until a rescan"));
            return;
        }
        stale = rec.DecimalsStale;
    }
    // Its decimal point was written: the readings below are scaled by what it has now.
    if (stale)
        scanSlotDecimals(m, s);
    {
        QMutexLocker lock(&m_model.mutex);
        m_link->ReadRetry = m_model.station(m, s).LinkLost ? RetriesLost : RetriesReachable;
    }

    const auto pv = readValue(m, s, station, CodePv);
    if (!pv) {
        settleAwaited(m, s, std::nullopt, QStringLiteral("no reply"));
        bool lost = false;
        {
            QMutexLocker lock(&m_model.mutex);
            StationRecord& rec = m_model.station(m, s);
            if (countFailure(rec)) {
                rec.LinkLost = true;
                rec.PvText.clear();
                rec.SvText.clear();
                rec.OutText.clear();
                lost = true;
            }
        }
        if (lost) {
            post(EngineUpdate::Lamps, m, s, 0);
            post(EngineUpdate::Indicator, 0, 0, 0);
        }
        return;
    }

    const QLocale locale = QLocale::system();
    {
        QMutexLocker lock(&m_model.mutex);
        StationRecord& rec = m_model.station(m, s);
        rec.LinkLost = false;
        rec.PvText = engine::formatValue(*pv, rec.DecimalPlaces, locale);
        rec.FailCount = 0;
    }
    post(EngineUpdate::Indicator, m, s, 0);

    if (const auto status = readValue(m, s, station, CodeStatus))
        post(EngineUpdate::Lamps, m, s, *status & LampBits);

    if (const auto sv = readValue(m, s, station, CodeSv)) {
        const QString timeText = core::longTimeText(QTime::currentTime(), locale);
        QList<engine::RaisedAlarm> alarms;
        {
            QMutexLocker lock(&m_model.mutex);
            StationRecord& rec = m_model.station(m, s);
            rec.SvText = engine::formatValue(*sv, rec.DecimalPlaces, locale);
            alarms = engine::EvaluateDeviation(rec, m, s, rec.PvText, rec.SvText, timeText, locale);
            rec.FailCount = 0;
        }
        settleAwaited(m, s, *sv, QString());
        for (const engine::RaisedAlarm& alarm : alarms) {
            EngineUpdate update;
            update.kind = EngineUpdate::Alarm;
            update.monitor = m;
            update.slot = s;
            update.text = alarm.line;
            update.countText = alarm.countText;
            Q_EMIT updateRequested(update);
        }
    } else {
        {
            QMutexLocker lock(&m_model.mutex);
            StationRecord& rec = m_model.station(m, s);
            if (countFailure(rec))
                rec.SvText.clear();
        }
        settleAwaited(m, s, std::nullopt, QStringLiteral("no reply"));
    }

    const bool outputRead = m_link->Receive(station, CodeOutput);
    countTransaction(m, s);
    QMutexLocker lock(&m_model.mutex);
    StationRecord& rec = m_model.station(m, s);
    if (outputRead)
        rec.OutText = m_link->ReceivedText(); // raw, not scaled: the tile shows it on 0..1000
    else
        rec.OutText.clear();
}

void TCommController::ScanDecimalPoints()
{
    for (int m = 1; m <= MonitorCount; ++m) {
        applyLine(m);
        for (int s = 1; s <= SlotCount; ++s) {
            if (stopRequested())
                return;
            if (addressableStation(m, s))
                scanSlotDecimals(m, s);
            post(EngineUpdate::ScanProgress, m, 0, s);
        }
    }
    QMutexLocker lock(&m_model.mutex);
    m_model.RescanRequested = false;
}

bool TCommController::scanSlotDecimals(int m, int s)
{
    m_link->ReadRetry = RetriesScan;
    int station = 0;
    {
        QMutexLocker lock(&m_model.mutex);
        station = m_model.station(m, s).StationId;
    }
    const auto family = readValue(m, s, station, CodeFamily);
    if (!family)
        return false;
    const auto input = readValue(m, s, station, CodeInputSelection);
    const int t = input ? *input : engine::fallbackInputSelection(*family);
    const engine::DecimalRule rule = engine::decimalRule(*family, t);
    std::optional<int> places;
    if (rule.kind == engine::DecimalRule::Fixed) {
        places = rule.places;
    } else if (rule.kind == engine::DecimalRule::FromDpSetting) {
        // A failed or nonsensical DP setting leaves the places the slot had: a
        // number that does not come from the setting would rescale every reading.
        const auto dp = readValue(m, s, station, CodeDpSetting);
        if (dp && *dp >= 0 && *dp <= 3)
            places = *dp;
    }
    QMutexLocker lock(&m_model.mutex);
    StationRecord& rec = m_model.station(m, s);
    rec.LinkLost = !input.has_value();
    if (places)
        rec.DecimalPlaces = *places;
    rec.DecimalsStale = false;
    return true;
}
