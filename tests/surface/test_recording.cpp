// The recording: it answers every call as the picture would, and applied in
// any steps it makes exactly the picture that drawing straight makes.

#include "patterns/Patterns.h"
#include "support/Surfaces.h"
#include "surface/Palette.h"
#include "surface/Recording.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

using namespace kestivo;

TEST(Recording, AnswersEachCallAsThePictureAndAppliedInAnyStepsMakesItsPicture)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Point run[] = {{900, 800}, {1e30f, 0}, {-8, 45}, {3000, 2000}, {nan, 10}, {1500, 1500}};
    const auto calls = [&](DrawingSurface& s) {
        std::vector<Status> said;
        said.push_back(s.PSetRun(std::span(run).first(4), QBColor(12)));
        said.push_back(s.PSetRun(std::span(run).first(4), QBColor(13))); // a later pass
        said.push_back(s.PSetRun(run, QBColor(9)));                       // ends at the NaN
        said.push_back(s.DrawWidth(0));
        said.push_back(s.DrawWidth(3));
        said.push_back(s.PSetRun(std::span(run).first(4), QBColor(14))); // a wide pen
        said.push_back(s.PSet(2000, 100, QBColor(10)));
        said.push_back(s.Line(nan, 0, 10, 10, QBColor(11), BoxStyle::BF));
        said.push_back(s.Line(-inf, 300, 600, inf, QBColor(11), BoxStyle::B));
        said.push_back(s.DrawWidth(1));
        said.push_back(s.PSet(0, nan, QBColor(10)));
        said.push_back(s.Cls());
        said.push_back(s.PSetRun(std::span(run).first(4), QBColor(12)));
        said.push_back(s.Line(100, 100, 200, 150, QBColor(15), BoxStyle::BF));
        return said;
    };
    RasterSurface straight(800, 552, 144);
    const std::vector<Status> expected = calls(straight);
    for (const long long step : {1LL, 3LL, 1000LL}) {
        SCOPED_TRACE(step);
        RasterSurface picture(800, 552, 144);
        Recording recording(picture);
        EXPECT_EQ(calls(recording), expected);
        recording.recorded();
        EXPECT_EQ(picture.snapshot(), RasterSurface(800, 552, 144).snapshot()) << "drawn before shown";
        long long due = 0;
        while (!recording.applyUntil(due += step))
            EXPECT_EQ(recording.pointsApplied(), due);
        EXPECT_EQ(picture.snapshot(), straight.snapshot());
        EXPECT_EQ(picture.penWidth(), straight.penWidth());
        EXPECT_TRUE(recording.cleared());
    }
}

// Each pattern's later colour passes refer to its first pass's positions.
TEST(Recording, APatternHoldsAboutItsFirstPassAndShowsExactly)
{
    const struct {
        Routine routine;
        std::size_t firstPass;
    } patterns[] = {{DrawHwbk, 244'932}, {DrawHwty, 75'408}, {DrawSgxc, 251'328}};
    for (const auto& p : patterns) {
        RasterSurface picture(800, 552);
        Recording recording(picture);
        p.routine(recording);
        recording.recorded();
        EXPECT_LE(recording.bytes(), p.firstPass * 4 * 2 + (64 << 10)); // room doubles as it grows
        EXPECT_TRUE(recording.applyUntil(std::numeric_limits<long long>::max()));
        EXPECT_EQ(picture.snapshot(), test::enginePicture(picture, {p.routine}));
    }
}
