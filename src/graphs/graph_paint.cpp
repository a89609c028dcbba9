// Painting the spectrum, reference and residual graphs.
#include <cstring>

#include "axes/axes.hpp"
#include "graphs/graph_internal.hpp"
#include "platform/gdi/cursor.hpp"
#include "platform/win/window.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;
using namespace masscal::graphs;

namespace {

constexpr std::size_t kHeaderSize = 1024;

// Writes a header line and tells the labels which part of the header band
// to avoid: from the left edge (fromLeft) or up to the right edge.
void header(CalDC dc, AxsHandle axes, int slot, const char* text, bool exclude, bool fromLeft,
            std::size_t widthChars) {
    const GlobalResources& res = GetGlobalResources(dc);
    const int h = AxsDisplayHeader(dc, axes, res.hHeaderFont, res.crHeader, slot, text);
    if (!exclude) return;
    CalRect area;
    if (!AxsGetArea(axes, 0, &area, 26)) return;
    dc->save();
    dc->select_font(res.hTextFont);
    const int width = static_cast<int>(widthChars) * dc->text_metrics().tmAveCharWidth;
    dc->restore();
    CalRect r{area.left, area.top, area.right, area.top + h};
    if (fromLeft)
        r.right = r.left + width;
    else
        r.left = r.right - width;
    AxsAnnoExcludeRect(1, &r);
}

void paint_band(CalDC dc, AxsHandle axes, CalRecord* rec, const GraphLayout* layout) {
    const float step = (layout->fMassHigh - layout->fMassLow) / static_cast<float>(kBandPoints);
    for (const CalArray* band : {&rec->BandUpper, &rec->BandLower}) {
        const float* b = allocated_data<float>(*band);
        if (!b || capacity_of<float>(*band) < CAL_BAND_POINTS) continue;
        AxsPlotDesc d;
        d.bOptions = kAxsOptOn;
        d.nMode = kAxsModeLine;
        d.nPoints = CAL_BAND_POINTS;
        d.pY = b;
        d.fFirstX = layout->fMassLow;
        d.fStepX = step;
        d.pen = AxsGetDataPen(2, 0, 0);
        AxsPlotData(dc, axes, &d);
    }
}

void paint_residuals(CalDC dc, AxsHandle axes, CalRecord* rec, const GraphLayout* layout) {
    const bool detail = has_detail(rec);
    int n = rec->MatchPeaks.nCount;
    float* x = allocated_data<float>(rec->MatchPeaks.Mass);
    float* y = allocated_data<float>(rec->Residuals);
    float* e = allocated_data<float>(rec->MatchPeaks.Width);
    if (n > static_cast<int>(capacity_of<float>(rec->Residuals))) n = static_cast<int>(capacity_of<float>(rec->Residuals));
    float* ppmY = nullptr;
    float* ppmE = nullptr;
    if (n > 0 && x && y && !residual_unit_amu()) {
        ppmY = static_cast<float*>(heap_alloc(sizeof(float) * static_cast<std::size_t>(n)));
        if (detail && e) ppmE = static_cast<float*>(heap_alloc(sizeof(float) * static_cast<std::size_t>(n)));
        if (!ppmY || (detail && e && !ppmE)) {
            n = 0;  // no room to convert: nothing is plotted
        } else {
            for (int i = 0; i < n; ++i) {
                ppmY[i] = static_cast<float>(y[i] / static_cast<double>(x[i]) * 1000000.0);
                if (ppmE) ppmE[i] = static_cast<float>(e[i] / static_cast<double>(x[i]) * 1000000.0);
            }
            y = ppmY;
            e = ppmE;
        }
    }
    if (n > 0 && x && y) {
        CalPlotPoints(dc, axes, x, y, n, 3);
        if (detail) {
            CalPlotErrorBars(dc, axes, x, y, e, n, 0);
            if (rec->Params.AutoPolyOrder) paint_band(dc, axes, rec, layout);
        }
    }
    heap_free(ppmY);
    heap_free(ppmE);
    char s1[kHeaderSize], s2[kHeaderSize];
    header_texts(rec, 2, s1, s2, kHeaderSize);
    header(dc, axes, 1, s1, false, true, 0);
    header(dc, axes, 2, s2, false, false, 0);
}

}  // namespace

extern "C" {

MASSCAL_API int32_t CalPaintGraphs(CalWnd hWnd, CalRect* pRect, CalDC hdc, CalRecord* pRec, GraphLayout* pLayout,
                                   int32_t bPrinting) {
    if (!pRect || !pRec || !pLayout) return 0;
    const Cursor previous = SetCursor(Cursor::wait);
    CalDC own = nullptr;
    if (!hdc) {
        own = GetDC(hWnd);
        if (!own) {
            SetCursor(previous);
            return 0;
        }
        hdc = own;
    }
    auto finish = [&](int32_t result) {
        if (own) ReleaseDC(hWnd, own);
        SetCursor(previous);
        return result;
    };
    pRect->left += 2;
    pRect->right -= 2;
    pRect->top += 1;
    pRect->bottom -= 1;
    CalDeleteGraphs(pLayout);
    CalLayoutGraphs(pRect, pLayout, pRec);

    CalWnd parent = GetParent(hWnd);
    if (!IsWindow(parent)) return finish(0);
    CalRect cl;
    GetClientRect(hWnd, &cl);
    CalPoint at{0, 0};
    ClientToScreen(hWnd, &at);
    ScreenToClient(parent, &at);
    const int h = at.x / 2;
    CalDC pdc = GetDC(parent);
    if (!pdc) return finish(0);
    pdc->fill_rect(CalRect{cl.left + at.x - (h + 1), cl.top + at.y - (h + 3), cl.right + at.x + h + 1,
                           cl.bottom + at.y + h + 1},
                   system_window_colour());
    ReleaseDC(parent, pdc);

    const bool verify = pRec->bCheckOnly != 0;
    if (!verify) compute_calibration_curve(pRec, pLayout);
    // Exclusions left from an earlier drawing would block labels here.
    AxsAnnoExcludeRect(0, nullptr);

    const int screen = bPrinting ? 0 : 1;
    AxsHandle g1 = pLayout->hAxes[0];
    AxsHandle g2 = pLayout->hAxes[1];
    AxsHandle g3 = pLayout->hAxes[2];
    if (g1) CalDrawPercentileAxes(hdc, pLayout, 0, screen);
    if (g2) CalDrawPercentileAxes(hdc, pLayout, 1, screen);
    if (g3 && !verify) CalDrawAbsoluteAxes(hdc, pLayout, 2, screen, pLayout->nGraphs == 3 ? 1 : 0);

    char s1[kHeaderSize], s2[kHeaderSize];
    if (g1) {
        header_texts(pRec, 0, s1, s2, kHeaderSize);
        header(hdc, g1, 2, s2, true, false, std::strlen(s2));
        header(hdc, g1, 1, s1, true, true, std::strlen(s1));
        const RawCalibCoEffs* display = pRec->Params.CalibrateDisplay ? &pRec->MassFunc : nullptr;
        if (has_detail(pRec))
            CalPlotStickDataFlagAnno(hdc, g1, &pRec->DataPeaks, 0, display, 0, 1);
        else
            CalPlotStickData(hdc, g1, &pRec->DataPeaks, 0, display, 0, 0);
        CalPlotStickData(hdc, g1, &pRec->MatchPeaks, 0, display, 1, 1);
        AxsAnnoExcludeRect(0, nullptr);
    }
    if (g2) {
        header_texts(pRec, 1, s1, s2, kHeaderSize);
        header(hdc, g2, 1, s1, false, true, 0);
        header(hdc, g2, 2, s2, true, true, std::strlen(s2));
        CalPlotStickData(hdc, g2, &pRec->RefPeaks, 0, nullptr, 1, 1);
        AxsAnnoExcludeRect(0, nullptr);
    }
    if (g3 && !verify) paint_residuals(hdc, g3, pRec, pLayout);
    return finish(1);
}

}  // extern "C"
