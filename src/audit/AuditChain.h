#pragma once

#include "audit/AuditEntry.h"

#include <QStringList>
#include <vector>

namespace audit {

// The month's files of a folder, oldest first ("2026-12.jsonl").
QStringList auditFiles(const QString& folder);
QString monthFileName(const QDateTime& utc);

// What a check of a folder found: the count of good lines, or the first broken link.
struct ChainReport
{
    bool intact = true;
    qint64 count = 0;
    QString file;    // the file of the first broken line
    qint64 line = 0; // its line number, from 1
    QString problem; // why it breaks the chain
};

ChainReport verifyFolder(const QString& folder);
// "chain intact: <n> entries" or "<file>:<line>: <problem>".
QString reportText(const ChainReport& report);

// The hash the next line must name: that of the last line of the newest file, or the genesis
// hash for an empty folder.
QByteArray lastHash(const QString& folder);

// Every entry of the folder that parses, oldest first.
std::vector<AuditEntry> readEntries(const QString& folder);

} // namespace audit
