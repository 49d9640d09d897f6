// The Windows identity's icon file: its directory and images. The version
// record and icon group are read back from the built executable
// (tests/win32/check_exe.py).

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint16_t u16(const Bytes& b, std::size_t at)
{
    return std::uint16_t(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    return u16(b, at) | (std::uint32_t(u16(b, at + 2)) << 16);
}

} // namespace

TEST(WindowsIdentity, IconFileHoldsExactlyTheThreeImages)
{
    const Bytes ico = readFile(KESTIVO_ICO);
    ASSERT_GE(ico.size(), 6u + 3 * 16);
    EXPECT_EQ(u16(ico, 0), 0);
    EXPECT_EQ(u16(ico, 2), 1) << "an icon, not a cursor";
    ASSERT_EQ(u16(ico, 4), 3);
    const int expected[3][3] = {{32, 2, 1}, {32, 16, 4}, {16, 16, 4}};
    for (int i = 0; i < 3; ++i) {
        const std::size_t e = 6 + 16 * std::size_t(i);
        EXPECT_EQ(ico[e], expected[i][0]) << "width of image " << i;
        EXPECT_EQ(ico[e + 1], expected[i][0]) << "height of image " << i;
        EXPECT_EQ(ico[e + 2], expected[i][1]) << "colours of image " << i;
        EXPECT_EQ(u16(ico, e + 6), expected[i][2]) << "bits per pixel of image " << i;
        const std::uint32_t size = u32(ico, e + 8), offset = u32(ico, e + 12);
        ASSERT_LE(std::size_t(offset) + size, ico.size());
        EXPECT_EQ(u32(ico, offset), 40u) << "a BITMAPINFOHEADER";
        EXPECT_EQ(u32(ico, offset + 8), 2u * std::uint32_t(expected[i][0])) << "image and mask";
        EXPECT_EQ(u16(ico, offset + 14), expected[i][2]);
    }
}
