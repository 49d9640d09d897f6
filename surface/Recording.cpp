#include "surface/Recording.h"

#include "surface/Growable.h"
#include "surface/RasterSurface.h"

#include <algorithm>
#include <cstring>

namespace kestivo {

namespace {
constexpr std::size_t kFirstEntries = 256;
constexpr std::size_t kFirstPoints = std::size_t(1) << 16; // the ellipse's first pass, nearly
constexpr std::size_t kFirstLoose = 64;
constexpr long long kAll = std::numeric_limits<long long>::max();
} // namespace

Recording::Recording(RasterSurface& picture) : picture_(picture)
{
    reset();
}

Recording::~Recording() = default;

void Recording::release() noexcept
{
    entries_.reset();
    positions_.reset();
    points_.reset();
    loose_.reset();
    entryCount_ = entryRoom_ = pointCount_ = pointRoom_ = looseCount_ = looseRoom_ = 0;
    cursor_ = stretch_ = next_ = offset_ = 0;
    matched_ = false;
}

void Recording::reset() noexcept
{
    release();
    penAtStart_ = pen_ = picture_.penWidth();
    calls_ = 0;
    limit_ = std::numeric_limits<std::size_t>::max();
    applied_ = 0;
    direct_ = cleared_ = false;
}

void Recording::recorded() noexcept
{
    points_.reset(); // repeats are found only while recording
}

std::size_t Recording::bytes() const
{
    return entryRoom_ * sizeof(Entry) + pointRoom_ * (sizeof(std::uint32_t) + (points_ ? sizeof(Point) : 0)) +
           looseRoom_ * sizeof(Point);
}

// Out of memory, or of the bound: what is held goes onto the picture, and
// the rest of the routine draws straight.
void Recording::goDirect() noexcept
{
    applyUntil(kAll);
    release();
    direct_ = true;
}

// Room for `wanted` items, `used` of them held, within the bound.
template <typename T>
bool Recording::grow(std::unique_ptr<T[]>& items, std::size_t used, std::size_t& room, std::size_t wanted,
                     std::size_t least)
{
    if (wanted <= room)
        return true;
    const std::size_t next = std::max({wanted, room * 2, least});
    return next <= std::numeric_limits<std::uint32_t>::max() && bytes() + next * sizeof(T) <= kMaxBytes &&
           growArray(items, used, room, next, least);
}

bool Recording::add(const Entry& entry)
{
    // A run that goes on where the last ended, in its colour, extends it.
    if (entry.kind == Kind::Run && entryCount_ > 0) {
        Entry& last = entries_[entryCount_ - 1];
        if (last.kind == Kind::Run && last.colour == entry.colour &&
            std::size_t(last.from) + last.count == entry.from &&
            std::size_t(last.count) + entry.count <= std::numeric_limits<std::uint32_t>::max()) {
            last.count += entry.count;
            return true;
        }
    }
    if (!grow(entries_, entryCount_, entryRoom_, entryCount_ + 1, kFirstEntries))
        return false;
    entries_[entryCount_++] = entry;
    return true;
}

// Whether the run's points are held already, bit for bit, where the last
// run matched or at the start of the latest stretch: a later colour pass
// sets its first pass's points again, in order.
bool Recording::held(std::span<const Point> run, std::size_t& at)
{
    for (const std::size_t from : {cursor_, stretch_}) {
        if (from + run.size() <= pointCount_ &&
            std::memcmp(points_.get() + from, run.data(), run.size_bytes()) == 0) {
            at = from;
            cursor_ = from + run.size();
            matched_ = true;
            return true;
        }
    }
    return false;
}

bool Recording::record(std::span<const Point> run, Rgb colour)
{
    if (run.empty())
        return true;
    if (pen_ != 1 || !picture_.positioned())
        return recordLoose(run, {Kind::LooseRun, BoxStyle::B, colour, 0, std::uint32_t(run.size())});
    std::size_t at = 0;
    if (!held(run, at)) {
        const std::size_t wanted = pointCount_ + run.size();
        if (wanted > pointRoom_) {
            // Both arrays grow to the same room.
            std::size_t room = pointRoom_;
            if (!grow(points_, pointCount_, room, wanted, kFirstPoints) ||
                !grow(positions_, pointCount_, pointRoom_, room, room))
                return false;
        }
        if (matched_) { // a new stretch of points begins
            stretch_ = pointCount_;
            matched_ = false;
        }
        cursor_ = stretch_;
        at = pointCount_;
        std::copy(run.begin(), run.end(), points_.get() + at);
        picture_.positionsOf(run, positions_.get() + at);
        pointCount_ = wanted;
    }
    return add({Kind::Run, BoxStyle::B, colour, std::uint32_t(at), std::uint32_t(run.size())});
}

bool Recording::recordLoose(std::span<const Point> points, Entry entry)
{
    if (!grow(loose_, looseCount_, looseRoom_, looseCount_ + points.size(), kFirstLoose))
        return false;
    entry.from = std::uint32_t(looseCount_);
    if (!add(entry))
        return false;
    std::copy(points.begin(), points.end(), loose_.get() + looseCount_);
    looseCount_ += points.size();
    return true;
}

// How many of `calls` more calls may be recorded; none is the end of a
// routine recorded again.
std::size_t Recording::allowed(std::size_t calls)
{
    const std::size_t left = limit_ - calls_;
    if (left == 0)
        throw Enough{};
    return std::min(calls, left);
}

Status Recording::DrawWidth(int width)
{
    (void)allowed(1);
    ++calls_;
    if (direct_)
        return picture_.DrawWidth(width);
    if (!RasterSurface::acceptsWidth(width))
        return Status::Failed;
    if (!add({Kind::Width, BoxStyle::B, Rgb(), std::uint32_t(width), 0})) {
        goDirect();
        return picture_.DrawWidth(width);
    }
    pen_ = width;
    return Status::Ok;
}

Status Recording::PSet(float x, float y, Rgb colour)
{
    const Point p{x, y};
    return PSetRun(std::span<const Point>(&p, 1), colour);
}

// The points before the first the picture would refuse are set, as there.
Status Recording::PSetRun(std::span<const Point> run, Rgb colour)
{
    if (run.empty())
        return Status::Ok;
    const std::size_t taken = allowed(run.size());
    // Looked at whole first (a loop without branches), and point by point
    // only when one is refused.
    bool all = true;
    for (std::size_t i = 0; i < taken; ++i)
        all &= RasterSurface::acceptsPoint(run[i].x, run[i].y);
    const auto refused =
        all ? run.begin() + std::ptrdiff_t(taken)
            : std::find_if(run.begin(), run.begin() + std::ptrdiff_t(taken),
                           [](const Point& p) { return !RasterSurface::acceptsPoint(p.x, p.y); });
    const auto set = run.first(std::size_t(refused - run.begin()));
    calls_ += set.size();
    if (direct_) {
        (void)picture_.PSetRun(set, colour);
    } else if (!record(set, colour)) {
        goDirect();
        (void)picture_.PSetRun(set, colour);
    }
    if (set.size() < taken)
        return Status::Failed;
    if (taken < run.size())
        throw Enough{};
    return Status::Ok;
}

Status Recording::Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style)
{
    (void)allowed(1);
    ++calls_;
    if (direct_)
        return picture_.Line(x1, y1, x2, y2, colour, style);
    if (!RasterSurface::acceptsPoint(x1, y1) || !RasterSurface::acceptsPoint(x2, y2))
        return Status::Failed;
    const Point corners[2] = {{x1, y1}, {x2, y2}};
    if (!recordLoose(corners, {Kind::Line, style, colour, 0, 0})) {
        goDirect();
        return picture_.Line(x1, y1, x2, y2, colour, style);
    }
    return Status::Ok;
}

Status Recording::Cls()
{
    (void)allowed(1);
    ++calls_;
    if (!direct_ && add({Kind::Cls, BoxStyle::B, Rgb(), 0, 0}))
        return Status::Ok;
    if (!direct_)
        goDirect();
    cleared_ = true;
    return picture_.Cls();
}

// Every call was checked as it was recorded: applied, it succeeds.
void Recording::apply(const Entry& e, std::size_t from, std::size_t count)
{
    switch (e.kind) {
    case Kind::Width:
        (void)picture_.DrawWidth(int(e.from));
        break;
    case Kind::Run:
        picture_.setAt(std::span<const std::uint32_t>(positions_.get() + e.from + from, count), e.colour);
        break;
    case Kind::LooseRun:
        (void)picture_.PSetRun(std::span<const Point>(loose_.get() + e.from + from, count), e.colour);
        break;
    case Kind::Line: {
        const Point& a = loose_[e.from];
        const Point& b = loose_[e.from + 1];
        (void)picture_.Line(a.x, a.y, b.x, b.y, e.colour, e.style);
        break;
    }
    case Kind::Cls:
        (void)picture_.Cls();
        cleared_ = true;
        break;
    }
}

bool Recording::applyUntil(long long points)
{
    while (next_ < entryCount_) {
        const Entry& e = entries_[next_];
        if (e.kind != Kind::Run && e.kind != Kind::LooseRun) {
            apply(e, 0, 0);
            ++next_;
            continue;
        }
        if (applied_ >= points)
            return false;
        const std::size_t left = e.count - offset_;
        const auto take = std::size_t(std::min<long long>(static_cast<long long>(left), points - applied_));
        apply(e, offset_, take);
        applied_ += static_cast<long long>(take);
        offset_ += take;
        if (offset_ == e.count) {
            offset_ = 0;
            ++next_;
        }
    }
    return true;
}

// The calls applied so far, again, from the pen the routine started with.
void Recording::applyAgain()
{
    (void)picture_.DrawWidth(penAtStart_);
    for (std::size_t i = 0; i < next_; ++i)
        apply(entries_[i], 0, entries_[i].count);
    if (offset_ > 0)
        apply(entries_[next_], 0, offset_);
}

void Recording::rescaled(void (*routine)(DrawingSurface&))
{
    if (direct_)
        return; // drawn whole already, and drawn again with the picture
    const int pen = penAtStart_;
    const std::size_t calls = calls_, next = next_, offset = offset_;
    const long long applied = applied_;
    const bool cleared = cleared_;
    reset();
    penAtStart_ = pen_ = pen;
    (void)picture_.DrawWidth(pen); // where the routine started, should it go straight
    limit_ = calls;
    try {
        routine(*this);
    } catch (...) {
        // Enough, or the failure met where it was met before.
    }
    limit_ = std::numeric_limits<std::size_t>::max();
    recorded();
    if (direct_)
        return; // no memory to record it again: what it made is shown whole
    next_ = next;
    offset_ = offset;
    applied_ = applied;
    applyAgain();
    cleared_ = cleared;
}

} // namespace kestivo
