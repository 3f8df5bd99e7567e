// From a new reading in the station model to its arrival at a subscriber of a local broker,
// and the thread time per published message: the bench plays the engine (it writes the model
// and emits the update) and runs the user-interface thread's event loop, where the publisher
// copies the slot and hands the message to libmosquitto. The reference is a bare libmosquitto
// client publishing a message of the same size to the same subscriber in the same run: the
// broker's own round trip. Then the process's CPU time while a TLS broker is away, next to
// the same time with it up.
#include "BenchFigures.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "SimProcess.h"
#include "engine/TCommController.h"
#include "link/NativeSerialIo.h"
#include "publish/MqttPublisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mosquitto.h>

namespace {

double nowMs()
{
    return double(std::chrono::steady_clock::now().time_since_epoch().count()) / 1e6;
}

// The whole poll cycle (the three lines' passes) over `seconds` of polling, the event loop
// running meanwhile as the user-interface thread's would.
double cycleMs(TCommController& engine, int seconds)
{
    engine.ResetStatistics();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const EngineStatistics stats = engine.statisticsCopy();
    double total = 0;
    for (int m = 1; m <= MonitorCount; ++m)
        total += stats.line(m).averageCycleMs;
    return total;
}

// Polling thirty simulated controllers at 38400 with the broker up, then with it away: the
// publisher must not slow the engine down while it waits to reconnect.
void pollCycleWithBrokerAway(MosquittoBroker& broker)
{
    QStringList args;
    for (int m = 1; m <= MonitorCount; ++m)
        args << "--line" << QStringLiteral("com=%1,psl=rtu,converter=rs485,baud=auto").arg(m)
             << "--stations"
             << QStringLiteral("com=%1,ids=%2-%3").arg(m).arg((m - 1) * 10 + 1).arg(m * 10);
    SimProcess sim(args << "--frozen");
    if (!sim.start()) {
        std::printf("poll cycle: no simulator: %s\n", qPrintable(sim.errorString()));
        return;
    }
    TCommController engine(
        std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(sim.home())));
    {
        QMutexLocker lock(&engine.model().mutex);
        for (int m = 1; m <= MonitorCount; ++m) {
            engine.model().line(m) = {m, 38400, TConverter::RS485, TPsl::rtu};
            for (int s = 1; s <= SlotCount; ++s)
                engine.model().station(m, s).StationId = (m - 1) * 10 + s;
        }
    }
    publish::PublishSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.prefix = QStringLiteral("bench/cycle");
    settings.qos = 1;
    publish::MqttPublisher publisher(settings, engine, [](int, int) { return QString(); });
    engine.Start();
    cycleMs(engine, 3); // past the decimal-point scan
    const double up = cycleMs(engine, 5);
    broker.stop();
    const double away = cycleMs(engine, 5);
    broker.start();
    engine.Stop();
    publisher.stop();
    std::printf("poll cycle ms, 30 controllers at 38400: broker up %.1f, broker away %.1f; "
                "ratio %.3f (target <= 1.05)\n",
                up, away, away / up);
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The process's CPU time over `seconds`, the event loop running as the user-interface
// thread's would.
double cpuMsOver(int seconds)
{
    const double cpu = processCpuMs();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return processCpuMs() - cpu;
}

// A TLS broker away at start for 20 s, then up for 20 s: the publisher must sleep while it
// waits, and find the broker at its next attempt.
void cpuWithTlsBrokerAway()
{
    MosquittoBroker broker;
    if (!broker.enableTls()) {
        std::printf("TLS: no certificates: %s\n", qPrintable(broker.errorString()));
        return;
    }
    TCommController engine;
    publish::PublishSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.tlsPort();
    settings.tls = true;
    settings.cafile = broker.caFile();
    settings.prefix = QStringLiteral("bench/tls");
    publish::MqttPublisher publisher(settings, engine, [](int, int) { return QString(); });
    const double away = cpuMsOver(20);
    const QString status = publisher.statusText();
    const qsizetype at = status.indexOf(QLatin1String("next attempt in "));
    const int step = at < 0 ? -1 : status.mid(at + 16).section(QLatin1Char(' '), 0, 0).toInt();
    if (!broker.start()) {
        std::printf("TLS: no broker: %s\n", qPrintable(broker.errorString()));
        return;
    }
    QElapsedTimer back;
    back.start();
    while (!publisher.statusText().contains(QLatin1String("connected to")) &&
           back.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const double connectS = double(back.elapsed()) / 1000.0;
    const double up = cpuMsOver(20);
    std::printf("process CPU ms over 20 s, TLS: broker away %.1f, broker up %.1f; ratio %.2f "
                "(target <= 1.2)\n",
                away, up, away / up);
    std::printf("TLS broker back after 20 s away: connected %.1f s later, back-off step %d s "
                "(target: within the step)\n",
                connectS, step);
    publisher.stop();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int readings = int(bench::option(app.arguments(), QStringLiteral("--readings"), 300));
    MosquittoBroker broker;
    if (!broker.start()) {
        std::printf("no broker: %s\n", qPrintable(broker.errorString()));
        return 1;
    }
    const QString prefix = QStringLiteral("bench/publish");
    MqttSubscriber subscriber(broker.port(), prefix + QStringLiteral("/monitor1/slot1/state"));
    while (!subscriber.subscribed())
        QThread::msleep(10);

    TCommController engine; // not started: the bench plays the engine
    publish::PublishSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.prefix = prefix;
    settings.qos = 1;
    publish::MqttPublisher publisher(settings, engine, [](int, int) { return QString(); });
    while (!publisher.statusText().contains(QLatin1String("connected to")))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    std::vector<double> latency, uiMs, engineMs;
    for (int i = 0; i < readings; ++i) {
        const QString pv = QString::number(100 + i) + QStringLiteral(".5");
        const int before = int(subscriber.messages().size());
        const double t0 = nowMs();
        double engineCpu = bench::threadCpuMs();
        {
            QMutexLocker lock(&engine.model().mutex);
            engine.model().station(1, 1).PvText = pv;
        }
        EngineUpdate update;
        update.kind = EngineUpdate::Indicator;
        update.monitor = 1;
        update.slot = 1;
        Q_EMIT engine.updateRequested(update);
        engineMs.push_back(bench::threadCpuMs() - engineCpu);
        const double uiCpu = bench::threadCpuMs();
        QCoreApplication::processEvents();
        uiMs.push_back(bench::threadCpuMs() - uiCpu);
        for (;;) {
            const auto messages = subscriber.messages();
            if (messages.size() > before && messages.last().payload.contains(pv.toUtf8())) {
                latency.push_back(double(messages.last().arrivedNs) / 1e6 - t0);
                break;
            }
            QThread::usleep(100);
        }
    }
    publisher.stop();

    // Reference: the same way through the broker without the program around it.
    std::vector<double> reference;
    mosquitto_lib_init();
    mosquitto* bare = mosquitto_new("bench-publish-reference", true, nullptr);
    if (bare && mosquitto_connect(bare, "127.0.0.1", broker.port(), 30) == MOSQ_ERR_SUCCESS &&
        mosquitto_loop_start(bare) == MOSQ_ERR_SUCCESS) {
        const QByteArray topic = (prefix + QStringLiteral("/monitor1/slot1/state")).toUtf8();
        for (int i = 0; i < readings; ++i) {
            const QByteArray payload =
                QByteArray("{\"reference\":") + QByteArray::number(i) + QByteArray(120, ' ') + '}';
            const int before = int(subscriber.messages().size());
            const double t0 = nowMs();
            mosquitto_publish(bare, nullptr, topic.constData(), int(payload.size()),
                              payload.constData(), 1, false);
            for (;;) {
                const auto messages = subscriber.messages();
                if (messages.size() > before && messages.last().payload == payload) {
                    reference.push_back(double(messages.last().arrivedNs) / 1e6 - t0);
                    break;
                }
                QThread::usleep(100);
            }
        }
        mosquitto_disconnect(bare);
        mosquitto_loop_stop(bare, false);
    }
    if (bare)
        mosquitto_destroy(bare);

    const bench::Summary l = bench::summarize(latency);
    const bench::Summary u = bench::summarize(uiMs);
    const bench::Summary e = bench::summarize(engineMs);
    std::printf("readings: %d, broker on 127.0.0.1:%d, QoS 1\n", l.count, broker.port());
    std::printf("latency ms: median %.2f, max %.2f (target: median <= 50, max <= 600)\n", l.median,
                l.max);
    std::printf("UI thread ms per message: median %.4f, max %.4f (target <= 0.05)\n", u.median,
                u.max);
    std::printf("engine thread ms per message (the update's emit, lock and copy): median %.4f\n",
                e.median);
    if (!reference.empty()) {
        const bench::Summary r = bench::summarize(reference);
        std::printf("reference, a bare libmosquitto client: median %.2f, max %.2f; ratio of "
                    "medians %.2f\n",
                    r.median, r.max, l.median / r.median);
    }
    pollCycleWithBrokerAway(broker);
    cpuWithTlsBrokerAway();
    std::printf("publish latency ms: %.2f\n", l.median);
    return 0;
}
