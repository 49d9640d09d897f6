// The 16-colour palette.

#include "surface/Palette.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

using namespace kestivo;

TEST(Palette, SevenUsedEntriesAreExactAndOthersAreTheUsualSixteen)
{
    EXPECT_EQ(QBColor(9), (Rgb{0, 0, 255}));
    EXPECT_EQ(QBColor(10), (Rgb{0, 255, 0}));
    EXPECT_EQ(QBColor(11), (Rgb{0, 255, 255}));
    EXPECT_EQ(QBColor(12), (Rgb{255, 0, 0}));
    EXPECT_EQ(QBColor(13), (Rgb{255, 0, 255}));
    EXPECT_EQ(QBColor(14), (Rgb{255, 255, 0}));
    EXPECT_EQ(QBColor(15), (Rgb{255, 255, 255}));
    EXPECT_EQ(QBColor(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(QBColor(7), (Rgb{192, 192, 192}));
    EXPECT_EQ(QBColor(8), (Rgb{128, 128, 128}));
    // Each dark entry has 128 where its light twin has 255.
    const auto half = [](std::uint8_t v) { return v ? 128 : 0; };
    for (int i = 1; i <= 6; ++i) {
        const Rgb dark = QBColor(i), light = QBColor(i + 8);
        EXPECT_EQ(dark.r(), half(light.r()));
        EXPECT_EQ(dark.g(), half(light.g()));
        EXPECT_EQ(dark.b(), half(light.b()));
    }
    EXPECT_THROW((void)QBColor(-1), std::out_of_range);
    EXPECT_THROW((void)QBColor(16), std::out_of_range);
}
