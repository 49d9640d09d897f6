#pragma once

#include <string_view>

namespace kestivo {

// Write a line of UTF-8 text to standard output or standard error where the
// command line that started the program sees it. A window program has no
// console of its own: a redirected handle is used as it is, otherwise the
// console of the process that started it, attached for this. A console gets
// the text as UTF-16, whatever its code page; a file or pipe as UTF-8.
void writeOut(std::string_view line) noexcept;
void writeErr(std::string_view line) noexcept;

} // namespace kestivo
