#pragma once

#include <windows.h>

#include <string>

namespace kestivo {

// A face to ask GDI for, with the character set it has it in: asking for a
// character set the face lacks makes the font mapper pick another face.
struct FontFace {
    std::wstring name;
    BYTE charset = DEFAULT_CHARSET;
};

// The labels' face: 楷体_GB2312 as designed, else 楷体 or KaiTi, else any
// installed Kai face (Wine's and other systems' AR PL UKai, STKaiti, ...),
// else 楷体_GB2312 for the mapper to match as it can.
FontFace labelFace();

// The buttons' face, the window's default GUI font of a Chinese system: the
// Song face 宋体 (SimSun), else another face with GB2312 (a Song face first),
// else the system's message font.
FontFace buttonFace(UINT dpi);

// A font of face at points (1/72 inch) on a screen of dpi dots per inch.
HFONT createFont(const FontFace& face, double points, UINT dpi, int weight);

} // namespace kestivo
