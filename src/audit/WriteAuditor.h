#pragma once

#include "engine/WriteRequest.h"

#include <QObject>
#include <map>

class TCommController;

namespace audit {

class AuditLog;

// Records every controller write with where it came from and what became of it. Connected to
// the engine before any window that reports writes, so that each result is on the disk before
// a window shows it. Posters name their writes right after RequestWrite.
class WriteAuditor : public QObject
{
    Q_OBJECT

public:
    WriteAuditor(AuditLog& log, TCommController& engine, QObject* parent = nullptr);

    // `source`: "Set Controller" or the recipe's name; `parameter`: the parameter's name.
    void posted(quint64 id, const QString& source, const QString& parameter);
    // A write the poster refused before it reached the engine.
    void refused(const QString& source, const QString& parameter, const PendingWrite& write,
                 int station, const QString& reason);

private:
    void result(const WriteResult& result);
    void record(const QString& source, const QString& parameter, const WriteResult& result);

    struct Poster
    {
        QString source;
        QString parameter;
        PendingWrite write; // as sent: the read-back's result names only its slot
    };
    AuditLog& m_log;
    TCommController& m_engine;
    std::map<quint64, Poster> m_posters;
};

} // namespace audit
