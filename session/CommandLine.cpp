#include "session/CommandLine.h"

#include "session/Product.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

namespace kestivo {

namespace {

enum class Kind { Help, Version, Pace, ForeignWithValue, ForeignFlag };

struct Option {
    Kind kind;
    bool takesValue;
};

constexpr std::string_view kOwnHelp =
    "Watch rose-curve patterns being drawn point by point.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  -v, --version  Show the version and exit.\n"
    "  --pace <N>     Draw N points a second, from 0 to 1e9 (default 1000000); 0\n"
    "                 draws as fast as the machine can.";

std::string usageError(std::string_view message)
{
    std::string text = kProgramName;
    text += ": ";
    text += message;
    text += "\nTry '";
    text += kProgramName;
    text += " --help' for more information.";
    return text;
}

std::optional<Option> lookUp(std::string_view name, const ForeignOptions& foreign)
{
    if (name == "h" || name == "help")
        return Option{Kind::Help, false};
    if (name == "v" || name == "version")
        return Option{Kind::Version, false};
    if (name == "pace")
        return Option{Kind::Pace, true};
    const auto named = [name](const std::string& n) { return n == name; };
    if (std::any_of(foreign.withValue.begin(), foreign.withValue.end(), named))
        return Option{Kind::ForeignWithValue, true};
    if (std::any_of(foreign.flags.begin(), foreign.flags.end(), named))
        return Option{Kind::ForeignFlag, false};
    return std::nullopt;
}

// A decimal number read as Qt's QString::toDouble did, so that a pace that
// worked before still works: surrounding white space and a leading '+' are
// allowed, and so are "inf" and "nan", which the range check then refuses.
// from_chars never looks at the locale, so "0.5" is half in any of them.
std::optional<double> toNumber(std::string_view text)
{
    constexpr std::string_view space = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(space) - first + 1);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // Out of range is an overflow or a non-zero number read as zero.
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, const ForeignOptions& foreign)
{
    CommandLine result;
    std::string parseError;
    bool help = false;
    bool version = false;
    std::optional<std::string> pace;
    std::vector<std::string> positional;

    const auto fail = [&parseError](std::string message) {
        if (parseError.empty())
            parseError = std::move(message);
    };
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // One dash or two, as Qt's own single-dash options need.
        const std::size_t nameStart = argument[1] == '-' ? 2 : 1;
        const std::size_t equals = argument.find('=', nameStart);
        const std::string_view written = std::string_view(argument).substr(0, equals);
        const std::string_view name = written.substr(nameStart);
        const std::optional<Option> option = lookUp(name, foreign);
        if (!option) {
            fail("Unknown option '" + std::string(name) + "'.");
            continue;
        }
        std::string value;
        if (!option->takesValue) {
            if (equals != std::string::npos) {
                fail("Unexpected value after '" + std::string(written) + "'.");
                continue;
            }
        } else if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            // The next argument is the value whatever it looks like: "--pace -1".
            value = arguments[++i];
        } else {
            fail("Missing value after '" + argument + "'.");
            continue;
        }
        switch (option->kind) {
        case Kind::Help:
            help = true;
            break;
        case Kind::Version:
            version = true;
            break;
        case Kind::Pace:
            pace = std::move(value);
            break;
        case Kind::ForeignWithValue:
        case Kind::ForeignFlag:
            result.foreign[std::string(name)] = std::move(value);
            break;
        }
    }

    if (!parseError.empty()) {
        result.action = CommandLine::Action::UsageError;
        result.text = usageError(parseError);
    } else if (help) {
        result.action = CommandLine::Action::Help;
        result.text = "Usage: " + std::string(kProgramName) + " [options]\n" + std::string(kOwnHelp);
        if (!foreign.helpNote.empty())
            result.text += "\n\n" + foreign.helpNote;
    } else if (version) {
        result.action = CommandLine::Action::Version;
        result.text = std::string(kProgramName) + ' ' + kVersionText;
    } else if (!positional.empty()) {
        result.action = CommandLine::Action::UsageError;
        result.text = usageError("Unexpected argument '" + positional.front() + "'.");
    } else if (pace) {
        const std::optional<double> rate = toNumber(*pace);
        if (!rate || !std::isfinite(*rate) || *rate < 0 || *rate > kMaxPointsPerSecond) {
            result.action = CommandLine::Action::UsageError;
            result.text = usageError("Invalid --pace value '" + *pace +
                                     "': give points a second, a number from 0 to 1e9.");
        } else {
            result.pointsPerSecond = *rate;
        }
    }
    return result;
}

} // namespace kestivo
