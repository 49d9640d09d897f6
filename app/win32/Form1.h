#pragma once

#include "form/Layout.h"
#include "session/FrontEnd.h"
#include "session/Session.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestivo {

// The program's one window on Win32 and GDI: the picture, the blue frame,
// the title block and the five command buttons, laid out from the layout
// table in the window's own dots per inch, in front of the session that runs
// the commands. It adds to the session only what is the window system's:
// controls, fonts, its messages in the session's terms (keys, input by its
// time), and the frame clock, which the thread's one message loop serves.
class Form1 final : public FrontEnd {
public:
    struct Options {
        Session::Options session; // the rate, a test's surface
    };

    static constexpr wchar_t kClassName[] = L"Kestivo1.Form1";

    // Throws if the window cannot be made, or its screen's scale cannot be
    // drawn at.
    explicit Form1(Options options = {});
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void show(int showCommand = SW_SHOWNORMAL);

    // The thread's one message loop: its messages, and the frames while the
    // session wants them, until the program ends; its exit status. A test
    // stops it sooner, with -1, when `until` says so after a turn.
    int run(const std::function<bool()>& until = {});

    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    [[nodiscard]] HWND control(const char* name) const;
    [[nodiscard]] Session& session() const { return *session_; }
    [[nodiscard]] const Picture& picture() const { return session_->picture(); }
    [[nodiscard]] UINT dpi() const { return dpi_; }
    // The frames the session has been given so far.
    [[nodiscard]] std::uint64_t frames() const { return frames_; }

    // The front-end's side of the session.
    void present(const DirtyRegion& dirty) override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void runFrames(bool on) override;
    // GetMessageTime's clock.
    [[nodiscard]] std::uint32_t inputClockMs() override { return GetTickCount(); }

private:
    struct Child {
        const layout::Control* control;
        HWND hwnd;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool preTranslate(const MSG& msg);
    void letGo();
    void createControls();
    void layOut();
    void changeDpi(UINT dpi, const RECT& suggested);
    void paint();
    void drawLabel(const DRAWITEMSTRUCT& item, const layout::Control& c) const;
    void frame();
    [[nodiscard]] const Child* child(HWND hwnd) const;
    [[nodiscard]] bool ours(HWND hwnd) const;

    HWND hwnd_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::unique_ptr<Session> session_;
    std::vector<Child> children_;
    HWND lastFocus_ = nullptr;
    RECT shape_{};
    std::vector<HFONT> fonts_; // the labels' by index of children_, then the buttons'
    HBRUSH background_ = nullptr;
    HBRUSH border_ = nullptr;
    HANDLE frameTimer_ = nullptr;
    bool framesOn_ = false;
    FrameGrid grid_;
    std::uint64_t frames_ = 0;
    bool busy_ = false;
    bool exited_ = false;
};

} // namespace kestivo
