#pragma once

#include "audit/AuditEntry.h"

#include <vector>

class QPagedPaintDevice;

// The trail as shown, on any paged device (a printer, or a PDF file): landscape, the plant's
// title, the range and the chain's state at the top, one entry a line, and on the last page a
// line for the reviewer's name, signature and date. Raises when the device cannot be painted on.
void printAuditTrail(QPagedPaintDevice& device, const QString& plantTitle, const QString& range,
                     const QString& chainState, const std::vector<audit::AuditEntry>& entries);
