#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throw-away PostgreSQL server for a test: initdb and pg_ctl of the installed server in a
// temporary folder, listening only on a Unix socket in that folder, one database made for the
// test. Stopped (immediately) and removed when the object goes, so a failing test leaves no
// server behind. As root (CI) the server runs as the "postgres" user, since initdb refuses
// root.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Empty when the server binaries are installed; otherwise why a test must skip.
    QString missingReason() const { return m_missing; }

    // Creates the cluster and the database and starts the server; false with errorString().
    bool start();
    // Stops the server the way an administrator's restart does and starts it again: clients
    // lose their connections.
    bool restart();
    void stop();
    // After stop(): the same server, with its databases, up again.
    bool resume();
    // The server and every backend stopped (SIGSTOP) or let go on (SIGCONT): a server that
    // hangs while its host's kernel still answers for it.
    bool freeze(bool frozen);
    QString errorString() const { return m_error; }

    // The connection: host is the socket folder.
    QString host() const { return m_dir.path(); }
    int port() const { return 5432; }
    QString database() const { return QStringLiteral("quillmere"); }
    QString user() const { return QStringLiteral("quillmere"); }

    // A databases.ini section [name] pointing at this server.
    QString iniSection(const QString& name) const;

private:
    void watchOverTheTest();
    bool run(const QString& tool, const QStringList& args, int timeoutMs = 60000);
    QString dataFolder() const { return m_dir.path() + QStringLiteral("/data"); }

    QString m_bin;
    QString m_missing;
    QString m_error;
    QTemporaryDir m_dir;
    bool m_asPostgres = false;
    bool m_running = false;
};
