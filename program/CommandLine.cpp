#include "program/CommandLine.h"

#include "program/Product.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
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

// An argument as an error names it: control characters (a newline, a
// terminal's escape) as \xHH, so that the error stays one line of text.
std::string inQuotes(std::string_view argument)
{
    constexpr char kHex[] = "0123456789abcdef";
    std::string text = "'";
    for (const char c : argument) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        } else {
            text += c;
        }
    }
    return text + "'";
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

} // namespace

// Read as Qt's QString::toDouble did, so that a pace that worked before
// still works. from_chars never looks at the locale, so "0.5" is half in any
// of them.
std::optional<double> readNumber(std::string_view text)
{
    constexpr std::string_view space = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(space) - first + 1);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.remove_prefix(1);
#if defined(__cpp_lib_to_chars)
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // Out of range is an overflow or a non-zero number read as zero.
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
#else
    // A C++ library that cannot read a double (libc++, as in Emscripten):
    // strtod reads it, once the text is known to be what from_chars reads
    // whole, a decimal: an optional '-', digits with at most one '.', an
    // optional exponent. strtod alone would also take a '+', hexadecimal, and
    // "inf" and "nan", which are not finite and refused all the same.
    // Emscripten's C library (musl) reads '.' as the point in every locale.
    std::size_t i = text.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    const std::string whole(text);
    const double value = std::strtod(whole.c_str(), nullptr);
    // Out of range is an overflow or a non-zero number read as zero.
    if (std::isinf(value) || (value == 0 && whole.find_first_of("123456789") < whole.find_first_of("eE")))
        return std::nullopt;
    return value;
#endif
}

namespace {

// What the arguments say, before it is judged.
struct Scan {
    std::string error; // the first error
    bool help = false;
    bool version = false;
    std::optional<std::string> pace;
    std::vector<std::string> positional;
    std::map<std::string, std::string> foreign;

    void fail(std::string message)
    {
        if (error.empty())
            error = std::move(message);
    }
};

// Reads the option word arguments[i], and its value, which may be the next
// argument (i then moves on to it).
void readOption(const std::vector<std::string>& arguments, std::size_t& i,
                const ForeignOptions& foreign, Scan& scan)
{
    const std::string& argument = arguments[i];
    // One dash or two, as Qt's own single-dash options need.
    const std::size_t nameStart = argument[1] == '-' ? 2 : 1;
    const std::size_t equals = argument.find('=', nameStart);
    const std::string_view written = std::string_view(argument).substr(0, equals);
    const std::string_view name = written.substr(nameStart);
    const std::optional<Option> option = lookUp(name, foreign);
    if (!option)
        return scan.fail("Unknown option " + inQuotes(written) + ".");
    std::string value;
    if (!option->takesValue) {
        if (equals != std::string::npos)
            return scan.fail("Unexpected value after " + inQuotes(written) + ".");
    } else if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
        // The next argument is the value whatever it looks like: "--pace -1".
        value = arguments[++i];
    } else {
        return scan.fail("Missing value after " + inQuotes(argument) + ".");
    }
    switch (option->kind) {
    case Kind::Help:
        scan.help = true;
        break;
    case Kind::Version:
        scan.version = true;
        break;
    case Kind::Pace:
        scan.pace = std::move(value);
        break;
    case Kind::ForeignWithValue:
    case Kind::ForeignFlag:
        scan.foreign[std::string(name)] = std::move(value);
        break;
    }
}

Scan scanArguments(const std::vector<std::string>& arguments, const ForeignOptions& foreign)
{
    Scan scan;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-')
            scan.positional.push_back(argument);
        else if (argument == "--")
            optionsEnded = true;
        else
            readOption(arguments, i, foreign, scan);
    }
    return scan;
}

CommandLine answer(CommandLine::Action action, std::string text)
{
    CommandLine c;
    c.action = action;
    c.text = std::move(text);
    return c;
}

CommandLine usage(std::string_view message)
{
    return answer(CommandLine::Action::UsageError, usageError(message));
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, const ForeignOptions& foreign)
{
    Scan scan = scanArguments(arguments, foreign);
    if (!scan.error.empty())
        return usage(scan.error);
    if (scan.help) {
        std::string text = "Usage: " + std::string(kProgramName) + " [options]\n" + std::string(kOwnHelp);
        if (!foreign.helpNote.empty())
            text += "\n\n" + foreign.helpNote;
        return answer(CommandLine::Action::Help, std::move(text));
    }
    if (scan.version)
        return answer(CommandLine::Action::Version, std::string(kProgramName) + ' ' + kVersionText);
    if (!scan.positional.empty())
        return usage("Unexpected argument " + inQuotes(scan.positional.front()) + ".");

    CommandLine result;
    result.foreign = std::move(scan.foreign);
    if (scan.pace) {
        const std::optional<double> rate = readNumber(*scan.pace);
        if (!rate || !std::isfinite(*rate) || *rate < 0 || *rate > kMaxPointsPerSecond)
            return usage("Invalid --pace value " + inQuotes(*scan.pace) +
                         ": give points a second, a number from 0 to 1e9.");
        result.pointsPerSecond = *rate;
    }
    return result;
}

} // namespace kestivo
