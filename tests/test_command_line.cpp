// The command line as the program reads it before the window system.

#include "CommandLine.h"

#include <gtest/gtest.h>

using kestivo::CommandLine;
using kestivo::parseCommandLine;

namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("Kestivo1"));
    return parseCommandLine(arguments);
}

} // namespace

TEST(CommandLine, PaceTakesAFiniteRateFromZeroToAThousandMillion)
{
    EXPECT_EQ(parse({}).pointsPerSecond, 1'000'000) << "the default";
    const std::pair<QStringList, double> good[] = {
        {{"--pace", "0"}, 0},       {{"--pace=2500"}, 2500},       {{"-pace", "1e9"}, 1e9},
        {{"--pace", "0.5"}, 0.5},   {{"--pace", "1e-300"}, 1e-300}, {{"--pace", "7", "--pace", "8"}, 8},
    };
    for (const auto& [arguments, rate] : good) {
        const CommandLine c = parse(arguments);
        EXPECT_EQ(c.action, CommandLine::Action::Run) << arguments.join(' ').toStdString();
        EXPECT_EQ(c.pointsPerSecond, rate) << arguments.join(' ').toStdString();
    }
    for (const char* value : {"-1", "1000000001", "1e10", "nan", "inf", "-inf", "", "abc", "1,000", "0x10", "5x"}) {
        const CommandLine c = parse({"--pace", value});
        EXPECT_EQ(c.action, CommandLine::Action::UsageError) << value;
        EXPECT_TRUE(c.text.contains(QStringLiteral("'%1'").arg(value))) << c.text.toStdString();
    }
}

TEST(CommandLine, QtOptionsAreLeftForQtAndNameThePlatformAndDisplay)
{
    const CommandLine c = parse({"-platform", "offscreen", "-style", "Fusion", "-reverse", "-qwindowgeometry",
                                 "640x480+0+0", "-stylesheet=a.qss", "--display", ":1", "-widgetcount"});
    EXPECT_EQ(c.action, CommandLine::Action::Run) << c.text.toStdString();
    EXPECT_EQ(c.platform, "offscreen");
    EXPECT_EQ(c.display, ":1");

    // Anything else, even among them, is a usage error.
    EXPECT_EQ(parse({"-platform", "xcb", "-platformx"}).action, CommandLine::Action::UsageError);
    EXPECT_EQ(parse({"-style", "Fusion", "Fusion"}).action, CommandLine::Action::UsageError);
}
