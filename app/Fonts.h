#pragma once

#include <QFont>

namespace kestivo {

// The labels' face, 楷体_GB2312, is a Windows font. Maps it and its usual
// aliases to a Kai-style face (AR PL UKai from fonts-arphic-ukai), then to
// any CJK face, so that the labels keep their brush-script look on Linux.
void installFontSubstitutes();

// A label font: the family, bold, at the given size in points.
QFont labelFont(double pointSize);

} // namespace kestivo
