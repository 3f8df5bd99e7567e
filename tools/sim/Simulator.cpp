#include "Simulator.h"

#include <QDir>
#include <QRegularExpression>
#include <QtGlobal>

#include <random>

namespace sim {

namespace {

struct CommandError
{
    QString text;
};

int number(const QString& text, const char* what, int lo, int hi)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        throw CommandError{QStringLiteral("%1 '%2' is not a number from %3 to %4")
                               .arg(QLatin1String(what), text)
                               .arg(lo)
                               .arg(hi)};
    return v;
}

void expectWords(const QStringList& w, qsizetype lo, qsizetype hi, const char* usage)
{
    if (w.size() < lo || w.size() > hi)
        throw CommandError{QStringLiteral("usage: %1").arg(QLatin1String(usage))};
}

// Each controller gets its own noise stream, reproducible for a given --seed.
quint64 controllerSeed(quint64 seed, int com, int id)
{
    std::seed_seq seq{quint32(seed), quint32(seed >> 32), quint32(com), quint32(id)};
    quint32 out[2];
    seq.generate(out, out + 2);
    return quint64(out[0]) << 32 | out[1];
}

int signed16(quint16 v)
{
    return v >= 0x8000 ? int(v) - 0x10000 : int(v);
}

} // namespace

Simulator::Simulator(SimOptions options)
    : m_options(std::move(options)), m_start(Clock::now()), m_log(m_start), m_portLog(m_start)
{
    if (m_options.home.isEmpty())
        m_options.home = qEnvironmentVariable("QUILLMERE_HOME");
    if (m_options.home.isEmpty())
        m_options.home = QDir::currentPath();
    m_options.home = QDir(m_options.home).absolutePath();

    const SimLine::Timing timing{m_options.wireTiming, m_options.turnaroundMs};
    for (const LineConfig& lc : m_options.lines) {
        auto line = std::make_unique<SimLine>(lc, timing, m_log, m_portLog);
        for (const StationConfig& st : m_options.stations) {
            if (st.com != lc.com)
                continue;
            ControllerModel::Settings s;
            s.id = st.id;
            s.registers = st.registers;
            s.modelOn = st.model.value_or(!m_options.frozen);
            s.timeConstantS = st.timeConstantS.value_or(m_options.timeConstantS);
            s.seed = controllerSeed(m_options.seed, lc.com, st.id);
            line->addController(s, m_start);
        }
        m_lines.push_back(std::move(line));
    }
}

Simulator::~Simulator()
{
    stop();
}

QString Simulator::linkPath(int com) const
{
    return QStringLiteral("%1/ports/COM%2").arg(m_options.home).arg(com);
}

SimLine* Simulator::line(int com) const
{
    for (const auto& l : m_lines)
        if (l->com() == com)
            return l.get();
    throw CommandError{QStringLiteral("no line COM%1").arg(com)};
}

bool Simulator::start(QString* error)
{
    if (!m_log.open(m_options.frameLog, error) || !m_portLog.open(m_options.portLog, error))
        return false;
    for (const auto& l : m_lines) {
        QString why;
        if (!l->goOnline(linkPath(l->com()), &why)) {
            if (error)
                *error = QStringLiteral("COM%1: %2").arg(l->com()).arg(why);
            stop();
            return false;
        }
    }
    return true;
}

void Simulator::stop()
{
    for (const auto& l : m_lines)
        l->goOffline();
}

QString Simulator::readyLine() const
{
    QString text = QStringLiteral("quillmere-sim ready");
    for (const auto& l : m_lines)
        text += QStringLiteral(" COM%1=%2").arg(l->com()).arg(l->device());
    return text;
}

QString Simulator::execute(const QString& command, bool* quit)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList w = command.split(space, Qt::SkipEmptyParts);
    if (w.isEmpty() || w.front().startsWith(QLatin1Char('#')))
        return {};
    const QString& verb = w.front();
    try {
        if (verb == QLatin1String("quit")) {
            expectWords(w, 1, 1, "quit");
            *quit = true;
            return QStringLiteral("ok");
        }
        if (verb == QLatin1String("gone") || verb == QLatin1String("back")) {
            expectWords(w, 2, 2, "gone|back <com>");
            SimLine* l = line(number(w[1], "COM", 1, 9));
            if (verb == QLatin1String("gone")) {
                if (!l->isOnline())
                    throw CommandError{QStringLiteral("COM%1 is already gone").arg(l->com())};
                l->goOffline();
                return QStringLiteral("ok");
            }
            if (l->isOnline())
                throw CommandError{QStringLiteral("COM%1 is not gone").arg(l->com())};
            QString why;
            if (!l->goOnline(linkPath(l->com()), &why))
                throw CommandError{why};
            return QStringLiteral("ok");
        }
        if (verb == QLatin1String("set")) {
            expectWords(w, 5, 5, "set <com> <id> <code> <value>");
            SimLine* l = line(number(w[1], "COM", 1, 9));
            const int id = number(w[2], "ID", 0, 65535);
            const int code = number(w[3], "code", 0, 255);
            const int value = number(w[4], "value", -32768, 65535);
            if (!l->setRegister(id, code, quint16(value)))
                throw CommandError{QStringLiteral("no station %1 on COM%2").arg(id).arg(l->com())};
            return QStringLiteral("ok");
        }
        if (verb == QLatin1String("get")) {
            expectWords(w, 4, 4, "get <com> <id> <code>");
            SimLine* l = line(number(w[1], "COM", 1, 9));
            const int id = number(w[2], "ID", 0, 65535);
            const auto v = l->getRegister(id, number(w[3], "code", 0, 255));
            if (!v)
                throw CommandError{QStringLiteral("no station %1 on COM%2").arg(id).arg(l->com())};
            return QStringLiteral("value %1").arg(signed16(*v));
        }
        if (verb == QLatin1String("fault")) {
            static const char* usage =
                "fault <com> <id> silent|badcrc|short|long|late <ms>|swapcrc|none [count]";
            expectWords(w, 4, 6, usage);
            SimLine* l = line(number(w[1], "COM", 1, 9));
            const int id = number(w[2], "ID", 0, 65535);
            static const std::map<QString, FaultKind> kinds = {
                {QStringLiteral("silent"), FaultKind::Silent},
                {QStringLiteral("badcrc"), FaultKind::BadCrc},
                {QStringLiteral("short"), FaultKind::Short},
                {QStringLiteral("long"), FaultKind::Long},
                {QStringLiteral("late"), FaultKind::Late},
                {QStringLiteral("swapcrc"), FaultKind::SwapCrc},
                {QStringLiteral("none"), FaultKind::None}};
            const auto kind = kinds.find(w[3]);
            if (kind == kinds.end())
                throw CommandError{QStringLiteral("unknown fault kind '%1'").arg(w[3])};
            Fault fault{kind->second, 0};
            qsizetype next = 4;
            if (fault.kind == FaultKind::Late) {
                expectWords(w, 5, 6, usage);
                fault.lateMs = number(w[next++], "delay", 0, 600000);
            }
            if (fault.kind == FaultKind::None)
                expectWords(w, 4, 4, usage);
            if (fault.kind == FaultKind::SwapCrc && l->config().protocol != Protocol::Rtu)
                throw CommandError{QStringLiteral("swapcrc applies to rtu lines only")};
            expectWords(w, 1, next + 1, usage);
            const int count = next < w.size() ? number(w[next], "count", 1, 1000000) : -1;
            if (!l->setFault(id, fault, count))
                throw CommandError{QStringLiteral("no station %1 on COM%2").arg(id).arg(l->com())};
            return QStringLiteral("ok");
        }
        throw CommandError{QStringLiteral("unknown command '%1'").arg(verb)};
    } catch (const CommandError& e) {
        return QStringLiteral("error ") + e.text;
    }
}

} // namespace sim
