#pragma once

#include "publish/MqttConnection.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishSettings.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class TCommController;
struct EngineUpdate;

namespace publish {

// Sends the slots' states, the alarms and the lines' health to an MQTT broker. Lives on the
// user-interface thread, where it only copies values and hands messages to libmosquitto;
// the network is the connection's own thread, so no window and no poll ever waits for the
// broker. Alarms raised while the broker is away wait in memory, in order; those not yet
// delivered when the publisher stops are kept in a file and sent first at the next start.
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
    // Alarms waiting to be handed to libmosquitto.
    size_t queuedAlarms() const;

    void alarmRaised(int monitor, int slot, const QString& line, const QString& count);
    // An audit trail entry (its line as on disk) for <prefix>/audit, at QoS 1 at least; it
    // waits and is kept with the alarms, in one order.
    void auditRecorded(const QByteArray& line);
    // Publishes "offline" (waiting a moment for it to leave), disconnects, and keeps the
    // alarms not yet delivered in the settings' queue file.
    void stop();

Q_SIGNALS:
    void statusChanged(const QString& text);

private:
    struct HandedAlarm
    {
        int mid;
        QByteArray payload;
    };

    void engineUpdate(const EngineUpdate& update);
    void checkSlot(int monitor, int slot, bool force);
    void sweep(bool force);
    void publishLines();
    void drainAlarms();
    void enqueue(QByteArray payload);
    bool send(const QString& subtopic, const QByteArray& payload, bool retain, int* mid = nullptr);
    void setState(bool connected, const QString& reason);
    void announceStatus();
    void delivered(int mid);
    // Every alarm not yet delivered, in the order raised.
    QList<QByteArray> undelivered();
    void keepUndelivered();
    void loadKept();

    PublishSettings m_settings;
    TCommController& m_engine;
    std::function<QString(int, int)> m_title;
    std::shared_ptr<MqttConnection> m_connection;
    bool m_connected = false; // as this thread last heard
    bool m_stopped = false;
    QString m_reason;
    QString m_setupError; // the client could not be set up: nothing is sent
    std::deque<QByteArray> m_queue;
    quint64 m_dropped = 0;
    bool m_droppedToPublish = false;
    // Each alarm's identity: when this run began and its number in the run.
    QString m_run;
    quint64 m_sequence = 0;
    // The file that holds undelivered alarms: written, or why it cannot be.
    bool m_keptOnDisk = false;
    QString m_keepError;
    std::array<SlotState, 30> m_published{};
    std::array<bool, 30> m_havePublished{};
    int m_lastIndicated = 0; // 1-based index of the slot the engine read last
    QTimer m_sweep;
    QTimer m_refresh;
    QString m_lastStatus;

    // Alarms handed to libmosquitto and not yet acknowledged, in order, and the "offline"
    // that the clean stop waits for; the network thread acknowledges them.
    std::mutex m_handedMutex;
    std::condition_variable m_offlineCv;
    std::deque<HandedAlarm> m_handed;
    int m_offlineMid = -1;
    bool m_offlineDone = false;
};

} // namespace publish
