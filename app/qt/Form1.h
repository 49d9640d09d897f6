#pragma once

#include "session/FrontEnd.h"
#include "session/Session.h"
#include "surface/TwipsScale.h"

#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>

class QKeyEvent;
class QLabel;
class QPushButton;

namespace kestivo {

class Canvas;
class ShapeFrame;

// The program's one window on Qt Widgets: the picture, the blue frame, the
// title block and the five command buttons, built from the layout table, in
// front of the session that runs the commands. It adds to the session only
// what is Qt's: widgets, fonts, the frame clock, and the filter that hands
// the session the window's keys and keeps other input from the window while
// the session discards it.
class Form1 final : public QWidget, public FrontEnd {
    Q_OBJECT
public:
    struct Options {
        Session::Options session; // the rate, a test's surface
    };

    explicit Form1(Options options = {});
    ~Form1() override;

    [[nodiscard]] Session& session() const { return *session_; }
    [[nodiscard]] const Picture& picture() const { return session_->picture(); }
    [[nodiscard]] QPushButton* button(const char* name) const;
    [[nodiscard]] QLabel* label(const char* name) const;
    [[nodiscard]] ShapeFrame* shape() const { return shape_; }
    [[nodiscard]] Canvas& canvas() const { return *canvas_; }
    [[nodiscard]] const TwipsScale& layoutScale() const { return layoutScale_; }
    [[nodiscard]] bool drawing() const { return session_->busy(); }
    [[nodiscard]] bool ended() const { return session_->ended(); }
    // A frame's interval in whole milliseconds, as a QTimer counts them.
    static constexpr int kFrameIntervalMs = int(Pace::kFrameMs + 0.5);
    // Whether the frame clock runs: only while the session has frames to show.
    [[nodiscard]] bool framesRunning() const { return framesWanted_; }
    // Whether a key release is held back, to be told from a repeat's.
    [[nodiscard]] bool settlingKeys() const { return !heldBack_.empty(); }

    // The front-end's side of the session.
    void present(const DirtyRegion& dirty) override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    // Through the event loop, whatever the status: the program that runs it
    // decides what a failure's end skips.
    void exit(int status) override;
    void runFrames(bool on) override;
    [[nodiscard]] std::uint32_t inputClockMs() override { return monotonicMs(); }

    // The clock X11 and Wayland stamp input with (and the frames are timed
    // by): the monotonic clock, in milliseconds.
    [[nodiscard]] static std::uint32_t monotonicMs();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addControls();
    [[nodiscard]] const char* focusedButton() const;
    [[nodiscard]] bool key(QObject* watched, const QKeyEvent* event);
    bool perform(KeyAction action);
    void frame();

    TwipsScale layoutScale_;
    std::unique_ptr<Session> session_;
    QTimer frames_;
    bool framesWanted_ = false;
    FrameGrid grid_;
    Canvas* canvas_ = nullptr;
    ShapeFrame* shape_ = nullptr;
    // Held-back releases by key code, each numbered: a hold's timer settles
    // only its own, not a later release of the key.
    std::map<int, unsigned> heldBack_;
    unsigned holds_ = 0;
};

} // namespace kestivo
