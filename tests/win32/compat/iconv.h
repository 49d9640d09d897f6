#pragma once

// What the core's tests use of iconv, for the cross build: Windows has no
// iconv, but converts UTF-8 to GB2312 itself. Only that conversion is
// offered. Code page 936 is GBK, a superset of GB2312, so each character it
// gives must also be in GB2312's rows: two bytes of 0xA1 to 0xFE.

#include <windows.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

using iconv_t = void*;

inline iconv_t iconv_open(const char* to, const char* from)
{
    static int gb2312;
    if (std::strcmp(to, "GB2312") != 0 || std::strcmp(from, "UTF-8") != 0) {
        errno = EINVAL;
        return iconv_t(-1);
    }
    return &gb2312;
}

inline int iconv_close(iconv_t)
{
    return 0;
}

inline std::size_t iconv(iconv_t, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft)
{
    if (!in || !*in)
        return 0; // no shift state to reset
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, *in, int(*inLeft), nullptr, 0);
    std::wstring text(std::size_t(units), L'\0');
    if (units == 0 ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, *in, int(*inLeft), text.data(), units) != units) {
        errno = EILSEQ;
        return std::size_t(-1);
    }
    std::string bytes;
    for (wchar_t c : text) {
        char encoded[4];
        BOOL defaulted = FALSE;
        const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &c, 1, encoded, sizeof encoded,
                                          nullptr, &defaulted);
        const auto row = [](char b) { return (unsigned char)b >= 0xA1 && (unsigned char)b <= 0xFE; };
        const bool ok = !defaulted && ((n == 1 && (unsigned char)encoded[0] < 0x80) ||
                                       (n == 2 && row(encoded[0]) && row(encoded[1])));
        if (!ok) {
            errno = EILSEQ;
            return std::size_t(-1);
        }
        bytes.append(encoded, std::size_t(n));
    }
    if (bytes.size() > *outLeft) {
        errno = E2BIG;
        return std::size_t(-1);
    }
    std::memcpy(*out, bytes.data(), bytes.size());
    *out += bytes.size();
    *outLeft -= bytes.size();
    *in += *inLeft;
    *inLeft = 0;
    return 0;
}
