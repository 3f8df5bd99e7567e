#include "PostgresServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

PostgresServer::PostgresServer()
    // A name of our own: the application's name may hold blanks, which the socket folder
    // option of the server does not take.
    : m_dir(QDir::tempPath() + QStringLiteral("/quillmere-pg-XXXXXX"))
{
    // Debian keeps the server tools out of PATH, one folder per major version.
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString& version : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(bin + QStringLiteral("/initdb")) &&
            QFile::exists(bin + QStringLiteral("/pg_ctl"))) {
            m_bin = bin;
            break;
        }
    }
    if (m_bin.isEmpty())
        m_missing = QStringLiteral("no PostgreSQL server (initdb, pg_ctl) in /usr/lib/postgresql");
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres && QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
        m_missing = QStringLiteral("running as root, but runuser is missing");
}

PostgresServer::~PostgresServer()
{
    stop();
}

bool PostgresServer::run(const QString& tool, const QStringList& args, int timeoutMs)
{
    QString program = m_bin + QLatin1Char('/') + tool;
    QStringList arguments = args;
    if (m_asPostgres) {
        arguments.prepend(program);
        arguments =
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} +
            arguments;
        program = QStringLiteral("runuser");
    }
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        m_error =
            QStringLiteral("%1 failed: %2%3")
                .arg(tool, process.errorString(), QString::fromLocal8Bit(": " + process.readAll()));
        return false;
    }
    return true;
}

bool PostgresServer::start()
{
    if (!m_missing.isEmpty() || !m_dir.isValid()) {
        m_error = m_missing.isEmpty() ? QStringLiteral("no temporary folder") : m_missing;
        return false;
    }
    if (m_asPostgres) {
        // The server user must own its folder; root reaches the socket in it anyway.
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:"), m_dir.path()});
    }
    // Trust on the private socket only: no TCP port is opened at all.
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), dataFolder(), QStringLiteral("-U"), user(),
              QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--no-locale"), QStringLiteral("--no-sync")}))
        return false;
    if (!resume())
        return false;
    watchOverTheTest();
    return run(QStringLiteral("createdb"),
               {QStringLiteral("-h"), host(), QStringLiteral("-p"), QString::number(port()),
                QStringLiteral("-U"), user(), database()});
}

bool PostgresServer::resume()
{
    const QString options =
        QStringLiteral(
            "-k %1 -p %2 -c listen_addresses= -c fsync=off -c client_min_messages=warning")
            .arg(host())
            .arg(port());
    if (!run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), dataFolder(), QStringLiteral("-o"), options,
              QStringLiteral("-l"), m_dir.path() + QStringLiteral("/server.log"),
              QStringLiteral("-w"), QStringLiteral("start")}))
        return false;
    m_running = true;
    return true;
}

bool PostgresServer::freeze(bool frozen)
{
    QFile pidFile(dataFolder() + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray postmaster = pidFile.readLine().trimmed();
    QList<int> pids{postmaster.toInt()};
    // Its children: the backends, one per connection.
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == postmaster)
            pids << entry.toInt();
    }
    for (int pid : pids)
        ::kill(pid, frozen ? SIGSTOP : SIGCONT);
    return pids.first() > 0;
}

void PostgresServer::watchOverTheTest()
{
    // A test that crashes or aborts never runs the destructor: a watcher outside it stops the
    // server once the test's process is gone. It runs as the test's user, who may signal the
    // test process (the server user may not), and leaves the server to its own user.
    QString stop = QStringLiteral("'%1/pg_ctl' -D '%2' -m immediate stop").arg(m_bin, dataFolder());
    if (m_asPostgres)
        stop = QStringLiteral("runuser -u postgres -- ") + stop;
    const QString script =
        QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                       "[ -f '%2/postmaster.pid' ] && %3 >/dev/null 2>&1; rm -rf '%4'")
            .arg(QCoreApplication::applicationPid())
            .arg(dataFolder(), stop, m_dir.path());
    QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), script});
}

bool PostgresServer::restart()
{
    // pg_ctl restart keeps the options the server was started with.
    return run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), dataFolder(), QStringLiteral("-m"), QStringLiteral("fast"),
                QStringLiteral("-w"), QStringLiteral("restart")});
}

void PostgresServer::stop()
{
    if (!m_running)
        return;
    m_running = false;
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), dataFolder(), QStringLiteral("-m"), QStringLiteral("immediate"),
         QStringLiteral("-w"), QStringLiteral("stop")});
}

QString PostgresServer::iniSection(const QString& name) const
{
    return QStringLiteral("[%1]\nDriver=QPSQL\nDatabase=%2\nHost=%3\nPort=%4\nUser=%5\n"
                          "Password=\nOptions=\n")
        .arg(name, database(), host())
        .arg(port())
        .arg(user());
}
