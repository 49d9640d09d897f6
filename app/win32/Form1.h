#pragma once

#include "session/FrontEnd.h"
#include "session/Session.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestivo {

namespace layout {
struct Control;
}

// The program's one window on Win32 and GDI: the picture, the blue frame,
// the title block and the five command buttons, laid out from the layout
// table in the window's own dots per inch, in front of the session that runs
// the commands. It adds to the session only what is the window system's:
// controls, fonts, Tab and Enter, and the input rule applied to messages by
// their time.
class Form1 final : public FrontEnd {
public:
    struct Options {
        Session::Options session; // the rate, the clock, a test's surface
        // Tells the user of a run-time error; default: a modal MessageBoxW.
        std::function<void(const std::wstring& title, const std::wstring& message)> report;
        // Ends the program's message loop; default: PostQuitMessage.
        std::function<void(int status)> exit;
    };

    static constexpr wchar_t kClassName[] = L"Kestivo1.Form1";

    Form1() : Form1(Options{}) {}
    explicit Form1(Options options);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void show(int showCommand = SW_SHOWNORMAL);

    // Every message the thread takes goes through here: the input rule,
    // Tab, and Enter on a button, then the window.
    void dispatch(MSG& msg);

    [[nodiscard]] HWND hwnd() const { return hwnd_; }
    [[nodiscard]] HWND control(const char* name) const;
    [[nodiscard]] Session& session() const { return *session_; }
    [[nodiscard]] Picture& picture() const { return session_->picture(); }
    [[nodiscard]] UINT dpi() const { return dpi_; }
    // The face the labels and the buttons were given.
    [[nodiscard]] const std::wstring& labelFaceName() const { return labelFace_; }
    [[nodiscard]] const std::wstring& buttonFaceName() const { return buttonFace_; }

    // The front-end's side of the session.
    void present(const DirtyRegion& dirty) override;
    void paintBetweenFrames() override;
    void flushInput() override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void later(std::function<void()> task) override;
    // GetMessageTime's clock.
    [[nodiscard]] std::uint32_t inputClockMs() override { return GetTickCount(); }

private:
    struct Child {
        const layout::Control* control;
        HWND hwnd;
        int id;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool preTranslate(const MSG& msg);
    bool key(const MSG& msg);
    void createControls();
    void layOut();
    void changeDpi(UINT dpi, const RECT& suggested);
    void paint();
    void pump();
    void click(int id);
    void moveFocus(int step);
    [[nodiscard]] const Child* child(HWND hwnd) const;
    [[nodiscard]] bool ours(HWND hwnd) const;
    void closeWindow();

    Options options_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::unique_ptr<Session> session_;
    std::vector<Child> children_;
    std::vector<HWND> tabOrder_;
    HWND lastFocus_ = nullptr;
    RECT shape_{};
    std::wstring labelFace_;
    std::wstring buttonFace_;
    std::vector<HFONT> fonts_; // the labels' by index of children_, then the buttons'
    HBRUSH background_ = nullptr;
    HBRUSH border_ = nullptr;
    bool busy_ = false;
    bool exited_ = false;
    std::deque<std::function<void()>> later_;
};

// Runs the thread's message loop until the program ends; its exit status.
int runMessageLoop(Form1& form);

} // namespace kestivo
