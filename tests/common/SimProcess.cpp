#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

SimProcess::SimProcess(QStringList args, QString home) : m_args(std::move(args))
{
    if (home.isEmpty()) {
        m_tempHome = std::make_unique<QTemporaryDir>();
        home = m_tempHome->path();
    }
    m_home = home;
}

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::portLink(int com) const
{
    return QStringLiteral("%1/ports/COM%2").arg(m_home).arg(com);
}

QString SimProcess::frameLogPath() const
{
    return m_home + QStringLiteral("/frames.log");
}

QString SimProcess::portLogPath() const
{
    return m_home + QStringLiteral("/ports.log");
}

bool SimProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

int SimProcess::exitCode() const
{
    return m_process.exitCode();
}

bool SimProcess::start(int timeoutMs)
{
    m_error.clear();
    m_stdout.clear();
    m_devices.clear();
    m_frameOffset = 0;
    QStringList args = m_args;
    args << QStringLiteral("--home") << m_home << QStringLiteral("--frame-log") << frameLogPath()
         << QStringLiteral("--port-log") << portLogPath();
    // A test that crashes must not leave simulators behind holding ptys.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QStringLiteral(QUILLMERE_SIM_PATH), args);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2")
                      .arg(QStringLiteral(QUILLMERE_SIM_PATH), m_process.errorString());
        return false;
    }
    QString line;
    if (!readLine(&line, timeoutMs) || !line.startsWith(QLatin1String("quillmere-sim ready"))) {
        m_error = QStringLiteral("no ready line (got '%1'); stderr: %2")
                      .arg(line, QString::fromLocal8Bit(m_process.readAllStandardError()));
        stop();
        return false;
    }
    static const QRegularExpression port(QStringLiteral("COM(\\d+)=(\\S+)"));
    for (auto it = port.globalMatch(line); it.hasNext();) {
        const auto m = it.next();
        m_devices.insert(m.captured(1).toInt(), m.captured(2));
    }
    return true;
}

bool SimProcess::readLine(QString* line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (const qsizetype eol = m_stdout.indexOf('\n'); eol >= 0) {
            *line = QString::fromUtf8(m_stdout.left(eol));
            m_stdout.remove(0, eol + 1);
            return true;
        }
        if (deadline.hasExpired() || !isRunning())
            break;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        m_stdout += m_process.readAllStandardOutput();
    }
    m_stdout += m_process.readAllStandardOutput();
    return false;
}

bool SimProcess::command(const QString& line, QString* answer, int timeoutMs)
{
    QString reply;
    if (!isRunning()) {
        m_error = QStringLiteral("simulator not running");
        return false;
    }
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(timeoutMs);
    const bool got = readLine(&reply, timeoutMs);
    if (answer)
        *answer = reply;
    if (!got) {
        m_error = QStringLiteral("no answer to '%1'").arg(line);
        return false;
    }
    if (reply.startsWith(QLatin1String("error"))) {
        m_error = reply;
        return false;
    }
    // Keep the device map true across gone/back: a line that comes back has a new pty.
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 2 && words[0] == QLatin1String("gone"))
        m_devices.remove(words[1].toInt());
    if (words.size() == 2 && words[0] == QLatin1String("back"))
        m_devices.insert(words[1].toInt(), QFileInfo(portLink(words[1].toInt())).symLinkTarget());
    return true;
}

QStringList SimProcess::frames(int com) const
{
    QStringList out;
    QFile file(frameLogPath());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_frameOffset))
        return out;
    const QByteArray text = file.readAll();
    const QByteArray wanted = "COM" + QByteArray::number(com);
    // Only whole lines: the simulator may be writing the next one right now.
    const qsizetype end = text.lastIndexOf('\n');
    for (const QByteArray& line : text.left(end + 1).split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && (com == 0 || f[1] == wanted))
            out << QString::fromLatin1(f[2]);
    }
    return out;
}

QStringList SimProcess::portEvents(int com) const
{
    QStringList out;
    QFile file(portLogPath());
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray text = file.readAll();
    const QByteArray wanted = "COM" + QByteArray::number(com);
    for (const QByteArray& line : text.left(text.lastIndexOf('\n') + 1).split('\n')) {
        const qsizetype first = line.indexOf(' ');
        const qsizetype second = line.indexOf(' ', first + 1);
        if (first > 0 && second > first && line.mid(first + 1, second - first - 1) == wanted)
            out << QString::fromUtf8(line.mid(second + 1));
    }
    return out;
}

void SimProcess::clearFrames()
{
    QFile file(frameLogPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = file.readAll();
    m_frameOffset = text.lastIndexOf('\n') + 1;
}

bool SimProcess::waitForFrames(int com, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (frames(com).size() < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(2);
    }
    return true;
}

void SimProcess::stop()
{
    if (!isRunning())
        return;
    m_process.write("quit\n");
    m_process.waitForBytesWritten(1000);
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}
