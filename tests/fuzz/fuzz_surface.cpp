// libFuzzer target: arbitrary sequences of DrawWidth, PSet, Line B/BF and Cls
// calls, with any float bits, on the QImage surface and on the window's
// on-screen surface, for any image size from 1 x 1 and any resolution.
//
// Input: kind, width, height, resolution bytes, then operations:
//   0 DrawWidth(int32)   1 PSet(f, f, colour)   2 Line B(f, f, f, f, colour)
//   3 Line BF(...)       4 Cls()                5 resize the window (w, h)
// Besides the sanitizers, it checks each status: only NaN coordinates and
// widths outside 1-32767 may fail.

#include "Canvas.h"
#include "Palette.h"
#include "Pacer.h"
#include "RasterSurface.h"
#include "ScreenSurface.h"

#include <QApplication>
#include <QWidget>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace kestivo;

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::uint32_t word()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(byte()) << (8 * i);
        return v;
    }
    float real()
    {
        const std::uint32_t bits = word();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
};

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void run(Reader& in, DrawingSurface& surface, const std::function<void(int, int)>& resize)
{
    int ops = 0;
    while (in.more() && ops++ < 4096) {
        switch (in.byte() % 6) {
        case 0: {
            const auto width = std::int32_t(in.word());
            const Status s = surface.DrawWidth(width);
            require((s == Status::Ok) == (width >= 1 && width <= RasterSurface::kMaxDrawWidth));
            break;
        }
        case 1: {
            const float x = in.real(), y = in.real();
            const Status s = surface.PSet(x, y, QBColor(in.byte() % 16));
            require((s == Status::Ok) == !(std::isnan(x) || std::isnan(y)));
            break;
        }
        case 2:
        case 3: {
            const BoxStyle style = in.data[in.at - 1] % 6 == 2 ? BoxStyle::B : BoxStyle::BF;
            const float x1 = in.real(), y1 = in.real(), x2 = in.real(), y2 = in.real();
            const Status s = surface.Line(x1, y1, x2, y2, QBColor(in.byte() % 16), style);
            const bool nan = std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2);
            require((s == Status::Ok) == !nan);
            break;
        }
        case 4:
            require(surface.Cls() == Status::Ok);
            break;
        case 5: {
            const int w = in.byte(), h = in.byte();
            if (resize)
                resize(w, h);
            break;
        }
        }
    }
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
    const bool screen = in.byte() & 1;
    const int w = 1 + in.byte() % 64;
    const int h = 1 + in.byte() % 64;
    const double dpi = 24 + in.byte() * 3;

    if (!screen) {
        RasterSurface surface(w, h, dpi);
        run(in, surface, nullptr);
        require(surface.image().size() == QSize(w, h));
        return 0;
    }
    QWidget host;
    host.resize(w, h);
    Canvas canvas(&host, dpi, QSize(w, h));
    canvas.setGeometry(host.rect());
    host.show();
    SteadyClock clock;
    ScreenSurface surface(canvas, clock, 0);
    surface.beginRoutine();
    run(in, surface, [&](int rw, int rh) {
        host.resize(rw, rh);
        canvas.setGeometry(host.rect());
    });
    surface.endRoutine();
    host.hide();
    // No event loop runs here: deliver what the window queued, as the
    // program's loop would, so that nothing piles up from input to input.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
