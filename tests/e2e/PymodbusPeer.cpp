#include "PymodbusPeer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Debian's interpreter, not whatever python3 comes first on the PATH: python3-pymodbus is
// importable only there.
const QString Python = QStringLiteral("/usr/bin/python3");

void dieWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

} // namespace

PymodbusPeer::PymodbusPeer(QString home, int unit, int size, QMap<int, int> registers)
    : m_home(std::move(home)), m_unit(unit), m_size(size), m_registers(std::move(registers))
{
}

PymodbusPeer::~PymodbusPeer()
{
    stop();
}

QString PymodbusPeer::missingTool()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        return QStringLiteral("socat is not installed");
    if (!QFileInfo(Python).isExecutable())
        return QStringLiteral("%1 is not installed").arg(Python);
    QProcess probe;
    probe.start(Python, {"-c", "import pymodbus.server, serial_asyncio"});
    if (!probe.waitForFinished(20000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        return QStringLiteral("pymodbus is not importable by %1 (python3-pymodbus, "
                              "python3-serial-asyncio): %2")
            .arg(Python, QString::fromLocal8Bit(probe.readAllStandardError()).trimmed());
    return {};
}

QString PymodbusPeer::portLink() const
{
    return m_home + QStringLiteral("/ports/COM1");
}

bool PymodbusPeer::start(int timeoutMs)
{
    m_error.clear();
    const QDeadlineTimer deadline(timeoutMs);
    if (!QDir().mkpath(m_home + QStringLiteral("/ports"))) {
        m_error = QStringLiteral("cannot create %1/ports").arg(m_home);
        return false;
    }
    const QString peerLink = m_home + QStringLiteral("/peer-tty");

    m_socat.setChildProcessModifier(dieWithParent);
    // -d -d: socat names the moment it starts moving bytes, which is our readiness signal.
    m_socat.start(QStringLiteral("socat"), {"-d", "-d", "pty,raw,echo=0,link=" + peerLink,
                                            "pty,raw,echo=0,link=" + portLink()});
    QByteArray socatLog;
    if (!waitForLine(m_socat, QProcess::StandardError, "starting data transfer loop",
                     int(deadline.remainingTime()), &socatLog) ||
        !QFileInfo::exists(peerLink) || !QFileInfo::exists(portLink())) {
        m_error = QStringLiteral("socat did not come up: %1").arg(QString::fromLocal8Bit(socatLog));
        stop();
        return false;
    }
    m_heldFd = ::open(QFile::encodeName(portLink()).constData(),
                      O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_heldFd < 0) {
        m_error = QStringLiteral("cannot hold %1 open").arg(portLink());
        stop();
        return false;
    }

    QStringList args = {QStringLiteral(QUILLMERE_PYMODBUS_SERVER), "--port", peerLink};
    args += {"--unit", QString::number(m_unit), "--size", QString::number(m_size)};
    args += {"--baudrate", "38400"};
    for (auto it = m_registers.cbegin(); it != m_registers.cend(); ++it)
        args << "--register" << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
    m_server.setChildProcessModifier(dieWithParent);
    m_server.start(Python, args);
    if (!waitForLine(m_server, QProcess::StandardOutput, "pymodbus-server ready",
                     int(deadline.remainingTime()), &m_serverOut)) {
        m_error = QStringLiteral("no ready line from the server (stdout '%1', stderr '%2')")
                      .arg(QString::fromLocal8Bit(m_serverOut),
                           QString::fromLocal8Bit(m_server.readAllStandardError()));
        stop();
        return false;
    }
    m_serverOut.clear();
    return true;
}

bool PymodbusPeer::waitForLine(QProcess& process, QProcess::ProcessChannel channel,
                               const QByteArray& marker, int timeoutMs, QByteArray* seen)
{
    if (!process.waitForStarted(qMax(1, timeoutMs)))
        return false;
    process.setReadChannel(channel);
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        *seen += process.readAll();
        const qsizetype at = seen->indexOf(marker);
        if (at >= 0 && seen->indexOf('\n', at) >= 0)
            return true;
        if (deadline.hasExpired() || process.state() != QProcess::Running)
            return false;
        process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

int PymodbusPeer::registerValue(int reg)
{
    if (m_server.state() != QProcess::Running)
        return -1;
    m_server.write("get " + QByteArray::number(reg) + '\n');
    m_server.waitForBytesWritten(3000);
    m_server.setReadChannel(QProcess::StandardOutput);
    const QDeadlineTimer deadline(5000);
    qsizetype eol = -1;
    while ((eol = m_serverOut.indexOf('\n')) < 0) {
        if (deadline.hasExpired() || !m_server.waitForReadyRead(int(deadline.remainingTime())))
            return -1;
        m_serverOut += m_server.readAll();
    }
    const QByteArray line = m_serverOut.left(eol).trimmed();
    m_serverOut.remove(0, eol + 1);
    bool ok = false;
    const int value = line.startsWith("value ") ? line.mid(6).toInt(&ok) : -1;
    return ok ? value : -1;
}

void PymodbusPeer::stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(pid_t(pid), SIGTERM);
    if (!process.waitForFinished(3000)) {
        if (pid > 0)
            ::kill(pid_t(pid), SIGKILL);
        process.waitForFinished(3000);
    }
}

void PymodbusPeer::stop()
{
    stopProcess(m_server);
    stopProcess(m_socat);
    if (m_heldFd >= 0)
        ::close(m_heldFd);
    m_heldFd = -1;
}
