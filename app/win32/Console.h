#pragma once

#include <windows.h>

#include <string_view>

namespace kestivo {

// Writes a line of UTF-8 text where the command line that started the
// program sees it. A window program has no console of its own: a redirected
// handle (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE) is used as it is, otherwise
// the console of the process that started it, attached for this. A console
// gets the text as UTF-16, whatever its code page; a file or pipe as UTF-8.
void writeLine(DWORD standardHandle, std::string_view text);

} // namespace kestivo
