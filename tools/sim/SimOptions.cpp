#include "SimOptions.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <set>

namespace sim {

namespace {

constexpr int MaxLines = 3;
// The program polls ten slots per line, but one RS-485 segment takes up to 32 unit loads: a
// demo of an unconfigured program, whose three Monitors all start on COM1, needs thirty there.
constexpr int MaxStationsPerLine = 32;
constexpr int DefaultStations = 10;

[[noreturn]] void fail(const QString& where, const QString& what)
{
    throw OptionError((where.isEmpty() ? what : where + QLatin1String(": ") + what).toStdString());
}

int toInt(const QString& where, const QString& key, const QString& text, int lo, int hi)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        fail(where, QStringLiteral("%1=%2: expected a whole number from %3 to %4")
                        .arg(key, text)
                        .arg(lo)
                        .arg(hi));
    return v;
}

double toDouble(const QString& where, const QString& key, const QString& text, double lo, double hi)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < lo || v > hi)
        fail(where, QStringLiteral("%1 %2: expected a number from %3 to %4")
                        .arg(key, text)
                        .arg(lo)
                        .arg(hi));
    return v;
}

bool toSwitch(const QString& where, const QString& key, const QString& text)
{
    if (text == QLatin1String("on"))
        return true;
    if (text == QLatin1String("off"))
        return false;
    fail(where, QStringLiteral("%1=%2: expected on or off").arg(key, text));
}

// Splits "k=v" words; every key may appear once.
std::vector<std::pair<QString, QString>> keyValues(const QString& where, const QStringList& words)
{
    std::vector<std::pair<QString, QString>> out;
    std::set<QString> seen;
    for (const QString& w : words) {
        if (w.isEmpty())
            continue;
        const qsizetype eq = w.indexOf(QLatin1Char('='));
        if (eq <= 0)
            fail(where, QStringLiteral("'%1': expected key=value").arg(w));
        const QString key = w.left(eq);
        if (!seen.insert(key).second)
            fail(where, QStringLiteral("'%1' is given twice").arg(key));
        out.emplace_back(key, w.mid(eq + 1));
    }
    return out;
}

LineConfig parseLine(const QString& where, const QStringList& words)
{
    LineConfig line;
    for (const auto& [key, value] : keyValues(where, words)) {
        if (key == QLatin1String("com")) {
            line.com = toInt(where, key, value, 1, 9);
        } else if (key == QLatin1String("psl")) {
            if (value == QLatin1String("rtu"))
                line.protocol = Protocol::Rtu;
            else if (value == QLatin1String("veln"))
                line.protocol = Protocol::Veln;
            else
                fail(where, QStringLiteral("psl=%1: expected rtu or veln").arg(value));
        } else if (key == QLatin1String("converter")) {
            if (value == QLatin1String("rs422"))
                line.converter = Converter::Rs422;
            else if (value == QLatin1String("rs485"))
                line.converter = Converter::Rs485;
            else
                fail(where, QStringLiteral("converter=%1: expected rs422 or rs485").arg(value));
        } else if (key == QLatin1String("baud")) {
            if (value == QLatin1String("auto")) {
                line.baud = 0;
            } else {
                line.baud = toInt(where, key, value, 1, 4000000);
                if (!isSupportedBaud(line.baud))
                    fail(
                        where,
                        QStringLiteral("baud=%1: not a serial speed this system knows").arg(value));
            }
        } else {
            fail(where, QStringLiteral("unknown line key '%1'").arg(key));
        }
    }
    if (line.com == 0)
        fail(where, QStringLiteral("a line needs com=<1..9>"));
    return line;
}

// Applies one station key other than com/id/ids. Returns false for an unknown key.
bool applyStationKey(const QString& where, StationConfig& st, const QString& key,
                     const QString& value)
{
    static const std::map<QString, int> named = {
        {QStringLiteral("sv"), reg::Sv},         {QStringLiteral("pv"), reg::Pv},
        {QStringLiteral("out"), reg::Output},    {QStringLiteral("status"), reg::Status},
        {QStringLiteral("family"), reg::Family}, {QStringLiteral("input"), reg::Input},
        {QStringLiteral("dp"), reg::Dp},
    };
    static const QRegularExpression regKey(QStringLiteral("^reg(\\d{1,3})$"));
    if (auto it = named.find(key); it != named.end()) {
        st.registers[it->second] = toInt(where, key, value, -32768, 65535);
        return true;
    }
    if (const auto m = regKey.match(key); m.hasMatch()) {
        const int code = toInt(where, key, m.captured(1), 0, 255);
        st.registers[code] = toInt(where, key, value, -32768, 65535);
        return true;
    }
    if (key == QLatin1String("model")) {
        st.model = toSwitch(where, key, value);
        return true;
    }
    if (key == QLatin1String("tau")) {
        st.timeConstantS = toDouble(where, key, value, 0.001, 1e6);
        return true;
    }
    return false;
}

std::vector<StationConfig> parseStations(const QString& where, const QStringList& words, bool range)
{
    StationConfig proto;
    int first = -1;
    int last = -1;
    for (const auto& [key, value] : keyValues(where, words)) {
        if (key == QLatin1String("com")) {
            proto.com = toInt(where, key, value, 1, 9);
        } else if (!range && key == QLatin1String("id")) {
            first = last = toInt(where, key, value, 0, 65535);
        } else if (range && key == QLatin1String("ids")) {
            const QStringList ends = value.split(QLatin1Char('-'));
            if (ends.size() > 2)
                fail(where, QStringLiteral("ids=%1: expected first-last").arg(value));
            first = toInt(where, key, ends.front(), 0, 65535);
            last = toInt(where, key, ends.back(), 0, 65535);
            if (last < first)
                fail(where, QStringLiteral("ids=%1: the range runs backwards").arg(value));
            if (last - first >= MaxStationsPerLine)
                fail(where, QStringLiteral("ids=%1: a line carries at most %2 stations")
                                .arg(value)
                                .arg(MaxStationsPerLine));
        } else if (!applyStationKey(where, proto, key, value)) {
            fail(where, QStringLiteral("unknown station key '%1'").arg(key));
        }
    }
    if (proto.com == 0)
        fail(where, QStringLiteral("a station needs com=<1..9>"));
    if (first < 0)
        fail(where, range ? QStringLiteral("stations need ids=<first>-<last>")
                          : QStringLiteral("a station needs id=<number>"));
    std::vector<StationConfig> out;
    for (int id = first; id <= last; ++id) {
        StationConfig st = proto;
        st.id = id;
        out.push_back(st);
    }
    return out;
}

struct Parser
{
    SimOptions opts;
    bool inConfig = false;

    void parse(const QStringList& args, const QString& where);
    void readConfig(const QString& path);
    void check();
};

void Parser::parse(const QStringList& args, const QString& where)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        QString inlineValue;
        bool hasInline = false;
        if (!name.startsWith(QLatin1String("--"))) {
            if (name == QLatin1String("-h")) {
                opts.help = true;
                continue;
            }
            fail(where, QStringLiteral("unexpected argument '%1'").arg(name));
        }
        name = name.mid(2);
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq > 0) {
            inlineValue = name.mid(eq + 1);
            name = name.left(eq);
            hasInline = true;
        }
        auto value = [&]() -> QString {
            if (hasInline)
                return inlineValue;
            if (i + 1 >= args.size())
                fail(where, QStringLiteral("--%1 needs a value").arg(name));
            return args[++i];
        };
        auto flag = [&] {
            if (hasInline)
                fail(where, QStringLiteral("--%1 takes no value").arg(name));
        };
        auto specWords = [&] { return value().split(QLatin1Char(',')); };

        if (name == QLatin1String("help")) {
            flag();
            opts.help = true;
        } else if (name == QLatin1String("home")) {
            opts.home = value();
        } else if (name == QLatin1String("frame-log")) {
            opts.frameLog = value();
        } else if (name == QLatin1String("port-log")) {
            opts.portLog = value();
        } else if (name == QLatin1String("config")) {
            const QString path = value();
            if (inConfig)
                fail(where, QStringLiteral("config files cannot include other config files"));
            readConfig(path);
        } else if (name == QLatin1String("line")) {
            opts.lines.push_back(parseLine(where, specWords()));
        } else if (name == QLatin1String("station")) {
            for (auto& st : parseStations(where, specWords(), false))
                opts.stations.push_back(st);
        } else if (name == QLatin1String("stations")) {
            for (auto& st : parseStations(where, specWords(), true))
                opts.stations.push_back(st);
        } else if (name == QLatin1String("seed")) {
            bool ok = false;
            const QString text = value();
            opts.seed = text.toULongLong(&ok, 10);
            if (!ok)
                fail(where, QStringLiteral("--seed %1: expected a whole number").arg(text));
        } else if (name == QLatin1String("turnaround-ms")) {
            opts.turnaroundMs =
                toDouble(where, QStringLiteral("--turnaround-ms"), value(), 0, 60000);
        } else if (name == QLatin1String("tau")) {
            opts.timeConstantS = toDouble(where, QStringLiteral("--tau"), value(), 0.001, 1e6);
        } else if (name == QLatin1String("frozen")) {
            flag();
            opts.frozen = true;
        } else if (name == QLatin1String("no-wire-timing")) {
            flag();
            opts.wireTiming = false;
        } else {
            fail(where, QStringLiteral("unknown option --%1").arg(name));
        }
    }
}

void Parser::readConfig(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        fail(QString(),
             QStringLiteral("cannot read config file %1: %2").arg(path, file.errorString()));
    QTextStream in(&file);
    inConfig = true;
    int lineNo = 0;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    while (!in.atEnd()) {
        ++lineNo;
        QString text = in.readLine();
        if (const qsizetype hash = text.indexOf(QLatin1Char('#')); hash >= 0)
            text.truncate(hash);
        const QStringList words = text.split(space, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString where = QStringLiteral("%1:%2").arg(path).arg(lineNo);
        // A config line is an option without its dashes; the key=value words of
        // line/station/stations are joined the way the command line writes them.
        QStringList args{QLatin1String("--") + words.front()};
        const QStringList rest = words.mid(1);
        const QString& head = words.front();
        if (head == QLatin1String("line") || head == QLatin1String("station") ||
            head == QLatin1String("stations")) {
            for (const QString& w : rest)
                if (w.contains(QLatin1Char(',')))
                    fail(where,
                         QStringLiteral("'%1': separate keys with spaces in a config file").arg(w));
            args << rest.join(QLatin1Char(','));
        } else {
            args << rest;
        }
        parse(args, where);
    }
    inConfig = false;
}

void Parser::check()
{
    std::set<int> coms;
    for (const LineConfig& l : opts.lines)
        if (!coms.insert(l.com).second)
            fail(QString(), QStringLiteral("line COM%1 is given twice").arg(l.com));
    if (opts.lines.empty() && opts.stations.empty()) {
        // Nothing configured: one line of ten controllers, enough for a first look or a demo.
        opts.lines.push_back(LineConfig{1});
        for (int id = 1; id <= DefaultStations; ++id)
            opts.stations.push_back(StationConfig{1, id, {}, {}, {}});
    }
    for (const StationConfig& st : opts.stations)
        if (coms.insert(st.com).second)
            opts.lines.push_back(LineConfig{st.com});
    if (int(opts.lines.size()) > MaxLines)
        fail(QString(), QStringLiteral("%1 lines given; the simulator runs at most %2")
                            .arg(opts.lines.size())
                            .arg(MaxLines));
    std::sort(opts.lines.begin(), opts.lines.end(),
              [](const LineConfig& a, const LineConfig& b) { return a.com < b.com; });
    for (const LineConfig& l : opts.lines) {
        std::map<int, int> byStation; // wire address -> configured ID
        for (const StationConfig& st : opts.stations) {
            if (st.com != l.com)
                continue;
            const int wire = st.id & 0xFF;
            if (auto it = byStation.find(wire); it != byStation.end()) {
                fail(
                    QString(),
                    it->second == st.id
                        ? QStringLiteral("station %1 is given twice on COM%2").arg(st.id).arg(l.com)
                        : QStringLiteral("stations %1 and %2 on COM%3 answer to the "
                                         "same address %4")
                              .arg(it->second)
                              .arg(st.id)
                              .arg(l.com)
                              .arg(wire));
            }
            byStation.emplace(wire, st.id);
        }
        if (int(byStation.size()) > MaxStationsPerLine)
            fail(QString(), QStringLiteral("COM%1 has %2 stations; a line carries at most %3")
                                .arg(l.com)
                                .arg(byStation.size())
                                .arg(MaxStationsPerLine));
    }
}

} // namespace

SimOptions parseOptions(const QStringList& args)
{
    Parser p;
    p.parse(args, QString());
    if (!p.opts.help)
        p.check();
    return p.opts;
}

std::map<int, int> defaultRegisters()
{
    // A family-104 controller reading a thermocouple with one decimal, at room temperature
    // and asked for 100.0 degrees.
    return {{reg::Sv, 1000},    {reg::Pv, 250},  {reg::Output, 0}, {reg::Status, 0},
            {reg::Family, 104}, {reg::Input, 0}, {reg::Dp, 1}};
}

bool isSupportedBaud(int baud)
{
    static const std::set<int> known = {
        50,   75,    110,   134,   150,    200,    300,    600,    1200,   1800,   2400,   4800,
        9600, 19200, 38400, 57600, 115200, 230400, 460800, 500000, 576000, 921600, 1000000};
    return known.count(baud) != 0;
}

} // namespace sim
