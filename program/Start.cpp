#include "program/Start.h"

#include "program/ErrorText.h"
#include "program/Product.h"

#include <cstdlib>
#include <exception>

namespace kestivo {

std::string programLine(std::string_view what)
{
    std::string line = kProgramName;
    line += ": ";
    line += what;
    return line;
}

std::optional<int> answer(const CommandLine& command, const Streams& streams)
{
    switch (command.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        streams.out(command.text);
        return 0;
    case CommandLine::Action::UsageError:
        streams.err(command.text);
        return kUsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }
    return std::nullopt;
}

int refuse(const Streams& streams, std::string_view why)
{
    streams.err(programLine(why));
    return 1;
}

namespace {
// Set once, before any thread of the program's own. The line is made then:
// memory may be what has run out when it is written.
void (*uncaughtTo)(std::string_view) = nullptr;
std::string uncaughtLine;
} // namespace

void endUncaughtWithALine(const Streams& streams)
{
    uncaughtTo = streams.err;
    std::set_terminate([] {
        uncaughtTo(uncaughtLine.empty() ? std::string_view(kBareErrorLine) : uncaughtLine);
        std::_Exit(1);
    });
    uncaughtLine = programLine(kBareErrorLine); // may itself run out of memory
}

} // namespace kestivo
