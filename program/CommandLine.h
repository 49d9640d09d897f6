#pragma once

#include "session/Pace.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestivo {

// Options that a front-end's toolkit reads from the command line itself
// (Qt's -platform, -style, -reverse, ...). They are accepted, left out of
// the help, and handed back; the toolkit still reads them from argv.
struct ForeignOptions {
    std::vector<std::string> withValue;
    std::vector<std::string> flags;
    // A paragraph the help ends with, naming the toolkit's options.
    std::string helpNote;
};

// What the command line asks for. It is read before any connection to the
// window system, so that --help, --version and usage errors work without a
// display. Options are words after one dash or two ("-pace 5", "--pace=5");
// -h and -v are --help and --version.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };

    Action action = Action::Run;
    // UTF-8. Help: the help text; Version: "Kestivo1 <version>"; UsageError:
    // the error, naming the option or value at fault, then a hint line.
    std::string text;
    double pointsPerSecond = Pace::kPointsPerSecond;
    // Each foreign option given: its last value ("" for a flag).
    std::map<std::string, std::string> foreign;
};

// Exit status of a usage error.
inline constexpr int kUsageErrorStatus = 2;

// The highest --pace: a thousand times the default, beyond what any machine
// draws.
inline constexpr double kMaxPointsPerSecond = 1e9;

// A decimal number as the command line reads one (a --pace, a scale
// setting): surrounding white space and a leading '+' allowed; nothing if
// it is no number or out of a double's range.
std::optional<double> readNumber(std::string_view text);

// arguments[0] is the program.
CommandLine parseCommandLine(const std::vector<std::string>& arguments,
                             const ForeignOptions& foreign = {});

} // namespace kestivo
