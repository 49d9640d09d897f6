#pragma once

#include "program/CommandLine.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestivo {

// Where a front-end's program talks to its user outside the window: its
// standard output and standard error (on Windows, the console it was started
// from, if any). Each call writes one line.
struct Streams {
    void (*out)(std::string_view line);
    void (*err)(std::string_view line);
};

// "Kestivo1: what": the one line in which the program says why it stops.
[[nodiscard]] std::string programLine(std::string_view what);

// The command line answered before any window is made: --help and
// --version on out, status 0; a usage error on err, status 2. Nothing: run.
[[nodiscard]] std::optional<int> answer(const CommandLine& command, const Streams& streams);

// Start-up cannot go on: why, in the program's line on err; the status, 1.
int refuse(const Streams& streams, std::string_view why);

// From now on a throw nothing catches ends the program with the bare error
// line on err and status 1, not an abort and a core file.
void endUncaughtWithALine(const Streams& streams);

} // namespace kestivo
