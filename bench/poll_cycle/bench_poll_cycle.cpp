// What one poll cycle costs on top of the wire: thirty present controllers on three simulated
// lines, both protocols, 38400 and 9600 bit/s, the engine's PollCycle() called directly from
// this thread so that its CPU time can be read off the thread's own clock.
//
// Usage: bench_poll_cycle [--cycles N] [--turnaround-ms MS]

#include "BenchFigures.h"
#include "SimProcess.h"
#include "engine/TCommController.h"
#include "link/NativeSerialIo.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

constexpr int ReadsPerSlot = 4;   // PV, status, SV, output
constexpr int ExchangeChars = 15; // rtu 8 + 7, veln 7 + 8: the same on the wire

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct CycleFigures
{
    bench::Summary wallMs;
    bench::Summary cpuPercent;
    int slotsWithoutPv = 0; // after the last cycle; a benchmark of failing reads means nothing
    int extraFrames = 0;    // requests beyond 120 per cycle: retries hide in the time
    QString error;
};

QStringList simArgs(const char* psl, double turnaroundMs)
{
    QStringList args;
    for (int m = 1; m <= MonitorCount; ++m) {
        args << "--line"
             << QStringLiteral("com=%1,psl=%2,converter=rs485,baud=auto").arg(m).arg(psl);
        args << "--stations"
             << QStringLiteral("com=%1,ids=%2-%3").arg(m).arg((m - 1) * 10 + 1).arg(m * 10);
    }
    return args << "--frozen"
                << "--turnaround-ms" << QString::number(turnaroundMs);
}

CycleFigures measure(TPsl psl, int baud, int cycles, double turnaroundMs)
{
    CycleFigures f;
    SimProcess sim(simArgs(psl == TPsl::rtu ? "rtu" : "veln", turnaroundMs));
    if (!sim.start()) {
        f.error = sim.errorString();
        return f;
    }
    auto link = std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(sim.home()));
    TCommController engine(std::move(link));
    {
        QMutexLocker lock(&engine.model().mutex);
        for (int m = 1; m <= MonitorCount; ++m) {
            LineSettings& line = engine.model().line(m);
            line.ComPort = m;
            line.BaudRate = baud;
            line.Converter = TConverter::RS485;
            line.Psl = psl;
            for (int s = 1; s <= SlotCount; ++s)
                engine.model().station(m, s).StationId = (m - 1) * 10 + s;
        }
    }
    engine.ScanDecimalPoints();

    std::vector<double> wall;
    std::vector<double> cpu;
    for (int c = 0; c < cycles; ++c) {
        sim.clearFrames();
        const double cpu0 = bench::threadCpuMs();
        const double t0 = bench::monotonicMs();
        engine.PollCycle();
        const double elapsed = bench::monotonicMs() - t0;
        const double used = bench::threadCpuMs() - cpu0;
        wall.push_back(elapsed);
        cpu.push_back(100.0 * used / elapsed);
        const int expected = MonitorCount * SlotCount * ReadsPerSlot;
        sim.waitForFrames(0, expected + 1, 50); // a retry logs one frame more
        f.extraFrames += int(sim.frames(0).size()) - expected;
    }
    QMutexLocker lock(&engine.model().mutex);
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            if (engine.model().station(m, s).PvText.isEmpty())
                ++f.slotsWithoutPv;
    f.wallMs = bench::summarize(wall);
    f.cpuPercent = bench::summarize(cpu);
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int cycles = qMax(1, int(bench::option(args, "--cycles", 5)));
    const double turnaroundMs = bench::option(args, "--turnaround-ms", 1.0);
    const int transactions = MonitorCount * SlotCount * ReadsPerSlot;

    out() << "bench_poll_cycle: 3 lines x 10 present controllers, rs485 (no echo), simulator\n"
          << "wire timing, turnaround " << turnaroundMs << " ms; " << transactions
          << " reads per cycle, median of " << cycles << " cycles\n\n";
    const QList<int> widths = {12, 10, 10, 10, 8, 8, 7, 6};
    out() << bench::tableRow(
                 {"line", "wire ms", "cycle ms", "max ms", "ratio", "CPU %", "no PV", "extra"},
                 widths)
          << '\n';
    out().flush();

    double headline = 0;
    bool failed = false;
    for (const TPsl psl : {TPsl::rtu, TPsl::veln}) {
        for (const int baud : {38400, 9600}) {
            const QString name =
                QStringLiteral("%1 %2").arg(psl == TPsl::rtu ? "rtu" : "veln").arg(baud);
            const CycleFigures f = measure(psl, baud, cycles, turnaroundMs);
            if (!f.error.isEmpty()) {
                fprintf(stderr, "bench_poll_cycle: %s: %s\n", qPrintable(name),
                        qPrintable(f.error));
                failed = true;
                continue;
            }
            const double wire = transactions * bench::wireMs(ExchangeChars, baud, turnaroundMs);
            const double ratio = f.wallMs.median / wire;
            if (psl == TPsl::rtu && baud == 38400)
                headline = ratio;
            out() << bench::tableRow(
                         {name, bench::number(wire, 1), bench::number(f.wallMs.median, 1),
                          bench::number(f.wallMs.max, 1), bench::number(ratio, 3),
                          bench::number(f.cpuPercent.median, 2), QString::number(f.slotsWithoutPv),
                          QString::number(f.extraFrames)},
                         widths)
                  << '\n';
            out().flush();
        }
    }
    out() << "\n(wire: " << transactions << " x (15 chars x 11 bits / baud + turnaround); CPU: "
          << "this thread's CPU time per cycle\n over the cycle's wall time; no PV: slots without "
          << "a value after the last cycle; extra:\n requests beyond " << transactions
          << " per cycle, i.e. retries, over all cycles)\n\n";
    out() << "poll cycle ratio: " << bench::number(headline) << '\n';
    out().flush();
    return failed ? 1 : 0;
}
