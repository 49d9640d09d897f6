#include "win32/Form1.h"

#include "form/Commands.h"
#include "form/Layout.h"
#include "form/Texts.h"
#include "surface/TwipsScale.h"
#include "win32/Fonts.h"
#include "win32/Text.h"

#include <cmath>
#include <stdexcept>
#include <string>
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

bool isPointer(UINT message)
{
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= 0x0240 && message <= 0x024F); // touch and pointer
}

bool pressed(int key)
{
    return GetKeyState(key) < 0;
}

// A key down or up as the session takes it; a down that was down already
// is the key's auto-repeat.
KeyEvent keyEvent(const MSG& msg)
{
    using Key = KeyEvent::Key;
    const WPARAM k = msg.wParam;
    const bool down = msg.message == WM_KEYDOWN;
    return {k == VK_TAB ? Key::Tab : k == VK_SPACE ? Key::Space : k == VK_RETURN ? Key::Enter : Key::Other,
            int(k), down, down && (msg.lParam & (1 << 30)), pressed(VK_SHIFT),
            pressed(VK_CONTROL) || pressed(VK_MENU), msg.time};
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

// Once a process: a later Form1 finds it registered.
void registerClass(WNDPROC procedure)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = procedure;
    c.hInstance = instance;
    // The executable's icon group (Windows takes the small one from it too);
    // a test program has none.
    c.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = Form1::kClassName;
    if (!RegisterClassExW(&c) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("cannot register the window class");
}

} // namespace

Form1::Form1(Options options)
{
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
    // The screen it opened on decides its scale, which must be one the
    // picture can be drawn at.
    dpi_ = GetDpiForWindow(hwnd_);
    if (const auto problem = scaleProblem(dpi_ / layout::kLogicalDpi,
                                          "the screen's " + std::to_string(dpi_) + " dots per inch")) {
        DestroyWindow(std::exchange(hwnd_, nullptr));
        throw std::runtime_error(*problem);
    }
    session_ = std::make_unique<Session>(*this, dpi_ / layout::kLogicalDpi, std::move(options.session));
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
    for (const layout::Control& c : layout::kControls) {
        if (c.kind == layout::Kind::Shape) // painted with the picture
            continue;
        const int id = kFirstControlId + int(children_.size());
        const bool button = c.kind == layout::Kind::CommandButton;
        // Labels are drawn here (drawLabel), their text placed by the em box.
        HWND h = CreateWindowExW(0, button ? L"BUTTON" : L"STATIC", wide(c.text),
                                 WS_CHILD | WS_VISIBLE | (button ? WS_TABSTOP | BS_PUSHBUTTON : SS_OWNERDRAW),
                                 0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
        if (!h)
            throw std::runtime_error(std::string("cannot create ") + c.name);
        children_.push_back({&c, h});
    }
    lastFocus_ = control(layout::kTabOrder.front()->name);
}

// Positions, sizes and fonts at the window's dots per inch.
void Form1::layOut()
{
    const TwipsScale scale(dpi_);
    const auto px = [&scale](int twips) { return scale.toPixels(twips); };

    std::vector<HFONT> fonts;
    const FontFace labels = labelFace();
    const FontFace buttons = buttonFace(dpi_);
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

// An opaque black box, its text on one line, left-aligned and clipped to it.
void Form1::drawLabel(const DRAWITEMSTRUCT& item, const layout::Control& c) const
{
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    TEXTMETRICW m{};
    GetTextMetricsW(dc, &m);
    const double em = c.pointSize * dpi_ / 72.0;
    const int top = int(std::lround(layout::textBaseline(em, m.tmAscent, m.tmDescent))) - int(m.tmAscent);
    SetTextColor(dc, colour(c.foreColour));
    SetBkMode(dc, TRANSPARENT);
    const std::wstring text = wide(c.text);
    ExtTextOutW(dc, item.rcItem.left, item.rcItem.top + top, ETO_CLIPPED, &item.rcItem, text.c_str(),
                UINT(text.size()), nullptr);
    SelectObject(dc, old);
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

// Input given before a routine's last drawing call never runs: it is judged
// by the time the window system gave it. Keys go to the session, which says
// what comes of them: the buttons never see Tab, Space or Enter themselves.
// The window's frame (moving, sizing, minimising, closing) and its system
// keys (Alt+F4, Alt+Space, F10) are not input to the program: Windows
// handles them, and a close they cause follows the close rule.
bool Form1::preTranslate(const MSG& msg)
{
    if (!session_ || !ours(msg.hwnd))
        return false;
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP)
        return isPointer(msg.message) && session_->discardsInput(msg.time);
    const Child* focused = child(GetFocus());
    const KeyEvent event = keyEvent(msg);
    const KeyAction action = session_->key(event, focused ? focused->control->name : nullptr);
    using Do = KeyAction::Do;
    if (action.what == Do::Pass) // Ctrl+Space and the like are no button's either
        return event.key != KeyEvent::Key::Other;
    // Swallowed, or done to a button. No release is ever held back: Windows
    // flags a held key's repeats.
    HWND button = action.button ? control(action.button) : nullptr;
    if (action.what == Do::Focus) {
        SetFocus(button);
    } else if (button) { // pushed in, out, or out and clicked
        SendMessageW(button, BM_SETSTATE, action.what == Do::Press, 0);
        // The button's own way, where the window procedure catches failures.
        if (action.what == Do::Click)
            SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
    }
    return true;
}

// Every button held down, by the mouse or a key, comes out unclicked.
void Form1::letGo()
{
    if (ours(GetCapture()))
        ReleaseCapture();
    session_->keyboardLost();
    for (const Child& c : children_)
        if (c.control->kind == layout::Kind::CommandButton)
            SendMessageW(c.hwnd, BM_SETSTATE, FALSE, 0);
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
            c && GetDlgCtrlID(c->hwnd) == LOWORD(wParam) && HIWORD(wParam) == BN_CLICKED)
            session_->click(c->control->name); // a label's name is no command
        return 0;
    case WM_DRAWITEM:
        if (const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam); const Child* label = child(item->hwndItem)) {
            drawLabel(*item, *label->control);
            return TRUE;
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
            letGo(); // the keys' releases go elsewhere now
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
        const int rows = shown.bottom - shown.top;
        // Only the rows shown, top-down and whole: the source rectangle then
        // means the same whatever GDI takes a DIB's origin to be.
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, raster.width(), -rows, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        const std::uint32_t* first = raster.pixels() + std::size_t(shown.top) * std::size_t(raster.width());
        SetDIBitsToDevice(dc, shown.left, shown.top, DWORD(shown.right - shown.left), DWORD(rows), shown.left, 0,
                          0, UINT(rows), first, &info, DIB_RGB_COLORS);
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
    // A press begun before the end of a reveal never clicks, whenever it is
    // released; those begun during it never reach the buttons.
    if (busy)
        letGo();
    POINT at;
    if (GetCursorPos(&at) && ours(WindowFromPoint(at)))
        SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Form1::reportError(const std::string& title, const std::string& message)
{
    MessageBoxW(hwnd_, wide(message).c_str(), wide(title).c_str(), MB_OK | MB_ICONERROR); // returns once dismissed
    session_->errorDismissed();
}

void Form1::exit(int status)
{
    if (exited_)
        return;
    exited_ = true;
    ShowWindow(hwnd_, SW_HIDE);
    PostQuitMessage(status);
}

void Form1::runFrames(bool on)
{
    if (on == framesOn_)
        return;
    framesOn_ = on;
    grid_.start(clockMs());
    const LARGE_INTEGER soon{.QuadPart = -1}; // the first frame at once (relative, in 100 ns)
    if (on)
        SetWaitableTimer(frameTimer_, &soon, 0, nullptr, nullptr, FALSE);
    else
        CancelWaitableTimer(frameTimer_);
}

// A tick of the frame clock, and the next set on the grid.
void Form1::frame()
{
    const double now = clockMs();
    const LARGE_INTEGER due{.QuadPart = -std::llround(grid_.next(now) * 1e4)}; // relative, in 100 ns
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
            if (!preTranslate(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    return -1;
}

} // namespace kestivo
