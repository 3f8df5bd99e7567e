#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The port the kernel hands out for an ephemeral bind; free again once closed.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

MosquittoBroker::MosquittoBroker()
{
    // Debian puts the broker in /usr/sbin, which a user's PATH may not hold.
    m_bin = QStandardPaths::findExecutable(
        QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (m_bin.isEmpty())
        m_missing = QStringLiteral("no Mosquitto broker (/usr/sbin/mosquitto); scripts/deps "
                                   "installs it");
    m_port = freeLoopbackPort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

bool MosquittoBroker::requirePassword(const QString& user, const QString& password)
{
    const QString file = m_dir.path() + QStringLiteral("/passwords");
    QFile(file).remove();
    const int rc =
        QProcess::execute(QStringLiteral("mosquitto_passwd"),
                          {QStringLiteral("-c"), QStringLiteral("-b"), file, user, password});
    m_passwords = rc == 0;
    if (!m_passwords)
        m_error = QStringLiteral("mosquitto_passwd failed (%1)").arg(rc);
    return m_passwords;
}

QString MosquittoBroker::logFile() const
{
    return m_dir.path() + QStringLiteral("/broker.log");
}

QByteArray MosquittoBroker::log() const
{
    QFile file(logFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString MosquittoBroker::caFile() const
{
    return m_dir.path() + QStringLiteral("/ca.pem");
}

bool MosquittoBroker::enableTls()
{
    const QString d = m_dir.path() + QLatin1Char('/');
    QFile ext(d + QStringLiteral("server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1\n");
    ext.close();
    const QList<QStringList> steps{
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "ca.key", "-out",
         d + "ca.pem", "-days", "2", "-subj", "/CN=Quillmere test CA"},
        {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "server.key", "-out",
         d + "server.csr", "-subj", "/CN=127.0.0.1"},
        {"x509", "-req", "-in", d + "server.csr", "-CA", d + "ca.pem", "-CAkey", d + "ca.key",
         "-CAcreateserial", "-out", d + "server.pem", "-days", "2", "-extfile", d + "server.ext"}};
    for (const QStringList& step : steps) {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"), step);
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            m_error = QStringLiteral("openssl %1 failed: %2")
                          .arg(step.first(), QString::fromLocal8Bit(openssl.readAll()));
            return false;
        }
    }
    m_tlsPort = freeLoopbackPort();
    return m_tlsPort != 0;
}

bool MosquittoBroker::start()
{
    if (!m_missing.isEmpty() || !m_dir.isValid() || m_port == 0) {
        m_error = m_missing.isEmpty() ? QStringLiteral("no temporary folder or port") : m_missing;
        return false;
    }
    const QString config = m_dir.path() + QStringLiteral("/mosquitto.conf");
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) {
        m_error = f.errorString();
        return false;
    }
    QByteArray text = "listener " + QByteArray::number(m_port) + " 127.0.0.1\n" +
                      "persistence true\nautosave_interval 1\npersistence_location " +
                      QFile::encodeName(m_dir.path()) + "/\n";
    // Every packet, in a file that a kill does not cut short (it is written line by line).
    text += "log_dest file " + QFile::encodeName(logFile()) + "\nlog_type all\n";
    if (m_passwords)
        text += "allow_anonymous false\npassword_file " + QFile::encodeName(m_dir.path()) +
                "/passwords\n";
    else
        text += "allow_anonymous true\n";
    if (m_tlsPort) {
        const QByteArray d = QFile::encodeName(m_dir.path()) + "/";
        // Listener options follow their listener; the plain one is given first.
        text += "listener " + QByteArray::number(m_tlsPort) + " 127.0.0.1\ncafile " + d +
                "ca.pem\ncertfile " + d + "server.pem\nkeyfile " + d + "server.key\n";
    }
    // As root the broker would switch to its own user, who cannot enter our folder.
    if (::geteuid() == 0)
        text += "user root\n";
    f.write(text);
    f.close();
    m_process.start(m_bin, {QStringLiteral("-c"), config});
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!accepts(m_port)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("mosquitto did not listen on %1: %2")
                          .arg(m_port)
                          .arg(QString::fromLocal8Bit(m_process.readAll() + log().right(2000)));
            stop();
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

void MosquittoBroker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}
