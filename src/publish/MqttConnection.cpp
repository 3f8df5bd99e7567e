#include "publish/MqttConnection.h"

#include <QFile>
#include <QSysInfo>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mosquitto.h>
#include <unistd.h>

namespace publish {

namespace {

constexpr int LoopWaitMs = 1000;        // the loop's longest sleep; a publish wakes it at once
constexpr int DisconnectFlushMs = 1000; // how long a stop lets DISCONNECT leave

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString errorText(int rc, int err)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(err));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

int MqttConnection::backOffSeconds(int failures)
{
    return failures >= 5 ? 30 : 1 << failures;
}

MqttConnection::MqttConnection(const PublishSettings& settings, Handlers handlers)
    : m_settings(settings), m_handlers(std::move(handlers))
{
}

std::shared_ptr<MqttConnection> MqttConnection::create(const PublishSettings& settings,
                                                       Handlers handlers, QString* error)
{
    initLibrary();
    std::shared_ptr<MqttConnection> c(new MqttConnection(settings, std::move(handlers)));
    // The client ID names the workstation, so that the broker's log tells who is who.
    const QByteArray id = QStringLiteral("quillmere-%1-%2")
                              .arg(QSysInfo::machineHostName())
                              .arg(::getpid())
                              .toUtf8()
                              .left(60);
    c->m_mosq = mosquitto_new(id.constData(), true, c.get());
    if (!c->m_mosq) {
        *error = QStringLiteral("cannot create the MQTT client");
        return c;
    }
    mosquitto* const mosq = c->m_mosq;
    // The publishing thread calls into the client while the network thread runs its loop.
    mosquitto_threaded_set(mosq, true);
    mosquitto_connect_callback_set(mosq, &MqttConnection::onConnect);
    mosquitto_publish_callback_set(mosq, &MqttConnection::onPublish);
    mosquitto_log_callback_set(mosq, &MqttConnection::onLog);
    const QByteArray will = (settings.prefix + QStringLiteral("/status")).toUtf8();
    int rc = mosquitto_will_set(mosq, will.constData(), 7, "offline", settings.qos, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("last will on %1: %2")
                     .arg(QString::fromUtf8(will), QString::fromUtf8(mosquitto_strerror(rc)));
        return c;
    }
    if (!settings.username.isEmpty() || !settings.password.isEmpty()) {
        const QByteArray user = settings.username.toUtf8();
        const QByteArray password = settings.password.toUtf8();
        rc = mosquitto_username_pw_set(mosq, user.constData(),
                                       password.isEmpty() ? nullptr : password.constData());
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("username: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
            return c;
        }
    }
    if (settings.tls) {
        // The broker's certificate is checked against the CA and the host name.
        rc = mosquitto_tls_set(mosq, QFile::encodeName(settings.cafile).constData(), nullptr,
                               nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_insecure_set(mosq, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = QStringLiteral("TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
            return c;
        }
    }
    return c;
}

MqttConnection::~MqttConnection()
{
    // The last holder may be the network thread itself, after a finish() that stopped
    // waiting for it.
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

QString MqttConnection::where() const
{
    return QStringLiteral("%1:%2").arg(m_settings.host).arg(m_settings.port);
}

void MqttConnection::start()
{
    if (!m_mosq || m_thread.joinable())
        return;
    m_thread = std::thread([self = shared_from_this()] { self->run(); });
}

int MqttConnection::publish(const QByteArray& topic, const QByteArray& payload, int qos,
                            bool retain, int* mid)
{
    if (!m_mosq)
        return MOSQ_ERR_INVAL;
    return mosquitto_publish(m_mosq, mid, topic.constData(), int(payload.size()),
                             payload.constData(), qos, retain);
}

void MqttConnection::run()
{
    const QByteArray host = m_settings.host.toUtf8();
    int failures = 0;
    while (!m_stopping) {
        m_up = false;
        m_refusal.clear();
        m_lastLogError.clear();
        // Resolves and connects here, never on the thread that called start().
        int rc = mosquitto_connect(m_mosq, host.constData(), m_settings.port, KeepAliveSeconds);
        int err = errno;
        if (rc == MOSQ_ERR_SUCCESS) {
            std::chrono::steady_clock::time_point stopSeen{};
            for (;;) {
                rc = mosquitto_loop(m_mosq, LoopWaitMs, 1);
                err = errno;
                if (rc != MOSQ_ERR_SUCCESS)
                    break;
                if (m_stopping) {
                    // DISCONNECT is on its way; the loop ends once it has left.
                    const auto now = std::chrono::steady_clock::now();
                    if (stopSeen == std::chrono::steady_clock::time_point{})
                        stopSeen = now;
                    if (!m_up || now - stopSeen > std::chrono::milliseconds(DisconnectFlushMs))
                        break;
                }
            }
        }
        if (m_stopping)
            break;
        QString reason;
        if (!m_refusal.isEmpty())
            reason = m_refusal;
        else if (m_up)
            reason = QStringLiteral("lost the connection to %1 (%2), reconnecting")
                         .arg(where(), errorText(rc, err));
        else if (!m_lastLogError.isEmpty())
            reason = QStringLiteral("%1: %2").arg(where(), m_lastLogError);
        else
            reason = QStringLiteral("cannot reach %1: %2").arg(where(), errorText(rc, err));
        if (m_up)
            failures = 0;
        const int wait = backOffSeconds(failures);
        ++failures;
        reportDown(reason, wait);
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::seconds(wait), [this] { return m_stopping.load(); });
    }
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_wake.notify_all();
}

void MqttConnection::reportDown(const QString& reason, int retrySeconds)
{
    std::lock_guard lock(m_handlerMutex);
    if (!m_silenced && m_handlers.down)
        m_handlers.down(reason, retrySeconds);
}

void MqttConnection::finish(int waitMs)
{
    if (!m_thread.joinable()) {
        std::lock_guard lock(m_handlerMutex);
        m_silenced = true;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_mosq)
        mosquitto_disconnect(m_mosq);
    bool finished = false;
    {
        std::unique_lock lock(m_mutex);
        finished =
            m_wake.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return m_finished; });
    }
    {
        std::lock_guard lock(m_handlerMutex);
        m_silenced = true;
    }
    if (m_thread.joinable()) {
        if (finished)
            m_thread.join();
        else
            m_thread.detach();
    }
}

void MqttConnection::onConnect(mosquitto*, void* self, int rc)
{
    auto* c = static_cast<MqttConnection*>(self);
    if (rc != 0) {
        c->m_refusal = QStringLiteral("%1 refused the connection: %2")
                           .arg(c->where(), QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    c->m_up = true;
    std::lock_guard lock(c->m_handlerMutex);
    if (!c->m_silenced && c->m_handlers.connected)
        c->m_handlers.connected();
}

void MqttConnection::onPublish(mosquitto*, void* self, int mid)
{
    auto* c = static_cast<MqttConnection*>(self);
    std::lock_guard lock(c->m_handlerMutex);
    if (!c->m_silenced && c->m_handlers.published)
        c->m_handlers.published(mid);
}

void MqttConnection::onLog(mosquitto*, void* self, int level, const char* text)
{
    // A TLS handshake that fails (a certificate not trusted, another host name) reaches no
    // callback but this one; the operator must see why the broker is not reached.
    if (level & MOSQ_LOG_ERR)
        static_cast<MqttConnection*>(self)->m_lastLogError = QString::fromUtf8(text);
}

} // namespace publish
