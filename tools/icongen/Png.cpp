#include "tools/icongen/Png.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace kestivo {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

// CRC-32 as PNG and zlib define it (reflected, polynomial 0xEDB88320).
std::uint32_t crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const Bytes& data)
{
    constexpr std::uint32_t kBase = 65521;
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % kBase;
        b = (b + a) % kBase;
    }
    return (b << 16) | a;
}

void putBigEndian32(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(v >> shift));
}

void putChunk(Bytes& out, std::string_view type, const Bytes& data)
{
    putBigEndian32(out, std::uint32_t(data.size()));
    const std::size_t crcFrom = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian32(out, crc32(out.data() + crcFrom, out.size() - crcFrom));
}

// A zlib stream of stored deflate blocks, each at most 65535 bytes.
Bytes zlibStored(const Bytes& data)
{
    constexpr std::size_t kMaxBlock = 65535;
    Bytes out{0x78, 0x01}; // deflate, 32K window; the check bits make 0x7801 a multiple of 31
    std::size_t at = 0;
    do {
        const std::size_t size = std::min(kMaxBlock, data.size() - at);
        const bool last = at + size == data.size();
        out.push_back(last ? 1 : 0); // BFINAL, BTYPE 00 (stored), padded to the byte
        out.push_back(std::uint8_t(size));
        out.push_back(std::uint8_t(size >> 8));
        out.push_back(std::uint8_t(~size));
        out.push_back(std::uint8_t(~size >> 8));
        out.insert(out.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + size));
        at += size;
    } while (at < data.size());
    putBigEndian32(out, adler32(data));
    return out;
}

} // namespace

std::vector<std::uint8_t> encodePng(const Pixels& picture)
{
    const int width = picture.width();
    const int height = picture.height();

    Bytes header;
    putBigEndian32(header, std::uint32_t(width));
    putBigEndian32(header, std::uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, adaptive filters, no interlace

    // Each row: filter type 0 (none), then the pixels' red, green and blue.
    Bytes rows;
    rows.reserve(std::size_t(height) * (1 + 3 * std::size_t(width)));
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t argb = picture.pixel(x, y);
            rows.insert(rows.end(), {std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb)});
        }
    }

    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(rows));
    putChunk(png, "IEND", {});
    return png;
}

} // namespace kestivo
