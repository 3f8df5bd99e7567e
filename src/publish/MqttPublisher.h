#pragma once

#include "publish/PublishPayloads.h"
#include "publish/PublishSettings.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class TCommController;
struct EngineUpdate;
struct mosquitto;

namespace publish {

// Sends the slots' states, the alarms and the lines' health to an MQTT broker. Lives on the
// user-interface thread, where it only copies values and hands messages to libmosquitto;
// the network is libmosquitto's own thread, so no window and no poll ever waits for the
// broker. Alarms raised while the broker is away wait in memory, in order.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    static constexpr size_t MaxQueuedAlarms = 10000;

    // `title(m, s)`: the tile's title text, read on this object's thread.
    MqttPublisher(const PublishSettings& settings, TCommController& engine,
                  std::function<QString(int, int)> title, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // "MQTT: connected to host:port" or why not, with the queue length when alarms wait.
    QString statusText() const;
    size_t queuedAlarms() const { return m_queue.size(); }

    void alarmRaised(int monitor, int slot, const QString& line, const QString& count);
    // Publishes "offline" (waiting a moment for it to leave) and disconnects.
    void stop();

Q_SIGNALS:
    void statusChanged(const QString& text);

private:
    struct QueuedAlarm
    {
        QByteArray payload;
    };

    void engineUpdate(const EngineUpdate& update);
    void checkSlot(int monitor, int slot, bool force);
    void sweep(bool force);
    void publishLines();
    void drainAlarms();
    bool send(const QString& subtopic, const QByteArray& payload, bool retain, int* mid = nullptr);
    void setState(bool connected, const QString& reason);
    void announceStatus();

    static void onConnect(mosquitto* mosq, void* self, int rc);
    static void onDisconnect(mosquitto* mosq, void* self, int rc);
    static void onPublish(mosquitto* mosq, void* self, int mid);
    static void onLog(mosquitto* mosq, void* self, int level, const char* text);

    PublishSettings m_settings;
    TCommController& m_engine;
    std::function<QString(int, int)> m_title;
    mosquitto* m_mosq = nullptr;
    bool m_connected = false; // as this thread last heard
    bool m_stopped = false;
    QString m_reason;
    QString m_refusal; // the broker's answer to the last refused attempt
    std::deque<QueuedAlarm> m_queue;
    quint64 m_dropped = 0;
    bool m_droppedToPublish = false;
    std::array<SlotState, 30> m_published{};
    std::array<bool, 30> m_havePublished{};
    int m_lastIndicated = 0; // 1-based index of the slot the engine read last
    QTimer m_sweep;
    QTimer m_refresh;
    QString m_lastStatus;

    // The clean stop waits for "offline" to be acknowledged.
    std::mutex m_stopMutex;
    std::condition_variable m_stopCv;
    int m_offlineMid = -1;
    bool m_offlineDone = false;
};

} // namespace publish
