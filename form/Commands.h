#pragma once

#include "patterns/Patterns.h"
#include "form/Layout.h"
#include "form/Texts.h"

#include <array>
#include <string_view>

namespace kestivo {

// What a button's click does: draw its pattern, clear the picture, or end
// the program.
enum class Action { Draw, Clear, Exit };

// The command table, one entry a button: its name in the layout table, its
// caption, what it does in words (for screen readers), and what it runs.
struct Command {
    const char* button;
    const char16_t* caption;
    const char16_t* help;
    Action action;
    Routine routine = nullptr; // what Draw draws
};

inline constexpr std::array<Command, 5> kCommands{{
    {layout::kCmdHwbk, texts::kCmdHwbk, texts::kCmdHwbkHelp, Action::Draw, DrawHwbk},
    {layout::kCmdHwty, texts::kCmdHwty, texts::kCmdHwtyHelp, Action::Draw, DrawHwty},
    {layout::kCmdSgxc, texts::kCmdSgxc, texts::kCmdSgxcHelp, Action::Draw, DrawSgxc},
    {layout::kCmdCls, texts::kCmdCls, texts::kCmdClsHelp, Action::Clear},
    {layout::kCmdExit, texts::kCmdExit, texts::kCmdExitHelp, Action::Exit},
}};

// The command of the button named button, or nullptr.
constexpr const Command* findCommand(std::string_view button)
{
    for (const Command& c : kCommands)
        if (button == c.button)
            return &c;
    return nullptr;
}

} // namespace kestivo
