#include "audit/AuditChain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace audit {

namespace {

// Calls onLine(bytes without newline, file name, line number, complete) for every line.
template <typename F> bool eachLine(const QString& folder, F onLine)
{
    for (const QString& name : auditFiles(folder)) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return onLine(QByteArray(), name, 0, false);
        qint64 number = 0;
        while (!f.atEnd()) {
            QByteArray line = f.readLine();
            ++number;
            const bool complete = line.endsWith('\n');
            if (complete)
                line.chop(1);
            if (!onLine(line, name, number, complete))
                return false;
        }
    }
    return true;
}

} // namespace

QStringList auditFiles(const QString& folder)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}\\.jsonl$"));
    QStringList names =
        QDir(folder).entryList({QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name);
    names.removeIf([](const QString& n) { return !pattern.match(n).hasMatch(); });
    return names;
}

QString monthFileName(const QDateTime& utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM")) + QStringLiteral(".jsonl");
}

ChainReport verifyFolder(const QString& folder)
{
    ChainReport report;
    QByteArray expected = GenesisHash;
    auto fail = [&](const QString& name, qint64 number, const QString& problem) {
        report.intact = false;
        report.file = name;
        report.line = number;
        report.problem = problem;
        return false;
    };
    eachLine(folder, [&](const QByteArray& line, const QString& name, qint64 number,
                         bool complete) {
        if (number == 0)
            return fail(name, 0, QStringLiteral("cannot be read"));
        if (!complete)
            return fail(name, number, QStringLiteral("incomplete line (no end of line)"));
        const QByteArray prev = prevOf(line);
        if (prev.isEmpty())
            return fail(name, number, QStringLiteral("not an entry"));
        if (prev != expected)
            return fail(name, number,
                        QStringLiteral(
                            "does not follow the entry before it (it names %1, the entry before "
                            "hashes to %2): that entry or this one was changed, removed or moved")
                            .arg(QString::fromLatin1(prev.left(12)),
                                 QString::fromLatin1(expected.left(12))));
        expected = lineHash(line);
        ++report.count;
        return true;
    });
    return report;
}

QString reportText(const ChainReport& report)
{
    if (report.intact)
        return QStringLiteral("chain intact: %1 entries").arg(report.count);
    return QStringLiteral("%1:%2: %3").arg(report.file).arg(report.line).arg(report.problem);
}

QByteArray lastHash(const QString& folder)
{
    const QStringList files = auditFiles(folder);
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        QFile f(QDir(folder).filePath(*it));
        if (!f.open(QIODevice::ReadOnly) || f.size() == 0)
            continue;
        // Entries are short: the last one lies within the file's tail.
        const qint64 tail = std::min<qint64>(f.size(), 1 << 20);
        f.seek(f.size() - tail);
        QByteArray bytes = f.read(tail);
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        return lineHash(bytes.mid(bytes.lastIndexOf('\n') + 1));
    }
    return GenesisHash;
}

std::vector<AuditEntry> readEntries(const QString& folder)
{
    std::vector<AuditEntry> entries;
    eachLine(folder, [&](const QByteArray& line, const QString&, qint64, bool) {
        AuditEntry e;
        if (parseLine(line, &e))
            entries.push_back(std::move(e));
        return true;
    });
    return entries;
}

} // namespace audit
