// Mass and value ranges of the graphs, the calibration curve and the
// confidence band.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "graphs/graph_internal.hpp"
#include "suite/covariance/covariances.hpp"

namespace masscal::graphs {
namespace {

struct SeriesRange {
    int first = -1;
    int last = -1;
    float low = 0;
    float high = 0;
};

// The intensity range of the peaks whose raw mass lies in [lo, hi].
SeriesRange value_range(const CalPeakList& s, float lo, float hi) {
    SeriesRange r;
    const float* m = allocated_data<float>(s.Mass);
    const float* in = allocated_data<float>(s.Intensity);
    const int n = s.nCount;
    if (n <= 0 || !m || !in) return r;
    int first = -1, last = -1;
    for (int i = 0; i < n; ++i)
        if (m[i] >= lo) {
            first = i;
            break;
        }
    for (int i = n - 1; i >= 0; --i)
        if (m[i] <= hi) {
            last = i;
            break;
        }
    if (first < 0 || last < 0) {
        r.high = 0.01f;
        return r;
    }
    r.first = first;
    r.last = last;
    r.low = r.high = in[first];
    for (int i = first + 1; i <= last; ++i) {
        r.low = std::min(r.low, in[i]);
        r.high = std::max(r.high, in[i]);
    }
    return r;
}

void widen(float& low, float& high, double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, static_cast<float>(v));
    high = std::max(high, static_cast<float>(v));
}

double horner(const RawCalibCoEffs& p, double x) {
    const int n = p.nOrder;
    if (n < 0 || n > 5) return 0.0;
    double y = p.dCoeffs[n];
    for (int i = n - 1; i >= 0; --i) y = y * x + p.dCoeffs[i];
    return y;
}

}  // namespace

void compute_calibration_curve(const CalRecord* rec, GraphLayout* layout) {
    float* curve = allocated_data<float>(layout->Curve);
    if (!curve) return;
    const int n = static_cast<int>(std::min<std::size_t>(CAL_CURVE_POINTS, capacity_of<float>(layout->Curve)));
    const bool root = rec->ErrorFunc.nType == 1;
    const RawCalibCoEffs& p = root ? rec->MassFunc : rec->ErrorFunc;
    const double lo = layout->fMassLow;
    const double hi = layout->fMassHigh;
    for (int i = 0; i < n; ++i) {
        const double m = lo + i * (hi - lo) / kCurvePoints;
        if (root) {
            const double q = horner(p, std::sqrt(std::max(0.0, m)));
            curve[i] = static_cast<float>(m - q * q);
        } else {
            curve[i] = static_cast<float>(horner(p, m));
        }
    }
}

void compute_confidence_band(CalRecord* rec, const GraphLayout* layout) {
    float* upper = allocated_data<float>(rec->BandUpper);
    float* lower = allocated_data<float>(rec->BandLower);
    if (!upper || capacity_of<float>(rec->BandUpper) < CAL_BAND_POINTS) return;
    const bool lowerOk = lower && capacity_of<float>(rec->BandLower) >= CAL_BAND_POINTS;
    const float lo = layout->fMassLow;
    const float step = (layout->fMassHigh - layout->fMassLow) / static_cast<float>(kBandPoints);
    if (GetVariances(rec->ErrorFunc.nType == 1 ? 1 : 0, rec->ErrorFunc.dCovar, rec->ErrorFunc.nOrder, lo, step,
                     CAL_BAND_POINTS, upper) != 0)
        std::fill(upper, upper + CAL_BAND_POINTS, 0.0f);
    const bool ppm = !residual_unit_amu();
    for (int i = 0; i < CAL_BAND_POINTS; ++i) {
        float u = upper[i];
        if (ppm) {
            const float m = lo + static_cast<float>(i) * step;
            // No relative error at mass 0: that point is left out.
            u = m > 0.0f ? u / m * 1000000.0f : NAN;
        }
        upper[i] = u;
        if (lowerOk) lower[i] = -u;
    }
}

}  // namespace masscal::graphs

using namespace masscal::graphs;

extern "C" {

MASSCAL_API void CalInitGraphRanges(CalRecord* pRec, GraphLayout* pLayout) {
    if (!pRec || !pLayout) return;
    const CalPeakList& d = pRec->DataPeaks;
    const CalPeakList& r = pRec->RefPeaks;
    const float* dm = allocated_data<float>(d.Mass);
    const float* rm = allocated_data<float>(r.Mass);
    const bool haveData = d.nCount > 0 && dm;
    const bool haveRef = r.nCount > 0 && rm;
    float lo = haveData ? dm[0] : 0.0f;
    float hi = haveData ? dm[d.nCount - 1] : 0.0f;
    if (haveRef) {
        lo = std::min(lo, rm[0]);
        hi = std::max(hi, rm[r.nCount - 1]);
        if (!haveData) {
            // An empty spectrum counts as masses 0.
            lo = std::min(0.0f, rm[0]);
            hi = std::max(0.0f, rm[r.nCount - 1]);
        }
    }
    lo -= 5.0f;
    hi += 5.0f;
    if (lo < 0.0f) lo = 0.0f;
    pLayout->fDefaultMassLow = pLayout->fMassLow = lo;
    pLayout->fDefaultMassHigh = pLayout->fMassHigh = hi;
    CalUpdateGraphRanges(pRec, pLayout);
}

MASSCAL_API void CalUpdateGraphRanges(CalRecord* pRec, GraphLayout* pLayout) {
    if (!pRec || !pLayout) return;
    const bool verify = pRec->bCheckOnly != 0;
    if (!verify) compute_calibration_curve(pRec, pLayout);
    const float lo = pLayout->fMassLow;
    const float hi = pLayout->fMassHigh;
    const SeriesRange g1 = value_range(pRec->DataPeaks, lo, hi);
    pLayout->fValueLow[0] = 0.0f;
    pLayout->fValueHigh[0] = g1.high;
    const SeriesRange g2 = value_range(pRec->RefPeaks, lo, hi);
    pLayout->fValueLow[1] = 0.0f;
    pLayout->fValueHigh[1] = g2.high;
    const SeriesRange g3 = value_range(pRec->MatchPeaks, lo, hi);
    float low3 = 0.0f, high3 = 0.01f;
    const bool detail = has_detail(pRec);
    if (detail) compute_confidence_band(pRec, pLayout);
    if (g3.first >= 0 && g3.last >= 0 && !verify) {
        const float* mass = allocated_data<float>(pRec->MatchPeaks.Mass);
        const float* res = allocated_data<float>(pRec->Residuals);
        const float* width = allocated_data<float>(pRec->MatchPeaks.Width);
        const bool ppm = !residual_unit_amu();
        const int last = std::min(g3.last, static_cast<int>(capacity_of<float>(pRec->Residuals)) - 1);
        for (int i = g3.first; res && i <= last; ++i) {
            const double v = ppm ? res[i] / static_cast<double>(mass[i]) * 1000000.0 : res[i];
            widen(low3, high3, v);
            if (detail && width && width[i] != 0.0f) {
                const double b = ppm ? 2.0 * width[i] / mass[i] * 1000000.0 : 2.0 * width[i];
                widen(low3, high3, v - b);
                widen(low3, high3, v + b);
            }
        }
        if (detail) {
            for (const CalArray* band : {&pRec->BandUpper, &pRec->BandLower}) {
                const float* b = allocated_data<float>(*band);
                if (!b || capacity_of<float>(*band) < CAL_BAND_POINTS) continue;
                for (int i = 0; i < CAL_BAND_POINTS; ++i) widen(low3, high3, b[i]);
            }
        }
    }
    pLayout->fValueLow[2] = low3;
    pLayout->fValueHigh[2] = high3;
    for (int g = 0; g < CAL_GRAPH_COUNT; ++g)
        if (pLayout->fValueLow[g] == pLayout->fValueHigh[g]) pLayout->fValueHigh[g] += 0.01f;
}

}  // extern "C"

namespace masscal::graphs {
// The unit survives from one window to the next, so it belongs to the
// process rather than to a window.
std::atomic<bool> g_amu{true};

bool residual_unit_amu() { return g_amu.load(); }

}  // namespace masscal::graphs

extern "C" {

MASSCAL_API int32_t CalGetResidualUnitAmu(void) { return masscal::graphs::residual_unit_amu() ? 1 : 0; }

MASSCAL_API int32_t CalSetResidualUnitAmu(int32_t bAmu) {
    return masscal::graphs::g_amu.exchange(bAmu != 0) ? 1 : 0;
}

}  // extern "C"
