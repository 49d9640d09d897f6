#pragma once

// Driving a window as a user would, and reading back what the screen shows,
// for the Win32 front-end's tests.

#include "form/Layout.h"
#include "surface/Pixels.h"
#include "surface/TwipsScale.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace kestivo::test {

// Waits, without taking any messages, until done() or the bound (a hang's
// limit, not a speed check).
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Sleep(10);
    }
    return true;
}

// Windows stamps input with its tick count, which moves in steps of 10 to
// 16 ms: input in the tick in which a routine ended counts as given before
// its end. A test that means input to come after waits for the next tick.
inline void nextTick()
{
    const DWORD now = GetTickCount();
    while (GetTickCount() == now)
        Sleep(1);
}

inline void sendInputs(std::vector<INPUT> inputs)
{
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

inline INPUT keyInput(WORD key, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

inline void pressKey(WORD key)
{
    nextTick();
    sendInputs({keyInput(key, false), keyInput(key, true)});
}

// The mouse pointer to the middle of a window.
inline void pointAt(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A left click at the middle of a window, through the mouse.
inline void clickAt(HWND window)
{
    nextTick();
    pointAt(window);
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    INPUT up = down;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    sendInputs({down, up});
}

// The window's client area as the screen shows it, 0xFFRRGGBB.
inline Pixels screenPixels(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int w = client.right;
    const int h = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    Pixels out(w, h, 0u);
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.setPixel(x, y, 0xFF000000u | p[std::size_t(y) * std::size_t(w) + std::size_t(x)]);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

// A child's rectangle in its parent's client coordinates.
inline RECT clientRect(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline std::wstring windowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

inline std::wstring className(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A shown top-level window of the process pid, of this class; nullptr if none.
inline HWND shownWindow(DWORD pid, const wchar_t* windowClass)
{
    struct Search {
        DWORD pid;
        const wchar_t* windowClass;
        HWND found;
    } search{pid, windowClass, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) {
            auto& s = *reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            if (owner == s.pid && IsWindowVisible(h) && className(h) == s.windowClass)
                s.found = h;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Shape1's rectangle at dpi.
inline RECT shapeRect(UINT dpi)
{
    const TwipsScale scale(dpi);
    const layout::Control& s = *layout::find(layout::kShape1);
    const int x = scale.toPixels(s.left), y = scale.toPixels(s.top);
    return {x, y, x + scale.toPixels(s.width), y + scale.toPixels(s.height)};
}

inline bool onFrame(const RECT& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom &&
           (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
}

// Where the screen shows the picture (not under a control, not on the
// frame's line), whether it shows exactly the engine's: "" or what differs.
inline std::string pictureDifferences(const Pixels& screen, const Pixels& engine,
                                      const std::vector<RECT>& controls, const RECT& frame)
{
    long wrong = 0, compared = 0;
    std::ostringstream first;
    for (int y = 0; y < std::min(screen.height(), engine.height()); ++y)
        for (int x = 0; x < std::min(screen.width(), engine.width()); ++x) {
            const POINT p{x, y};
            bool hidden = onFrame(frame, x, y);
            for (const RECT& r : controls)
                hidden = hidden || PtInRect(&r, p);
            if (hidden)
                continue;
            ++compared;
            if (screen.pixel(x, y) != engine.pixel(x, y) && wrong++ == 0)
                first << " first at (" << x << ", " << y << "): screen " << std::hex << screen.pixel(x, y)
                      << ", engine " << engine.pixel(x, y) << std::dec;
        }
    if (compared < 300000)
        return "too little of the picture is visible: " + std::to_string(compared) + " pixels";
    return wrong ? std::to_string(wrong) + " of " + std::to_string(compared) + " pixels differ;" + first.str()
                 : "";
}

} // namespace kestivo::test
