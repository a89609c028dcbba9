// The axes of the three graphs: relative intensity for the spectrum and the
// reference, values in amu or ppm for the residuals.
#include <cstdio>
#include <cstring>

#include "axes/axes.hpp"
#include "graphs/graph_internal.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;

namespace {

bool valid_graph(const GraphLayout* layout, int g) { return layout && g >= 0 && g < CAL_GRAPH_COUNT; }

// Sizes the axes of graph g for the labels and the header line, gives them
// the ranges and clears the graph's rectangle.
void prepare(CalDC dc, GraphLayout* layout, int g, bool screen, const char* xTitle) {
    const GlobalResources& res = GetGlobalResources(dc);
    AxsHandle axes = layout->hAxes[g];
    dc->save();
    dc->select_font(res.hTextFont);
    const int charHeight = dc->text_metrics().tmHeight;
    dc->restore();
    AxsBorder border;
    AxsGetBorder(dc, &border, xTitle, "00000", 0);
    border.top += charHeight;
    AxsSize(axes, &layout->rcGraph[g], &border);
    AxsSetRanges(axes, layout->fMassLow, layout->fMassHigh, layout->fValueLow[g], layout->fValueHigh[g]);
    if (!screen && axes) AxsGetArea(axes, 0, &layout->rcGraph[g], 26);
    CalRect fill = layout->rcGraph[g];
    fill.bottom += 1;
    dc->fill_rect(fill, system_window_colour());
}

}  // namespace

bool masscal::graphs::draw_value_axes(CalDC hdc, GraphLayout* pLayout, int nGraph, bool screen, const char* xTitle,
                                      const char* yTitle) {
    if (!hdc || !valid_graph(pLayout, nGraph)) return false;
    prepare(hdc, pLayout, nGraph, screen, *xTitle ? xTitle : "M/z");
    AxsHandle axes = pLayout->hAxes[nGraph];
    AxsSystem sys;
    if (!axes || !AxsGetSystem(axes, &sys)) return false;
    const GlobalResources& res = GetGlobalResources(hdc);
    AxsAxisDesc d;
    d.hTickFont = res.hAxisFont;
    d.hTitleFont = res.hAxisLabelFont;
    d.crLine = res.crAxis;
    d.crText = res.crAxisText;
    d.nKind = kAxsKindX;
    d.nTickSize = AxsTickSize(hdc);
    d.nLabelPos = kAxsLabelBelow;
    std::snprintf(d.szLabel, sizeof d.szLabel, "%s", xTitle);
    d.bShowLabel = 1;
    AxsDisplayAxis(hdc, axes, &d, *xTitle ? 15 : 3, 0);
    if (sys.fYLow < 0.0f && 0.0f < sys.fYHigh) {
        AxsAxisDesc z = d;
        z.crLine = res.crZeroLine;
        z.bShowLabel = 0;
        z.nKind = kAxsKindZeroLine;
        AxsDisplayAxis(hdc, axes, &z, 1, 0);
    }
    d.nKind = kAxsKindY;
    d.nTickSize = AxsTickSize(hdc);
    d.nLabelPos = kAxsLabelLeft;
    std::snprintf(d.szLabel, sizeof d.szLabel, "%s", yTitle);
    d.bShowLabel = 1;
    AxsDisplayAxis(hdc, axes, &d, 15, 1);
    return true;
}

extern "C" {

MASSCAL_API void CalDrawPercentileAxes(CalDC hdc, GraphLayout* pLayout, int32_t nGraph, int32_t bScreen) {
    if (!hdc || !valid_graph(pLayout, nGraph)) return;
    prepare(hdc, pLayout, nGraph, bScreen != 0, "M/z");
    const bool lowest = nGraph + 1 == pLayout->nGraphs;
    AxsDisplayDefaultAxes(hdc, pLayout->hAxes[nGraph], lowest ? "M/z" : nullptr, 0, 0, 0);
}

MASSCAL_API int32_t CalDrawAbsoluteAxes(CalDC hdc, GraphLayout* pLayout, int32_t nGraph, int32_t bScreen,
                                        int32_t bXLabel) {
    const char* yTitle = !masscal::graphs::residual_unit_amu() && nGraph == 2 ? "ppm" : "amu";
    return masscal::graphs::draw_value_axes(hdc, pLayout, nGraph, bScreen != 0, bXLabel ? "M/z" : "", yTitle) ? 1 : 0;
}

}  // extern "C"
