// Draws the program's icon with its own pattern code (a five-petal rose in
// a blue frame on the window's green) and writes it as
//   Kestivo1.ico: an icon group of three images, 32x32 in 2 colours,
//                 32x32 in 16 colours and 16x16 in 16 colours;
//   icon-N.png:   for the Linux icon theme, N = 16, 32, 48, 64, 128, 256.
//
//   kestivo_icongen OUTPUT-DIRECTORY

#include "patterns/RoseCurve.h"
#include "patterns/StatusCheck.h"
#include "surface/Palette.h"
#include "surface/RasterSurface.h"
#include "tools/icongen/Png.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

using namespace kestivo;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

constexpr std::uint8_t red(std::uint32_t argb) { return std::uint8_t(argb >> 16); }
constexpr std::uint8_t green(std::uint32_t argb) { return std::uint8_t(argb >> 8); }
constexpr std::uint8_t blue(std::uint32_t argb) { return std::uint8_t(argb); }

// The icon at n x n pixels, in palette colours only.
Pixels drawIcon(int n)
{
    RasterSurface surface(n, n); // 96 dpi: 15 twips a pixel
    const double twips = 15.0;
    const int pen = std::max(1, n / 32);
    checkStatus(surface.DrawWidth(pen), "DrawWidth");
    checkStatus(surface.Line(0, 0, float((n - 1) * twips), float((n - 1) * twips), QBColor(9),
                             BoxStyle::B),
                "Line");
    const double centre = (n - 1) * twips / 2;
    const double radius = (n / 2.0 - 1.5 - 2 * pen) * twips;
    plotRose(surface, {centre, centre, radius, 5, 0.0005, 1, 14});
    return surface.snapshot();
}

void put16(std::vector<std::uint8_t>& b, unsigned v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& b, unsigned v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// One icon image as a DIB: header, palette, colour bits (bottom-up rows of
// bpp bits per pixel) and an all-opaque AND mask.
std::vector<std::uint8_t> dib(const Pixels& image, const std::vector<std::uint32_t>& palette, int bpp)
{
    const int n = image.width();
    std::vector<std::uint8_t> b;
    put32(b, 40);        // biSize
    put32(b, unsigned(n));
    put32(b, unsigned(2 * n)); // colour bits and mask
    put16(b, 1);         // planes
    put16(b, unsigned(bpp));
    put32(b, 0);         // BI_RGB
    const int xorStride = ((n * bpp + 31) / 32) * 4;
    const int andStride = ((n + 31) / 32) * 4;
    put32(b, unsigned((xorStride + andStride) * n));
    put32(b, 0);
    put32(b, 0);
    put32(b, unsigned(palette.size()));
    put32(b, 0);
    for (std::uint32_t c : palette) {
        b.push_back(blue(c));
        b.push_back(green(c));
        b.push_back(red(c));
        b.push_back(0);
    }
    const auto index = [&](std::uint32_t c) {
        for (std::size_t i = 0; i < palette.size(); ++i)
            if ((palette[i] & 0xFFFFFF) == (c & 0xFFFFFF))
                return int(i);
        return 0;
    };
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(std::size_t(xorStride), 0);
        for (int x = 0; x < n; ++x) {
            const int i = index(image.pixel(x, y));
            const int bit = x * bpp;
            row[std::size_t(bit / 8)] |= std::uint8_t(i << (8 - bpp - bit % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    b.insert(b.end(), std::size_t(andStride * n), 0);
    return b;
}

// The 16-colour images use the palette itself; the 2-colour one draws the
// rose and frame black on white.
Pixels monochrome(const Pixels& image)
{
    Pixels mono = image;
    const std::uint32_t background = QBColor(2).argb();
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            mono.setPixel(x, y, image.pixel(x, y) == background ? kWhite : kBlack);
    return mono;
}

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    return !file.fail();
}

bool writeIco(const std::filesystem::path& path)
{
    std::vector<std::uint32_t> sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.push_back(QBColor(i).argb());
    const std::vector<std::uint32_t> two{kBlack, kWhite};

    struct Entry {
        int size, colours, bpp;
        std::vector<std::uint8_t> data;
    };
    std::array<Entry, 3> entries{{
        {32, 2, 1, dib(monochrome(drawIcon(32)), two, 1)},
        {32, 16, 4, dib(drawIcon(32), sixteen, 4)},
        {16, 16, 4, dib(drawIcon(16), sixteen, 4)},
    }};

    std::vector<std::uint8_t> ico;
    put16(ico, 0);
    put16(ico, 1); // icon
    put16(ico, unsigned(entries.size()));
    unsigned offset = 6 + 16 * unsigned(entries.size());
    for (const Entry& e : entries) {
        ico.push_back(std::uint8_t(e.size));
        ico.push_back(std::uint8_t(e.size));
        ico.push_back(std::uint8_t(e.colours));
        ico.push_back(0);
        put16(ico, 1);
        put16(ico, unsigned(e.bpp));
        put32(ico, unsigned(e.data.size()));
        put32(ico, offset);
        offset += unsigned(e.data.size());
    }
    for (const Entry& e : entries)
        ico.insert(ico.end(), e.data.begin(), e.data.end());
    return writeFile(path, ico);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(out, error);
    bool ok = !error;
    if (ok) {
        ok = writeIco(out / "Kestivo1.ico");
        for (int n : {16, 32, 48, 64, 128, 256})
            ok = writeFile(out / ("icon-" + std::to_string(n) + ".png"), encodePng(drawIcon(n))) && ok;
    }
    if (!ok)
        std::fprintf(stderr, "%s: could not write the icons\n", argv[0]);
    return ok ? 0 : 1;
}
