#include "win32/Form1.h"

#include "session/Commands.h"
#include "session/Layout.h"
#include "session/Texts.h"
#include "surface/TwipsScale.h"
#include "win32/Fonts.h"
#include "win32/Text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace kestivo {

namespace {

constexpr int kFirstControlId = 100; // clear of IDOK and IDCANCEL
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, which older headers lack.
constexpr DWORD kHighResolutionTimer = 0x2;

COLORREF colour(Rgb c)
{
    return RGB(c.r(), c.g(), c.b());
}

// The window's system keys (Alt+F4, Alt+Space, F10) are the window system's,
// not input to the form: Windows handles them, and a close they cause
// follows the close rule.
bool isSystemKey(UINT message)
{
    return message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR ||
           message == WM_SYSDEADCHAR;
}

bool isUserInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST && !isSystemKey(message)) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= 0x0240 && message <= 0x024F); // touch and pointer
}

bool pressed(int key)
{
    return GetKeyState(key) < 0;
}

double counterMs()
{
    LARGE_INTEGER count, perSecond;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&perSecond);
    return double(count.QuadPart) * 1000 / double(perSecond.QuadPart);
}

// GetMessageTime's clock (GetTickCount's, unwrapped) to a fraction of a
// millisecond: the performance counter, set against the tick count once.
double clockMs()
{
    static const double offset = double(GetTickCount64()) - counterMs();
    return offset + counterMs();
}

ATOM registerClass(WNDPROC procedure)
{
    static const ATOM atom = [procedure] {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = procedure;
        c.hInstance = instance;
        // The executable's icon group; a test program has none.
        c.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        c.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0));
        c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        c.lpszClassName = Form1::kClassName;
        const ATOM a = RegisterClassExW(&c);
        if (!a)
            throw std::runtime_error("cannot register the window class");
        return a;
    }();
    return atom;
}

} // namespace

Form1::Form1(Options options) : options_(std::move(options))
{
    if (!options_.report)
        options_.report = [this](const std::wstring& title, const std::wstring& message) {
            MessageBoxW(hwnd_, message.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
        };
    if (!options_.exit)
        options_.exit = [](int status) { PostQuitMessage(status); };

    // The frame clock. WM_TIMER would not do: Windows rounds its period up
    // to the system tick (15.6 ms unless a program raises the resolution
    // for the whole system), which makes a frame every 31 ms, and makes it
    // only when the queue is otherwise empty. A high-resolution waitable
    // timer (Windows 10 1803 on) wakes the loop on time on its own, with no
    // timeBeginPeriod; Wine times every timer so. Older Windows get a plain
    // one. While Windows' own modal loops run (the window dragged, a message
    // box) frames wait, and the reveal then resumes at the pace.
    frameTimer_ = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (!frameTimer_ && !(frameTimer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS)))
        throw std::runtime_error("cannot create the frame timer");
    background_ = CreateSolidBrush(colour(kBackground));
    border_ = CreateSolidBrush(colour(layout::find(layout::kShape1)->foreColour));

    registerClass(&Form1::windowProc);
    hwnd_ = CreateWindowExW(0, kClassName, wide(texts::kCaption), kStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_)
        throw std::runtime_error("cannot create the window");
    // The screen it opened on decides its scale.
    dpi_ = GetDpiForWindow(hwnd_);
    session_ = std::make_unique<Session>(*this, dpi_ / layout::kLogicalDpi, std::move(options_.session));
    // From here on the window's messages come to this Form1.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    const layout::Size client = layout::clientSize(TwipsScale(dpi_));
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    createControls();
    layOut();
}

Form1::~Form1()
{
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (HFONT f : fonts_)
        DeleteObject(f);
    DeleteObject(background_);
    DeleteObject(border_);
    CloseHandle(frameTimer_);
}

void Form1::createControls()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    std::vector<std::pair<int, HWND>> tabs;
    int id = kFirstControlId;
    for (const layout::Control& c : layout::kControls) {
        HWND h = nullptr;
        switch (c.kind) {
        case layout::Kind::CommandButton:
            h = CreateWindowExW(0, L"BUTTON", wide(c.text),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                                hwnd_, reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
            tabs.emplace_back(c.tabIndex, h);
            break;
        case layout::Kind::Label:
            // One line, left-aligned, no '&' prefixes; clipped to its box.
            h = CreateWindowExW(0, L"STATIC", wide(c.text),
                                WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 0,
                                0, hwnd_, reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
            break;
        case layout::Kind::Shape: // painted with the picture
            break;
        }
        if (c.kind != layout::Kind::Shape) {
            if (!h)
                throw std::runtime_error(std::string("cannot create ") + c.name);
            children_.push_back({&c, h, id});
        }
        ++id;
    }
    std::sort(tabs.begin(), tabs.end());
    for (const auto& [index, h] : tabs)
        tabOrder_.push_back(h);
    lastFocus_ = control(layout::kCmdHwbk);
}

// Positions, sizes and fonts at the window's dots per inch.
void Form1::layOut()
{
    const TwipsScale scale(dpi_);
    const auto px = [&scale](int twips) { return scale.toPixels(twips); };

    std::vector<HFONT> fonts;
    const FontFace labels = labelFace();
    const FontFace buttons = buttonFace(dpi_);
    labelFace_ = labels.name;
    buttonFace_ = buttons.name;
    HFONT buttonFont = createFont(buttons, layout::kButtonFontPoints, dpi_, FW_NORMAL);
    fonts.push_back(buttonFont);

    HDWP moves = BeginDeferWindowPos(int(children_.size()));
    for (const Child& c : children_) {
        const layout::Control& d = *c.control;
        HFONT font = buttonFont;
        if (d.kind == layout::Kind::Label) {
            font = createFont(labels, d.pointSize, dpi_, layout::kLabelFontWeight);
            fonts.push_back(font);
        }
        SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        moves = DeferWindowPos(moves, c.hwnd, nullptr, px(d.left), px(d.top), px(d.width),
                               px(d.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    EndDeferWindowPos(moves);
    for (HFONT f : std::exchange(fonts_, std::move(fonts)))
        DeleteObject(f);

    const layout::Control& s = *layout::find(layout::kShape1);
    shape_ = {px(s.left), px(s.top), px(s.left) + px(s.width), px(s.top) + px(s.height)};
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form1::show(int showCommand)
{
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(lastFocus_);
}

HWND Form1::control(const char* name) const
{
    for (const Child& c : children_)
        if (std::string_view(c.control->name) == name)
            return c.hwnd;
    return nullptr;
}

const Form1::Child* Form1::child(HWND hwnd) const
{
    for (const Child& c : children_)
        if (c.hwnd == hwnd)
            return &c;
    return nullptr;
}

bool Form1::ours(HWND hwnd) const
{
    return hwnd && (hwnd == hwnd_ || child(hwnd));
}

void Form1::dispatch(MSG& msg)
{
    if (preTranslate(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// Input given before a routine's last drawing call never runs: it is judged
// by the time the window system gave it. The window's frame (moving,
// sizing, minimising, closing) is not input to the program and stays live.
bool Form1::preTranslate(const MSG& msg)
{
    if (!session_ || !ours(msg.hwnd))
        return false;
    if (isUserInput(msg.message) && session_->discardsInput(msg.time))
        return true;
    return msg.message == WM_KEYDOWN && key(msg);
}

// The keyboard of the original window: Tab follows the tab order; Space
// (the button's own) and Enter click the focused button. A held key clicks
// once: its repeats never reach the buttons.
bool Form1::key(const MSG& msg)
{
    const bool repeat = (msg.lParam & (1 << 30)) != 0;
    const bool alone = !pressed(VK_CONTROL) && !pressed(VK_MENU);
    switch (msg.wParam) {
    case VK_TAB:
        if (!alone)
            return false;
        moveFocus(pressed(VK_SHIFT) ? -1 : 1);
        return true;
    case VK_SPACE:
        return repeat;
    case VK_RETURN: {
        if (repeat)
            return true;
        const Child* focused = child(GetFocus());
        if (!alone || pressed(VK_SHIFT) || !focused ||
            focused->control->kind != layout::Kind::CommandButton)
            return false;
        // The button's own way, where the window procedure catches failures.
        SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(focused->id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(focused->hwnd));
        return true;
    }
    default:
        return false;
    }
}

void Form1::moveFocus(int step)
{
    const auto n = std::ptrdiff_t(tabOrder_.size());
    auto at = std::find(tabOrder_.begin(), tabOrder_.end(), GetFocus()) - tabOrder_.begin();
    if (at == n)
        at = std::find(tabOrder_.begin(), tabOrder_.end(), lastFocus_) - tabOrder_.begin();
    SetFocus(tabOrder_[std::size_t(((at + step) % n + n) % n)]);
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // Nothing may unwind into the window system: a failure here goes the
    // session's one way out.
    try {
        return form->handle(message, wParam, lParam);
    } catch (...) {
        form->session_->fail(std::current_exception());
        return 0;
    }
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (const Child* c = child(reinterpret_cast<HWND>(lParam));
            c && c->id == LOWORD(wParam) && HIWORD(wParam) == BN_CLICKED)
            session_->click(c->control->name); // a label's name is no command
        return 0;
    case WM_CTLCOLORSTATIC:
        if (const Child* label = child(reinterpret_cast<HWND>(lParam))) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, colour(label->control->foreColour));
            SetBkColor(dc, colour(layout::kBlack));
            SetBkMode(dc, OPAQUE);
            return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
        }
        break;
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_PAINT:
        paint();
        return 0;
    case WM_SETCURSOR:
        if (busy_ && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // As a dialog does: the focus leaves with the window and comes back.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (child(GetFocus()))
                lastFocus_ = GetFocus();
        } else if (!HIWORD(wParam)) {
            SetFocus(lastFocus_);
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(lastFocus_);
        return 0;
    case WM_CLOSE: // during a reveal the session ends the program at the next frame
        if (session_->requestClose())
            exit(0);
        return 0;
    case WM_DPICHANGED:
        changeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Moved to a screen of another scale: the layout follows, and the picture is
// drawn again at the new scale, one point still one device pixel.
void Form1::changeDpi(UINT dpi, const RECT& suggested)
{
    dpi_ = dpi;
    layOut();
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    session_->rescale(dpi / layout::kLogicalDpi);
    // The controls too: a window whose size stays the same does not repaint
    // them, and they would keep the old scale's glyphs.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// The picture as it is, a 32-bit DIB of the raster's own pixels, then the
// background beyond it and the frame over it. The controls paint themselves.
void Form1::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    const RasterSurface& raster = session_->picture().raster();
    const RECT picture{0, 0, raster.width(), raster.height()};
    RECT shown;
    if (IntersectRect(&shown, &ps.rcPaint, &picture)) {
        const int width = shown.right - shown.left;
        const int rows = shown.bottom - shown.top;
        // Only the rows shown, top-down and whole: the source rectangle then
        // means the same whatever GDI takes a DIB's origin to be.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = raster.width();
        info.bmiHeader.biHeight = -rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const std::uint32_t* first = raster.pixels() + std::size_t(shown.top) * std::size_t(raster.width());
        SetDIBitsToDevice(dc, shown.left, shown.top, DWORD(width), DWORD(rows), shown.left, 0, 0,
                          UINT(rows), first, &info, DIB_RGB_COLORS);
    }
    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, picture.left, picture.top, picture.right, picture.bottom);
    FillRect(dc, &ps.rcPaint, background_);
    RestoreDC(dc, saved);
    FrameRect(dc, &shape_, border_);
    EndPaint(hwnd_, &ps);
}

void Form1::present(const DirtyRegion& dirty)
{
    // The loop paints them once it has read the queue, clipped to them alone.
    for (const PixelRect& d : dirty) {
        const RECT r{d.x, d.y, d.x + d.width, d.y + d.height};
        InvalidateRect(hwnd_, &r, FALSE);
    }
}

void Form1::showBusy(bool busy)
{
    busy_ = busy;
    // A button held down now, by the mouse or Space, lets go: a press begun
    // before the end of a reveal never clicks, whenever it is released.
    // Those begun during it never reach the buttons.
    if (busy && ours(GetCapture()))
        ReleaseCapture();
    POINT at;
    if (GetCursorPos(&at) && ours(WindowFromPoint(at)))
        SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Form1::reportError(const std::string& title, const std::string& message)
{
    options_.report(wide(title), wide(message)); // a message box returns once dismissed
    session_->errorDismissed();
}

void Form1::exit(int status)
{
    if (exited_)
        return;
    exited_ = true;
    ShowWindow(hwnd_, SW_HIDE);
    options_.exit(status);
}

void Form1::runFrames(bool on)
{
    if (on == framesOn_)
        return;
    framesOn_ = on;
    nextFrameMs_ = clockMs();
    const LARGE_INTEGER soon{.QuadPart = -1}; // the first frame at once (relative, in 100 ns)
    if (on)
        SetWaitableTimer(frameTimer_, &soon, 0, nullptr, nullptr, FALSE);
    else
        CancelWaitableTimer(frameTimer_);
}

// A tick of the frame clock: the next is set a frame after this one was due,
// or, when the loop was held up longer (a window dragged, the process
// stopped), a frame from now; frames missed are not made up.
void Form1::frame()
{
    const double now = clockMs();
    nextFrameMs_ += Pace::kFrameMs;
    if (nextFrameMs_ <= now)
        nextFrameMs_ = now + Pace::kFrameMs;
    const LARGE_INTEGER due{.QuadPart = -std::llround((nextFrameMs_ - now) * 1e4)};
    SetWaitableTimer(frameTimer_, &due, 0, nullptr, nullptr, FALSE);
    ++frames_;
    session_->frame(now);
}

int Form1::run(const std::function<bool()>& until)
{
    MSG msg;
    while (!until || !until()) {
        // A due frame goes first: input cannot hold the drawing back, and
        // what it leaves queued is judged by its stamp afterwards.
        const DWORD timers = framesOn_ ? 1 : 0;
        if (MsgWaitForMultipleObjectsEx(timers, &frameTimer_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) < timers)
            frame();
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return int(msg.wParam);
            dispatch(msg);
        }
    }
    return -1;
}

} // namespace kestivo
