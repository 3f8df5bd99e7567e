#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace sim {

enum class Protocol { Rtu, Veln };
enum class Converter { Rs422, Rs485 };

// Register codes the configuration words name.
namespace reg {
constexpr int Sv = 0;
constexpr int Input = 72;
constexpr int Dp = 75;
constexpr int Family = 134;
constexpr int Output = 135;
constexpr int Status = 136;
constexpr int Pv = 138;
} // namespace reg

struct LineConfig
{
    int com = 0;
    Protocol protocol = Protocol::Rtu;
    // The program's own lines start out on the 4-wire converter, so an unconfigured simulator
    // line matches a freshly installed program.
    Converter converter = Converter::Rs422;
    int baud = 0; // 0: follow the speed the client sets
};

struct StationConfig
{
    int com = 0;
    int id = 0;
    std::map<int, int> registers; // code -> value, only what the configuration sets
    std::optional<bool> model;    // unset: on unless --frozen
    std::optional<double> timeConstantS;
};

struct SimOptions
{
    QString home;
    QString frameLog;
    QString portLog;
    bool wireTiming = true;
    double turnaroundMs = 1.0;
    bool frozen = false;
    quint64 seed = 1;
    double timeConstantS = 20.0;
    std::vector<LineConfig> lines;       // sorted by COM number after parsing
    std::vector<StationConfig> stations; // in the order given
    bool help = false;
};

// A bad option or configuration line; the message is shown as it stands.
class OptionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Parses the command line (without the program name), reading --config files where they
// appear, and checks the result as a whole. Throws OptionError.
SimOptions parseOptions(const QStringList& args);

QString helpText();

// Default register contents of a controller before its configuration is applied.
std::map<int, int> defaultRegisters();

bool isSupportedBaud(int baud);

} // namespace sim
