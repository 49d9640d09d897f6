#pragma once

#include "session/FrontEnd.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestivo {

class DrawingSurface;
class Session;

// Wraps the picture's surface for the routines: the page draws on it as it
// is (nullptr); a test build of the page links its own, to inject faults.
std::unique_ptr<DrawingSurface> wrapPictureSurface(DrawingSurface& picture);

// The window as a page: the form built from the layout table in the DOM,
// the picture on a canvas backed by device pixels, and the session's calls
// carried out there. The page's script calls in through the functions
// exported in main.cpp; its clock is performance.now(), which stamps input
// events and animation frames alike.
class Page final : public FrontEnd {
public:
    explicit Page(double scale);
    ~Page() override;

    [[nodiscard]] Session& session() { return *session_; }

    // A button pressed (by pointer or key) at stamp, in ms of the input
    // clock: false if it is discarded.
    bool press(int button, double stampMs);
    // Whether input stamped stampMs is discarded now.
    [[nodiscard]] bool discards(double stampMs) const;

    void present(const DirtyRegion& dirty) override;
    void showBusy(bool busy) override;
    void reportError(const std::string& title, const std::string& message) override;
    void exit(int status) override;
    void runFrames(bool on) override;
    [[nodiscard]] std::uint32_t inputClockMs() override;

private:
    void showPicture();

    std::unique_ptr<Session> session_;
    std::vector<std::uint32_t> rgba_; // the picture as the canvas takes it
    std::vector<int> rects_;         // a frame's rectangles, for the canvas
    int width_ = 0, height_ = 0;     // the canvas's device pixels
};

} // namespace kestivo
