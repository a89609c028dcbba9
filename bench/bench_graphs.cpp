// Painting the three graphs of a record with 100,000 data peaks into a
// 1200 x 900 image, as the calibration window does on every paint.
#include <benchmark/benchmark.h>

#include "../tests/support/synthetic_calibration.hpp"
#include "masscal/graphs.h"
#include "platform/gdi/device_context.hpp"
#include "platform/win/window.hpp"

namespace {

using namespace masscal::platform;

void BM_PaintGraphs100k(benchmark::State& state) {
    masscal::testing::SyntheticOptions opt;
    opt.noisePeaks = 100000 - 69;  // with the 69 calibrant peaks and isotopes
    auto rec = masscal::testing::make_synthetic_calibration(opt);
    CalWnd parent = CreateHeadlessWindow(nullptr, CalRect{0, 0, 1200, 900}, nullptr, nullptr);
    CalWnd area = CreateHeadlessWindow(parent, CalRect{0, 0, 1200, 900}, nullptr, nullptr);
    GraphLayout layout{};
    CalAlloc(&layout.Curve, CAL_CURVE_POINTS, 4);
    layout.nCurvePoints = CAL_CURVE_POINTS;
    CalInitGraphRanges(rec.get(), &layout);
    auto dc = CalDeviceContext::create_image(1200, 900);
    for (auto _ : state) {
        CalRect r{0, 0, 1200, 900};
        benchmark::DoNotOptimize(CalPaintGraphs(area, &r, dc.get(), rec.get(), &layout, 0));
    }
    state.counters["peaks"] = rec->DataPeaks.nCount;
    CalDeleteGraphs(&layout);
    CalFree(&layout.Curve);
    DestroyWindow(parent);
}
BENCHMARK(BM_PaintGraphs100k)->Unit(benchmark::kMillisecond);

// The same with the display calibration on: every paint recomputes the
// calibrated masses of all peaks.
void BM_PaintGraphs100kCalibratedDisplay(benchmark::State& state) {
    masscal::testing::SyntheticOptions opt;
    opt.noisePeaks = 100000 - 69;
    auto rec = masscal::testing::make_synthetic_calibration(opt);
    rec->Params.CalibrateDisplay = 1;
    CalWnd parent = CreateHeadlessWindow(nullptr, CalRect{0, 0, 1200, 900}, nullptr, nullptr);
    CalWnd area = CreateHeadlessWindow(parent, CalRect{0, 0, 1200, 900}, nullptr, nullptr);
    GraphLayout layout{};
    CalInitGraphRanges(rec.get(), &layout);
    auto dc = CalDeviceContext::create_image(1200, 900);
    for (auto _ : state) {
        CalRect r{0, 0, 1200, 900};
        benchmark::DoNotOptimize(CalPaintGraphs(area, &r, dc.get(), rec.get(), &layout, 0));
    }
    CalDeleteGraphs(&layout);
    DestroyWindow(parent);
}
BENCHMARK(BM_PaintGraphs100kCalibratedDisplay)->Unit(benchmark::kMillisecond);

}  // namespace
