#pragma once

#include "Pacer.h"

#include <QString>
#include <QStringList>

namespace kestivo {

// What the command line asks for. It is read before any connection to the
// window system, so that --help, --version and usage errors work without a
// display.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };

    Action action = Action::Run;
    // Help: the help text; Version: "Kestivo1 <version>"; UsageError: the
    // error, naming the option or value at fault.
    QString text;
    double pointsPerSecond = Pacer::kPointsPerSecond;
    // Qt's own options, left in place for QApplication; read here only to
    // name the display in a start-up failure.
    QString platform;
    QString display;
};

// Exit status of a usage error.
inline constexpr int kUsageErrorStatus = 2;

// arguments[0] is the program.
CommandLine parseCommandLine(const QStringList& arguments);

// The highest --pace: a thousand times the default, beyond what any machine
// draws.
inline constexpr double kMaxPointsPerSecond = 1e9;

} // namespace kestivo
