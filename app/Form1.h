#pragma once

#include "DrawingSurface.h"
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
// completion on this thread, and clicks and keys given meanwhile are
// discarded when it ends, never run afterwards. A close request given
// meanwhile is honoured when the routine ends.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void build();
    void run(void (*routine)(DrawingSurface&));
    void fail(const std::exception_ptr& failure);
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
    bool busy_ = false;
    bool dropping_ = false;
    bool ended_ = false;
};

} // namespace kestivo
