#pragma once

// Text as Win32 takes it: UTF-16 in wchar_t, which on Windows is the same
// code unit as the core's char16_t texts.

#include <string>
#include <string_view>

namespace kestivo {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is UTF-16");

inline const wchar_t* wide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

// UTF-8 to UTF-16 and back; an invalid sequence becomes U+FFFD.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

} // namespace kestivo
