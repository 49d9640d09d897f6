#pragma once

#include "session/Layout.h"
#include "session/Session.h"

#include <array>

namespace kestivo {

// The command table: which handler each button's click runs.
struct Command {
    const char* button;
    void (Session::*handler)();
};

inline constexpr std::array<Command, 5> kCommands{{
    {layout::kCmdHwbk, &Session::CmdHwbk_Click},
    {layout::kCmdHwty, &Session::CmdHwty_Click},
    {layout::kCmdSgxc, &Session::CmdSgxc_Click},
    {layout::kCmdCls, &Session::CmdCls_Click},
    {layout::kCmdExit, &Session::CmdExit_Click},
}};

} // namespace kestivo
