#pragma once

#include "Form1.h"

#include <array>

namespace kestivo {

// The command table: which handler each button's click runs.
struct Command {
    const char* button;
    void (Form1::*handler)();
};

inline constexpr std::array<Command, 5> kCommands{{
    {"CmdHwbk", &Form1::CmdHwbk_Click},
    {"CmdHwty", &Form1::CmdHwty_Click},
    {"CmdSgxc", &Form1::CmdSgxc_Click},
    {"CmdCls", &Form1::CmdCls_Click},
    {"CmdExit", &Form1::CmdExit_Click},
}};

} // namespace kestivo
