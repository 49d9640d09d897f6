#include "form/Layout.h"

#include "form/Texts.h"

#include <algorithm>
#include <cstring>

namespace kestivo::layout {

// clang-format off
const std::array<Control, 10> kControls{{
    // name    kind                 text            left   top  width height tab  colour          size
    {kCmdHwbk, Kind::CommandButton, texts::kCmdHwbk, 3360, 7560, 1095,  375,  0, {},              0},
    {kCmdHwty, Kind::CommandButton, texts::kCmdHwty, 4680, 7560,  975,  375,  7, {},              0},
    {kCmdSgxc, Kind::CommandButton, texts::kCmdSgxc, 5880, 7560,  975,  375,  6, {},              0},
    {kCmdCls,  Kind::CommandButton, texts::kCmdCls,  7080, 7560,  975,  375,  1, {},              0},
    {kCmdExit, Kind::CommandButton, texts::kCmdExit, 8280, 7560,  975,  375,  2, {},              0},
    {kLabel4,  Kind::Label,         texts::kLabel4,  5040, 3000, 2175,  375,  8, {255, 0, 255},   15.75},
    {kLabel1,  Kind::Label,         texts::kLabel1,  4320, 3720, 3375,  495,  3, {255, 255, 0},   26.25},
    {kLabel2,  Kind::Label,         texts::kLabel2,  4560, 4560, 2775,  375,  4, {0, 255, 0},     15.75},
    {kLabel3,  Kind::Label,         texts::kLabel3,  5400, 5160, 1215,  375,  5, {0, 192, 192},   15.75},
    {kShape1,  Kind::Shape,         nullptr,          120,  120, 11775, 8055, -1, {0, 0, 255},    0},
}};
// clang-format on

const std::array<const Control*, 5> kTabOrder = [] {
    std::array<const Control*, 5> order{};
    auto next = order.begin();
    for (const Control& c : kControls)
        if (c.kind == Kind::CommandButton)
            *next++ = &c;
    std::sort(order.begin(), order.end(), [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    return order;
}();

const Control* find(const char* name)
{
    for (const Control& c : kControls)
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

Size clientSize(const TwipsScale& scale)
{
    return {scale.toPixels(kClientWidth), scale.toPixels(kClientHeight)};
}

Size pictureSize(const TwipsScale& scale)
{
    const Size client = clientSize(scale);
    return {std::max(client.width, scale.toPixels(kLayoutRight) + 1),
            std::max(client.height, scale.toPixels(kLayoutBottom) + 1)};
}

double fitScale(double availableWidth, double availableHeight, double width, double height)
{
    const double fit = std::min({1.0, availableWidth / width, availableHeight / height});
    return fit > 0 ? fit : 1.0; // no space known: as designed
}

double textBaseline(double emPixels, double ascent, double descent)
{
    return ascent + descent > 0 ? emPixels * ascent / (ascent + descent) : emPixels;
}

} // namespace kestivo::layout
