// The drift picture: two graphs in the look of the calibration graphs, the
// lock masses' errors against retention time before recalibration (with the
// correction each spectrum received) and after.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <strings.h>
#include <vector>

#include "axes/axes.hpp"
#include "core/calib_eval.hpp"
#include "graphs/graph_internal.hpp"
#include "lockmass/run.hpp"
#include "platform/c_locale.hpp"
#include "platform/gdi/device_context.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;

namespace {

struct Range {
    float low = INFINITY, high = -INFINITY;
    void widen(float v) {
        if (!std::isfinite(v)) return;
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

// A value range with room around the points, 0 always inside.
void value_range(Range r, float& low, float& high) {
    if (!(r.low <= r.high)) r = Range{0.0f, 0.0f};
    r.widen(0.0f);
    const float pad = std::max(0.05f * (r.high - r.low), 0.5f);
    low = r.low - pad;
    high = r.high + pad;
}

struct Series {
    std::vector<float> x, y;
};

void header(CalDC dc, AxsHandle axes, int slot, const char* text) {
    const GlobalResources& res = GetGlobalResources(dc);
    AxsDisplayHeader(dc, axes, res.hHeaderFont, res.crHeader, slot, text);
}

bool draw(CalDC dc, const CalLockMassRun& run, int w, int h) {
    bool timed = true;
    for (const CalLockObservation& o : run.observations) timed = timed && std::isfinite(o.dRtSeconds);
    for (const CalLockMassSpectrum& r : run.rows) timed = timed && std::isfinite(r.dRtSeconds);
    const auto at = [timed](double rt, std::int64_t index) {
        return static_cast<float>(timed ? rt / 60.0 : static_cast<double>(index + 1));
    };
    // The correction each recalibrated spectrum received, in ppm of the
    // locks' mean m/z, drawn through the errors it corrects.
    const double mean = std::accumulate(run.locks.begin(), run.locks.end(), 0.0) / static_cast<double>(run.locks.size());
    Series before, after;
    Range x, yBefore, yAfter;
    for (const CalLockObservation& o : run.observations) {
        before.x.push_back(at(o.dRtSeconds, o.nFileIndex));
        before.y.push_back(static_cast<float>(o.dErrorBeforePpm));
        x.widen(before.x.back());
        yBefore.widen(before.y.back());
        if (!std::isfinite(o.dErrorAfterPpm)) continue;
        after.x.push_back(before.x.back());
        after.y.push_back(static_cast<float>(o.dErrorAfterPpm));
        yAfter.widen(after.y.back());
    }
    struct Point {
        float x, y;
        bool own;  // from the spectrum's own window
    };
    std::vector<Point> line;
    int fallbacks = 0, unchanged = 0;
    for (const CalLockMassSpectrum& r : run.rows) {
        x.widen(at(r.dRtSeconds, r.nFileIndex));
        fallbacks += r.nSource == CAL_LOCK_FROM_NEAREST || r.nSource == CAL_LOCK_FROM_GLOBAL;
        unchanged += r.nSource == CAL_LOCK_UNCHANGED;
        if (r.nSource == CAL_LOCK_UNCHANGED) continue;
        const double calibrated = masscal::core::eval_coeffs(&r.MassFunc, mean);
        line.push_back({at(r.dRtSeconds, r.nFileIndex), static_cast<float>((mean - calibrated) / calibrated * 1e6),
                        r.nSource == CAL_LOCK_FROM_WINDOW});
        yBefore.widen(line.back().y);
    }
    std::stable_sort(line.begin(), line.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    if (!(x.low <= x.high)) x = Range{0.0f, 1.0f};
    if (x.low == x.high) x = Range{x.low - 0.5f, x.high + 0.5f};

    GraphLayout layout{};
    layout.nGraphs = 2;
    layout.fMassLow = x.low;
    layout.fMassHigh = x.high;
    value_range(yBefore, layout.fValueLow[0], layout.fValueHigh[0]);
    value_range(yAfter, layout.fValueLow[1], layout.fValueHigh[1]);
    layout.rcGraph[0] = CalRect{0, 0, w, h / 2};
    layout.rcGraph[1] = CalRect{0, h / 2, w, h};
    struct Axes {
        GraphLayout& l;
        ~Axes() { CalDeleteGraphs(&l); }
    } owned{layout};
    for (int g = 0; g < 2; ++g)
        if (!(layout.hAxes[g] = AxsCreate(1, 0, 1, 1))) return false;

    dc->fill_rect(CalRect{0, 0, w, h}, system_window_colour());
    const char* xTitle = timed ? "RT (min)" : "Spectrum";
    if (!masscal::graphs::draw_value_axes(dc, &layout, 0, true, xTitle, "ppm") ||
        !masscal::graphs::draw_value_axes(dc, &layout, 1, true, xTitle, "ppm"))
        return false;
    AxsHandle top = layout.hAxes[0], bottom = layout.hAxes[1];
    CalPlotPoints(dc, top, before.x.data(), before.y.data(), static_cast<int32_t>(before.x.size()), 3);
    // The correction in stretches: solid where spectra had their own
    // window's model, dashed where they took a fallback.
    for (std::size_t a = 0, b = 0; a < line.size(); a = b) {
        Series part;
        for (b = a; b < line.size() && line[b].own == line[a].own; ++b) {
            part.x.push_back(line[b].x);
            part.y.push_back(line[b].y);
        }
        AxsPlotDesc d;
        d.bOptions = kAxsOptOn;
        d.nMode = kAxsModeLine;
        d.nPoints = static_cast<std::int32_t>(part.x.size());
        d.pX = part.x.data();
        d.pY = part.y.data();
        d.pen = AxsGetDataPenExt(0, 0, nullptr, 1);
        if (!line[a].own) d.pen.style = PenStyle::dash;
        AxsPlotData(dc, top, &d);
    }
    CalPlotPoints(dc, bottom, after.x.data(), after.y.data(), static_cast<int32_t>(after.x.size()), 3);

    const CalLockMassSummary& s = run.summary;
    char text[256];
    c_snprintf(text, sizeof text, "Lock-mass error before recalibration and the correction applied (at m/z %.2f)", mean);
    header(dc, top, 1, text);
    c_snprintf(text, sizeof text, "RMS error = %.3g ppm", std::isfinite(s.dRmsBeforePpm) ? s.dRmsBeforePpm : 0.0);
    header(dc, top, 2, text);
    c_snprintf(text, sizeof text, "Lock-mass error after recalibration (%d %s, %d locks)", s.nSpectra,
               s.nSpectra == 1 ? "spectrum" : "spectra", s.nLocks);
    header(dc, bottom, 1, text);
    std::string tail;
    if (fallbacks) tail += "; " + std::to_string(fallbacks) + (fallbacks == 1 ? " spectrum" : " spectra") + " from a fallback";
    if (unchanged) tail += "; " + std::to_string(unchanged) + " unchanged";
    c_snprintf(text, sizeof text, "RMS error = %.3g ppm%s", std::isfinite(s.dRmsAfterPpm) ? s.dRmsAfterPpm : 0.0,
               tail.c_str());
    header(dc, bottom, 2, text);
    AxsAnnoExcludeRect(0, nullptr);
    return true;
}

}  // namespace

extern "C" MASSCAL_API int32_t CalLockMassRenderDrift(const CalLockMassRun* pRun, const char* pszPath, int32_t nWidth,
                                                      int32_t nHeight) {
    if (!pRun || !pszPath || !*pszPath || nWidth <= 0 || nHeight <= 0 || pRun->locks.empty()) return 0;
    const std::size_t n = std::strlen(pszPath);
    const bool svg = n >= 4 && strcasecmp(pszPath + n - 4, ".svg") == 0;
    auto dc = svg ? CalDeviceContext::create_svg(pszPath, nWidth, nHeight)
                  : CalDeviceContext::create_image(nWidth, nHeight);
    if (!dc || !draw(dc.get(), *pRun, nWidth, nHeight)) return 0;
    if (svg) return dc->finish() ? 1 : 0;
    return dc->write_png(pszPath) ? 1 : 0;
}
