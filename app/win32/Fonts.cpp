#include "win32/Fonts.h"

#include "form/Layout.h"
#include "win32/Text.h"

#include <cmath>
#include <cwchar>
#include <optional>

namespace kestivo {

namespace {

using Accept = bool (*)(const wchar_t* name);

struct Search {
    const wchar_t* name = nullptr; // nullptr: any face accept() takes
    Accept accept = nullptr;       // nullptr: any face
    BYTE wanted = DEFAULT_CHARSET;
    std::optional<FontFace> found;
};

bool isKai(const wchar_t* name)
{
    return std::wcsstr(name, L"Kai") || std::wcsstr(name, L"kai") || std::wcsstr(name, L"楷");
}

// Song faces: 宋体, SimSun, STSong, and the Ming faces (明体, AR PL UMing),
// as the same style is named in Taiwan.
bool isSong(const wchar_t* name)
{
    return std::wcsstr(name, L"Song") || std::wcsstr(name, L"Sun") || std::wcsstr(name, L"宋") ||
           std::wcsstr(name, L"Ming") || std::wcsstr(name, L"明");
}

int CALLBACK onFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data)
{
    auto& search = *reinterpret_cast<Search*>(data);
    // Vertical faces start with '@'.
    if (!search.name && (font->lfFaceName[0] == L'@' || (search.accept && !search.accept(font->lfFaceName))))
        return 1;
    // A face comes once per character set: the wanted one if it has it.
    if (!search.found || font->lfCharSet == search.wanted)
        search.found = FontFace{font->lfFaceName, font->lfCharSet};
    return font->lfCharSet == search.wanted ? 0 : 1;
}

// A face named name, or else any that accept() takes, in the character set
// wanted if it has it. Asked of any character set, a face comes once per
// set; asked of one, only faces that have it come.
std::optional<FontFace> find(const wchar_t* name, BYTE wanted, Accept accept = isKai,
                             BYTE asked = DEFAULT_CHARSET)
{
    Search search{name, accept, wanted, std::nullopt};
    LOGFONTW font{};
    font.lfCharSet = asked;
    if (name)
        std::wcsncpy(font.lfFaceName, name, LF_FACESIZE - 1);
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &font, onFamily, reinterpret_cast<LPARAM>(&search), 0);
    ReleaseDC(nullptr, screen);
    return search.found;
}

} // namespace

FontFace labelFace()
{
    const wchar_t* designed = wide(layout::kLabelFontFamily);
    for (const wchar_t* name : {designed, L"楷体", L"KaiTi"})
        if (auto face = find(name, GB2312_CHARSET))
            return *face;
    if (auto face = find(nullptr, GB2312_CHARSET))
        return *face;
    return {designed, GB2312_CHARSET};
}

FontFace buttonFace(UINT dpi)
{
    for (const wchar_t* name : {L"宋体", L"SimSun"})
        if (auto face = find(name, GB2312_CHARSET))
            if (face->charset == GB2312_CHARSET)
                return *face;
    // Chosen by its character set, the captions have their glyphs whether
    // or not the system links fonts for the message font.
    for (const Accept accept : {Accept(isSong), Accept(nullptr)})
        if (auto face = find(nullptr, GB2312_CHARSET, accept, GB2312_CHARSET))
            return *face;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return {metrics.lfMessageFont.lfFaceName, metrics.lfMessageFont.lfCharSet};
    return {L"MS Shell Dlg 2", DEFAULT_CHARSET};
}

HFONT createFont(const FontFace& face, double points, UINT dpi, int weight)
{
    LOGFONTW font{};
    // Negative: the character height, as point sizes are meant.
    font.lfHeight = -int(std::lround(points * dpi / 72.0));
    font.lfWeight = weight;
    font.lfCharSet = face.charset;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::wcsncpy(font.lfFaceName, face.name.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

} // namespace kestivo
