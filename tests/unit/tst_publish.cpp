// What a subscriber reads: the payloads as bytes, numbers as numbers, null while no value;
// and the alarms through a Mosquitto broker of the test's own that crashes and comes back.
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "engine/TCommController.h"
#include "publish/MqttPublisher.h"
#include "publish/PublishPayloads.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>

namespace {

const QString Alarms = QStringLiteral("t/alarms");
const QByteArray AuditLine = R"({"prev":"00","kind":"start"})";

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

publish::PublishSettings brokerSettings(const MosquittoBroker& broker, bool tls)
{
    publish::PublishSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = tls ? broker.tlsPort() : broker.port();
    s.tls = tls;
    s.cafile = broker.caFile();
    s.prefix = QStringLiteral("t");
    return s;
}

bool connected(const publish::MqttPublisher& publisher)
{
    return publisher.statusText().startsWith(QStringLiteral("MQTT: connected"));
}

// The alarms' lines as a subscriber that drops repeats by their identity takes them, after
// checking that the identities are those of one run, numbered 1, 2, 3... in arrival order.
QStringList arrivedInOrderOnce(const MqttSubscriber& subscriber)
{
    QStringList lines;
    QString run;
    QSet<QString> seen;
    for (const QByteArray& payload : subscriber.payloads(Alarms)) {
        const QJsonObject alarm = QJsonDocument::fromJson(payload).object();
        const QString id = alarm.value(QStringLiteral("id")).toString();
        if (run.isEmpty())
            run = id.section(QLatin1Char('/'), 0, -2);
        if (seen.contains(id))
            continue;
        seen.insert(id);
        if (id != QStringLiteral("%1/%2").arg(run).arg(lines.size() + 1))
            return {QStringLiteral("out of order or repeated: ") + QString::fromUtf8(payload)};
        lines << alarm.value(QStringLiteral("line")).toString();
    }
    return lines;
}

} // namespace

class TestPublish : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void slotPayloadIsExact_data();
    void slotPayloadIsExact();
    void linkOnlyAfterAGoodReply_data();
    void linkOnlyAfterAGoodReply();
    void alarmPayloadNamesItsKind();
    void fullQueueDropsTheOldestAndSaysHowMany();
    void alarmsArriveOnceInOrderThroughCrashes_data();
    void alarmsArriveOnceInOrderThroughCrashes();
    void undeliveredAlarmsWaitInAFile_data();
    void undeliveredAlarmsWaitInAFile();
    void sleepsWhileTheTlsBrokerIsAway();
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

void TestPublish::linkOnlyAfterAGoodReply_data()
{
    QTest::addColumn<QString>("pv");
    QTest::addColumn<bool>("lost");
    QTest::addColumn<bool>("link");
    QTest::newRow("never polled") << QString() << false << false;
    QTest::newRow("answered") << QStringLiteral("25.3") << false << true;
    QTest::newRow("lost") << QString() << true << false;
}

void TestPublish::linkOnlyAfterAGoodReply()
{
    QFETCH(QString, pv);
    QFETCH(bool, lost);
    QFETCH(bool, link);
    StationRecord record;
    record.StationId = 4;
    record.PvText = pv;
    record.LinkLost = lost;
    QCOMPARE(publish::slotState(record, {}).link, link);
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

void TestPublish::alarmsArriveOnceInOrderThroughCrashes_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("crash");
    QTest::addColumn<int>("passes");
    QTest::addColumn<int>("whileAway");
    QTest::newRow("TCP, broker stopped") << false << false << 1 << 2;
    // libmosquitto's own loop thread ends for good on the TLS error a crash leaves behind.
    QTest::newRow("TLS, broker killed") << true << true << 1 << 3;
    QTest::newRow("TLS, broker killed ten times") << true << true << 10 << 1;
}

void TestPublish::alarmsArriveOnceInOrderThroughCrashes()
{
    QFETCH(bool, tls);
    QFETCH(bool, crash);
    QFETCH(int, passes);
    QFETCH(int, whileAway);
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(!tls || broker.enableTls(), qPrintable(broker.errorString()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    MqttSubscriber subscriber(broker.port(), QStringLiteral("t/#"));
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.subscribed(), 10000);
    TCommController engine;
    publish::MqttPublisher publisher(brokerSettings(broker, tls), engine, {});
    QTRY_VERIFY_WITH_TIMEOUT(connected(publisher), 10000);
    QTest::qWait(1500); // the broker's autosave has the subscriber's session by now

    QStringList raised;
    const auto raise = [&](const QString& line) {
        publisher.alarmRaised(1, 2, line, QStringLiteral("01"));
        raised << line;
    };
    for (int pass = 1; pass <= passes; ++pass) {
        raise(QStringLiteral("pass %1, broker up").arg(pass));
        QTRY_COMPARE_WITH_TIMEOUT(arrivedInOrderOnce(subscriber).size(), raised.size(), 10000);
        if (crash)
            broker.kill();
        else
            broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!connected(publisher), 10000);
        for (int i = 1; i <= whileAway; ++i)
            raise(QStringLiteral("pass %1, broker away %2").arg(pass).arg(i));
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(connected(publisher), 40000);
        QTRY_COMPARE_WITH_TIMEOUT(arrivedInOrderOnce(subscriber).size(), raised.size(), 10000);
    }
    QTest::qWait(300); // a repeat would follow close behind
    // Each alarm reached the broker once as a first sending: libmosquitto's resending of one
    // not acknowledged carries the repeat flag (d1). What the restarted broker delivers to
    // the subscriber again from its saved session, the subscriber drops by the identity.
    const QRegularExpression firstSending(
        QStringLiteral("Received PUBLISH from quillmere-\\S+ \\(d0, q1, r0, m\\d+, 't/alarms'"));
    QCOMPARE(QString::fromUtf8(broker.log()).count(firstSending), raised.size());
    QCOMPARE(arrivedInOrderOnce(subscriber), raised);
    QCOMPARE(subscriber.last(QStringLiteral("t/status")), QByteArray("online"));
}

void TestPublish::undeliveredAlarmsWaitInAFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("kept");
    QTest::newRow("kept") << QStringLiteral("unsent.txt") << true;
    QTest::newRow("cannot be written") << QStringLiteral("missing/unsent.txt") << false;
}

void TestPublish::undeliveredAlarmsWaitInAFile()
{
    QFETCH(QString, file);
    QFETCH(bool, kept);
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QTemporaryDir home;
    publish::PublishSettings settings = brokerSettings(broker, false);
    settings.queueFile = home.filePath(file);
    TCommController engine;
    {
        // The broker away: both wait, and the close keeps them.
        publish::MqttPublisher publisher(settings, engine, {});
        publisher.alarmRaised(1, 1, QStringLiteral("first"), QStringLiteral("01"));
        publisher.auditRecorded(AuditLine);
        publisher.alarmRaised(1, 1, QStringLiteral("second"), QStringLiteral("02"));
        publisher.stop();
        if (!kept) {
            QVERIFY2(publisher.statusText().contains(QStringLiteral("alarms cannot be kept in ")) &&
                         publisher.statusText().contains(QStringLiteral(", 3 dropped")),
                     qPrintable(publisher.statusText()));
            return;
        }
    }
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    MqttSubscriber subscriber(broker.port(), QStringLiteral("t/#"));
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.subscribed(), 10000);
    publish::MqttPublisher publisher(settings, engine, {});
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(Alarms).size(), 2, 10000);
    QCOMPARE(arrivedInOrderOnce(subscriber), QStringList({"first", "second"}));
    // The audit entry waited with them and goes to its own topic as it was recorded.
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(QStringLiteral("t/audit")),
                              QList<QByteArray>{AuditLine}, 10000);
    // Delivered: the next start does not send them again.
    QTRY_VERIFY(!QFile::exists(settings.queueFile));
}

void TestPublish::sleepsWhileTheTlsBrokerIsAway()
{
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(broker.enableTls(), qPrintable(broker.errorString()));
    TCommController engine;
    publish::MqttPublisher publisher(brokerSettings(broker, true), engine, {});
    // The process's CPU time while the broker stays away, then while it is up: a publisher
    // that spins to reconnect shows as a whole core.
    const auto cpuRate = [](int ms) {
        const double cpu = processCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(ms);
        return (processCpuSeconds() - cpu) * 1000.0 / double(clock.elapsed());
    };
    const double away = cpuRate(20000);
    const QRegularExpressionMatch step =
        QRegularExpression(QStringLiteral("next attempt in (\\d+) s"))
            .match(publisher.statusText());
    QVERIFY2(step.hasMatch(), qPrintable(publisher.statusText()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    // Its next attempt, at the latest, finds the broker.
    QTRY_VERIFY_WITH_TIMEOUT(connected(publisher), (step.captured(1).toInt() + 5) * 1000);
    const double up = cpuRate(5000);
    QVERIFY2(away < up + 0.05, qPrintable(QStringLiteral("away %1, up %2").arg(away).arg(up)));
}

QTEST_GUILESS_MAIN(TestPublish)
#include "tst_publish.moc"
