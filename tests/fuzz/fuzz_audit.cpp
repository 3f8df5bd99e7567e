// An audit trail folder as an auditor may hand it on, edited or cut short: two month files (the
// input up to its first NUL byte, and the rest), checked, read back and shown as the Audit
// Trail window and quillmere-audit do.
#include "FuzzInput.h"
#include "audit/AuditChain.h"
#include "audit/AuditView.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = input.indexOf('\0');
    const QByteArray first = cut < 0 ? input : input.left(cut);
    const QByteArray second = cut < 0 ? QByteArray() : input.mid(cut + 1);
    const QString older = QDir(dir.path()).filePath(QStringLiteral("2026-11.jsonl"));
    const QString newer = QDir(dir.path()).filePath(QStringLiteral("2026-12.jsonl"));
    writeInput(older, first);
    QFile::remove(newer);
    if (cut >= 0)
        writeInput(newer, second);

    const audit::ChainReport report = audit::verifyFolder(dir.path());
    // An intact chain counts every line: each one ends in a newline and links to the one before.
    if (report.intact && report.count != first.count('\n') + second.count('\n'))
        abort();
    (void)audit::reportText(report);
    if (audit::lastHash(dir.path()).size() != 64)
        abort();

    const std::vector<audit::AuditEntry> entries = audit::readEntries(dir.path());
    for (const audit::AuditEntry& entry : entries) {
        (void)audit::columns(entry);
        (void)audit::monthFileName(entry.utc);
    }
    audit::AuditFilter filter;
    filter.text = QStringLiteral("a");
    filter.monitor = 1;
    (void)audit::filterEntries(entries, filter);
    (void)audit::csvText(entries);
    return 0;
}
