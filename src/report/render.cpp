// Graphs and report without a window system: a headless window stands in
// for the calibration window and answers the printing's requests.
#include "masscal/render.h"

#include <cstring>
#include <strings.h>

#include "masscal/graphs.h"
#include "platform/gdi/device_context.hpp"
#include "platform/win/window.hpp"
#include "report/page_header.hpp"
#include "suite/print/print.hpp"

using namespace masscal::platform;

namespace {

// Switches the residual unit for one rendering.
class UnitScope {
public:
    explicit UnitScope(int32_t flags) : old_(CalSetResidualUnitAmu((flags & CAL_RENDER_PPM) ? 0 : 1)) {}
    ~UnitScope() { CalSetResidualUnitAmu(old_); }
    UnitScope(const UnitScope&) = delete;
    UnitScope& operator=(const UnitScope&) = delete;

private:
    int32_t old_;
};

// The window side of the graphs: a parent, the graph area, the layout.
struct Stage {
    CalRecord* rec;
    const CalReportNotes* notes = nullptr;
    GraphLayout layout{};
    CalWnd parent = nullptr;
    CalWnd area = nullptr;

    Stage(CalRecord* r, int w, int h, WndProc proc) : rec(r) {
        parent = CreateHeadlessWindow(nullptr, CalRect{0, 0, w, h}, nullptr, nullptr);
        if (parent) area = CreateHeadlessWindow(parent, CalRect{0, 0, w, h}, proc, this);
        CalAlloc(&layout.Curve, CAL_CURVE_POINTS, 4);
        layout.nCurvePoints = CAL_CURVE_POINTS;
        CalInitGraphRanges(rec, &layout);
    }
    ~Stage() {
        CalDeleteGraphs(&layout);
        CalFree(&layout.Curve);
        DestroyWindow(parent);
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;
};

std::intptr_t report_proc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    auto* stage = static_cast<Stage*>(GetWindowUserData(wnd));
    if (!stage) return 0;
    auto* dc = reinterpret_cast<CalDC>(wParam);
    switch (msg) {
        case kPrnPageRequest:
            return masscal::report::page_request(wnd, dc, reinterpret_cast<const PrnPage*>(lParam), stage->rec,
                                                 stage->notes);
        case kPrnPaintRequest:
            if (dc && lParam) {
                CalRect r = *reinterpret_cast<const CalRect*>(lParam);
                CalPaintGraphs(wnd, &r, dc, stage->rec, &stage->layout, 1);
            }
            return 1;
        case kPrnPageDone: return 1;
        default: return 0;
    }
}

bool ends_with(const char* path, const char* ext) {
    const std::size_t n = std::strlen(path);
    const std::size_t e = std::strlen(ext);
    return n >= e && strcasecmp(path + n - e, ext) == 0;
}

// Resolution of a report page drawn as a picture.
constexpr int kPngPageDpi = 150;

}  // namespace

extern "C" {

MASSCAL_API int32_t CalRenderGraphs(CalRecord* pRec, const char* pszPath, int32_t nWidth, int32_t nHeight,
                                    int32_t nFlags) {
    if (!pRec || !pszPath || nWidth <= 0 || nHeight <= 0) return 0;
    UnitScope unit(nFlags);
    const bool svg = ends_with(pszPath, ".svg");
    auto dc = svg ? CalDeviceContext::create_svg(pszPath, nWidth, nHeight)
                  : CalDeviceContext::create_image(nWidth, nHeight);
    if (!dc) return 0;
    Stage stage(pRec, nWidth, nHeight, nullptr);
    if (!stage.area) return 0;
    CalRect r{0, 0, nWidth, nHeight};
    if (!CalPaintGraphs(stage.area, &r, dc.get(), pRec, &stage.layout, 0)) return 0;
    if (svg) return dc->finish() ? 1 : 0;
    return dc->write_png(pszPath) ? 1 : 0;
}

MASSCAL_API int32_t CalRenderReport(CalRecord* pRec, const char* pszPath, int32_t nFlags) {
    return CalRenderReportExt(pRec, pszPath, nFlags, nullptr, 1);
}

MASSCAL_API int32_t CalRenderReportExt(CalRecord* pRec, const char* pszPath, int32_t nFlags,
                                       const CalReportNotes* pNotes, int32_t nPage) {
    if (!pRec || !pszPath || !pszPath[0]) return 0;
    UnitScope unit(nFlags);
    PrnSetup setup;
    PrnPrintGCV(&setup);
    if (std::strlen(pszPath) >= sizeof setup.szOutputFile) return 0;
    std::strcpy(setup.szOutputFile, pszPath);
    Stage stage(pRec, 900, 660, report_proc);
    if (!stage.area) return 0;
    stage.notes = pNotes;
    const bool svg = ends_with(pszPath, ".svg");
    if (!svg && !ends_with(pszPath, ".png"))
        return PrnReport(stage.area, &setup, masscal::report::report_page_count(stage.area, setup, pRec, pNotes), 256);
    const int dpi = svg ? 96 : kPngPageDpi;
    // Counted at the picture's resolution, as its pages are laid out.
    PrnSetup counted = setup;
    counted.nDpi = dpi;
    const int pages = masscal::report::report_page_count(stage.area, counted, pRec, pNotes);
    if (nPage < 1 || nPage > pages) return 0;
    const int w = static_cast<int>(setup.dPageWidthIn * dpi + 0.5);
    const int h = static_cast<int>(setup.dPageHeightIn * dpi + 0.5);
    auto dc = svg ? CalDeviceContext::create_svg(pszPath, w, h) : CalDeviceContext::create_image(w, h, dpi);
    if (!dc || !PrnReportPage(stage.area, dc.get(), &setup, nPage, pages)) return 0;
    if (svg) return dc->finish() ? 1 : 0;
    return dc->write_png(pszPath) ? 1 : 0;
}

}  // extern "C"
