#pragma once

// The window's design: the form and every control with its position and size
// in twips, from which each front-end builds its window.

#include "surface/DrawingSurface.h"
#include "surface/Palette.h"
#include "surface/TwipsScale.h"

#include <array>

namespace kestivo::layout {

// The window's object name, which run-time errors name with the operation.
inline constexpr char kFormName[] = "Form1";

// The controls' names.
inline constexpr char kCmdHwbk[] = "CmdHwbk";
inline constexpr char kCmdHwty[] = "CmdHwty";
inline constexpr char kCmdSgxc[] = "CmdSgxc";
inline constexpr char kCmdCls[] = "CmdCls";
inline constexpr char kCmdExit[] = "CmdExit";
inline constexpr char kLabel1[] = "Label1";
inline constexpr char kLabel2[] = "Label2";
inline constexpr char kLabel3[] = "Label3";
inline constexpr char kLabel4[] = "Label4";
inline constexpr char kShape1[] = "Shape1";

enum class Kind { CommandButton, Label, Shape };

struct Control {
    const char* name;
    Kind kind;
    const char16_t* text; // nullptr for the shape
    int left, top, width, height; // twips within the client area
    int tabIndex;                 // -1: takes no focus
    Rgb foreColour;               // labels' text, the shape's border
    double pointSize;             // labels only
};

// The labels' boxes.
inline constexpr Rgb kBlack{0, 0, 0};

// The label font, with GB2312 as its character set on the original system.
inline constexpr char16_t kLabelFontFamily[] = u"楷体_GB2312";
inline constexpr int kLabelFontWeight = 700;

// The buttons' size in the window's font (a Song face on the original
// system), in points.
inline constexpr int kButtonFontPoints = 9;

// The client area's background is the surface's, kBackground, which Cls
// restores. The size the window opens at is large enough for the whole
// layout (the pattern border box ends at 11950, 8220).
inline constexpr int kClientWidth = 12000;
inline constexpr int kClientHeight = 8280;
inline constexpr int kLayoutRight = 11950;
inline constexpr int kLayoutBottom = 8220;

extern const std::array<Control, 10> kControls;

// The control named name, or nullptr.
const Control* find(const char* name);

// The buttons in tab order (by TabIndex): the order the keyboard moves the
// focus in, and the order a page lists them for screen readers.
extern const std::array<const Control*, 5> kTabOrder;

// Logical pixels: the unit a front-end lays its window out in, 1/96 inch,
// so that one is 15 twips. A screen's own scale comes on top of it.
inline constexpr double kLogicalDpi = 96.0;

struct Size {
    int width;
    int height;
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

// The client size the window opens at, in pixels of the given scale.
Size clientSize(const TwipsScale& scale);

// What the picture must cover, in pixels of the given scale: the window as
// it opens, which holds everything the routines can draw.
Size pictureSize(const TwipsScale& scale);

// The scale, at most 1, at which a window of the given size fits the space
// available, keeping its proportions: a small screen shows it all, smaller.
double fitScale(double availableWidth, double availableHeight, double width, double height);

// A label's baseline below the top of its box, for a face of the given
// ascent and descent (in any one unit) at emPixels: the face's em box, sized
// from its ascent and descent, starts at the box's top, as a face whose
// ascent and descent make up its em sits on the original system. Faces
// whose ascent alone is nearly an em would otherwise put the ideographs
// low and cut them at the bottom of a box shorter than the em.
double textBaseline(double emPixels, double ascent, double descent);

} // namespace kestivo::layout
