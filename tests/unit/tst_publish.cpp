// What a subscriber reads: the payloads as bytes, numbers as numbers, null while no value.
#include "engine/TCommController.h"
#include "publish/MqttPublisher.h"
#include "publish/PublishPayloads.h"

#include <QTest>

class TestPublish : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void slotPayloadIsExact_data();
    void slotPayloadIsExact();
    void alarmPayloadNamesItsKind();
    void fullQueueDropsTheOldestAndSaysHowMany();
};

void TestPublish::slotPayloadIsExact_data()
{
    QTest::addColumn<QString>("pv");
    QTest::addColumn<QString>("sv");
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("link");
    QTest::addColumn<QByteArray>("expected");
    // Keys in the order QJsonObject keeps them; the time is the reading's, in UTC.
    QTest::newRow("values, output on 0..1000 as percent")
        << "25.3"
        << "30.0"
        << "523" << true
        << QByteArray(R"({"link":true,"out":52.3,"pv":25.3,"station":1,"sv":30,)"
                      R"("time":"2026-12-09T10:25:07.120Z","title":"Oven 1"})");
    QTest::newRow("lost: no values")
        << ""
        << ""
        << "" << false
        << QByteArray(R"({"link":false,"out":null,"pv":null,"station":1,"sv":null,)"
                      R"("time":"2026-12-09T10:25:07.120Z","title":"Oven 1"})");
}

void TestPublish::slotPayloadIsExact()
{
    QFETCH(QString, pv);
    QFETCH(QString, sv);
    QFETCH(QString, out);
    QFETCH(bool, link);
    QFETCH(QByteArray, expected);
    const publish::SlotState state{pv, sv, out, link, 1, QStringLiteral("Oven 1")};
    const QDateTime time(QDate(2026, 12, 9), QTime(10, 25, 7, 120), Qt::UTC);
    QCOMPARE(publish::slotPayload(state, time), expected);
}

void TestPublish::alarmPayloadNamesItsKind()
{
    const QDateTime time(QDate(2026, 12, 9), QTime(10, 25, 7, 5), Qt::UTC);
    QCOMPARE(
        publish::alarmPayload(2, 7, "Monitor:2,Controller:7-->Deviation High Alarm!", "01", time,
                              "2026-12-09T10:20:00.000Z/12"),
        QByteArray("{\"count\":\"01\",\"id\":\"2026-12-09T10:20:00.000Z/12\",\"kind\":\"high\","
                   "\"line\":\"Monitor:2,Controller:7-->Deviation High Alarm!\",\"monitor\":2,"
                   "\"slot\":7,\"time\":\"2026-12-09T10:25:07.005Z\"}"));
}

void TestPublish::fullQueueDropsTheOldestAndSaysHowMany()
{
    // Port 1 on loopback: nothing listens, the broker stays away for the whole test.
    publish::PublishSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = 1;
    settings.prefix = QStringLiteral("t");
    TCommController engine;
    publish::MqttPublisher publisher(settings, engine, {});
    const size_t max = publish::MqttPublisher::MaxQueuedAlarms;
    for (size_t i = 0; i < max + 5; ++i)
        publisher.alarmRaised(1, 1, QStringLiteral("alarm %1").arg(i), QStringLiteral("01"));
    QCOMPARE(publisher.queuedAlarms(), max);
    QVERIFY2(publisher.statusText().endsWith(QStringLiteral(", 10000 alarms queued, 5 dropped")),
             qPrintable(publisher.statusText()));
}

QTEST_GUILESS_MAIN(TestPublish)
#include "tst_publish.moc"
