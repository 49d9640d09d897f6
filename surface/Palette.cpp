#include "surface/Palette.h"

#include <array>
#include <stdexcept>
#include <string>

namespace kestivo {

namespace {
constexpr std::array<Rgb, 16> kPalette{{
    {0, 0, 0},       // 0 black
    {0, 0, 128},     // 1 blue
    {0, 128, 0},     // 2 green
    {0, 128, 128},   // 3 cyan
    {128, 0, 0},     // 4 red
    {128, 0, 128},   // 5 magenta
    {128, 128, 0},   // 6 yellow
    {192, 192, 192}, // 7 white
    {128, 128, 128}, // 8 grey
    {0, 0, 255},     // 9 light blue
    {0, 255, 0},     // 10 light green
    {0, 255, 255},   // 11 light cyan
    {255, 0, 0},     // 12 light red
    {255, 0, 255},   // 13 light magenta
    {255, 255, 0},   // 14 light yellow
    {255, 255, 255}, // 15 bright white
}};
} // namespace

Rgb QBColor(ColourIndex index)
{
    if (index < 0 || index >= int(kPalette.size()))
        throw std::out_of_range("QBColor: colour index " + std::to_string(index) +
                                " is outside 0-15");
    return kPalette[std::size_t(index)];
}

} // namespace kestivo
