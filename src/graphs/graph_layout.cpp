// How many graphs fit, and their axes objects.
#include <algorithm>

#include "axes/axes.hpp"
#include "graphs/graph_internal.hpp"

extern "C" {

MASSCAL_API int32_t CalLayoutGraphs(CalRect* pRect, GraphLayout* pLayout, CalRecord* pRec) {
    if (!pRect || !pLayout || !pRec) return 0;
    const int wanted = pRec->bCheckOnly ? 2 : 3;
    for (int g = 0; g < wanted; ++g)
        if (pLayout->hAxes[g]) return 1;
    // A stale handle beyond the wanted graphs would otherwise be lost.
    for (CalAxesHandle& h : pLayout->hAxes) {
        AxsDelete(h);
        h = nullptr;
    }
    const int height = std::max(0, pRect->bottom - pRect->top);
    // Each graph needs at least 85 pixels; the residual graph goes first.
    const int shown = std::min(height / 85, wanted);
    pLayout->nGraphs = shown;
    for (int k = 0; k < shown; ++k) {
        const int top = pRect->top + height * k / shown;
        pLayout->rcGraph[k] = CalRect{pRect->left, top, pRect->right, top + height / shown};
    }
    for (int k = 0; k < shown; ++k) {
        pLayout->hAxes[k] = AxsCreate(1, 0, 1, 1);
        if (!pLayout->hAxes[k]) return 0;
    }
    return 1;
}

MASSCAL_API void CalDeleteGraphs(GraphLayout* pLayout) {
    if (!pLayout) return;
    for (CalAxesHandle& h : pLayout->hAxes) {
        AxsDelete(h);
        h = nullptr;
    }
}

}  // extern "C"
