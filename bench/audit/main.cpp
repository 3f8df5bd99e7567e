// Cost of one audit entry (written and synced to the disk, as the program writes it), and the
// rate at which a folder's chain is checked. A folder of a million entries is built without
// syncing (that part is not measured) and checked the way quillmere-audit checks it.
#include "BenchFigures.h"
#include "audit/AuditChain.h"
#include "audit/AuditLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QJsonObject writeDetails(int i)
{
    return {{QStringLiteral("source"), QStringLiteral("Set Controller")},
            {QStringLiteral("monitor"), 1 + i % 3},
            {QStringLiteral("slot"), 1 + i % 10},
            {QStringLiteral("station"), 1 + i % 10},
            {QStringLiteral("code"), 0},
            {QStringLiteral("parameter"), QStringLiteral("SV")},
            {QStringLiteral("text"), QString::number(100 + i % 500)},
            {QStringLiteral("word"),
             QStringLiteral("0x%1").arg(1000 + i % 5000, 4, 16, QLatin1Char('0'))},
            {QStringLiteral("result"), QStringLiteral("confirmed")}};
}

// A million entries over two months' files, chained as the log chains them.
void buildFolder(const QString& folder, int count)
{
    QDir().mkpath(folder);
    audit::AuditEntry e;
    e.offset = QStringLiteral("+01:00");
    e.host = QStringLiteral("furnace-pc");
    e.user = QStringLiteral("operator");
    e.kind = audit::kind::Write;
    e.prev = audit::GenesisHash;
    const QDateTime start(QDate(2026, 11, 1), QTime(0, 0), Qt::UTC);
    QFile out;
    QString openName;
    for (int i = 0; i < count; ++i) {
        e.utc = start.addSecs(qint64(i) * 5);
        e.details = writeDetails(i);
        const QString name = audit::monthFileName(e.utc);
        if (name != openName) {
            out.close();
            out.setFileName(QDir(folder).filePath(name));
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            openName = name;
        }
        const QByteArray line = audit::entryLine(e);
        out.write(line);
        out.write("\n");
        e.prev = audit::lineHash(line);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int appends = int(bench::option(args, QStringLiteral("--appends"), 10000));
    const int verified = int(bench::option(args, QStringLiteral("--verify"), 1000000));
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/bench-audit-XXXXXX"));

    audit::AuditLog log(tmp.filePath(QStringLiteral("append")));
    std::vector<double> samples;
    samples.reserve(std::size_t(appends));
    for (int i = 0; i < appends; ++i) {
        const double t0 = bench::monotonicMs();
        if (!log.record(audit::kind::Write, writeDetails(i))) {
            std::fprintf(stderr, "append failed: %s\n", qPrintable(log.lastError()));
            return 1;
        }
        samples.push_back(bench::monotonicMs() - t0);
    }
    const bench::Summary s = bench::summarize(samples);
    std::printf("append with fdatasync: %d entries, median %s ms, mean %s ms, max %s ms\n", s.count,
                qPrintable(bench::number(s.median)), qPrintable(bench::number(s.mean)),
                qPrintable(bench::number(s.max)));

    const QString big = tmp.filePath(QStringLiteral("verify"));
    buildFolder(big, verified);
    const double t0 = bench::monotonicMs();
    const audit::ChainReport report = audit::verifyFolder(big);
    const double ms = bench::monotonicMs() - t0;
    std::printf("verify: %s in %s ms, %s entries/s\n", qPrintable(audit::reportText(report)),
                qPrintable(bench::number(ms, 0)),
                qPrintable(bench::number(report.count / (ms / 1000.0), 0)));
    std::printf("audit append ms: %s\n", qPrintable(bench::number(s.median)));
    return report.intact ? 0 : 1;
}
