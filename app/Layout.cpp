#include "Layout.h"

#include "Texts.h"

#include <cstring>

namespace kestivo::layout {

using namespace texts;

// clang-format off
const std::array<Control, 10> kControls{{
    // name       kind                 text      left   top  width height tab  colour                 size
    {"CmdHwbk", Kind::CommandButton, kCmdHwbk, 3360, 7560, 1095,  375,  0, 0,                     0},
    {"CmdHwty", Kind::CommandButton, kCmdHwty, 4680, 7560,  975,  375,  7, 0,                     0},
    {"CmdSgxc", Kind::CommandButton, kCmdSgxc, 5880, 7560,  975,  375,  6, 0,                     0},
    {"CmdCls",  Kind::CommandButton, kCmdCls,  7080, 7560,  975,  375,  1, 0,                     0},
    {"CmdExit", Kind::CommandButton, kCmdExit, 8280, 7560,  975,  375,  2, 0,                     0},
    {"Label4",  Kind::Label,         kLabel4,  5040, 3000, 2175,  375,  8, qRgb(255, 0, 255),     15.75},
    {"Label1",  Kind::Label,         kLabel1,  4320, 3720, 3375,  495,  3, qRgb(255, 255, 0),     26.25},
    {"Label2",  Kind::Label,         kLabel2,  4560, 4560, 2775,  375,  4, qRgb(0, 255, 0),       15.75},
    {"Label3",  Kind::Label,         kLabel3,  5400, 5160, 1215,  375,  5, qRgb(0, 192, 192),     15.75},
    {"Shape1",  Kind::Shape,         nullptr,   120,  120, 11775, 8055, -1, qRgb(0, 0, 255),      0},
}};
// clang-format on

const Control* find(const char* name)
{
    for (const Control& c : kControls)
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

} // namespace kestivo::layout
