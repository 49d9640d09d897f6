// The program's texts.

#include "form/Texts.h"

#include <gtest/gtest.h>

// The texts are the same on every platform: their encoding is checked with
// the C library's iconv where it converts to GB2312 (see CMakeLists.txt).
#ifdef KESTIVO_HAS_GB2312_ICONV
#include <iconv.h>
#endif

using namespace kestivo;

#ifdef KESTIVO_HAS_GB2312_ICONV
TEST(Texts, EveryTextIsEncodableInGb2312)
{
    iconv_t cd = iconv_open("GB2312", "UTF-8");
    ASSERT_NE(cd, iconv_t(-1));
    for (const char16_t* t : texts::kAll) {
        std::string utf8 = texts::utf8(t);
        char* in = utf8.data();
        std::size_t inLeft = utf8.size();
        char out[512];
        char* outPtr = out;
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(iconv(cd, &in, &inLeft, &outPtr, &outLeft), std::size_t(-1)) << utf8;
        EXPECT_EQ(inLeft, 0u) << utf8;
    }
    iconv_close(cd);
}
#endif

TEST(Texts, Utf8KeepsEveryCharacterAndMarksBrokenSurrogates)
{
    EXPECT_EQ(texts::utf8(u"VB 图形程序设计 2007.1."), "VB 图形程序设计 2007.1.");
    EXPECT_EQ(texts::utf8(u"\u00e9\U0001F339"), "\u00e9\U0001F339");
    EXPECT_EQ(texts::utf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\uFFFDb");
}
