// libFuzzer target: the raster surface and the window's on-screen surface,
// each checked pixel for pixel against a model of the drawing rules written
// here plainly, independently of the surfaces' code.
//
// Input: a mode byte (bit 0: on screen, bit 1: large pictures), the sizes
// and resolution, then
// - the surface alone: operations 0 DrawWidth(int32), 1 PSet, 2 Line B,
//   3 Line BF, 4 Cls, 5 rescale, 6 hold a copy of the picture, 7 check the
//   copies held. After each operation the whole picture must equal the
//   model's, the dirty rectangle must cover every pixel that changed, and
//   statuses must be as the rules say (only NaN coordinates and widths
//   outside 1-32767 fail).
// - on screen: four routines (each a DrawWidth and up to 15 operations,
//   scale requests among them), then commands: 0 run a routine, 1 resize the
//   window, 2 move to another scale, 3 hold a copy, 4 check the copies. A
//   routine runs into a recording, as the session runs it, and is revealed
//   onto the picture frame by frame, so many points a frame, each frame
//   presented to the Qt canvas and painted by the event loop; its scale
//   requests move the window to another scale between its frames. The model
//   keeps every routine run and draws them all again at each scale; the
//   picture must agree, and what the canvas's window shows, through the
//   paint path of the exposed window, must be the picture and the background
//   beyond it.

#include "qt/Canvas.h"
#include "session/Picture.h"
#include "surface/Palette.h"
#include "surface/RasterSurface.h"
#include "surface/Recording.h"

#include "FuzzInput.h"

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using namespace kestivo;
using fuzz::require;

namespace {

// Pixels the harness may still visit for this input: checking every pixel
// after every operation is costly at large sizes, so an input stops early
// rather than run into the time-out.
long long gWork = 0;

void spend(long long pixels)
{
    gWork -= std::max(pixels, 64LL);
}

// The model's and the checks' pixel loops: coverage feedback from them
// would only slow the search, which is for the surfaces' paths.
#define KESTIVO_UNCOVERED __attribute__((no_sanitize("coverage")))

struct Reader : fuzz::ByteReader {
    using ByteReader::ByteReader;
    // Mostly twips near the picture, sometimes any float at all.
    float real()
    {
        if (byte() % 4 == 0) {
            const std::uint32_t bits = word();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        return float(std::int16_t(half())) * 0.75f;
    }
};

// One drawing operation.
struct Op {
    enum Kind : std::uint8_t { Width, Point, Box, FilledBox, Clear, Scale } kind;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::int32_t width = 1;
    std::uint8_t colour = 0;
};

Op readOp(Reader& in, int kind)
{
    Op op{Op::Kind(kind)};
    switch (op.kind) {
    case Op::Width:
        op.width = in.byte() % 8 == 0 ? std::int32_t(in.word()) : 1 + in.byte() % 6;
        break;
    case Op::Point:
        op.x1 = in.real();
        op.y1 = in.real();
        op.colour = in.byte() % 16;
        break;
    case Op::Box:
    case Op::FilledBox:
        op.x1 = in.real();
        op.y1 = in.real();
        op.x2 = in.real();
        op.y2 = in.real();
        op.colour = in.byte() % 16;
        break;
    case Op::Clear:
        break;
    case Op::Scale:
        op.colour = in.byte();
        break;
    }
    return op;
}

constexpr std::array<double, 6> kRatios{1.0, 1.25, 1.5, 2.0, 0.5, 3.0};

// The rules, one pixel at a time.
struct Model {
    int w = 1, h = 1;
    double dpi = 96;
    int pen = 1;
    std::vector<std::uint32_t> px;
    int cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1; // what the last operation changed

    Model(int width, int height, double dotsPerInch)
        : w(width), h(height), dpi(dotsPerInch),
          px(std::size_t(width) * std::size_t(height), kBackground.argb())
    {
    }

    // The pixel whose centre is nearest, halves upwards.
    double pixelOf(float twips) const { return std::floor(double(twips) * (dpi / 1440.0) + 0.5); }

    KESTIVO_UNCOVERED void set(long long x, long long y, std::uint32_t c)
    {
        std::uint32_t& p = px[std::size_t(y) * std::size_t(w) + std::size_t(x)];
        if (p == c)
            return;
        p = c;
        if (cx1 < 0) {
            cx0 = cx1 = int(x);
            cy0 = cy1 = int(y);
        }
        cx0 = std::min(cx0, int(x));
        cx1 = std::max(cx1, int(x));
        cy0 = std::min(cy0, int(y));
        cy1 = std::max(cy1, int(y));
    }

    // Every pixel of the picture with left <= x <= right, top <= y <= bottom
    // for which inside(x, y) holds; bounds may be infinite.
    template <typename Inside>
    KESTIVO_UNCOVERED void paint(double left, double top, double right, double bottom, std::uint32_t c,
               Inside inside)
    {
        const double x0 = std::max(left, 0.0), x1 = std::min(right, double(w - 1));
        const double y0 = std::max(top, 0.0), y1 = std::min(bottom, double(h - 1));
        if (!(x0 <= x1 && y0 <= y1))
            return;
        spend((long long)((x1 - x0 + 1) * (y1 - y0 + 1)));
        for (long long y = (long long)y0; y <= (long long)y1; ++y)
            for (long long x = (long long)x0; x <= (long long)x1; ++x)
                if (inside(double(x), double(y)))
                    set(x, y, c);
    }

    // Applies op; returns whether the surface must report success.
    bool apply(const Op& op)
    {
        cx0 = cy0 = 0;
        cx1 = cy1 = -1;
        const std::uint32_t c = QBColor(op.colour % 16).argb();
        const auto all = [](double, double) { return true; };
        switch (op.kind) {
        case Op::Width:
            if (op.width < 1 || op.width > 32767)
                return false;
            pen = op.width;
            return true;
        case Op::Point: {
            if (std::isnan(op.x1) || std::isnan(op.y1))
                return false;
            const double x = pixelOf(op.x1), y = pixelOf(op.y1);
            const double lead = double((pen - 1) / 2);
            paint(x - lead, y - lead, x - lead + pen - 1, y - lead + pen - 1, c, all);
            return true;
        }
        case Op::Box:
        case Op::FilledBox: {
            if (std::isnan(op.x1) || std::isnan(op.y1) || std::isnan(op.x2) || std::isnan(op.y2))
                return false;
            const double ax = pixelOf(op.x1), ay = pixelOf(op.y1);
            const double bx = pixelOf(op.x2), by = pixelOf(op.y2);
            const double l = std::min(ax, bx), r = std::max(ax, bx);
            const double t = std::min(ay, by), b = std::max(ay, by);
            if (op.kind == Op::FilledBox) {
                paint(l, t, r, b, c, all);
            } else {
                // Within pen pixels of a side, counting inwards.
                const double p = pen;
                paint(l, t, r, b, c, [&](double x, double y) {
                    return x - l < p || r - x < p || y - t < p || b - y < p;
                });
            }
            return true;
        }
        case Op::Clear:
            paint(0, 0, w - 1, h - 1, kBackground.argb(), all);
            return true;
        case Op::Scale:
            return true;
        }
        return true;
    }
};

Status drawOn(DrawingSurface& s, const Op& op)
{
    const Rgb colour = QBColor(op.colour % 16);
    switch (op.kind) {
    case Op::Width:
        return s.DrawWidth(op.width);
    case Op::Point:
        return s.PSet(op.x1, op.y1, colour);
    case Op::Box:
        return s.Line(op.x1, op.y1, op.x2, op.y2, colour, BoxStyle::B);
    case Op::FilledBox:
        return s.Line(op.x1, op.y1, op.x2, op.y2, colour, BoxStyle::BF);
    case Op::Clear:
        return s.Cls();
    case Op::Scale:
        return Status::Ok;
    }
    return Status::Ok;
}

KESTIVO_UNCOVERED bool same(const Pixels& image, const Model& m)
{
    spend((long long)m.w * m.h / 4);
    if (image.width() != m.w || image.height() != m.h)
        return false;
    return std::memcmp(image.data(), m.px.data(),
                       std::size_t(m.w) * std::size_t(m.h) * sizeof(std::uint32_t)) == 0;
}

bool same(const RasterSurface& s, const Model& m)
{
    return s.scale().twipsPerPixel() == 1440.0 / m.dpi && same(s.snapshot(), m);
}

bool contains(PixelRect outer, PixelRect inner)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// The smallest rectangle holding a region's; empty for an empty region.
PixelRect bounds(const DirtyRegion& region)
{
    if (region.empty())
        return {};
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    for (const PixelRect& r : region) {
        x0 = std::min(x0, r.x);
        y0 = std::min(y0, r.y);
        x1 = std::max(x1, r.x + r.width);
        y1 = std::max(y1, r.y + r.height);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

struct Held {
    Pixels image;
    Model expected;
};

void checkHeld(const std::vector<Held>& held)
{
    for (const Held& h : held)
        require(same(h.image, h.expected));
}

int sizeFrom(Reader& in, bool large, int largest)
{
    return large ? 1 + in.half() % largest : 1 + in.byte() % 64;
}

// Up to 2048 a side, but at most a megapixel: each input pays for its
// pictures several times over, and the search slows with their size.
QSize pictureFrom(Reader& in, bool large)
{
    const int w = sizeFrom(in, large, 2048);
    const int h = sizeFrom(in, large, 2048);
    return {w, std::min(h, std::max(1, (1 << 20) / w))};
}

// The surface alone.
void fuzzRaster(Reader& in, bool large)
{
    const QSize size = pictureFrom(in, large);
    const int w = size.width(), h = size.height();
    const double dpi = 24 + in.byte() * 3;
    RasterSurface surface(w, h, dpi);
    Model model(w, h, dpi);
    std::vector<Held> held;
    while (in.more() && gWork > 0) {
        const int kind = in.byte() % 8;
        if (kind < 5) {
            const Op op = readOp(in, kind);
            const bool ok = model.apply(op);
            require((drawOn(surface, op) == Status::Ok) == ok);
        } else if (kind == 5) {
            const QSize next = pictureFrom(in, large);
            const int nw = next.width(), nh = next.height();
            const double ndpi = 24 + in.byte() * 3;
            surface.rescale(nw, nh, ndpi);
            const int pen = model.pen;
            model = Model(nw, nh, ndpi);
            model.pen = pen;
            model.cx0 = model.cy0 = 0;
            model.cx1 = nw - 1;
            model.cy1 = nh - 1;
            require(surface.penWidth() == pen);
        } else if (kind == 6) {
            if (held.size() == 3)
                held.erase(held.begin());
            held.push_back({surface.snapshot(), model});
            continue;
        } else {
            checkHeld(held);
            continue;
        }
        require(same(surface, model));
        const DirtyRegion dirty = surface.takeDirty();
        if (model.cx1 >= 0)
            require(contains(bounds(dirty), PixelRect::fromCorners(model.cx0, model.cy0, model.cx1, model.cy1)));
        for (const PixelRect& r : dirty)
            require(contains({0, 0, model.w, model.h}, r));
    }
    checkHeld(held);
}

// ---- On screen ----------------------------------------------------------

std::array<std::vector<Op>, 4> gRoutines;

// A routine's drawing calls; its scale requests are for the window, between
// the frames that reveal it.
template <int I>
void routine(DrawingSurface& s)
{
    for (const Op& op : gRoutines[I])
        if (op.kind != Op::Scale)
            (void)drawOn(s, op);
}

constexpr std::array<Routine, 4> kRoutines{routine<0>, routine<1>, routine<2>, routine<3>};

// The picture, the recording a routine is revealed from, and the canvas
// showing them, put together as the session and the window put them.
struct Screen {
    Picture& picture;
    Recording& recording;
    Canvas& canvas;
    Routine revealing = nullptr;

    void present()
    {
        if (const DirtyRegion dirty = picture.raster().takeDirty(); !dirty.empty())
            canvas.present(dirty);
    }
    void rescale(double ratio)
    {
        if (!picture.adoptScale(ratio))
            return;
        if (revealing)
            recording.rescaled(revealing);
        present();
    }
};

// The picture at ratio dpr: every run so far, in order, on the background.
Model redrawn(const std::vector<int>& runs, QSize logical, double logicalDpi, double dpr)
{
    Model m(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr)),
            logicalDpi * dpr);
    for (int r : runs)
        for (const Op& op : gRoutines[std::size_t(r)])
            (void)m.apply(op);
    return m;
}

// What the exposed window shows: the picture, the background beyond it.
KESTIVO_UNCOVERED void checkScreen(QWidget& host, const Model& m)
{
    auto* shown = dynamic_cast<QImage*>(host.backingStore()->paintDevice());
    if (!shown || host.devicePixelRatioF() != 1.0)
        return;
    const int w = std::min(shown->width(), host.width());
    const int h = std::min(shown->height(), host.height());
    spend((long long)w * h / 4);
    require(shown->depth() == 32);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(shown->constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::uint32_t want = x < m.w && y < m.h
                ? m.px[std::size_t(y) * std::size_t(m.w) + std::size_t(x)]
                : kBackground.argb();
            require((row[x] | 0xFF000000u) == want);
        }
    }
}

void settle(QWidget& host)
{
    for (int i = 0; i < 100 && !(host.windowHandle() && host.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void fuzzScreen(Reader& in, bool large)
{
    const int pw = large ? 1 + in.half() % 512 : 1 + in.byte() % 96;
    const int ph = large ? 1 + in.half() % 512 : 1 + in.byte() % 96;
    const double logicalDpi = 24 + in.byte() * 3;
    for (auto& ops : gRoutines) {
        ops.clear();
        // Like the program's routines, each sets its pen first.
        ops.push_back(Op{Op::Width, 0, 0, 0, 0, 1 + in.byte() % 3, 0});
        const int n = in.byte() % 16;
        for (int i = 0; i < n; ++i)
            ops.push_back(readOp(in, in.byte() % 6));
    }

    // One window for all inputs, exposed once; a new picture and canvas in
    // it for each.
    static QWidget* const window = new QWidget;
    QWidget& host = *window;
    host.resize(pw, ph);
    host.show();
    Picture picture(pw, ph, logicalDpi, host.devicePixelRatioF());
    Recording recording(picture.raster());
    auto owned = std::make_unique<Canvas>(&host, picture);
    Canvas& canvas = *owned;
    Screen screen{picture, recording, canvas};
    canvas.onRescale = [&screen](double ratio) { screen.rescale(ratio); };
    canvas.setGeometry(host.rect());
    canvas.show();
    settle(host);
    host.repaint(); // what the previous input's canvas left is no concern
    std::vector<int> runs;
    std::vector<Held> held;
    double dpr = picture.scale();
    Model model = redrawn(runs, {pw, ph}, logicalDpi, dpr);
    checkScreen(host, model);

    // The model follows the scale the canvas says it is at.
    const auto agree = [&] {
        if (picture.scale() != dpr) {
            dpr = picture.scale();
            model = redrawn(runs, {pw, ph}, logicalDpi, dpr);
        }
        require(same(picture.raster(), model));
    };

    int commands = 0;
    while (in.more() && commands++ < 64 && gWork > 0) {
        switch (in.byte() % 5) {
        case 0: {
            const int r = in.byte() % 4;
            const long long step = 1 + in.byte(); // points a frame
            recording.reset();
            for (const Op& op : gRoutines[std::size_t(r)])
                if (op.kind != Op::Scale) {
                    const bool ok = model.apply(op);
                    require((drawOn(recording, op) == Status::Ok) == ok);
                }
            recording.recorded();
            runs.push_back(r);
            screen.revealing = kRoutines[std::size_t(r)];
            auto scales = gRoutines[std::size_t(r)].begin();
            const auto nextScale = [&] {
                scales = std::find_if(scales, gRoutines[std::size_t(r)].end(),
                                      [](const Op& op) { return op.kind == Op::Scale; });
                if (scales == gRoutines[std::size_t(r)].end())
                    return false;
                screen.rescale(kRatios[scales++->colour % kRatios.size()]);
                return true;
            };
            for (long long due = step;; due += step) {
                const bool whole = recording.applyUntil(due);
                screen.present();
                (void)nextScale();
                QCoreApplication::processEvents(); // the frame's paint
                if (whole)
                    break;
            }
            picture.drawn(kRoutines[std::size_t(r)], recording.cleared());
            recording.reset();
            screen.revealing = nullptr;
            while (nextScale()) {
            }
            // The frames repainted only what changed: the window must show
            // all of it.
            settle(host);
            agree();
            checkScreen(host, model);
            break;
        }
        case 1: {
            const int w = large ? 1 + in.half() % 640 : 1 + in.byte() % 128;
            const int h = large ? 1 + in.half() % 640 : 1 + in.byte() % 128;
            host.resize(w, h);
            canvas.setGeometry(host.rect());
            settle(host);
            agree();
            require(picture.raster().width() == model.w && picture.raster().height() == model.h);
            checkScreen(host, model);
            break;
        }
        case 2:
            screen.rescale(kRatios[in.byte() % kRatios.size()]);
            agree();
            canvas.repaint();
            agree();
            settle(host);
            checkScreen(host, model);
            break;
        case 3:
            if (held.size() == 3)
                held.erase(held.begin());
            held.push_back({picture.raster().snapshot(), model});
            break;
        case 4:
            checkHeld(held);
            break;
        }
    }
    checkHeld(held);
    owned.reset();
    // No event loop runs here: deliver what the window queued, as the
    // program's loop would, so that nothing piles up from input to input.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: libFuzzer ends with exit(), and a QApplication torn
    // down among Qt's own static objects crashes. A global pointer keeps it
    // reachable, so it is no leak either.
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    gWork = 1LL << 22;
    const std::uint8_t mode = in.byte();
    if (mode & 1)
        fuzzScreen(in, mode & 2);
    else
        fuzzRaster(in, mode & 2);
    return 0;
}
