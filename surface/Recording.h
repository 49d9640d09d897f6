#pragma once

#include "surface/DrawingSurface.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>

namespace kestivo {

class RasterSurface;

// What a routine drew, call by call, to be shown on the picture later at
// the pace: a routine runs to its end at once, and the user watches its
// recording revealed.
//
// Each call answers as the picture would (the same refusals), so the
// routine runs exactly as it would drawing straight; applied in order, the
// calls make exactly the picture that drawing straight makes.
//
// Kept compact and quick to show: a point at pen width 1 is held as the
// picture's pixel position it lands on, worked out once, so showing it is a
// store; and a run of points equal to points already held (a later colour
// pass setting its first pass's points) refers to them, so a pattern holds
// about its first pass's positions. The points themselves are held only
// while the routine runs, to find those repeats. Where the memory cannot be
// had, or would pass kMaxBytes, the recording applies what it holds and from
// then on draws straight onto the picture: the routine is shown whole at
// once, which is never a failure.
class Recording final : public DrawingSurface {
public:
    static constexpr std::size_t kMaxBytes = std::size_t(8) << 20;

    explicit Recording(RasterSurface& picture);
    ~Recording() override;

    // Forgets every call and frees its memory: ready for the next routine,
    // which starts from the picture's pen as it is now.
    void reset() noexcept;

    [[nodiscard]] Status DrawWidth(int width) override;
    [[nodiscard]] Status PSet(float x, float y, Rgb colour) override;
    [[nodiscard]] Status PSetRun(std::span<const Point> run, Rgb colour) override;
    [[nodiscard]] Status Line(float x1, float y1, float x2, float y2, Rgb colour,
                              BoxStyle style) override;
    [[nodiscard]] Status Cls() override;

    // The routine has made its last call: what only recording needed goes.
    void recorded() noexcept;

    // Applies the calls not yet applied, in order, until `points` points
    // have been set in all; calls that set none go as soon as they are
    // reached. True once every call has been applied.
    bool applyUntil(long long points);
    // The calls applied so far, applied again from the pen the routine
    // started with.
    void applyAgain();
    // The picture was drawn afresh at another scale, as it was before this
    // recording: the routine (deterministic) is recorded again at that
    // scale, as far as it went, and applied again as far as it had been.
    void rescaled(void (*routine)(DrawingSurface&));

    // Whether it draws straight onto the picture (no memory to record).
    [[nodiscard]] bool direct() const { return direct_; }
    [[nodiscard]] long long pointsApplied() const { return applied_; }
    // Whether a call applied cleared the picture.
    [[nodiscard]] bool cleared() const { return cleared_; }
    // The memory it holds.
    [[nodiscard]] std::size_t bytes() const;

private:
    enum class Kind : std::uint8_t { Width, Run, LooseRun, Line, Cls };
    struct Entry {
        Kind kind;
        BoxStyle style;
        Rgb colour;
        std::uint32_t from;  // the first point (Width: the width)
        std::uint32_t count; // points (Line: 0, its two corners)
    };
    struct Enough {}; // a routine recorded again has made the calls it made before

    template <typename T>
    [[nodiscard]] bool grow(std::unique_ptr<T[]>& items, std::size_t used, std::size_t& room,
                            std::size_t wanted, std::size_t least);
    [[nodiscard]] bool add(const Entry& entry);
    [[nodiscard]] bool record(std::span<const Point> run, Rgb colour);
    [[nodiscard]] bool recordLoose(std::span<const Point> points, Entry entry);
    [[nodiscard]] bool held(std::span<const Point> run, std::size_t& at);
    std::size_t allowed(std::size_t calls);
    void release() noexcept;
    void goDirect() noexcept;
    void apply(const Entry& entry, std::size_t from, std::size_t count);

    RasterSurface& picture_;
    int penAtStart_ = 1;
    int pen_ = 1; // as recorded so far
    std::unique_ptr<Entry[]> entries_;
    std::size_t entryCount_ = 0, entryRoom_ = 0;
    // The runs' points at pen width 1: the picture's positions, and while
    // recording the points themselves.
    std::unique_ptr<std::uint32_t[]> positions_;
    std::unique_ptr<Point[]> points_;
    std::size_t pointCount_ = 0, pointRoom_ = 0;
    // Points kept as they are: boxes' corners, and points in a wider pen.
    std::unique_ptr<Point[]> loose_;
    std::size_t looseCount_ = 0, looseRoom_ = 0;
    // Where a run is looked for among the points held: after the last one
    // matched, or at the start of the stretch of points last recorded.
    std::size_t cursor_ = 0, stretch_ = 0;
    bool matched_ = false;
    // Calls recorded (a run's points each one), and how many may be.
    std::size_t calls_ = 0;
    std::size_t limit_ = std::numeric_limits<std::size_t>::max();
    // How far it has been applied: the entry, and the points of its run.
    std::size_t next_ = 0, offset_ = 0;
    long long applied_ = 0;
    bool direct_ = false;
    bool cleared_ = false;
};

} // namespace kestivo
