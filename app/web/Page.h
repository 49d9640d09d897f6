#pragma once

#include "session/FrontEnd.h"
#include "session/Session.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestivo {

// The window as a page: the form built from the layout table in the DOM,
// the picture on a canvas backed by device pixels, and the session's calls
// carried out there. The page's script calls in through the functions
// exported in Page.cpp; its clock is performance.now(), which stamps input
// events and animation frames alike. Buttons are known to the script by
// their index in the command table.
class Page final : public FrontEnd {
public:
    // ratio: the browser's device pixels per CSS pixel.
    Page(double ratio, Session::Options options);
    ~Page() override;

    [[nodiscard]] Session& session() { return *session_; }

    // A face's ascent and descent, in ems.
    struct Metrics {
        double ascent = 1, descent = 0;
    };
    // The window has width x height CSS pixels at ratio device pixels
    // each: the form is fitted in, scaled down if it must be, and its
    // picture drawn at the device pixels it then covers. labelFace: the
    // metrics of the face the labels are shown in.
    void fit(double width, double height, double ratio, const Metrics& labelFace);

    // A button pressed (by pointer or key) at stamp, in ms of the input
    // clock: false if it is discarded.
    bool press(int button, double stampMs);
    // Whether input stamped stampMs is discarded now.
    [[nodiscard]] bool discards(double stampMs) const;
    // A key reaches the form with button focused (-1: none): the session's
    // action for the script, as Do + 8 * (its button + 1).
    [[nodiscard]] int key(const KeyEvent& event, int focused);

    void present(const DirtyRegion& dirty) override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void runFrames(bool on) override;
    [[nodiscard]] std::uint32_t inputClockMs() override;

private:
    void layOut();

    std::unique_ptr<Session> session_;
    double ratio_;
    Metrics labelFace_;
    std::vector<std::uint32_t> rgba_; // the picture as the canvas takes it
    std::vector<int> rects_;         // a frame's rectangles, for the canvas
    int width_ = 0, height_ = 0;     // the canvas's device pixels
    double scale_ = 0;               // and the picture's scale on it
};

// Starts the page at the browser's device-pixel ratio, or refuses a ratio the
// picture cannot be drawn at (one line on the console, the page ended with
// status 1). Returns the status: main's.
int startPage(Session::Options options);

} // namespace kestivo
