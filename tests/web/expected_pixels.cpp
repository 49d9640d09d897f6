// The core's own picture of each sequence of buttons the page tests press,
// at a scale: what the page's canvas must hold, pixel for pixel.
//
//   expected_pixels SCALE            one line a sequence: NAME FNV1A32
//   expected_pixels SCALE NAME FILE  that picture's RGBA bytes into FILE
//
// The hash is FNV-1a (32 bits) over the canvas's RGBA bytes, as the test
// driver computes it in the page over getImageData.

#include "patterns/Patterns.h"
#include "form/Layout.h"
#include "session/Picture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace {
using namespace kestivo;

struct Sequence {
    const char* name;
    std::initializer_list<Routine> routines;
};

const Sequence kSequences[] = {
    {"empty", {}},
    {"hwbk", {DrawHwbk}},
    {"hwty", {DrawHwty}},
    {"sgxc", {DrawSgxc}},
    {"all", {DrawHwbk, DrawHwty, DrawSgxc}},
};

// The picture as the page's canvas holds it: opaque RGBA, rows adjacent.
std::vector<std::uint8_t> rgba(const Sequence& s, double scale)
{
    const layout::Size size = layout::pictureSize(TwipsScale(layout::kLogicalDpi));
    Picture picture(size.width, size.height, layout::kLogicalDpi, scale);
    for (Routine r : s.routines)
        r(picture.raster());
    const RasterSurface& raster = picture.raster();
    const std::size_t n = std::size_t(raster.width()) * std::size_t(raster.height());
    std::vector<std::uint8_t> bytes(n * 4);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t p = raster.pixels()[i];
        bytes[i * 4] = std::uint8_t(p >> 16);
        bytes[i * 4 + 1] = std::uint8_t(p >> 8);
        bytes[i * 4 + 2] = std::uint8_t(p);
        bytes[i * 4 + 3] = 0xFF;
    }
    return bytes;
}

std::uint32_t fnv1a32(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t h = 2166136261u;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 16777619u;
    }
    return h;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: expected_pixels SCALE [NAME FILE]\n");
        return 2;
    }
    const double scale = std::atof(argv[1]);
    for (const Sequence& s : kSequences) {
        if (argc == 2) {
            std::printf("%s %08x\n", s.name, unsigned(fnv1a32(rgba(s, scale))));
            continue;
        }
        if (std::string_view(argv[2]) != s.name)
            continue;
        const std::vector<std::uint8_t> bytes = rgba(s, scale);
        std::FILE* out = std::fopen(argv[3], "wb");
        const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        if (!out || std::fclose(out) != 0 || !written) {
            std::fprintf(stderr, "expected_pixels: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    return argc == 2 ? 0 : 2;
}
