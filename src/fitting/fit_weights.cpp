#include "fitting/fit_weights.hpp"

#include <cmath>

void MakeFitWeightsPoints0(const float* intensity, const float* uncertainty, float* weights, int32_t useIntensity,
                           int32_t n) {
    for (int i = 0; i < n; ++i) {
        if (uncertainty)
            weights[i] = uncertainty[i] > 0.0f ? static_cast<float>(1.0 / uncertainty[i]) : 1.0f;
        else if (useIntensity)
            weights[i] = static_cast<float>(std::sqrt(static_cast<double>(intensity[i])));
        else
            weights[i] = 1.0f;
    }
}

void MakeFitWeights(const float* intensity, const float* uncertainty, float* weights, int32_t useIntensity,
                    int32_t n) {
    MakeFitWeightsPoints0(intensity ? intensity + 1 : nullptr, uncertainty ? uncertainty + 1 : nullptr,
                          weights + 1, useIntensity, n);
}

bool MatchWidthsAreUncertainties(const CalRecord* rec) {
    const CalPeakList& m = rec->MatchPeaks;
    if (!m.Width.hMem || !m.bDetail) return false;
    const auto* width = static_cast<const float*>(m.Width.pData);
    for (int i = 0; i < m.nCount; ++i)
        if (width[i] > 0.0f && std::isfinite(width[i])) return true;
    return false;
}
