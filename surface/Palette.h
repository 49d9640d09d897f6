#pragma once

#include "surface/DrawingSurface.h"

namespace kestivo {

// Index into the 16-entry palette.
using ColourIndex = int;

// The window's background, restored by Cls.
inline constexpr Rgb kBackground{0, 128, 0};

// The platform's 16-colour palette. Throws std::out_of_range for an index
// outside 0-15: a bad index is a programming error, never wrapped around.
[[nodiscard]] Rgb QBColor(ColourIndex index);

} // namespace kestivo
