#pragma once

#include <QFont>

namespace kestivo {

// The labels' face, 楷体_GB2312, is a Windows font. Maps it and its usual
// aliases to a Kai-style face (AR PL UKai from fonts-arphic-ukai), then to
// any CJK face, so that the labels keep their brush-script look on Linux.
void installFontSubstitutes();

// A label font: the family, bold, at the given size in points.
QFont labelFont(double pointSize);

// The window's font, which its buttons use: the counterpart of the default
// GUI font of a Simplified-Chinese desktop of the program's time, a Song
// (Ming) face at 9 pt. AR PL UMing (fonts-arphic-uming) first, then other
// Song faces, then whatever the system uses for Chinese. Left to itself,
// fontconfig would draw the buttons in a Kai face, the title block's.
QFont windowFont();

} // namespace kestivo
