// Publishing from the real program against simulated controllers and a Mosquitto broker the
// test starts itself, seen by a subscriber of the test's own.
#include "../ui/RecordingDialogs.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "SimProcess.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/dialogs/TFmAddAlarm.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TAlarmHistoryPanel.h"
#include "ui/pages/TAlarmPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
RecordingDialogs* g_dialogs = nullptr;
const QString Prefix = QStringLiteral("quillmere/test-line");

const QStringList SimArgs{"--stations", "com=1,ids=1-10,family=104,input=0,pv=300,sv=300",
                          "--stations", "com=2,ids=11-20",
                          "--stations", "com=3,ids=21-30",
                          "--frozen",   "--no-wire-timing"};

void writeIni(const QString& home, const QByteArray& body,
              QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    QFile ini(home + QStringLiteral("/publish.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[mqtt]\n" + body);
    ini.close();
    QVERIFY(ini.setPermissions(permissions));
}

QByteArray brokerIni(const MosquittoBroker& broker, const QByteArray& more = {})
{
    return "host=127.0.0.1\nport=" + QByteArray::number(broker.port()) +
           "\nprefix=" + Prefix.toUtf8() + "\nqos=1\n" + more;
}

QJsonObject json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

QString mqttSegment(TFmHome* home)
{
    return home->statusLine()->segment(QStringLiteral("mqtt"));
}

// Monitor 1, slot 3: an alarm 5 above or 3 below its SV of 30.0, at the first excursion.
void addAlarmSetting(const Windows& w)
{
    w.FmHome->alarmPage()->BtnAddSettingClick();
    w.FmAddAlarm->findChild<QComboBox*>("CboControllerNO")->setCurrentText("03");
    w.FmAddAlarm->findChild<QLineEdit*>("TxtHAlm")->setText("5");
    w.FmAddAlarm->findChild<QLineEdit*>("TxtLAlm")->setText("3");
    w.FmAddAlarm->findChild<QCheckBox*>("ChkFirstAlarm")->setChecked(true);
    QTest::mouseClick(w.FmAddAlarm->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
}
} // namespace

class TestPublishSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statesAlarmsThroughRestartAndOffline();
    void credentialsReachTheBrokerAsTyped_data();
    void credentialsReachTheBrokerAsTyped();
    void tlsConnectsWithTheCaFile();
    void untrustedCertificateIsShown_data();
    void untrustedCertificateIsShown();
    void badFileIsShownAndPollingGoesOn_data();
    void badFileIsShownAndPollingGoesOn();
};

void TestPublishSim::statesAlarmsThroughRestartAndOffline()
{
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    MqttSubscriber subscriber(broker.port(), Prefix + QStringLiteral("/#"));
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.subscribed(), 10000);

    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    writeIni(sim.home(), brokerIni(broker));

    {
        Program program(*g_dialogs);
        QVERIFY(program.start());
        const Windows& w = program.windows();
        TFmHome* home = w.FmHome;
        const QString connected =
            QStringLiteral("MQTT: connected to 127.0.0.1:%1").arg(broker.port());
        QTRY_COMPARE_WITH_TIMEOUT(mqttSegment(home), connected, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.last(Prefix + "/status"), QByteArray("online"), 10000);
        addAlarmSetting(w);
        QTest::mouseClick(home->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(home->DpScanDone(), 60000);

        // Every slot of every line, with the values the simulator holds.
        const QString slot3 = Prefix + QStringLiteral("/monitor1/slot3/state");
        QTRY_COMPARE_WITH_TIMEOUT(json(subscriber.last(slot3)).value("pv").toDouble(), 30.0, 20000);
        for (int m = 1; m <= 3; ++m)
            for (int s = 1; s <= 10; ++s) {
                const QString topic =
                    Prefix + QStringLiteral("/monitor%1/slot%2/state").arg(m).arg(s);
                QTRY_VERIFY_WITH_TIMEOUT(json(subscriber.last(topic)).value("link").toBool(),
                                         20000);
                const QJsonObject state = json(subscriber.last(topic));
                QCOMPARE(state.value("station").toInt(), (m - 1) * 10 + s);
                QVERIFY2(state.value("pv").isDouble() && state.value("sv").isDouble() &&
                             state.value("out").isDouble(),
                         subscriber.last(topic).constData());
                QVERIFY(state.value("time").toString().endsWith("Z"));
            }
        QCOMPARE(json(subscriber.last(slot3)).value("sv").toDouble(), 30.0);

        // One excursion, one alarm message.
        const QString alarms = Prefix + QStringLiteral("/alarms");
        QVERIFY(sim.command(QStringLiteral("set 1 3 138 200")));
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(alarms).size(), 1, 20000);
        const QJsonObject alarm = json(subscriber.payloads(alarms)[0]);
        QCOMPARE(alarm.value("monitor").toInt(), 1);
        QCOMPARE(alarm.value("slot").toInt(), 3);
        QCOMPARE(alarm.value("kind").toString(), QStringLiteral("low"));
        QCOMPARE(alarm.value("count").toString(), QStringLiteral("01"));
        QCOMPARE(alarm.value("line").toString(), home->alarmPage()->history()->lines()[0]);
        sim.clearFrames();
        QTRY_VERIFY_WITH_TIMEOUT(sim.frames(1).filter("0303008a").size() >= 3, 20000);
        QCOMPARE(subscriber.payloads(alarms).size(), 1);

        // The broker away: polling and alarms go on, the alarms wait and arrive in order.
        broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(mqttSegment(home).contains("lost the connection"), 10000);
        TAlarmHistoryPanel* history = home->alarmPage()->history();
        QVERIFY(sim.command(QStringLiteral("set 1 3 138 360")));
        QTRY_COMPARE_WITH_TIMEOUT(history->lines().size(), 2, 20000);
        QVERIFY(sim.command(QStringLiteral("set 1 3 138 300")));
        sim.clearFrames();
        QTRY_VERIFY_WITH_TIMEOUT(sim.frames(1).filter("0303008a").size() >= 2, 20000);
        QVERIFY(sim.command(QStringLiteral("set 1 3 138 200")));
        QTRY_COMPARE_WITH_TIMEOUT(history->lines().size(), 3, 20000);
        QVERIFY2(mqttSegment(home).contains(", 2 alarms queued"), qPrintable(mqttSegment(home)));
        QVERIFY2(broker.start(), qPrintable(broker.errorString()));
        QTRY_COMPARE_WITH_TIMEOUT(mqttSegment(home), connected, 40000);
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(alarms).size(), 3, 20000);
        QCOMPARE(json(subscriber.payloads(alarms)[1]).value("kind").toString(), "high");
        QCOMPARE(json(subscriber.payloads(alarms)[1]).value("line").toString(),
                 history->lines()[1]);
        QCOMPARE(json(subscriber.payloads(alarms)[2]).value("count").toString(), "03");
        QCOMPARE(json(subscriber.payloads(alarms)[2]).value("line").toString(),
                 history->lines()[2]);
        QTRY_VERIFY_WITH_TIMEOUT(
            json(subscriber.last(Prefix + "/lines/1")).value("cycles").toDouble() > 0, 20000);
        QCOMPARE(g_dialogs->messages, QStringList());
        home->close();
    }
    // The clean stop says so itself; the last will would say it only later.
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.last(Prefix + "/status"), QByteArray("offline"), 5000);
}

void TestPublishSim::credentialsReachTheBrokerAsTyped_data()
{
    QTest::addColumn<QString>("brokerPassword");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("segment");
    QTest::newRow("wrong") << "right" << QByteArray("password=wrong")
                           << "refused the connection: Connection Refused: not authori";
    // Qt's ini reader would read `,` as a list, `;` as a comment and `\` as an escape.
    QTest::newRow(", ; \\ as typed") << "a,b;c\\d" << QByteArray("password=a,b;c\\d")
                                     << "connected to 127.0.0.1:%1, password sent without TLS";
    QTest::newRow("blanks kept in quotes") << " p \"q " << QByteArray("password=\" p \"q \"")
                                           << "connected to 127.0.0.1:%1, password sent";
}

void TestPublishSim::credentialsReachTheBrokerAsTyped()
{
    QFETCH(QString, brokerPassword);
    QFETCH(QByteArray, line);
    QFETCH(QString, segment);
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(broker.requirePassword("plant", brokerPassword), qPrintable(broker.errorString()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    writeIni(sim.home(), brokerIni(broker, "username=plant\n" + line + "\n"));
    Program program(*g_dialogs);
    QVERIFY(program.start());
    TFmHome* home = program.windows().FmHome;
    QTRY_VERIFY2_WITH_TIMEOUT(mqttSegment(home).contains(segment.arg(broker.port())),
                              qPrintable(mqttSegment(home)), 10000);
    home->close();
}

void TestPublishSim::tlsConnectsWithTheCaFile()
{
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(broker.enableTls(), qPrintable(broker.errorString()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    MqttSubscriber subscriber(broker.port(), Prefix + QStringLiteral("/#"));
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.subscribed(), 10000);
    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    writeIni(sim.home(), "host=127.0.0.1\nport=" + QByteArray::number(broker.tlsPort()) +
                             "\nprefix=" + Prefix.toUtf8() +
                             "\ntls=true\ncafile=" + QFile::encodeName(broker.caFile()) + "\n");
    Program program(*g_dialogs);
    QVERIFY(program.start());
    TFmHome* home = program.windows().FmHome;
    QTRY_COMPARE_WITH_TIMEOUT(
        mqttSegment(home), QStringLiteral("MQTT: connected to 127.0.0.1:%1").arg(broker.tlsPort()),
        10000);
    // What went over TLS reaches the plain listener's subscriber.
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.last(Prefix + "/status"), QByteArray("online"), 10000);
    home->close();
}

void TestPublishSim::untrustedCertificateIsShown_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("systemCas");
    // The system's CAs are readable but never signed the test broker's certificate.
    QTest::newRow("unknown CA") << QByteArray("127.0.0.1") << true;
    // Signed by the right CA, but for 127.0.0.1, not for the name the program was given.
    QTest::newRow("other host name") << QByteArray("localhost") << false;
}

void TestPublishSim::untrustedCertificateIsShown()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, systemCas);
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(broker.enableTls(), qPrintable(broker.errorString()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    const QByteArray caFile = systemCas ? QByteArray("/etc/ssl/certs/ca-certificates.crt")
                                        : QFile::encodeName(broker.caFile());
    writeIni(sim.home(), "host=" + host + "\nport=" + QByteArray::number(broker.tlsPort()) +
                             "\ntls=true\ncafile=" + caFile + "\n");
    Program program(*g_dialogs);
    QVERIFY(program.start());
    TFmHome* home = program.windows().FmHome;
    QTRY_VERIFY_WITH_TIMEOUT(mqttSegment(home).contains("certificate verify failed"), 10000);
    home->close();
}

void TestPublishSim::badFileIsShownAndPollingGoesOn_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("permissions");
    QTest::addColumn<QString>("message");
    const int own = int(QFile::ReadOwner | QFile::WriteOwner);
    QTest::newRow("port") << QByteArray("host=127.0.0.1\nport=abc\n") << own
                          << "MQTT off: publish.ini: port: 'abc' is not a number";
    QTest::newRow("qos") << QByteArray("host=127.0.0.1\nqos=3\n") << own
                         << "MQTT off: publish.ini: qos: '3' is not 0, 1 or 2";
    QTest::newRow("tls") << QByteArray("host=127.0.0.1\ntls=true\ncafile=/nonexistent/ca.pem\n")
                         << own
                         << "MQTT off: publish.ini: cafile: /nonexistent/ca.pem cannot be read";
    QTest::newRow("password readable")
        << QByteArray("host=127.0.0.1\nusername=u\npassword=p\n")
        << int(own | QFile::ReadGroup | QFile::ReadOther)
        << "MQTT off: publish.ini: password: refused: others can read the file";
    QTest::newRow("others can write")
        << QByteArray("host=127.0.0.1\n") << int(own | QFile::ReadGroup | QFile::WriteGroup)
        << "MQTT off: publish.ini: refused: others can write the file";
    QTest::newRow("wildcard in the prefix")
        << QByteArray("host=127.0.0.1\nprefix=plant/#\n") << own
        << "MQTT off: publish.ini: prefix: 'plant/#' holds a wildcard (+ or #)";
    QTest::newRow("empty level in the prefix")
        << QByteArray("host=127.0.0.1\nprefix=plant//line\n") << own
        << "MQTT off: publish.ini: prefix: 'plant//line' has an empty level";
    QTest::newRow("a key misspelt") << QByteArray("host=127.0.0.1\npasword=x\n") << own
                                    << "MQTT off: publish.ini: pasword: not a setting of this file";
}

void TestPublishSim::badFileIsShownAndPollingGoesOn()
{
    QFETCH(QByteArray, body);
    QFETCH(int, permissions);
    QFETCH(QString, message);
    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    writeIni(sim.home(), body, QFile::Permissions(permissions));
    Program program(*g_dialogs);
    QVERIFY(program.start());
    TFmHome* home = program.windows().FmHome;
    QVERIFY2(mqttSegment(home).startsWith(message), qPrintable(mqttSegment(home)));
    QCOMPARE(home->publisher(), nullptr);
    QTest::mouseClick(home->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);
    QVERIFY(sim.waitForFrames(1, 5, 20000));
    QCOMPARE(g_dialogs->messages, QStringList());
    home->close();
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestPublishSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_publish_sim.moc"
