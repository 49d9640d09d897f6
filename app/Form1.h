#pragma once

#include "DrawingSurface.h"
#include "InputGate.h"
#include "Pacer.h"
#include "TwipsScale.h"

#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace kestivo {

class Canvas;
class DrawingSurface;
class ErrorReporter;
class ScreenSurface;
class ShapeFrame;

// The program's one window: the picture, the blue frame, the title block and
// the five command buttons, built from the layout table.
//
// While a pattern is drawn the window takes no input: the routine runs to
// completion on this thread, and clicks and keys given before its last
// drawing call are discarded, never run afterwards, however late they reach
// the program. The window keeps painting meanwhile: between frames the
// routine lets the event loop repaint what the desktop uncovered, restored
// or enlarged. A close request given meanwhile is honoured when the routine
// ends.
//
// Any failure once the window exists, in a routine or in a paint or resize
// path, takes one way out: a message box, the same text on standard error,
// and exit status 1.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    struct Options {
        // Drawing rate; 0 draws unpaced (tests, benchmarks).
        double pointsPerSecond = Pacer::kPointsPerSecond;
        Clock* clock = nullptr;            // default: the steady clock
        ErrorReporter* reporter = nullptr; // default: a modal message box
        std::function<void(int)> exit;     // default: QCoreApplication::exit
        // Wraps the window's surface for the handlers (tests inject faults).
        std::function<std::unique_ptr<DrawingSurface>(DrawingSurface& screen)> decorate;
    };

    Form1();
    explicit Form1(Options options);
    ~Form1() override;

    // The command handlers, one per button.
    void CmdHwbk_Click();
    void CmdHwty_Click();
    void CmdSgxc_Click();
    void CmdCls_Click();
    void CmdExit_Click();

    [[nodiscard]] QPushButton* button(const char* name) const;
    [[nodiscard]] QLabel* label(const char* name) const;
    [[nodiscard]] ShapeFrame* shape() const { return shape_; }
    [[nodiscard]] Canvas& canvas() const { return *canvas_; }
    [[nodiscard]] ScreenSurface& surface() const { return *surface_; }
    [[nodiscard]] const TwipsScale& layoutScale() const { return layoutScale_; }
    [[nodiscard]] bool drawing() const { return busy_; }
    [[nodiscard]] bool ended() const { return ended_; }

    // A failure outside a routine's own calls (painting, resizing): reported
    // once the current event is done with, or at once out of a routine.
    void failLater(std::exception_ptr failure) noexcept;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class Busy;

    void build();
    void run(void (*routine)(DrawingSurface&));
    void betweenFrames();
    void fail(const std::exception_ptr& failure) noexcept;
    void dropQueuedInput();
    void end(int status);

    Options options_;
    TwipsScale layoutScale_;
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<ErrorReporter> ownReporter_;
    Canvas* canvas_ = nullptr;
    ShapeFrame* shape_ = nullptr;
    std::unique_ptr<ScreenSurface> surface_;
    std::unique_ptr<DrawingSurface> decorated_;
    DrawingSurface* target_ = nullptr; // what the handlers draw on
    InputGate gate_;
    std::exception_ptr pending_; // a failure waiting for its report
    bool busy_ = false;
    bool dropping_ = false;
    bool closePending_ = false;
    bool ended_ = false;
};

} // namespace kestivo
