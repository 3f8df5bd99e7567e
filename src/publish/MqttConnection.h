#pragma once

#include "publish/PublishSettings.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct mosquitto;

namespace publish {

// One libmosquitto client and the network thread that serves it. The thread resolves the
// host, connects, runs the client's loop and, whenever the connection fails or is lost (over
// TLS as over TCP), waits its back-off step and tries again; it sleeps while the broker is
// away. libmosquitto's own loop thread is not used: it ends for good on some TLS errors.
//
// The handlers run on the network thread, never after finish() has returned.
class MqttConnection : public std::enable_shared_from_this<MqttConnection>
{
public:
    struct Handlers
    {
        std::function<void()> connected;
        // Why the broker is not reached, and the seconds until the next attempt.
        std::function<void(const QString& reason, int retrySeconds)> down;
        std::function<void(int mid)> published;
    };

    static constexpr int KeepAliveSeconds = 30;

    // The pause before attempt n + 1 after n failed ones: 1, 2, 4, 8, 16, 30, 30, ... seconds.
    static int backOffSeconds(int failures);

    // Sets the client up (credentials, TLS, last will); empty `*error` when it is ready.
    static std::shared_ptr<MqttConnection> create(const PublishSettings& settings,
                                                  Handlers handlers, QString* error);
    ~MqttConnection();
    MqttConnection(const MqttConnection&) = delete;
    MqttConnection& operator=(const MqttConnection&) = delete;

    void start();
    // mosquitto_publish's result; a QoS 1 or 2 message it has queued has a `mid` even when
    // the answer is "no connection", and libmosquitto sends it after the reconnect.
    int publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain, int* mid);
    // Disconnects and ends the thread, waiting at most `waitMs` for it; a thread still in a
    // connect that the network holds up ends by itself later and frees the client then.
    void finish(int waitMs);

private:
    explicit MqttConnection(const PublishSettings& settings, Handlers handlers);
    void run();
    void reportDown(const QString& reason, int retrySeconds);
    QString where() const;

    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    PublishSettings m_settings;
    mosquitto* m_mosq = nullptr;
    std::thread m_thread;

    std::mutex m_handlerMutex; // held while a handler runs and while finish() silences them
    Handlers m_handlers;
    bool m_silenced = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping = false;
    bool m_finished = false;
    // Written and read on the network thread only.
    bool m_up = false;      // the broker accepted this connection
    QString m_refusal;      // its answer to the last refused attempt
    QString m_lastLogError; // a TLS failure reaches no callback but the log
};

} // namespace publish
