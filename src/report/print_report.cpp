// The residual graph of a verification run, for a page the host composes.
#include <algorithm>
#include <cstring>
#include <string>

#include "axes/axes.hpp"
#include "graphs/graph_internal.hpp"
#include "masscal/report.h"
#include "platform/gdi/cursor.hpp"
#include "suite/print/global_resources.hpp"
#include "suite/utility/ftoa.hpp"

using namespace masscal::platform;
using masscal::graphs::capacity_of;
using masscal::core::allocated_data;

namespace {

// Separate from any window's layout.
thread_local GraphLayout t_layout{};

}  // namespace

extern "C" MASSCAL_API int32_t CalPrintReport(CalDC hdc, CalRect* pRect, CalRecord* pRec, int32_t,
                                              CalRecord* pVerify, const char* pszHeader, float fMassLow,
                                              float fMassHigh) {
    if (!hdc || !pRect || !pRec) return 0;
    const Cursor previous = SetCursor(Cursor::wait);
    if (pVerify) {
        // Never more than the residuals hold.
        const float* src = allocated_data<float>(pVerify->Errors);
        float* dst = allocated_data<float>(pRec->Residuals);
        std::size_t n = static_cast<std::size_t>(std::max(0, pVerify->MatchPeaks.nCount));
        n = std::min({n, capacity_of<float>(pVerify->Errors), capacity_of<float>(pRec->Residuals)});
        if (src && dst && n) std::memmove(dst, src, n * sizeof(float));
    }
    GraphLayout& layout = t_layout;
    CalDeleteGraphs(&layout);
    const int k = pVerify ? 1 : 0;
    if (pVerify) {
        layout.hAxes[2] = AxsCreate(1, 0, 1, 1);
        if (!layout.hAxes[2]) {
            SetCursor(previous);
            return 0;
        }
    }
    const int height = pRect->bottom - pRect->top;
    const int width = pRect->right - pRect->left;
    const int band = height / (11 * k + 1);
    layout.rcGraph[2] = CalRect{pRect->left + width / 40, pRect->top + band, pRect->right - width / 40,
                                pRect->top + 11 * band};
    layout.nGraphs = k + 1;
    layout.fMassLow = layout.fDefaultMassLow = fMassLow;
    layout.fMassHigh = layout.fDefaultMassHigh = fMassHigh;
    CalUpdateGraphRanges(pRec, &layout);
    if (AxsHandle g3 = layout.hAxes[2]) {
        CalDrawAbsoluteAxes(hdc, &layout, 2, 0, 1);
        const int n = std::min<int>(pVerify->MatchPeaks.nCount,
                                    static_cast<int>(capacity_of<float>(pVerify->Errors)));
        CalPlotPoints(hdc, g3, allocated_data<float>(pVerify->MatchPeaks.Mass), allocated_data<float>(pVerify->Errors), n, 1);
        const GlobalResources& res = GetGlobalResources(hdc);
        AxsDisplayHeader(hdc, g3, res.hHeaderFont, res.crHeader, 1, pszHeader ? pszHeader : "");
        char number[kFtoaBufferSize];
        const std::string sd = std::string("SD = ") + ftoa(pVerify->dRmsResidual, number, 4);
        AxsDisplayHeader(hdc, g3, res.hHeaderFont, res.crHeader, 2, sd.c_str());
        AxsAnnoExcludeRect(0, nullptr);
    }
    CalDeleteGraphs(&layout);
    SetCursor(previous);
    return 1;
}
