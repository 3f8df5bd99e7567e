#include "MqttSubscriber.h"

#include <chrono>
#include <mosquitto.h>

MqttSubscriber::MqttSubscriber(int port, const QString& filter) : m_filter(filter.toUtf8())
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new("quillmere-test-subscriber", false, this);
    mosquitto_connect_callback_set(m_mosq, &MqttSubscriber::onConnect);
    mosquitto_subscribe_callback_set(m_mosq, &MqttSubscriber::onSubscribe);
    mosquitto_message_callback_set(m_mosq, &MqttSubscriber::onMessage);
    mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
    mosquitto_connect_async(m_mosq, "127.0.0.1", port, 30);
    mosquitto_loop_start(m_mosq);
}

MqttSubscriber::~MqttSubscriber()
{
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, true);
    mosquitto_destroy(m_mosq);
}

void MqttSubscriber::onConnect(mosquitto* mosq, void* self, int rc)
{
    // After a broker restart too: the subscription does not outlive the broker.
    if (rc == 0)
        mosquitto_subscribe(mosq, nullptr, static_cast<MqttSubscriber*>(self)->m_filter.constData(),
                            1);
}

void MqttSubscriber::onSubscribe(mosquitto*, void* self, int, int, const int*)
{
    auto* s = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(s->m_mutex);
    s->m_subscribed = true;
}

void MqttSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* s = static_cast<MqttSubscriber*>(self);
    std::lock_guard lock(s->m_mutex);
    s->m_messages.append(
        {QString::fromUtf8(message->topic),
         QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
         message->retain, std::chrono::steady_clock::now().time_since_epoch().count()});
}

bool MqttSubscriber::subscribed() const
{
    std::lock_guard lock(m_mutex);
    return m_subscribed;
}

QList<MqttSubscriber::Message> MqttSubscriber::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

QList<QByteArray> MqttSubscriber::payloads(const QString& topic) const
{
    std::lock_guard lock(m_mutex);
    QList<QByteArray> result;
    for (const Message& m : m_messages)
        if (m.topic == topic)
            result << m.payload;
    return result;
}

QByteArray MqttSubscriber::last(const QString& topic) const
{
    const QList<QByteArray> all = payloads(topic);
    return all.isEmpty() ? QByteArray() : all.last();
}
