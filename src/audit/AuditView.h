#pragma once

#include "audit/AuditEntry.h"

#include <vector>

namespace audit {

// What the Audit Trail window shows: entries in a time range, of one kind, for one Monitor and
// slot, containing a text. Empty or zero parts do not filter.
struct AuditFilter
{
    QDateTime from; // UTC, inclusive
    QDateTime to;   // UTC, inclusive
    QString kind;
    int monitor = 0;
    int slot = 0;
    QString text; // searched in the whole line as shown, without regard to case
};

// The entries that pass, newest first.
std::vector<AuditEntry> filterEntries(const std::vector<AuditEntry>& entries,
                                      const AuditFilter& filter);
// The details as one readable line: "key: value, key: value".
QString detailsText(const AuditEntry& entry);
// Local time with its offset as the entry recorded it: "2026-12-09 16:20:01 +01:00".
QString localTimeText(const AuditEntry& entry);
// The columns of the window and of the CSV file.
QStringList columnTitles();
QStringList columns(const AuditEntry& entry);
// The entries as CSV (RFC 4180: quoted where needed, CRLF between records), the titles first.
QByteArray csvText(const std::vector<AuditEntry>& entries);

} // namespace audit
