#include "engine/residual_stats.hpp"

#include <cmath>
#include <cstring>

#include "masscal/quality.h"
#include "platform/memory.hpp"
#include "suite/covariance/covariances.hpp"

namespace {

// Mean half-width of the band over [low, high] relative to the mass, in
// ppm: the trapezoid rule on kConfBandPoints samples. 0 without scratch
// memory or for a range that reaches down to mass 0 or below, where a
// relative width means nothing.
double conf_band_ppm(const CalRecord* rec) {
    const float low = rec->fMassLow, high = rec->fMassHigh;
    if (!(low > 0.0f) || !(high > 0.0f)) return 0.0;
    const float step = (high - low) / (kConfBandPoints - 1);
    auto* table = static_cast<float*>(masscal::platform::heap_alloc(kConfBandPoints * sizeof(float)));
    if (!table) return 0.0;
    GetVariances(rec->ErrorFunc.nType == 1 ? 1 : 0, rec->ErrorFunc.dCovar, rec->ErrorFunc.nOrder, low, step,
                 kConfBandPoints, table);
    double s = (static_cast<double>(table[0]) / low + static_cast<double>(table[kConfBandPoints - 1]) / high) * 0.5;
    double x = low;
    for (int i = 1; i < kConfBandPoints - 1; ++i) {
        x = x + step;
        s = s + table[i] / x;
    }
    masscal::platform::heap_free(table);
    return s / (kConfBandPoints - 1) * 1e6;
}

}  // namespace

extern "C" MASSCAL_API void CalResidualStats(CalWnd, CalRecord* pRec) {
    const int32_t n = pRec->MatchPeaks.nCount;
    if (n <= 0) {
        pRec->dMeanResidual = 0.0;
        pRec->dRmsResidual = 0.0;
        return;
    }
    // Verify mode makes no fit: the raw errors are the residuals.
    const auto* e = static_cast<const float*>(pRec->bCheckOnly ? pRec->Errors.pData : pRec->Residuals.pData);
    const auto* mass = static_cast<const float*>(pRec->MatchPeaks.Mass.pData);
    double sumAbs = 0.0, sumSq = 0.0, sumPpm = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const double ei = e[i];
        const double mi = mass[i] > 0.0f ? static_cast<double>(mass[i]) : 1.0;
        sumAbs += std::fabs(ei);
        sumSq += ei * ei;
        const double rel = ei / mi;
        sumPpm += rel * rel * 1e12;
    }
    pRec->dMeanResidual = sumAbs / n;
    pRec->dRmsResidual = std::sqrt(sumSq / n);
    pRec->dRmsResidualPpm = std::sqrt(sumPpm / n);
    pRec->dConfBandPpm = pRec->MatchPeaks.bDetail ? conf_band_ppm(pRec) : 0.0;
}

extern "C" MASSCAL_API int32_t CalConfidenceBandPpm(const CalRecord* pRec, double* pPpm) {
    if (!pRec || pRec->bCheckOnly) return 0;
    double covar[21];
    std::memcpy(covar, pRec->ErrorFunc.dCovar, sizeof covar);
    bool any = false;
    for (double c : covar) any = any || c != 0.0;
    if (!any) return 0;
    const double band = conf_band_ppm(pRec);
    if (!std::isfinite(band)) return 0;
    if (pPpm) *pPpm = band;
    return 1;
}
