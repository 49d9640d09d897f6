// What the routines cost a point against the floors of what is left once
// each distinct point is worked out only once, and how the direct-pixel
// surface compares with QPainter.
//
// For each routine, two floors:
// - stores: one store a point into a pixel array, at the point's pixel, in
//   the routine's order: what setting the points costs in memory alone;
// - arithmetic: the routine's loops and formulas once for each distinct
//   value (the first colour pass, an angle's trigonometry once for all the
//   roses that step it), a store a point, spread over all its points.
// Then the routine on the raster surface; recorded and shown, as the window
// runs it (the routine into a recording, the recording onto the raster);
// the showing alone; and on a surface that draws each point with
// QPainter::drawPoint. A summary prints nanoseconds per point and the
// ratios.

#include "surface/Palette.h"
#include "patterns/Patterns.h"
#include "surface/RasterSurface.h"
#include "surface/Recording.h"
#include "support/RecordingSurface.h"
#include "patterns/RoseCurve.h"
#include "qt/VectorState.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

using namespace kestivo;

namespace {

constexpr int kW = 800, kH = 550;

struct Sink {
    float xy[1024][2];
    unsigned n = 0;
    void store(double x, double y)
    {
        xy[n & 1023][0] = float(x);
        xy[n & 1023][1] = float(y);
        ++n;
    }
};

// The arithmetic floors: each distinct value once, with a store for each
// point. The trigonometry of an angle once for all the roses that step it
// (cos t, sin t and each multiple's cos k t), and each point's products.
void floorRose(Sink& sink, double cx, double cy, double R, int k, double s, int sigma)
{
    roseAngles(s).forEach([&](double t) {
        const double c = std::cos(t);
        const double u = std::cos(t * k);
        const double x = (u * c) * R + cx;
        const double d = std::sin(t);
        const double y = sigma < 0 ? cy - (u * d) * R : (u * d) * R + cy;
        sink.store(x, y);
    });
}

// cos t, sin t, then cos(k t) for each multiple, at each angle of a step.
std::vector<double> trigOf(double step, std::initializer_list<int> multiples)
{
    std::vector<double> values;
    roseAngles(step).forEach([&](double t) {
        values.push_back(std::cos(t));
        values.push_back(std::sin(t));
        for (const int k : multiples)
            values.push_back(std::cos(t * k));
    });
    return values;
}

void floorPairs(Sink& sink, SteppedRange<int> positions, bool rows, std::initializer_list<int> multiples,
                const double (&other)[2])
{
    const std::vector<double> trig = trigOf(0.002, multiples);
    positions.forEach([&](int at) {
        for (std::size_t i = 0; i < trig.size(); i += 4)
            for (std::size_t j = 0; j < 2; ++j) {
                const double u = trig[i + 2 + j];
                const double cx = rows ? at : other[j], cy = rows ? other[j] : at;
                sink.store((u * trig[i]) * 200 + cx, cy - (u * trig[i + 1]) * 200);
            }
    });
}

void floorHwbk(Sink& sink)
{
    floorPairs(sink, {700, 11300, 400}, true, {3, 9}, {800, 7000});
    floorPairs(sink, {6500, 1300, -450}, false, {5, 7}, {800, 11200});
}

void floorHwty(Sink& sink)
{
    const std::vector<double> trig = trigOf(0.002, {5});
    SteppedRange<double>{(ApproxPi * 5.5) / 8, (ApproxPi * 19) / 8, ApproxPi / 14}.forEach([&](double a) {
        const double cx = std::cos(a) * 3300 + 6000;
        const double cy = std::sin(a) * 2600 + 4100;
        for (std::size_t i = 0; i < trig.size(); i += 3) {
            const double ct = trig[i], st = trig[i + 1], u = trig[i + 2];
            sink.store(a * ((u * ct) * 45) + cx, a * ((u * st) * 45) + cy);
        }
    });
}

void floorSgxc(Sink& sink)
{
    const std::vector<double> trig = trigOf(0.0001, {});
    for (auto [cx, cy, k] : {std::tuple{1900.0, 1900.0, 3}, std::tuple{10100.0, 1900.0, 2},
                             std::tuple{10100.0, 5900.0, 5}, std::tuple{1900.0, 5900.0, 7}}) {
        std::size_t i = 0;
        roseAngles(0.0001).forEach([&](double t) {
            const double u = std::cos(t * k);
            sink.store((u * trig[i]) * 500 + cx, (u * trig[i + 1]) * 500 + cy);
            i += 2;
        });
    }
}

// Each point through QPainter, the obvious way to draw on a QImage.
class PainterSurface final : public DrawingSurface {
public:
    PainterSurface() : image_(kW, kH, QImage::Format_RGB32), painter_(&image_)
    {
        image_.fill(kBackground.argb());
    }
    Status DrawWidth(int width) override
    {
        width_ = width;
        return Status::Ok;
    }
    Status PSet(float x, float y, Rgb colour) override
    {
        painter_.setPen(QPen(QColor::fromRgb(colour.argb()), width_));
        painter_.drawPoint(QPointF(std::floor(x / 15.0 + 0.5), std::floor(y / 15.0 + 0.5)));
        clearUpperVectorState(); // fair to QPainter: see VectorState.h
        return Status::Ok;
    }
    Status Line(float x1, float y1, float x2, float y2, Rgb colour, BoxStyle style) override
    {
        const QRectF r(QPointF(x1 / 15.0, y1 / 15.0), QPointF(x2 / 15.0, y2 / 15.0));
        painter_.setPen(QPen(QColor::fromRgb(colour.argb()), width_));
        if (style == BoxStyle::BF)
            painter_.fillRect(r, QColor::fromRgb(colour.argb()));
        else
            painter_.drawRect(r);
        return Status::Ok;
    }
    Status Cls() override
    {
        painter_.fillRect(image_.rect(), QColor::fromRgb(kBackground.argb()));
        return Status::Ok;
    }

private:
    QImage image_;
    QPainter painter_;
    int width_ = 1;
};

struct Pattern {
    const char* name;
    void (*draw)(DrawingSurface&);
    void (*floor)(Sink&);
    double points;
};

// The pixel of each point the routine sets, in its order, with its colour.
struct Stores {
    std::vector<std::uint32_t> at, argb;
};

Stores storesOf(const Pattern& r)
{
    RecordingSurface recording;
    r.draw(recording);
    const RasterSurface like(kW, kH);
    Stores stores;
    for (const RecordingSurface::Call& c : recording.calls()) {
        if (c.op != RecordingSurface::Op::PSet)
            continue;
        const auto x = std::clamp(int(like.scale().toPixel(c.x1)), 0, kW - 1);
        const auto y = std::clamp(int(like.scale().toPixel(c.y1)), 0, kH - 1);
        stores.at.push_back(std::uint32_t(y * kW + x));
        stores.argb.push_back(c.colour.argb());
    }
    return stores;
}

const Pattern kRoutines[] = {
    {"DrawHwbk", DrawHwbk, floorHwbk, 999'156},
    {"DrawHwty", DrawHwty, floorHwty, 452'448},
    {"DrawSgxc", DrawSgxc, floorSgxc, 1'507'968},
};

void perPoint(benchmark::State& state, double points)
{
    state.counters["ns_per_point"] = benchmark::Counter(
        points * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Floor(benchmark::State& state, const Pattern* r)
{
    clearUpperVectorState();
    Sink sink;
    for (auto _ : state) {
        r->floor(sink);
        benchmark::DoNotOptimize(sink.xy);
    }
    perPoint(state, r->points);
}

void BM_Stores(benchmark::State& state, const Pattern* r)
{
    const Stores stores = storesOf(*r);
    std::vector<std::uint32_t> pixels(std::size_t(kW) * kH);
    for (auto _ : state) {
        for (std::size_t i = 0; i < stores.at.size(); ++i)
            pixels[stores.at[i]] = stores.argb[i];
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    perPoint(state, r->points);
}

void BM_Raster(benchmark::State& state, const Pattern* r)
{
    clearUpperVectorState();
    RasterSurface surface(kW, kH);
    for (auto _ : state) {
        r->draw(surface);
        benchmark::DoNotOptimize(surface.pixel(0, 0));
    }
    perPoint(state, r->points);
}

constexpr long long kAll = std::numeric_limits<long long>::max();

void BM_Recorded(benchmark::State& state, const Pattern* r)
{
    clearUpperVectorState();
    RasterSurface surface(kW, kH);
    Recording recording(surface);
    for (auto _ : state) {
        recording.reset();
        r->draw(recording);
        recording.applyUntil(kAll);
        benchmark::DoNotOptimize(surface.pixel(0, 0));
    }
    state.counters["recording_kb"] = double(recording.bytes()) / 1024;
    perPoint(state, r->points);
}

// The showing alone: the whole recording applied again.
void BM_Shown(benchmark::State& state, const Pattern* r)
{
    clearUpperVectorState();
    RasterSurface surface(kW, kH);
    Recording recording(surface);
    r->draw(recording);
    recording.applyUntil(kAll);
    for (auto _ : state) {
        recording.applyAgain();
        benchmark::DoNotOptimize(surface.pixel(0, 0));
    }
    perPoint(state, r->points);
}

// One rose's points alone, without and with the floating-point check: what
// the check costs a point that has no fault (it reads no status word then).
constexpr RoseCurve kRose{1900, 1900, 500, 3, 0.0001, 1, 15};

double rosePoints()
{
    double n = 0;
    roseAngles(kRose.s).forEach([&](double) { ++n; });
    return n;
}

void BM_RoseUnchecked(benchmark::State& state)
{
    clearUpperVectorState();
    Sink sink;
    for (auto _ : state) {
        floorRose(sink, kRose.cx, kRose.cy, kRose.R, kRose.k, kRose.s, kRose.sigma);
        benchmark::DoNotOptimize(sink.xy);
    }
    perPoint(state, rosePoints());
}

void BM_RoseChecked(benchmark::State& state)
{
    clearUpperVectorState();
    Sink sink;
    for (auto _ : state) {
        roseAngles(kRose.s).forEach([&](double t) {
            const RosePoint p = rosePoint(kRose, RoseAngle(t));
            sink.store(p.x, p.y);
        });
        benchmark::DoNotOptimize(sink.xy);
    }
    perPoint(state, rosePoints());
}

void BM_QPainter(benchmark::State& state, const Pattern* r)
{
    clearUpperVectorState();
    PainterSurface surface;
    for (auto _ : state)
        r->draw(surface);
    perPoint(state, r->points);
}

// Google Benchmark 1.8 replaced Run::error_occurred with Run::skipped.
template <typename R>
bool failed(const R& run)
{
    if constexpr (requires { run.error_occurred; })
        return run.error_occurred;
    else
        return run.skipped != decltype(run.skipped){};
}

// Keeps each benchmark's best time per point for the summary: on a shared
// machine the minimum of several repetitions is the steadiest figure.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!failed(run) && run.run_type == Run::RT_Iteration) {
                const double ns = run.counters.at("ns_per_point");
                auto [it, fresh] = nsPerPoint.try_emplace(run.run_name.str(), ns);
                if (!fresh)
                    it->second = std::min(it->second, ns);
            }
    }
    std::map<std::string, double> nsPerPoint;
};

} // namespace

int main(int argc, char** argv)
{
    for (const Pattern& r : kRoutines) {
        const std::string n = r.name;
        benchmark::RegisterBenchmark(("stores/" + n).c_str(), BM_Stores, &r)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("floor/" + n).c_str(), BM_Floor, &r)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("raster/" + n).c_str(), BM_Raster, &r)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("recorded/" + n).c_str(), BM_Recorded, &r)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("shown/" + n).c_str(), BM_Shown, &r)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("qpainter/" + n).c_str(), BM_QPainter, &r)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("rose/unchecked", BM_RoseUnchecked)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("rose/checked", BM_RoseChecked)->Unit(benchmark::kMillisecond);
    // Five repetitions unless told otherwise; the summary keeps the best.
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5";
    if (std::none_of(args.begin(), args.end(), [](const char* a) {
            return std::string_view(a).starts_with("--benchmark_repetitions");
        }))
        args.insert(args.begin() + 1, reps.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-9s %9s %10s %9s %12s %11s %10s %14s\n", "routine", "ns/pt", "stores ns", "x stores",
                "arithmetic ns", "x arithmetic", "QPainter ns", "QPainter/raster");
    std::vector<std::string> shown;
    for (const Pattern& r : kRoutines) {
        const std::string n = r.name;
        const auto get = [&](const std::string& kind) {
            const auto it = reporter.nsPerPoint.find(kind + "/" + n);
            return it == reporter.nsPerPoint.end() ? std::nan("") : it->second;
        };
        const double storesNs = get("stores"), floorNs = get("floor"), rasterNs = get("raster"),
                     painterNs = get("qpainter");
        std::printf("%-9s %9.2f %10.2f %8.2fx %12.2f %11.2fx %10.1f %13.2fx\n", r.name, rasterNs, storesNs,
                    rasterNs / storesNs, floorNs, rasterNs / floorNs, painterNs, painterNs / rasterNs);
        const double recordedNs = get("recorded"), shownNs = get("shown");
        char line[160];
        std::snprintf(line, sizeof line, "%-9s %12.2f %16.2fx %10.2f %12.2fx", r.name, recordedNs,
                      recordedNs / std::max(storesNs, floorNs), shownNs, shownNs / storesNs);
        shown.emplace_back(line);
    }
    std::printf("\n%-9s %12s %17s %10s %13s\n", "routine", "recorded+shown", "x larger floor", "shown ns",
                "x stores");
    for (const std::string& line : shown)
        std::printf("%s\n", line.c_str());
    const auto unchecked = reporter.nsPerPoint.find("rose/unchecked");
    const auto checked = reporter.nsPerPoint.find("rose/checked");
    if (unchecked != reporter.nsPerPoint.end() && checked != reporter.nsPerPoint.end())
        std::printf("\nfloating-point check: %.1f ns/pt unchecked, %.1f checked (%.2fx)\n",
                    unchecked->second, checked->second, checked->second / unchecked->second);
    benchmark::Shutdown();
    return 0;
}
