#include "report/error_graph.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "axes/axes.hpp"
#include "graphs/graph_internal.hpp"
#include "masscal/quality.h"
#include "platform/c_locale.hpp"
#include "platform/gdi/device_context.hpp"
#include "suite/covariance/covariances.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;
using namespace masscal::graphs;

namespace masscal::report {
namespace {

struct Range {
    float low = INFINITY;
    float high = -INFINITY;
    void widen(float v) {
        if (!std::isfinite(v)) return;
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

// Owns what the graph borrows from the graph code.
struct Scratch {
    GraphLayout layout{};
    ~Scratch() {
        CalDeleteGraphs(&layout);
        CalFree(&layout.Curve);
    }
};

void plot_line(CalDC dc, AxsHandle axes, const std::vector<float>& y, float first, float step, AxsPen pen) {
    AxsPlotDesc d;
    d.bOptions = kAxsOptOn;
    d.nMode = kAxsModeLine;
    d.nPoints = static_cast<int>(y.size());
    d.pY = y.data();
    d.fFirstX = first;
    d.fStepX = step;
    d.pen = pen;
    AxsPlotData(dc, axes, &d);
}

}  // namespace

bool draw_error_graph(CalDC dc, CalRecord* rec, const CalRect& rect) {
    const bool verify = rec->bCheckOnly != 0;
    const bool ppm = !residual_unit_amu();
    Scratch s;
    GraphLayout& layout = s.layout;
    CalAlloc(&layout.Curve, CAL_CURVE_POINTS, 4);
    layout.nCurvePoints = CAL_CURVE_POINTS;
    CalInitGraphRanges(rec, &layout);  // the mass range and, outside verify mode, the curve
    layout.hAxes[2] = AxsCreate(1, 0, 1, 1);
    if (!layout.hAxes[2]) return false;
    layout.rcGraph[2] = rect;
    layout.nGraphs = 3;
    const float lo = layout.fMassLow, hi = layout.fMassHigh;
    auto unit = [ppm](double amu, double mass) {
        return static_cast<float>(ppm ? (mass > 0 ? amu / mass * 1e6 : NAN) : amu);
    };

    Range range;
    std::vector<float> x, y;
    const float* mass = allocated_data<float>(rec->MatchPeaks.Mass);
    const float* err = allocated_data<float>(rec->Errors);
    const int n =
        mass && err ? std::min<int>(rec->MatchPeaks.nCount, static_cast<int>(capacity_of<float>(rec->Errors))) : 0;
    double sum2 = 0;
    for (int i = 0; i < n; ++i) {
        x.push_back(mass[i]);
        y.push_back(unit(err[i], mass[i]));
        range.widen(y.back());
        const double rel = static_cast<double>(err[i]) / (mass[i] - err[i]) * 1e6;
        sum2 += rel * rel;
    }

    // The fitted error at each curve mass, and the band around it.
    std::vector<float> curve, upper, lower;
    const float step = (hi - lo) / static_cast<float>(kCurvePoints);
    const float* c = allocated_data<float>(layout.Curve);
    double band = 0;
    if (!verify && c) {
        std::vector<float> half(CAL_CURVE_POINTS, 0.0f);
        const bool hasBand = CalConfidenceBandPpm(rec, &band) &&
                             GetVariances(rec->ErrorFunc.nType == 1 ? 1 : 0, rec->ErrorFunc.dCovar,
                                          rec->ErrorFunc.nOrder, lo, step, CAL_CURVE_POINTS, half.data()) == 0;
        for (int i = 0; i < CAL_CURVE_POINTS; ++i) {
            const double m = lo + i * static_cast<double>(step);
            curve.push_back(unit(c[i], m));
            range.widen(curve.back());
            if (!hasBand) continue;
            upper.push_back(unit(c[i] + half[i], m));
            lower.push_back(unit(c[i] - half[i], m));
            range.widen(upper.back());
            range.widen(lower.back());
        }
    }
    if (!(range.low <= range.high)) range = Range{0.0f, 0.0f};
    range.widen(0.0f);
    const float pad = std::max(0.05f * (range.high - range.low), ppm ? 0.5f : 0.0005f);
    layout.fValueLow[2] = range.low - pad;
    layout.fValueHigh[2] = range.high + pad;

    CalDrawAbsoluteAxes(dc, &layout, 2, 0, 1);
    AxsHandle g = layout.hAxes[2];
    for (const auto* b : {&upper, &lower})
        if (!b->empty()) plot_line(dc, g, *b, lo, step, AxsGetDataPen(2, 0, 0));
    if (!curve.empty()) plot_line(dc, g, curve, lo, step, AxsGetDataPenExt(0, 0, nullptr, 1));
    if (!x.empty()) CalPlotPoints(dc, g, x.data(), y.data(), static_cast<int>(x.size()), 3);

    const GlobalResources& res = GetGlobalResources(dc);
    char head[256];
    c_snprintf(head, sizeof head, "%s",
               verify ? "Residual left by the stored calibration (calibrated - reference)"
                      : "Error before calibration, the fitted error curve and its 95% band");
    AxsDisplayHeader(dc, g, res.hHeaderFont, res.crHeader, 1, head);
    c_snprintf(head, sizeof head, "%s = %.3g ppm", verify ? "RMS residual" : "RMS error",
               n ? std::sqrt(sum2 / n) : 0.0);
    AxsDisplayHeader(dc, g, res.hHeaderFont, res.crHeader, 2, head);
    AxsAnnoExcludeRect(0, nullptr);
    return true;
}

}  // namespace masscal::report
