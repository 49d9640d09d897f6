#pragma once

// The window's design: every control with its position and size in twips,
// from which Form1 builds its widgets.

#include <QRgb>

#include <array>

namespace kestivo::layout {

enum class Kind { CommandButton, Label, Shape };

struct Control {
    const char* name;
    Kind kind;
    const char16_t* text; // nullptr for the shape
    int left, top, width, height; // twips within the client area
    int tabIndex;                 // -1: takes no focus
    QRgb foreColour;              // labels' text, the shape's border
    double pointSize;             // labels only
};

inline constexpr QRgb kBlack = qRgb(0, 0, 0);

// The label font, with GB2312 as its character set on the original system.
inline constexpr char16_t kLabelFontFamily[] = u"楷体_GB2312";

// The client area: the background and the size the window opens at, large
// enough for the whole layout (the pattern border box ends at 11950, 8220).
inline constexpr QRgb kBackColour = qRgb(0, 128, 0);
inline constexpr int kClientWidth = 12000;
inline constexpr int kClientHeight = 8280;
inline constexpr int kLayoutRight = 11950;
inline constexpr int kLayoutBottom = 8220;

extern const std::array<Control, 10> kControls;

// The control named name, or nullptr.
const Control* find(const char* name);

} // namespace kestivo::layout
