#pragma once

#include "qt/HeldKeys.h"
#include "session/FrontEnd.h"
#include "session/Session.h"
#include "surface/TwipsScale.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace kestivo {

class Canvas;
class ErrorReporter;
class ShapeFrame;

// The program's one window on Qt Widgets: the picture, the blue frame, the
// title block and the five command buttons, built from the layout table, in
// front of the session that runs the commands. It adds to the session only
// what is Qt's: widgets, fonts, Enter on a button, the frame clock, and the
// filter that keeps input from the window while the session discards it.
class Form1 final : public QWidget, public FrontEnd {
    Q_OBJECT
public:
    struct Options {
        Session::Options session;          // the rate, a test's surface
        ErrorReporter* reporter = nullptr; // default: a window-modal message box
        std::function<void(int)> exit;     // default: QCoreApplication::exit
    };

    Form1();
    explicit Form1(Options options);
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
    [[nodiscard]] bool settlingKeys() const { return !heldReleases_.empty(); }

    // The front-end's side of the session.
    void present(const DirtyRegion& dirty) override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void runFrames(bool on) override;
    [[nodiscard]] std::uint32_t inputClockMs() override { return monotonicMs(); }

    // The clock X11 and Wayland stamp input with (and the frames are timed
    // by): the monotonic clock, in milliseconds.
    [[nodiscard]] static std::uint32_t monotonicMs();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void addControls();
    void connectCommands();
    void showFocus();
    void describePicture();
    [[nodiscard]] bool filterKey(QObject* watched, QKeyEvent* event);
    void settleRelease(int key, std::optional<std::uint32_t> pressStamp);
    void frame();

    Options options_;
    TwipsScale layoutScale_;
    std::unique_ptr<ErrorReporter> ownReporter_;
    std::unique_ptr<Session> session_;
    QTimer frames_;
    bool framesWanted_ = false;
    double nextFrameMs_ = 0; // on a grid of Pace::kFrameMs
    HeldKeys keys_; // X11's repeats, told apart
    Canvas* canvas_ = nullptr;
    ShapeFrame* shape_ = nullptr;
    struct HeldRelease {
        QPointer<QObject> target;
        std::unique_ptr<QKeyEvent> event;
    };
    std::map<int, HeldRelease> heldReleases_; // by key
    const QEvent* redelivered_ = nullptr; // a held-back key release, settled
};

} // namespace kestivo
