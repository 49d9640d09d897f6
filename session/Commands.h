#pragma once

#include "session/Layout.h"
#include "session/Session.h"
#include "session/Texts.h"

#include <array>

namespace kestivo {

// The command table: which handler each button's click runs, and what it
// does in words, for screen readers.
struct Command {
    const char* button;
    void (Session::*handler)();
    const char16_t* help;
};

inline constexpr std::array<Command, 5> kCommands{{
    {layout::kCmdHwbk, &Session::CmdHwbk_Click, texts::kCmdHwbkHelp},
    {layout::kCmdHwty, &Session::CmdHwty_Click, texts::kCmdHwtyHelp},
    {layout::kCmdSgxc, &Session::CmdSgxc_Click, texts::kCmdSgxcHelp},
    {layout::kCmdCls, &Session::CmdCls_Click, texts::kCmdClsHelp},
    {layout::kCmdExit, &Session::CmdExit_Click, texts::kCmdExitHelp},
}};

} // namespace kestivo
