#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <mutex>

struct mosquitto;

// A subscriber of the test's own on libmosquitto: takes everything under a topic filter and
// keeps each message in arrival order. Its session is persistent (a fixed client ID, QoS 1),
// so a broker that keeps its sessions across a restart holds what arrives before it is back.
class MqttSubscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
        qint64 arrivedNs = 0; // std::chrono::steady_clock, for latency figures
    };

    MqttSubscriber(int port, const QString& filter);
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    bool subscribed() const;
    QList<Message> messages() const;
    QList<QByteArray> payloads(const QString& topic) const;
    QByteArray last(const QString& topic) const;

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onSubscribe(mosquitto*, void* self, int, int, const int*);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* message);

    mosquitto* m_mosq = nullptr;
    QByteArray m_filter;
    mutable std::mutex m_mutex;
    QList<Message> m_messages;
    bool m_subscribed = false;
};
