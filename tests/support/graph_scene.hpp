// A calibration window's graph area without a window system: a parent
// window, the graph-area child, a synthetic record and its layout.
#pragma once

#include <string>
#include <vector>

#include "graphs/graph_internal.hpp"
#include "masscal/graphs.h"
#include "platform/gdi/device_context.hpp"
#include "platform/win/window.hpp"
#include "support/synthetic_calibration.hpp"

namespace masscal::testing {

struct GraphScene {
    CalWnd parent = nullptr;
    CalWnd area = nullptr;
    RecordPtr rec;
    GraphLayout layout{};

    explicit GraphScene(int w = 900, int h = 660, const SyntheticOptions& opt = {})
        : rec(make_synthetic_calibration(opt)) {
        parent = platform::CreateHeadlessWindow(nullptr, CalRect{0, 0, w + 20, h + 20}, nullptr, nullptr);
        area = platform::CreateHeadlessWindow(parent, CalRect{10, 10, 10 + w, 10 + h}, nullptr, nullptr);
        CalAlloc(&layout.Curve, CAL_CURVE_POINTS, 4);
        layout.nCurvePoints = CAL_CURVE_POINTS;
        CalInitGraphRanges(rec.get(), &layout);
    }
    ~GraphScene() {
        CalDeleteGraphs(&layout);
        CalFree(&layout.Curve);
        platform::DestroyWindow(parent);
    }
    GraphScene(const GraphScene&) = delete;
    GraphScene& operator=(const GraphScene&) = delete;

    // Paints into dc (the window's own when null).
    int paint(CalDC dc = nullptr, int printing = 0) {
        CalRect r;
        platform::GetClientRect(area, &r);
        return CalPaintGraphs(area, &r, dc, rec.get(), &layout, printing);
    }
    float* f(CalArray& a) { return static_cast<float*>(a.pData); }
};

// Residuals in amu for a scope; the unit before is restored.
struct AmuUnitGuard {
    int32_t old = CalSetResidualUnitAmu(1);
    ~AmuUnitGuard() { CalSetResidualUnitAmu(old); }
};

// The first text written as t, or null.
inline const platform::TextRecord* find_text(const std::vector<platform::TextRecord>& log, const std::string& t) {
    for (const auto& r : log)
        if (r.text == t) return &r;
    return nullptr;
}

}  // namespace masscal::testing
