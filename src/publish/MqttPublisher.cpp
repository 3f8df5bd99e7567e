#include "publish/MqttPublisher.h"

#include "engine/TCommController.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <mosquitto.h>

namespace publish {

namespace {
// Audit entries share the alarms' queue and file; this mark, which no alarm payload (a JSON
// object) starts with, sends them to their own topic.
const QByteArray AuditMark = QByteArrayLiteral("audit ");
} // namespace

namespace {

constexpr int SweepMs = 250;        // catches what no update announces (a slot lost, a title)
constexpr int RefreshMs = 10000;    // every state and line at least this often
constexpr int OfflineWaitMs = 2000; // how long the close waits for "offline" to leave
constexpr int ThreadWaitMs = 3000;  // and for the network thread to end

int slotIndex(int monitor, int slot)
{
    return (monitor - 1) * SlotCount + (slot - 1);
}

} // namespace

MqttPublisher::MqttPublisher(const PublishSettings& settings, TCommController& engine,
                             std::function<QString(int, int)> title, QObject* parent)
    : QObject(parent), m_settings(settings), m_engine(engine), m_title(std::move(title)),
      m_run(isoTime(QDateTime::currentDateTimeUtc()))
{
    m_reason = QStringLiteral("connecting to %1:%2").arg(m_settings.host).arg(m_settings.port);
    loadKept();

    MqttConnection::Handlers handlers;
    // These run on the network thread; what they change here is posted to this one.
    handlers.connected = [this] {
        send(QStringLiteral("status"), QByteArrayLiteral("online"), true);
        QMetaObject::invokeMethod(
            this, [this] { setState(true, {}); }, Qt::QueuedConnection);
    };
    handlers.down = [this](const QString& reason, int retrySeconds) {
        const QString text =
            QStringLiteral("%1, next attempt in %2 s").arg(reason).arg(retrySeconds);
        QMetaObject::invokeMethod(
            this, [this, text] { setState(false, text); }, Qt::QueuedConnection);
    };
    handlers.published = [this](int mid) { delivered(mid); };
    m_connection = MqttConnection::create(m_settings, std::move(handlers), &m_setupError);
    if (!m_setupError.isEmpty()) {
        m_reason = m_setupError;
        return;
    }
    // The host is looked up and connected to on the connection's thread, not here.
    m_connection->start();

    connect(&m_engine, &TCommController::updateRequested, this, &MqttPublisher::engineUpdate,
            Qt::QueuedConnection);
    m_sweep.setInterval(SweepMs);
    connect(&m_sweep, &QTimer::timeout, this, [this] { sweep(false); });
    m_sweep.start();
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        sweep(true);
        publishLines();
    });
    m_refresh.start();
}

MqttPublisher::~MqttPublisher()
{
    stop();
}

QString MqttPublisher::statusText() const
{
    QString text =
        m_connected
            ? QStringLiteral("MQTT: connected to %1:%2").arg(m_settings.host).arg(m_settings.port)
            : QStringLiteral("MQTT: ") + m_reason;
    const size_t alarms = queuedAlarms();
    if (alarms > 0)
        text += QStringLiteral(", %1 alarms queued").arg(alarms);
    if (m_queue.size() > alarms)
        text += QStringLiteral(", %1 audit entries queued").arg(m_queue.size() - alarms);
    if (m_dropped)
        text += QStringLiteral(", %1 dropped").arg(m_dropped);
    if (!m_keepError.isEmpty())
        text += QStringLiteral(", ") + m_keepError;
    if (!m_settings.tls && !m_settings.password.isEmpty())
        text += QStringLiteral(", password sent without TLS");
    return text;
}

void MqttPublisher::announceStatus()
{
    const QString text = statusText();
    if (text == m_lastStatus)
        return;
    m_lastStatus = text;
    Q_EMIT statusChanged(text);
}

void MqttPublisher::setState(bool connected, const QString& reason)
{
    if (m_stopped)
        return;
    m_connected = connected;
    if (!reason.isEmpty())
        m_reason = reason;
    if (connected) {
        // What a subscriber saw before the break may be stale: every slot again.
        sweep(true);
        publishLines();
        drainAlarms();
    } else if (!undelivered().isEmpty()) {
        keepUndelivered();
    }
    announceStatus();
}

void MqttPublisher::alarmRaised(int monitor, int slot, const QString& line, const QString& count)
{
    if (m_stopped)
        return;
    const QString id = QStringLiteral("%1/%2").arg(m_run).arg(++m_sequence);
    enqueue(alarmPayload(monitor, slot, line, count, QDateTime::currentDateTimeUtc(), id));
}

size_t MqttPublisher::queuedAlarms() const
{
    return size_t(std::count_if(m_queue.begin(), m_queue.end(),
                                [](const QByteArray& p) { return !p.startsWith(AuditMark); }));
}

void MqttPublisher::auditRecorded(const QByteArray& line)
{
    if (m_stopped)
        return;
    enqueue(AuditMark + line);
}

void MqttPublisher::enqueue(QByteArray payload)
{
    m_queue.push_back(std::move(payload));
    if (m_queue.size() > MaxQueuedAlarms) {
        m_queue.pop_front();
        ++m_dropped;
        m_droppedToPublish = true;
    }
    drainAlarms();
    // One that waits is on disk at once: a crash or a signal does not take it along.
    if (!m_queue.empty())
        keepUndelivered();
    announceStatus();
}

void MqttPublisher::drainAlarms()
{
    if (!m_connected || !m_connection)
        return;
    const QByteArray alarmTopic = (m_settings.prefix + QStringLiteral("/alarms")).toUtf8();
    const QByteArray auditTopic = (m_settings.prefix + QStringLiteral("/audit")).toUtf8();
    // In order, and each handed to libmosquitto once: what it has taken it sends again by
    // itself after a reconnect. The first that it does not take stays first.
    while (!m_queue.empty()) {
        std::lock_guard lock(m_handedMutex);
        int mid = -1;
        const QByteArray& queued = m_queue.front();
        const bool audit = queued.startsWith(AuditMark);
        const int qos = audit ? std::max(1, m_settings.qos) : m_settings.qos;
        const int rc =
            m_connection->publish(audit ? auditTopic : alarmTopic,
                                  audit ? queued.mid(AuditMark.size()) : queued, qos, false, &mid);
        // At QoS 1 and 2 "no connection" comes after the message was queued.
        const bool taken = rc == MOSQ_ERR_SUCCESS || (rc == MOSQ_ERR_NO_CONN && qos > 0 && mid > 0);
        if (!taken)
            return;
        m_handed.push_back({mid, m_queue.front()});
        m_queue.pop_front();
    }
    if (m_droppedToPublish &&
        send(QStringLiteral("alarms/dropped"),
             droppedPayload(m_dropped, QDateTime::currentDateTimeUtc()), true))
        m_droppedToPublish = false;
}

void MqttPublisher::delivered(int mid)
{
    std::lock_guard lock(m_handedMutex);
    if (mid == m_offlineMid) {
        m_offlineDone = true;
        m_offlineCv.notify_all();
        return;
    }
    const auto it = std::find_if(m_handed.begin(), m_handed.end(),
                                 [mid](const HandedAlarm& a) { return a.mid == mid; });
    if (it == m_handed.end())
        return;
    m_handed.erase(it);
    m_offlineCv.notify_all();
    if (m_handed.empty())
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_keptOnDisk && !m_stopped)
                    keepUndelivered();
                announceStatus();
            },
            Qt::QueuedConnection);
}

QList<QByteArray> MqttPublisher::undelivered()
{
    QList<QByteArray> all;
    {
        std::lock_guard lock(m_handedMutex);
        for (const HandedAlarm& a : m_handed)
            all << a.payload;
    }
    for (const QByteArray& payload : m_queue)
        all << payload;
    return all;
}

void MqttPublisher::keepUndelivered()
{
    if (m_settings.queueFile.isEmpty())
        return;
    const QList<QByteArray> all = undelivered();
    if (all.isEmpty()) {
        // Everything out: a file left behind would send it again at the next start.
        if (m_keptOnDisk && QFile::remove(m_settings.queueFile))
            m_keptOnDisk = false;
        return;
    }
    QSaveFile file(m_settings.queueFile);
    if (file.open(QIODevice::WriteOnly)) {
        for (const QByteArray& payload : all)
            file.write(payload + '\n');
        if (file.commit()) {
            m_keptOnDisk = true;
            m_keepError.clear();
            return;
        }
    }
    m_keepError = QStringLiteral("alarms cannot be kept in %1: %2")
                      .arg(m_settings.queueFile, file.errorString());
}

void MqttPublisher::loadKept()
{
    if (m_settings.queueFile.isEmpty())
        return;
    QFile file(m_settings.queueFile);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_keepError = QStringLiteral("alarms kept in %1 cannot be read: %2")
                          .arg(m_settings.queueFile, file.errorString());
        return;
    }
    // The payloads as they were first built: their identities stay those of their own run.
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            m_queue.push_back(line);
    m_keptOnDisk = true;
}

void MqttPublisher::engineUpdate(const EngineUpdate& update)
{
    if (update.kind != EngineUpdate::Indicator || update.monitor == 0)
        return;
    // The indicator moves on when a slot's PV is in; the slot before has its SV and output by
    // then as well.
    const int index = slotIndex(update.monitor, update.slot) + 1;
    if (m_lastIndicated && m_lastIndicated != index)
        checkSlot((m_lastIndicated - 1) / SlotCount + 1, (m_lastIndicated - 1) % SlotCount + 1,
                  false);
    m_lastIndicated = index;
    checkSlot(update.monitor, update.slot, false);
}

void MqttPublisher::checkSlot(int monitor, int slot, bool force)
{
    if (!m_connected)
        return;
    SlotState state;
    {
        StationModel& model = m_engine.model();
        QMutexLocker lock(&model.mutex);
        state = slotState(model.station(monitor, slot), QString());
    }
    state.title = m_title ? m_title(monitor, slot) : QString();
    const int i = slotIndex(monitor, slot);
    if (!force && m_havePublished[size_t(i)] && m_published[size_t(i)] == state)
        return;
    if (send(QStringLiteral("monitor%1/slot%2/state").arg(monitor).arg(slot),
             slotPayload(state, QDateTime::currentDateTimeUtc()), true)) {
        m_published[size_t(i)] = state;
        m_havePublished[size_t(i)] = true;
    }
}

void MqttPublisher::sweep(bool force)
{
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            checkSlot(m, s, force);
}

void MqttPublisher::publishLines()
{
    if (!m_connected)
        return;
    const EngineStatistics stats = m_engine.statisticsCopy();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int m = 1; m <= MonitorCount; ++m)
        send(QStringLiteral("lines/%1").arg(m), linePayload(stats.line(m), stats.since, now), true);
}

bool MqttPublisher::send(const QString& subtopic, const QByteArray& payload, bool retain, int* mid)
{
    if (!m_connection)
        return false;
    const QByteArray topic = (m_settings.prefix + QLatin1Char('/') + subtopic).toUtf8();
    // Hands the message to the network thread; it never waits for the broker.
    return m_connection->publish(topic, payload, m_settings.qos, retain, mid) == MOSQ_ERR_SUCCESS;
}

void MqttPublisher::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_sweep.stop();
    m_refresh.stop();
    disconnect(&m_engine, nullptr, this, nullptr);
    if (m_connection && m_setupError.isEmpty() && m_connected) {
        std::unique_lock lock(m_handedMutex);
        int mid = -1;
        if (m_connection->publish((m_settings.prefix + QStringLiteral("/status")).toUtf8(),
                                  QByteArrayLiteral("offline"), m_settings.qos, true,
                                  &mid) == MOSQ_ERR_SUCCESS) {
            m_offlineMid = mid;
            // Alarms still in flight get the same moment to be acknowledged.
            m_offlineCv.wait_for(lock, std::chrono::milliseconds(OfflineWaitMs),
                                 [this] { return m_offlineDone && m_handed.empty(); });
        }
    }
    // Kept while the connection still stands, so that a file that cannot be written still
    // reaches the broker as a count.
    const qsizetype waiting = undelivered().size();
    keepUndelivered();
    if (waiting && !m_keepError.isEmpty()) {
        m_dropped += quint64(waiting);
        if (m_connected)
            send(QStringLiteral("alarms/dropped"),
                 droppedPayload(m_dropped, QDateTime::currentDateTimeUtc()), true);
    }
    if (m_connection)
        m_connection->finish(ThreadWaitMs);
    m_connected = false;
    announceStatus();
}

} // namespace publish
