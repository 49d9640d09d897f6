#include "win32/Console.h"

#include "win32/Text.h"

#include <windows.h>

#include <string>

namespace kestivo {

namespace {

bool usable(HANDLE h)
{
    return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

HANDLE outputFor(DWORD standardHandle)
{
    if (HANDLE h = GetStdHandle(standardHandle); usable(h))
        return h;
    // ERROR_ACCESS_DENIED: already attached, by an earlier line.
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return nullptr;
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (!usable(console))
        return nullptr;
    SetStdHandle(standardHandle, console);
    return console;
}

// Also where memory has run out (the last line of a program that ends so):
// the text then goes as it is, unconverted.
void writeLine(DWORD standardHandle, std::string_view text) noexcept
{
    HANDLE h = outputFor(standardHandle);
    if (!h)
        return;
    DWORD mode = 0;
    DWORD written = 0;
    try {
        // Windows' line ends.
        std::string line;
        for (char c : text) {
            if (c == '\n')
                line += '\r';
            line += c;
        }
        line += "\r\n";
        if (GetConsoleMode(h, &mode)) {
            const std::wstring utf16 = wide(line);
            WriteConsoleW(h, utf16.data(), DWORD(utf16.size()), &written, nullptr);
        } else {
            WriteFile(h, line.data(), DWORD(line.size()), &written, nullptr);
        }
    } catch (...) {
        WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
        WriteFile(h, "\r\n", 2, &written, nullptr);
    }
}

} // namespace

void writeOut(std::string_view line) noexcept
{
    writeLine(STD_OUTPUT_HANDLE, line);
}

void writeErr(std::string_view line) noexcept
{
    writeLine(STD_ERROR_HANDLE, line);
}

} // namespace kestivo
