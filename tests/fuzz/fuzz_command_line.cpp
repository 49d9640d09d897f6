// libFuzzer target: the command line, with any arguments and any list of
// the toolkit's own options.
//
// Input: a byte giving how many names each foreign list has and whether a
// help note follows, then NUL-separated words: the foreign options that take
// a value, the foreign flags, the note, then argv (argv[0] first).
//
// Whatever it is given, the parser returns: a run at a finite pace from 0 to
// 1e9, the fixed help or version text, or a usage error of exactly two
// lines, the error and the hint; and it hands back only declared foreign
// options, a flag without a value.

#include "program/CommandLine.h"
#include "program/Product.h"

#include "FuzzInput.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace kestivo;
using fuzz::require;

namespace {

bool declared(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The help with no toolkit's note, from the plainest command line.
const std::string& ownHelp()
{
    static const std::string help = [] {
        const CommandLine c = parseCommandLine({kProgramName, "--help"});
        require(c.action == CommandLine::Action::Help && c.text.starts_with("Usage: "));
        return c.text;
    }();
    return help;
}

void checkUsageError(std::string_view text)
{
    const std::string hint = std::string("Try '") + kProgramName + " --help' for more information.";
    const std::string lead = std::string(kProgramName) + ": ";
    const std::size_t end = text.find('\n');
    require(end != std::string_view::npos && text.substr(end + 1) == hint);
    const std::string_view error = text.substr(0, end);
    require(error.starts_with(lead) && error.size() > lead.size());
    // One line, which no argument can break up or turn into terminal
    // commands.
    require(std::none_of(error.begin(), error.end(), [](char c) {
        return (static_cast<unsigned char>(c) < 0x20) || c == 0x7f;
    }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t withValue = data[0] % 4, flags = data[0] / 4 % 4;
    const bool note = data[0] & 0x10;
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(std::move(word));
            word.clear();
        } else {
            word += char(data[i]);
        }
    }
    if (size > 1)
        words.push_back(std::move(word));

    ForeignOptions foreign;
    std::size_t at = 0;
    const auto take = [&] { return at < words.size() ? words[at++] : std::string(); };
    for (std::size_t i = 0; i < withValue; ++i)
        foreign.withValue.push_back(take());
    for (std::size_t i = 0; i < flags; ++i)
        foreign.flags.push_back(take());
    if (note)
        foreign.helpNote = take();
    const std::vector<std::string> arguments(words.begin() + std::ptrdiff_t(std::min(at, words.size())),
                                             words.end());

    CommandLine c;
    try {
        c = parseCommandLine(arguments, foreign);
    } catch (...) {
        require(false);
    }
    switch (c.action) {
    case CommandLine::Action::Run:
        require(std::isfinite(c.pointsPerSecond) && c.pointsPerSecond >= 0 &&
                c.pointsPerSecond <= kMaxPointsPerSecond);
        for (const auto& [name, value] : c.foreign) {
            require(declared(foreign.withValue, name) || declared(foreign.flags, name));
            require(value.empty() || declared(foreign.withValue, name));
        }
        break;
    case CommandLine::Action::Help:
        require(c.text == (foreign.helpNote.empty() ? ownHelp() : ownHelp() + "\n\n" + foreign.helpNote));
        break;
    case CommandLine::Action::Version:
        require(c.text == std::string(kProgramName) + ' ' + kVersionText);
        break;
    case CommandLine::Action::UsageError:
        checkUsageError(c.text);
        break;
    }
    return 0;
}
