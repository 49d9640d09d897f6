#include "patterns/ColourPass.h"
#include "patterns/RoseCurve.h"
#include "support/Surfaces.h"
#include "support/RecordingSurface.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <vector>

using namespace kestivo;

namespace {

template <typename T>
std::vector<T> valuesOf(const SteppedRange<T>& r)
{
    std::vector<T> v;
    r.forEach([&](T x) { v.push_back(x); });
    return v;
}

std::vector<int> passesOf(ColourPass p)
{
    std::vector<int> v;
    p.forEach([&](int c) { v.push_back(c); });
    return v;
}

} // namespace

TEST(SteppedRange, AngleRangesAccumulateAndStopBeforeTheFullTurn)
{
    const auto coarse = valuesOf(roseAngles(0.002));
    ASSERT_EQ(coarse.size(), 3142u);
    EXPECT_EQ(coarse.front(), 0.0);
    EXPECT_LT(coarse.back(), 6.28318);
    EXPECT_NEAR(coarse.back(), 6.282, 1e-9);

    const auto fine = valuesOf(roseAngles(0.0001));
    ASSERT_EQ(fine.size(), 62832u);
    // The counter is a running sum, whose rounding drifts from 62831 * 0.0001.
    double sum = 0.0;
    for (int i = 0; i < 62831; ++i)
        sum += 0.0001;
    EXPECT_EQ(fine.back(), sum);
    EXPECT_NE(fine.back(), 62831 * 0.0001);
}

TEST(SteppedRange, IntegerRangesStopAtTheLastValueNotPastTheEnd)
{
    const auto rows = valuesOf(SteppedRange<int>{700, 11300, 400});
    ASSERT_EQ(rows.size(), 27u);
    EXPECT_EQ(rows.front(), 700);
    EXPECT_EQ(rows.back(), 11100);

    const auto columns = valuesOf(SteppedRange<int>{6500, 1300, -450});
    ASSERT_EQ(columns.size(), 12u);
    EXPECT_EQ(columns.front(), 6500);
    EXPECT_EQ(columns.back(), 1550);

    // The end itself is included when the counter lands on it.
    EXPECT_EQ(valuesOf(SteppedRange<int>{1, 3, 1}), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(valuesOf(SteppedRange<int>{5, 3, 1}).empty());
}

TEST(SteppedRange, ArcAnglesStopShortOfTheNominalEnd)
{
    const auto arc = valuesOf(
        SteppedRange<double>{(ApproxPi * 5.5) / 8, (ApproxPi * 19) / 8, ApproxPi / 14});
    ASSERT_EQ(arc.size(), 24u);
    EXPECT_EQ(arc.front(), 2.159843125);
    EXPECT_NEAR(arc.back(), 7.3210267, 1e-7);
    EXPECT_LT(arc.back(), 7.46127625);
}

TEST(SteppedRange, DegenerateStepsNeverHang)
{
    EXPECT_THROW((SteppedRange<double>{0, 1, 0}), std::invalid_argument);
    EXPECT_THROW((SteppedRange<int>{0, 1, 0}), std::invalid_argument);
    // An int counter that would overflow ends the loop rather than wrapping.
    EXPECT_EQ(valuesOf(SteppedRange<int>{INT_MAX - 1, INT_MAX, 2}).size(), 1u);
}

TEST(ColourPass, DrawsFromFirstUpToButExcludingStop)
{
    EXPECT_EQ(passesOf({14, -1, 9}), (std::vector<int>{14, 13, 12, 11, 10}));
    EXPECT_EQ(passesOf({14, -1, 12}), (std::vector<int>{14, 13}));
    EXPECT_EQ(passesOf({9, 1, 15}), (std::vector<int>{9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(passesOf({15, -1, 9}), (std::vector<int>{15, 14, 13, 12, 11, 10}));
}

TEST(RoseCurve, StartsAtTheTipOfTheFirstPetalForEitherSign)
{
    for (int sigma : {-1, 1}) {
        const RosePoint p = rosePoint({1900, 5900, 500, 7, 0.0001, sigma, 12}, 0.0);
        EXPECT_EQ(p.x, 2400.0);
        EXPECT_EQ(p.y, 5900.0);
    }
}

TEST(RoseCurve, SignChoosesWhichWayTheSineTermGoes)
{
    const double t = 0.3;
    const RosePoint down = rosePoint({1000, 1000, 200, 3, 0.002, -1, 14}, t);
    const RosePoint up = rosePoint({1000, 1000, 200, 3, 0.002, 1, 14}, t);
    EXPECT_EQ(down.x, up.x);
    EXPECT_DOUBLE_EQ(down.y - 1000, 1000 - up.y);
    EXPECT_EQ(up.y, (std::cos(t * 3) * std::sin(t)) * 200 + 1000);
}

TEST(RoseCurve, PlotsOnePointPerAngleAndReachesItsRadius)
{
    RecordingSurface rec;
    plotRose(rec, {10100, 1900, 500, 2, 0.0001, 1, 13});
    ASSERT_EQ(rec.calls().size(), 62832u);
    for (const auto& c : rec.calls()) {
        ASSERT_EQ(c.colour, QBColor(13));
        const double dx = c.x1 - 10100.0, dy = c.y1 - 1900.0;
        ASSERT_LE(dx * dx + dy * dy, 500.01 * 500.01);
    }
}

TEST(FloatingPointCheck, OverflowInTheRoutinesOwnArithmeticIsAnError)
{
    RecordingSurface rec;
    try {
        plotRose(rec, {1e308, 0, 1e308, 3, 0.002, -1, 14});
        FAIL() << "expected a floating-point error";
    } catch (const FloatingPointError& e) {
        EXPECT_EQ(e.flags(), unsigned(FloatingPointError::Overflow));
    }
    EXPECT_TRUE(rec.calls().empty()) << "nothing may be drawn after the fault";

    // A finite value beyond single precision cannot be handed to the surface.
    EXPECT_THROW(plotRose(rec, {1e39, 0, 1, 3, 0.002, -1, 14}), FloatingPointError);
}

TEST(FloatingPointCheck, FlagsLeftByOtherCodeDoNotEndTheRoutine)
{
    test::FlagLeakingSurface leaky;
#ifdef FE_OVERFLOW // none in WebAssembly
    std::feraiseexcept(FE_OVERFLOW);
#endif
    EXPECT_NO_THROW(plotRose(leaky, {1000, 1000, 200, 3, 0.002, -1, 14}));
    EXPECT_EQ(leaky.calls, 3142);
    std::feclearexcept(FE_ALL_EXCEPT);
}
