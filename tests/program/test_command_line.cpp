// The command line as the program reads it before the window system.

#include "program/CommandLine.h"

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <string>
#include <utility>
#include <vector>

using kestivo::CommandLine;
using kestivo::ForeignOptions;
using kestivo::parseCommandLine;

namespace {

// Some of the options a toolkit takes, as a front-end would give them.
ForeignOptions toolkitOptions()
{
    return {{"platform", "qwindowgeometry", "display", "style", "stylesheet"},
            {"reverse", "widgetcount"},
            "The toolkit's own options are accepted too."};
}

CommandLine parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "Kestivo1");
    return parseCommandLine(arguments, toolkitOptions());
}

std::string joined(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const std::string& a : arguments)
        text += (text.empty() ? "" : " ") + a;
    return text;
}

std::string usageError(const std::string& message)
{
    return "Kestivo1: " + message + "\nTry 'Kestivo1 --help' for more information.";
}

} // namespace

TEST(CommandLine, PaceTakesAFiniteRateFromZeroToAThousandMillion)
{
    EXPECT_EQ(parse({}).pointsPerSecond, 1'000'000) << "the default";
    const std::pair<std::vector<std::string>, double> good[] = {
        {{"--pace", "0"}, 0},       {{"--pace=2500"}, 2500},       {{"-pace", "1e9"}, 1e9},
        {{"--pace", "0.5"}, 0.5},   {{"--pace", "1e-300"}, 1e-300}, {{"--pace", "7", "--pace", "8"}, 8},
        {{"-pace=3"}, 3},
    };
    for (const auto& [arguments, rate] : good) {
        const CommandLine c = parse(arguments);
        EXPECT_EQ(c.action, CommandLine::Action::Run) << joined(arguments);
        EXPECT_EQ(c.pointsPerSecond, rate) << joined(arguments);
    }
    for (const std::string value :
         {"-1", "1000000001", "1e10", "nan", "inf", "-inf", "", "abc", "1,000", "0x10", "5x", "1e-400", "+-0"}) {
        const CommandLine c = parse({"--pace", value});
        EXPECT_EQ(c.action, CommandLine::Action::UsageError) << value;
        EXPECT_NE(c.text.find("'" + value + "'"), std::string::npos) << c.text;
    }
    EXPECT_EQ(parse({"--pace=abc"}).text,
              usageError("Invalid --pace value 'abc': give points a second, a number from 0 to 1e9."));
}

TEST(CommandLine, PaceIsReadTheSameInAnyLocale)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            found = true;
            break;
        }
    if (!found)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    const CommandLine point = parse({"--pace", "0.5"});
    const CommandLine comma = parse({"--pace", "0,5"});
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(point.action, CommandLine::Action::Run) << point.text;
    EXPECT_EQ(point.pointsPerSecond, 0.5);
    EXPECT_EQ(comma.action, CommandLine::Action::UsageError);
}

TEST(CommandLine, ToolkitOptionsAreAcceptedAndHandedBack)
{
    const CommandLine c = parse({"-platform", "offscreen", "-style", "Fusion", "-reverse", "-qwindowgeometry",
                                 "640x480+0+0", "-stylesheet=a.qss", "--display", ":1", "-widgetcount",
                                 "-style=Windows"});
    EXPECT_EQ(c.action, CommandLine::Action::Run) << c.text;
    const std::map<std::string, std::string> expected = {
        {"platform", "offscreen"}, {"style", "Windows"}, {"reverse", ""},  {"qwindowgeometry", "640x480+0+0"},
        {"stylesheet", "a.qss"},   {"display", ":1"},    {"widgetcount", ""},
    };
    EXPECT_EQ(c.foreign, expected);

    // Anything else, even among them, is a usage error.
    EXPECT_EQ(parse({"-platform", "xcb", "-platformx"}).action, CommandLine::Action::UsageError);
    EXPECT_EQ(parse({"-style", "Fusion", "Fusion"}).action, CommandLine::Action::UsageError);
    EXPECT_EQ(parse({"-reverse=1"}).text, usageError("Unexpected value after '-reverse'."));
    EXPECT_EQ(parseCommandLine({"Kestivo1", "-platform", "xcb"}).text, usageError("Unknown option '-platform'."))
        << "without the front-end's list";
}

TEST(CommandLine, UsageErrorsNameTheCulpritAsTyped)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--no-such-option"}, "Unknown option '--no-such-option'."},
        {{"-x"}, "Unknown option '-x'."},
        {{"--x=1"}, "Unknown option '--x'."},
        {{"--pace"}, "Missing value after '--pace'."},
        {{"-pace"}, "Missing value after '-pace'."},
        {{"--help=1"}, "Unexpected value after '--help'."},
        {{"-v="}, "Unexpected value after '-v'."},
        {{"picture.bmp"}, "Unexpected argument 'picture.bmp'."},
        {{"-"}, "Unexpected argument '-'."},
        // A value is the next argument whatever it looks like.
        {{"--pace", "--help"},
         "Invalid --pace value '--help': give points a second, a number from 0 to 1e9."},
        // "--" ends the options.
        {{"--", "--help"}, "Unexpected argument '--help'."},
        // The first fault is the one reported.
        {{"--bogus", "--pace"}, "Unknown option '--bogus'."},
        {{"--pace", "1", "--help=", "-x"}, "Unexpected value after '--help'."},
    };
    for (const auto& [arguments, message] : cases) {
        const CommandLine c = parse(arguments);
        EXPECT_EQ(c.action, CommandLine::Action::UsageError) << joined(arguments);
        EXPECT_EQ(c.text, usageError(message)) << joined(arguments);
    }
}

TEST(CommandLine, ParseErrorsComeFirstThenHelpThenVersionThenArgumentsThenPace)
{
    using Action = CommandLine::Action;
    const std::pair<std::vector<std::string>, Action> cases[] = {
        {{"--help", "--bogus"}, Action::UsageError}, {{"--version", "-h"}, Action::Help},
        {{"x", "-h"}, Action::Help},                 {{"--pace", "abc", "-v"}, Action::Version},
        {{"--pace", "abc", "x"}, Action::UsageError}, {{"-help", "--", "x"}, Action::Help},
    };
    for (const auto& [arguments, action] : cases)
        EXPECT_EQ(parse(arguments).action, action) << joined(arguments);
    EXPECT_NE(parse({"--pace", "abc", "x"}).text.find("'x'"), std::string::npos);
}

TEST(CommandLine, HelpListsOwnOptionsThenTheFrontEndsNote)
{
    const std::string own = "Usage: Kestivo1 [options]\n"
                            "Watch rose-curve patterns being drawn point by point.\n"
                            "\n"
                            "Options:\n"
                            "  -h, --help     Show this help and exit.\n"
                            "  -v, --version  Show the version and exit.\n"
                            "  --pace <N>     Draw N points a second, from 0 to 1e9 (default 1000000); 0\n"
                            "                 draws as fast as the machine can.";
    EXPECT_EQ(parse({"--help"}).text, own + "\n\nThe toolkit's own options are accepted too.");
    EXPECT_EQ(parseCommandLine({"Kestivo1", "-h"}).text, own);
}
