#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

namespace audit {

// The file operations an entry goes through, so that a test can see their order and make
// them fail. The defaults are write(2) in a loop and fdatasync(2).
struct AuditFileOps
{
    std::function<bool(int fd, const QByteArray& bytes)> write;
    std::function<bool(int fd)> sync;
};
AuditFileOps systemFileOps();

// Appends entries to <folder>/YYYY-MM.jsonl (the month in UTC), each line naming the hash of
// the line before, and returns only once the entry is on the disk: the caller reports its
// action done after record() returns.
class AuditLog : public QObject
{
    Q_OBJECT

public:
    explicit AuditLog(const QString& folder, QObject* parent = nullptr);

    bool record(const QString& kind, const QJsonObject& details);

    QString folder() const { return m_folder; }
    QString lastError() const { return m_lastError; }

    void setFileOps(AuditFileOps ops) { m_ops = std::move(ops); }
    void setClock(std::function<QDateTime()> utcNow) { m_utcNow = std::move(utcNow); }
    // Who and where, read once: neither changes while the program runs.
    void setIdentity(const QString& host, const QString& user);

signals:
    // After the entry is on the disk: the line without its newline.
    void recorded(const QByteArray& line);
    // An entry could not be written; the text says why.
    void failed(const QString& error);

private:
    enum class Outcome { Synced, SyncFailed, WriteFailed };
    Outcome append(const QString& path, const QByteArray& bytes);

    QString m_folder;
    QString m_host;
    QString m_user;
    QByteArray m_lastHash;
    bool m_needsNewline = false;
    QString m_lastError;
    AuditFileOps m_ops;
    std::function<QDateTime()> m_utcNow;
};

} // namespace audit
