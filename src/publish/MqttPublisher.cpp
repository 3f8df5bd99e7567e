#include "publish/MqttPublisher.h"

#include "engine/TCommController.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <mosquitto.h>
#include <mutex>
#include <unistd.h>

namespace publish {

namespace {

constexpr int SweepMs = 250;        // catches what no update announces (a slot lost, a title)
constexpr int RefreshMs = 10000;    // every state and line at least this often
constexpr int OfflineWaitMs = 2000; // how long the close waits for "offline" to leave

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

int slotIndex(int monitor, int slot)
{
    return (monitor - 1) * SlotCount + (slot - 1);
}

} // namespace

MqttPublisher::MqttPublisher(const PublishSettings& settings, TCommController& engine,
                             std::function<QString(int, int)> title, QObject* parent)
    : QObject(parent), m_settings(settings), m_engine(engine), m_title(std::move(title))
{
    initLibrary();
    const QString where = QStringLiteral("%1:%2").arg(m_settings.host).arg(m_settings.port);
    m_reason = QStringLiteral("connecting to %1").arg(where);
    // The client ID names the workstation, so that the broker's log tells who is who.
    const QByteArray id = QStringLiteral("quillmere-%1-%2")
                              .arg(QSysInfo::machineHostName())
                              .arg(::getpid())
                              .toUtf8()
                              .left(60);
    m_mosq = mosquitto_new(id.constData(), true, this);
    if (!m_mosq) {
        m_reason = QStringLiteral("cannot create the MQTT client");
        return;
    }
    mosquitto_connect_callback_set(m_mosq, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttPublisher::onPublish);
    mosquitto_log_callback_set(m_mosq, &MqttPublisher::onLog);
    mosquitto_reconnect_delay_set(m_mosq, 1, 30, true);
    const QByteArray will = (m_settings.prefix + QStringLiteral("/status")).toUtf8();
    mosquitto_will_set(m_mosq, will.constData(), 7, "offline", m_settings.qos, true);
    if (!m_settings.username.isEmpty() || !m_settings.password.isEmpty())
        mosquitto_username_pw_set(
            m_mosq, m_settings.username.toUtf8().constData(),
            m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
    if (m_settings.tls) {
        // The broker's certificate is checked against the CA and the host name.
        const int rc = mosquitto_tls_set(m_mosq, QFile::encodeName(m_settings.cafile).constData(),
                                         nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            m_reason = QStringLiteral("TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
            return;
        }
        mosquitto_tls_insecure_set(m_mosq, false);
    }

    // The first attempt may fail while the broker is away; the network thread keeps trying
    // with the growing pause.
    const int rc =
        mosquitto_connect_async(m_mosq, m_settings.host.toUtf8().constData(), m_settings.port, 30);
    if (rc != MOSQ_ERR_SUCCESS)
        m_reason = QStringLiteral("cannot reach %1: %2")
                       .arg(where, QString::fromUtf8(mosquitto_strerror(rc)));
    if (mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
        m_reason = QStringLiteral("cannot start the MQTT network thread");

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
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

QString MqttPublisher::statusText() const
{
    QString text =
        m_connected
            ? QStringLiteral("MQTT: connected to %1:%2").arg(m_settings.host).arg(m_settings.port)
            : QStringLiteral("MQTT: ") + m_reason;
    if (!m_queue.empty())
        text += QStringLiteral(", %1 alarms queued").arg(m_queue.size());
    if (m_dropped)
        text += QStringLiteral(", %1 dropped").arg(m_dropped);
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
    m_connected = connected;
    if (connected)
        m_refusal.clear();
    if (!reason.isEmpty())
        m_reason = reason;
    if (connected) {
        // What a subscriber saw before the break may be stale: every slot again.
        sweep(true);
        publishLines();
        drainAlarms();
    }
    announceStatus();
}

void MqttPublisher::alarmRaised(int monitor, int slot, const QString& line, const QString& count)
{
    if (m_stopped || !m_mosq)
        return;
    m_queue.push_back({alarmPayload(monitor, slot, line, count, QDateTime::currentDateTimeUtc())});
    if (m_queue.size() > MaxQueuedAlarms) {
        m_queue.pop_front();
        ++m_dropped;
        m_droppedToPublish = true;
    }
    drainAlarms();
    announceStatus();
}

void MqttPublisher::drainAlarms()
{
    if (!m_connected)
        return;
    // In order; the first that libmosquitto does not take stays first for the next attempt.
    while (!m_queue.empty()) {
        if (!send(QStringLiteral("alarms"), m_queue.front().payload, false))
            return;
        m_queue.pop_front();
    }
    if (m_droppedToPublish &&
        send(QStringLiteral("alarms/dropped"),
             droppedPayload(m_dropped, QDateTime::currentDateTimeUtc()), true))
        m_droppedToPublish = false;
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
    if (!m_mosq)
        return false;
    const QByteArray topic = (m_settings.prefix + QLatin1Char('/') + subtopic).toUtf8();
    // Hands the message to the network thread; it never waits for the broker.
    return mosquitto_publish(m_mosq, mid, topic.constData(), int(payload.size()),
                             payload.constData(), m_settings.qos, retain) == MOSQ_ERR_SUCCESS;
}

void MqttPublisher::stop()
{
    if (m_stopped || !m_mosq)
        return;
    m_stopped = true;
    m_sweep.stop();
    m_refresh.stop();
    disconnect(&m_engine, nullptr, this, nullptr);
    if (m_connected) {
        int mid = -1;
        {
            std::unique_lock lock(m_stopMutex);
            if (send(QStringLiteral("status"), QByteArrayLiteral("offline"), true, &mid)) {
                m_offlineMid = mid;
                m_stopCv.wait_for(lock, std::chrono::milliseconds(OfflineWaitMs),
                                  [this] { return m_offlineDone; });
            }
        }
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
    } else {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, true);
    }
    m_connected = false;
}

void MqttPublisher::onConnect(mosquitto* mosq, void* self, int rc)
{
    auto* p = static_cast<MqttPublisher*>(self);
    const QString where = QStringLiteral("%1:%2").arg(p->m_settings.host).arg(p->m_settings.port);
    if (rc == 0) {
        const QByteArray topic = (p->m_settings.prefix + QStringLiteral("/status")).toUtf8();
        mosquitto_publish(mosq, nullptr, topic.constData(), 6, "online", p->m_settings.qos, true);
        QMetaObject::invokeMethod(
            p, [p] { p->setState(true, {}); }, Qt::QueuedConnection);
        return;
    }
    const QString reason = QStringLiteral("%1 refused the connection: %2")
                               .arg(where, QString::fromUtf8(mosquitto_connack_string(rc)));
    QMetaObject::invokeMethod(
        p,
        [p, reason] {
            p->m_refusal = reason;
            p->setState(false, reason);
        },
        Qt::QueuedConnection);
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* p = static_cast<MqttPublisher*>(self);
    const QString where = QStringLiteral("%1:%2").arg(p->m_settings.host).arg(p->m_settings.port);
    const QString reason = QStringLiteral("lost the connection to %1 (%2), reconnecting")
                               .arg(where, QString::fromUtf8(mosquitto_strerror(rc)));
    QMetaObject::invokeMethod(
        p,
        [p, reason] {
            // A refusal says more than the disconnect that follows it.
            p->setState(false, p->m_refusal.isEmpty() ? reason : p->m_refusal);
        },
        Qt::QueuedConnection);
}

void MqttPublisher::onLog(mosquitto*, void* self, int level, const char* text)
{
    // A TLS handshake that fails (a certificate not trusted, another host name) reaches no
    // callback but this one; the operator must see why the broker is not reached.
    if (!(level & MOSQ_LOG_ERR))
        return;
    auto* p = static_cast<MqttPublisher*>(self);
    const QString reason = QStringLiteral("%1:%2: %3")
                               .arg(p->m_settings.host)
                               .arg(p->m_settings.port)
                               .arg(QString::fromUtf8(text));
    QMetaObject::invokeMethod(
        p,
        [p, reason] {
            if (!p->m_connected)
                p->setState(false, reason);
        },
        Qt::QueuedConnection);
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid)
{
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard lock(p->m_stopMutex);
    if (mid == p->m_offlineMid) {
        p->m_offlineDone = true;
        p->m_stopCv.notify_all();
    }
}

} // namespace publish
