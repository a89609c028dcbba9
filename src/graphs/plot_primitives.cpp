// Sticks, points, error bars and the callbacks the axes library calls back.
#include <cmath>
#include <cstring>

#include "axes/axes.hpp"
#include "core/calib_eval.hpp"
#include "graphs/graph_internal.hpp"
#include "suite/print/global_resources.hpp"
#include "suite/utility/ftoa.hpp"

using namespace masscal::platform;
using namespace masscal::graphs;

std::string masscal::graphs::flag_marks(std::uint8_t flags) {
    std::string s;
    if (flags & CAL_PEAK_FLAG_1) s += '*';
    if (flags & CAL_PEAK_FLAG_2) s += '?';
    if (flags & CAL_PEAK_FLAG_16) s += '!';
    return s;
}

namespace {

// What the flag-marker callback searches: the series and the masses its
// sticks were drawn at.
struct FlagContext {
    const CalPeakList* series;
    const float* masses;
};

int32_t flag_marker(CalDC, float fX, float, int32_t nIndex, char* label, int32_t size, CalAxesHandle, void* data) {
    const auto* ctx = static_cast<const FlagContext*>(data);
    if (!ctx || !label || size <= 0) return 0;
    const CalPeakList& s = *ctx->series;
    // The label's own point is the peak at its mass; search only when the
    // index does not tell.
    int i = nIndex;
    if (i < 0 || i >= s.nCount || ctx->masses[i] != fX) {
        AxsSeries search;
        search.nCount = s.nCount;
        search.pX = ctx->masses;
        search.pY = allocated_data<float>(s.Intensity);
        search.pWidth = allocated_data<float>(s.Width);
        search.pExtra = allocated_data<void>(s.Extra);
        i = AxsSearch(nullptr, &search, fX, 1, nullptr, nullptr);
    }
    if (i < 0) return 0;
    const std::uint8_t* flags = allocated_data<std::uint8_t>(s.Flags);
    if (!flags || !(flags[i] & (CAL_PEAK_FLAG_1 | CAL_PEAK_LEFT_OUT))) return 1;
    char text[256];
    const std::string marks = flag_marks(flags[i]);
    int n = static_cast<int>(marks.size());
    std::memcpy(text, marks.data(), marks.size());
    text[n++] = '\n';
    std::size_t room = sizeof text - static_cast<std::size_t>(n) - 1;
    std::strncpy(text + n, label, room);
    text[sizeof text - 1] = '\0';
    const std::size_t len = std::min(std::strlen(text), static_cast<std::size_t>(size) - 1);
    std::memcpy(label, text, len);
    label[len] = '\0';
    return 1;
}

int32_t plot_sticks(CalDC hdc, CalAxesHandle hAxes, CalPeakList* s, int32_t nDataSet, const RawCalibCoEffs* cal,
                    int32_t nPenVariant, int32_t bLabels, bool flags) {
    if (!s || s->nCount <= 0) return 1;
    float* mass = allocated_data<float>(s->Mass);
    float* intensity = allocated_data<float>(s->Intensity);
    if (!mass || !intensity) return 1;
    const float* x = mass;
    float* calMass = allocated_data<float>(s->CalMass);
    if (cal && calMass) {
        for (int i = 0; i < s->nCount; ++i) calMass[i] = static_cast<float>(masscal::core::eval_coeffs(cal, mass[i]));
        x = calMass;
    }
    const GlobalResources& res = GetGlobalResources(hdc);
    AxsPlotDesc d;
    d.bOptions = kAxsOptOn;
    d.nMode = kAxsModeSticks;
    d.bSticks = 1;
    d.nPoints = s->nCount;
    d.pX = x;
    d.pY = intensity;
    d.pen = AxsGetDataPenExt(nDataSet, 0, &d.penDetails, nPenVariant);
    FlagContext ctx{s, x};
    if (bLabels) {
        d.bOptions |= kAxsOptLabels;
        d.nLabelValue = 0;
        d.nLabelDecimals = 2;
        d.nLabelGap = 5;
        d.hLabelFont = res.hLabelFont;
        if (flags) {
            d.pfnLabel = flag_marker;
            d.pLabelData = &ctx;
            d.hLabelFont2 = res.hLabelFont2;
        }
    }
    AxsPlotData(hdc, hAxes, &d);
    return 1;
}

}  // namespace

extern "C" {

MASSCAL_API int32_t CalPlotStickData(CalDC hdc, CalAxesHandle hAxes, CalPeakList* pSeries, int32_t nDataSet,
                                     const RawCalibCoEffs* pDisplayCal, int32_t nPenVariant, int32_t bLabels) {
    return plot_sticks(hdc, hAxes, pSeries, nDataSet, pDisplayCal, nPenVariant, bLabels, false);
}

MASSCAL_API int32_t CalPlotStickDataFlagAnno(CalDC hdc, CalAxesHandle hAxes, CalPeakList* pSeries, int32_t nDataSet,
                                             const RawCalibCoEffs* pDisplayCal, int32_t nPenVariant,
                                             int32_t bLabels) {
    return plot_sticks(hdc, hAxes, pSeries, nDataSet, pDisplayCal, nPenVariant, bLabels, true);
}

MASSCAL_API void CalPlotPoints(CalDC hdc, CalAxesHandle hAxes, const float* pX, const float* pY, int32_t nCount,
                               int32_t nDataSet) {
    if (!pX || !pY || nCount <= 0) return;
    AxsPlotDesc d;
    d.bOptions = kAxsOptOn;
    d.nMode = kAxsModePoints;
    d.nPoints = nCount;
    d.pX = pX;
    d.pY = pY;
    d.pen = AxsGetDataPen(nDataSet, 0, 0);
    d.pfnMarker = CalPlotCross;
    AxsPlotData(hdc, hAxes, &d);
}

MASSCAL_API void CalPlotErrorBars(CalDC hdc, CalAxesHandle hAxes, const float* pX, const float* pY,
                                  const float* pErrors, int32_t nCount, int32_t nDataSet) {
    if (!pX || !pY || !pErrors || nCount <= 0) return;
    auto* half = static_cast<float*>(heap_alloc(sizeof(float) * static_cast<std::size_t>(nCount)));
    if (!half) return;
    // The errors are standard deviations; the bars show the 95 % interval.
    for (int i = 0; i < nCount; ++i) half[i] = 2.0f * pErrors[i];
    AxsPlotDesc d;
    d.bOptions = kAxsOptOn;
    d.nMode = kAxsModeErrorBars;
    d.nPoints = nCount;
    d.pX = pX;
    d.pY = pY;
    d.pErrors = half;
    d.pen = AxsGetDataPen(nDataSet, 0, 0);
    AxsPlotData(hdc, hAxes, &d);
    heap_free(half);
}

MASSCAL_API int32_t CalPlotCross(CalDC hdc, CalPoint pt, int32_t, void*) {
    if (!hdc) return 0;
    // About 1/16 inch on any device.
    const int dx = hdc->dpi_x() / 32;
    const int dy = hdc->dpi_y() / 32;
    hdc->move_to(pt.x - dx, pt.y - dy);
    hdc->line_to(pt.x + 1 + dx, pt.y + 1 + dy);
    hdc->move_to(pt.x - dx, pt.y + dy);
    hdc->line_to(pt.x + 1 + dx, pt.y - dy - 1);
    return 1;
}

MASSCAL_API int32_t CalAnnotateResidual(CalDC, float fValue, float, int32_t, char* pszLabel, int32_t nLabelSize,
                                        CalAxesHandle, void*) {
    if (!pszLabel || nLabelSize <= 0) return 1;
    char text[kFtoaBufferSize];
    ftoa(fValue, text, 2);
    const std::size_t len = std::min(std::strlen(text), static_cast<std::size_t>(nLabelSize) - 1);
    std::memcpy(pszLabel, text, len);
    pszLabel[len] = '\0';
    return 1;
}

}  // extern "C"
