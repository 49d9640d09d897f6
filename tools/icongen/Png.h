#pragma once

#include "surface/Pixels.h"

#include <cstdint>
#include <vector>

namespace kestivo {

// The picture as a PNG file: 8-bit RGB, no alpha (the icons are opaque).
// The image data is stored, not compressed: the icons are a few kilobytes at
// most, too little to be worth carrying a compressor.
[[nodiscard]] std::vector<std::uint8_t> encodePng(const Pixels& picture);

} // namespace kestivo
