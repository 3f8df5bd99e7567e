// What one link transaction costs on top of the wire: reads of PV against the simulator's
// wire timing at 38400 and 9600 bit/s, mbpoll (libmodbus) polling the same controller as a
// peer, the deadline of a read that gets no answer, has no port to go to or finds the port
// locked, and the look through /proc for other holders of a device.
//
// Usage: bench_link [--count N] [--turnaround-ms MS] [--silent N]

#include "BenchFigures.h"
#include "SimProcess.h"
#include "link/FrameCodec.h"
#include "link/NativeSerialIo.h"
#include "link/PosixTtySystem.h"
#include "link/TRs485Comm.h"
#include "link/UucpLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int Station = 1;
constexpr TAddress CodePv = 138;
constexpr int Pv = 250;
constexpr int RequestChars = 8; // rtu read request
constexpr int ReplyChars = 7;   // rtu reply to one register, no echo
constexpr int ReadByteTimeoutMs = 12;
constexpr int Repeats = 3; // mbpoll runs per figure; their median is taken

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct LinkFigures
{
    bench::Summary txMs;
    int failures = 0;
};

struct PeerFigures
{
    bool available = false;
    QString error;
    double perTxMs = 0; // marginal: the run of many minus the run of one, per transaction
    int failures = 0;
};

std::unique_ptr<TRs485Comm> makeLink(const SimProcess& sim, int baud)
{
    auto link = std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(sim.home()));
    link->ComPort = 1;
    link->BaudRate = quint16(baud);
    link->Psl = TPsl::rtu;
    link->Converter = TConverter::RS485;
    // One attempt per sample: a failure is counted, not hidden in the time of a retry.
    link->ReadRetry = 0;
    return link;
}

LinkFigures measureReceive(TRs485Comm& link, int count)
{
    for (int i = 0; i < 10; ++i) // page in the code and the simulator's line thread
        link.Receive(Station, CodePv);
    LinkFigures f;
    std::vector<double> samples;
    samples.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const double t0 = bench::monotonicMs();
        const bool ok = link.Receive(Station, CodePv);
        samples.push_back(bench::monotonicMs() - t0);
        if (!ok || link.ReceivedText().toInt() != Pv)
            ++f.failures;
    }
    f.txMs = bench::summarize(samples);
    return f;
}

// One mbpoll process reading PV `transactions` times in a row; its wall time in ms, or a
// negative number when it could not run.
double runMbpoll(const QString& program, const QString& device, int baud, int transactions,
                 int* answered, QString* error)
{
    *answered = 0;
    QStringList stations;
    for (int i = 0; i < transactions; ++i)
        stations << QString::number(Station);
    // One process, one open port, an address list polled once: libmodbus' own cost per
    // transaction, without mbpoll's 10 ms minimum poll period.
    QStringList args = {"-m", "rtu", "-0", "-1", "-r", QString::number(CodePv)};
    args += {"-b", QString::number(baud), "-P", "none", "-o", "1"};
    args += {"-a", stations.join(QLatin1Char(',')), device};
    QProcess process;
    const double t0 = bench::monotonicMs();
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        *error = process.errorString();
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const double wall = bench::monotonicMs() - t0;
    const QByteArray expected = "[" + QByteArray::number(CodePv) + "]: \t" + QByteArray::number(Pv);
    *answered = int(process.readAllStandardOutput().count(expected));
    return wall;
}

PeerFigures measureMbpoll(const SimProcess& sim, int baud, int count)
{
    PeerFigures f;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (program.isEmpty()) {
        f.error = QStringLiteral("mbpoll not found (scripts/deps installs it)");
        return f;
    }
    std::vector<double> single;
    std::vector<double> many;
    for (int r = 0; r < Repeats; ++r) {
        int answered = 0;
        const double one = runMbpoll(program, sim.portLink(1), baud, 1, &answered, &f.error);
        f.failures += 1 - answered;
        const double all = runMbpoll(program, sim.portLink(1), baud, count, &answered, &f.error);
        f.failures += count - answered;
        if (one < 0 || all < 0)
            return f;
        single.push_back(one);
        many.push_back(all);
    }
    f.available = true;
    f.perTxMs = (bench::summarize(many).median - bench::summarize(single).median) / (count - 1);
    return f;
}

// The phases of one Receive, timed on the serial facility itself (its port kept open, as the
// link keeps it), and next to them what an open and close around every transaction would
// add: the lock file QSerialPort takes for every open, and the bare device calls (on a pty;
// a USB adapter's last close sleeps 100 ms or more on top). Each reference sample is
// followed by a pause as long as the exchange, so that it meets the same cold caches and
// idle CPU as a transaction does.
struct Phase
{
    QString name;
    std::vector<double> samples;
};

std::vector<Phase> measurePhases(const SimProcess& sim, int baud, int count, double wire)
{
    comm::NativeSerialIo io(sim.home());
    const comm::FrameCodec& codec = comm::FrameCodec::forProtocol(TPsl::rtu);
    const QByteArray request = codec.readRequest(Station, CodePv);
    const comm::SerialSettings settings{baud, 8, 1, 1};
    std::vector<Phase> p = {{"start (flush queues)", {}},
                            {"write request", {}},
                            {"wait for reply", {}},
                            {"per-tx open+close: lock", {}},
                            {"  bare device calls", {}}};
    const auto pause = [wire] { QThread::usleep(qulonglong(wire * 1000)); };
    const QByteArray device = QFile::encodeName(sim.device(1));
    const QString lockPath = QStringLiteral("/var/lock/LCK..bench_link_%1").arg(getpid());
    for (int i = 0; i < count; ++i) {
        const double t0 = bench::monotonicMs();
        io.open(1, settings);
        const double t1 = bench::monotonicMs();
        io.write(request, int(request.size()) * 7);
        const double t2 = bench::monotonicMs();
        io.read(codec.replyLength(), codec.replyLength() * ReadByteTimeoutMs);
        const double t3 = bench::monotonicMs();
        p[0].samples.push_back(t1 - t0);
        p[1].samples.push_back(t2 - t1);
        p[2].samples.push_back(t3 - t2);
    }
    // The references open the device themselves: not while the facility has it.
    io.close();
    for (int i = 0; i < count; ++i) {
        pause();
        const double l0 = bench::monotonicMs();
        {
            QLockFile lock(lockPath); // what QSerialPort::open creates and close removes
            lock.tryLock(0);
        }
        p[3].samples.push_back(bench::monotonicMs() - l0);

        pause();
        const double d0 = bench::monotonicMs();
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::ioctl(fd, TIOCEXCL);
            termios tio{};
            ::tcgetattr(fd, &tio);
            ::cfmakeraw(&tio);
            ::cfsetspeed(&tio, B38400);
            tio.c_cflag |= PARENB | PARODD | CLOCAL;
            ::tcsetattr(fd, TCSANOW, &tio);
            ::tcgetattr(fd, &tio);
            ::tcflush(fd, TCIFLUSH);
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        }
        p[4].samples.push_back(bench::monotonicMs() - d0);
    }
    return p;
}

void printPhases(const std::vector<Phase>& phases, double wire)
{
    const QList<int> widths = {24, 9, 9, 9};
    out() << bench::tableRow({"one Receive at 38400", "median", "mean", "max"}, widths) << '\n';
    for (const Phase& phase : phases) {
        const bench::Summary s = bench::summarize(phase.samples);
        out() << bench::tableRow({phase.name, bench::number(s.median, 3), bench::number(s.mean, 3),
                                  bench::number(s.max, 3)},
                                 widths)
              << '\n';
    }
    out() << "(wire time of the exchange: " << bench::number(wire, 3)
          << " ms; the link no longer opens and closes per\n"
             " transaction; for comparison, lock: QLockFile in /var/lock as QSerialPort takes it;\n"
             " bare: open, TIOCEXCL, termios, flush, close on the device without Qt)\n\n";
}

QStringList simArgs(double turnaroundMs)
{
    return {"--line",
            "com=1,psl=rtu,converter=rs485,baud=auto",
            "--station",
            QStringLiteral("com=1,id=%1,pv=%2").arg(Station).arg(Pv),
            "--frozen",
            "--turnaround-ms",
            QString::number(turnaroundMs)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = qMax(2, int(bench::option(args, "--count", 200)));
    const int silentCount = qMax(1, int(bench::option(args, "--silent", 20)));
    const double turnaroundMs = bench::option(args, "--turnaround-ms", 1.0);

    SimProcess sim(simArgs(turnaroundMs));
    if (!sim.start()) {
        fprintf(stderr, "bench_link: %s\n", qPrintable(sim.errorString()));
        return 1;
    }

    out() << "bench_link: rtu, rs485 (no echo), PV reads of station " << Station
          << ", simulator wire timing, turnaround " << turnaroundMs << " ms, " << count
          << " transactions per figure\n\n";
    const QList<int> widths = {24, 9, 9, 9, 9, 9, 8, 7};
    out() << bench::tableRow(
                 {"transaction", "wire ms", "median", "mean", "max", "ratio", "tx/s", "failed"},
                 widths)
          << '\n';

    double ratio38400 = 0;
    for (const int baud : {38400, 9600}) {
        const double wire = bench::wireMs(RequestChars + ReplyChars, baud, turnaroundMs);
        auto link = makeLink(sim, baud);
        const LinkFigures ours = measureReceive(*link, count);
        link.reset(); // the port is ours while the link lives: mbpoll needs it now
        const double ratio = ours.txMs.median / wire;
        if (baud == 38400)
            ratio38400 = ratio;
        out() << bench::tableRow({QStringLiteral("Receive %1").arg(baud), bench::number(wire),
                                  bench::number(ours.txMs.median), bench::number(ours.txMs.mean),
                                  bench::number(ours.txMs.max), bench::number(ratio, 3),
                                  bench::number(1000.0 / ours.txMs.mean, 1),
                                  QString::number(ours.failures)},
                                 widths)
              << '\n';
        const PeerFigures peer = measureMbpoll(sim, baud, count);
        if (!peer.available) {
            out() << QStringLiteral("mbpoll %1: not measured: %2\n").arg(baud).arg(peer.error);
            continue;
        }
        out() << bench::tableRow(
                     {QStringLiteral("mbpoll %1").arg(baud), bench::number(wire),
                      bench::number(peer.perTxMs), "", "", bench::number(peer.perTxMs / wire, 3),
                      bench::number(1000.0 / peer.perTxMs, 1), QString::number(peer.failures)},
                     widths)
              << '\n';
    }
    out() << "(mbpoll: one process polling an address list; its time per transaction is the\n"
             " run of "
          << count << " minus the run of one, divided by " << count - 1 << ", median of " << Repeats
          << " runs each)\n\n";
    out().flush();

    const double wire38400 = bench::wireMs(RequestChars + ReplyChars, 38400, turnaroundMs);
    printPhases(measurePhases(sim, 38400, count, wire38400), wire38400);
    out().flush();

    // A silent controller: the attempt must cost its read deadline and no more.
    const int readChars = ReplyChars;
    const double deadlineMs = readChars * ReadByteTimeoutMs;
    if (!sim.command(QStringLiteral("fault 1 %1 silent").arg(Station))) {
        fprintf(stderr, "bench_link: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    auto link = makeLink(sim, 38400);
    std::vector<double> silent;
    int answered = 0;
    for (int i = 0; i < silentCount; ++i) {
        const double t0 = bench::monotonicMs();
        answered += link->Receive(Station, CodePv) ? 1 : 0;
        silent.push_back(bench::monotonicMs() - t0);
    }
    const bench::Summary s = bench::summarize(silent);
    link.reset();

    // A port whose adapter has gone: the attempt costs the same deadline, no more, no less.
    QDir(sim.home()).mkpath(QStringLiteral("ports"));
    QFile::link(sim.home() + QStringLiteral("/unplugged"), sim.portLink(7));
    auto dead = makeLink(sim, 38400);
    dead->ComPort = 7;
    std::vector<double> missing;
    for (int i = 0; i < silentCount; ++i) {
        const double t0 = bench::monotonicMs();
        dead->Receive(Station, CodePv);
        missing.push_back(bench::monotonicMs() - t0);
    }
    const bench::Summary d = bench::summarize(missing);
    dead.reset();

    // A port another program holds (a lock file of process 1, which is always alive): the
    // attempt costs the same deadline, and the checks are made once in 2 s, not per attempt.
    const QString device = QFileInfo(sim.device(1)).canonicalFilePath();
    QFile foreignLock(comm::lockFolders().value(0) + QLatin1Char('/') + comm::lockFileName(device));
    std::vector<double> refused;
    if (foreignLock.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        foreignLock.write("         1 bench_link\n");
        foreignLock.close();
        auto locked = makeLink(sim, 38400);
        for (int i = 0; i < silentCount; ++i) {
            const double t0 = bench::monotonicMs();
            locked->Receive(Station, CodePv);
            refused.push_back(bench::monotonicMs() - t0);
        }
        foreignLock.remove();
    }
    const bench::Summary r = bench::summarize(refused.empty() ? std::vector<double>{0} : refused);

    // The look through every process's descriptors for holders of a device, done once per
    // open (and once per 2 s for a refused port).
    comm::PosixTtySystem system;
    struct stat st
    {
    };
    ::stat(QFile::encodeName(device).constData(), &st);
    int descriptors = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
        descriptors += QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::System).size();
    std::vector<double> scans;
    for (int i = 0; i < 20; ++i) {
        const double t0 = bench::monotonicMs();
        system.holders(device, st.st_rdev);
        scans.push_back(bench::monotonicMs() - t0);
    }
    const bench::Summary h = bench::summarize(scans);
    out() << bench::tableRow({"silent attempt", "N x 12", "median", "mean", "max", "ratio",
                              "excess", "answered"},
                             widths)
          << '\n'
          << bench::tableRow({QStringLiteral("N = %1, %2 tries").arg(readChars).arg(silentCount),
                              bench::number(deadlineMs), bench::number(s.median),
                              bench::number(s.mean), bench::number(s.max),
                              bench::number(s.median / deadlineMs, 3),
                              bench::number(s.median - deadlineMs), QString::number(answered)},
                             widths)
          << '\n'
          << bench::tableRow({QStringLiteral("no port, %1 tries").arg(silentCount),
                              bench::number(deadlineMs), bench::number(d.median),
                              bench::number(d.mean), bench::number(d.max),
                              bench::number(d.median / deadlineMs, 3),
                              bench::number(d.median - deadlineMs), QStringLiteral("0")},
                             widths)
          << '\n'
          << bench::tableRow({QStringLiteral("port locked, %1 tries").arg(refused.size()),
                              bench::number(deadlineMs), bench::number(r.median),
                              bench::number(r.mean), bench::number(r.max),
                              bench::number(r.median / deadlineMs, 3),
                              bench::number(r.median - deadlineMs), QStringLiteral("0")},
                             widths)
          << "\n\n"
          << "holder scan of /proc/*/fd: median " << bench::number(h.median) << " ms, max "
          << bench::number(h.max) << " ms over " << descriptors << " descriptors\n\n";

    out() << "link overhead ratio: " << bench::number(ratio38400) << '\n';
    out().flush();
    sim.stop();
    return 0;
}
