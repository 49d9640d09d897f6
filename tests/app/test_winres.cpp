// The Windows identity: the version record and icon group compiled by
// windres, field by field from the compiled resource, and the icon file's
// directory.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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

std::size_t align4(std::size_t v)
{
    return (v + 3) & ~std::size_t(3);
}

// A UTF-16 string at `at` (ASCII is all these records hold); moves past it.
std::string utf16(const Bytes& b, std::size_t& at)
{
    std::string s;
    for (std::uint16_t c; (c = u16(b, at)) != 0; at += 2)
        s += char(c);
    at += 2;
    return s;
}

struct Resource {
    std::uint16_t type;
    std::uint16_t name;
    std::uint16_t language;
    Bytes data;
};

// The entries of a .res file (numeric types and names only, as here).
std::vector<Resource> parseRes(const Bytes& b)
{
    std::vector<Resource> out;
    for (std::size_t at = 0; at + 32 <= b.size();) {
        const std::uint32_t dataSize = u32(b, at), headerSize = u32(b, at + 4);
        EXPECT_EQ(u16(b, at + 8), 0xFFFF) << "numeric type";
        EXPECT_EQ(u16(b, at + 12), 0xFFFF) << "numeric name";
        Resource r{u16(b, at + 10), u16(b, at + 14), u16(b, at + 22), {}};
        const std::size_t data = at + headerSize;
        r.data.assign(b.begin() + std::ptrdiff_t(data), b.begin() + std::ptrdiff_t(data + dataSize));
        if (dataSize > 0)
            out.push_back(std::move(r));
        at = align4(data + dataSize);
    }
    return out;
}

// A VS_VERSIONINFO block and its children.
struct Block {
    std::string key;
    Bytes value;
    std::string text;
    std::vector<Block> children;
};

Block parseBlock(const Bytes& b, std::size_t at)
{
    const std::size_t end = at + u16(b, at);
    const std::uint16_t valueLength = u16(b, at + 2), type = u16(b, at + 4);
    std::size_t p = at + 6;
    Block block;
    block.key = utf16(b, p);
    p = align4(p);
    if (valueLength > 0) {
        if (type == 1) {
            std::size_t q = p;
            block.text = utf16(b, q);
            p += valueLength * 2u;
        } else {
            block.value.assign(b.begin() + std::ptrdiff_t(p), b.begin() + std::ptrdiff_t(p + valueLength));
            p += valueLength;
        }
    }
    for (p = align4(p); p < end; p = align4(p)) {
        block.children.push_back(parseBlock(b, p));
        p += u16(b, p);
    }
    return block;
}

const Block* child(const Block& b, const std::string& key)
{
    for (const Block& c : b.children)
        if (c.key == key)
            return &c;
    return nullptr;
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

TEST(WindowsIdentity, VersionRecordAndIconGroupCompileWithEveryField)
{
    const std::string windres = KESTIVO_WINDRES;
    if (windres.empty())
        GTEST_SKIP() << "x86_64-w64-mingw32-windres is not installed (Debian package "
                        "binutils-mingw-w64-x86-64); the resource script was not compiled";
    // A directory of this run's own in the build tree: concurrent runs, or
    // another user's, cannot collide.
    std::string pattern = KESTIVO_TEST_WORKDIR "/winres-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << pattern;
    const std::filesystem::path dir = pattern;
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    const std::string res = (dir / "Kestivo1.res").string();
    const std::string command = "'" + windres + "' --preprocessor=cpp -i '" KESTIVO_RC "' -O res -o '" +
                                res + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const auto resources = parseRes(readFile(res));
    std::map<std::uint16_t, std::vector<const Resource*>> byType;
    for (const Resource& r : resources) {
        byType[r.type].push_back(&r);
        EXPECT_EQ(r.language, 0x0804) << "type " << r.type;
    }

    // The icon group, identifier 1, of three images.
    ASSERT_EQ(byType[14].size(), 1u);
    const Resource& group = *byType[14][0];
    EXPECT_EQ(group.name, 1);
    ASSERT_EQ(u16(group.data, 4), 3);
    EXPECT_EQ(byType[3].size(), 3u) << "three icon images";
    const int expected[3][3] = {{32, 2, 1}, {32, 16, 4}, {16, 16, 4}};
    for (int i = 0; i < 3; ++i) {
        const std::size_t e = 6 + 14 * std::size_t(i);
        EXPECT_EQ(group.data[e], expected[i][0]);
        EXPECT_EQ(group.data[e + 2], expected[i][1]);
        EXPECT_EQ(u16(group.data, e + 6), expected[i][2]);
    }

    // The version record.
    ASSERT_EQ(byType[16].size(), 1u);
    const Block info = parseBlock(byType[16][0]->data, 0);
    EXPECT_EQ(info.key, "VS_VERSION_INFO");
    ASSERT_GE(info.value.size(), 52u);
    EXPECT_EQ(u32(info.value, 0), 0xFEEF04BDu) << "VS_FIXEDFILEINFO signature";
    // The project's version, 1.0.0 written 1.0.0.0 and "1.00".
    const std::uint32_t high = (KESTIVO_VERSION_MAJOR << 16) | KESTIVO_VERSION_MINOR;
    const std::uint32_t low = KESTIVO_VERSION_PATCH << 16;
    EXPECT_EQ(u32(info.value, 8), high) << "file version major.minor";
    EXPECT_EQ(u32(info.value, 12), low) << "file version patch.0";
    EXPECT_EQ(u32(info.value, 16), high) << "product version major.minor";
    EXPECT_EQ(u32(info.value, 20), low) << "product version patch.0";

    const Block* strings = child(info, "StringFileInfo");
    ASSERT_NE(strings, nullptr);
    const Block* table = child(*strings, "080404B0");
    ASSERT_NE(table, nullptr) << "string table 080404B0";
    const std::map<std::string, std::string> want{
        {"FileVersion", KESTIVO_VERSION_TEXT}, {"ProductVersion", KESTIVO_VERSION_TEXT},
        {"CompanyName", "Zorvelt"},      {"ProductName", "Kestivo1"},
        {"InternalName", "Kestivo1"},    {"OriginalFilename", "Kestivo1.exe"},
    };
    for (const auto& [key, value] : want) {
        const Block* s = child(*table, key);
        ASSERT_NE(s, nullptr) << key;
        EXPECT_EQ(s->text, value) << key;
    }

    const Block* vars = child(info, "VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const Block* translation = child(*vars, "Translation");
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(translation->value.size(), 4u);
    EXPECT_EQ(u16(translation->value, 0), 0x0804) << "Chinese (PRC)";
    EXPECT_EQ(u16(translation->value, 2), 1200) << "Unicode";
}
