#include "fitting/calib_fit.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/work_arrays.hpp"
#include "fitting/fit_weights.hpp"
#include "fitting/restrained_fit.hpp"
#include "fitting/svd_fit.hpp"

namespace {

constexpr int kRestrainedOrder = 5;
constexpr int kCovarValues = 21;
// The driver fits masses in thousands of amu outside root-mass mode.
constexpr double kMassScale = 1000.0;

// The work arrays of one Legendre fit, released on every path.
struct FitArrays {
    CalArray U{}, V{}, W{}, A{}, G{};
    ~FitArrays() {
        for (CalArray* a : {&U, &V, &W, &A, &G}) CalFree(a);
    }
    int32_t alloc(int n, int ma) {
        int32_t s = CalAllocMatrix(&U, n, ma);
        if (s == CAL_OK) s = CalAllocMatrix(&V, ma, ma);
        if (s == CAL_OK) s = CalAllocVector(&W, ma);
        if (s == CAL_OK) s = CalAllocVector(&A, ma);
        if (s == CAL_OK) s = CalAllocMatrix(&G, ma, ma);
        return s;
    }
};

// The ordinary fit into out's order, coefficients and covariance; the chi-square
// into *chisq.
int32_t fit_legendre(const float* x, const float* y, const float* w, int32_t n, int32_t order, RawCalibCoEffs* out,
                     double* chisq) {
    // The record has room for six coefficients; a larger order (which the
    // settings file can hold) must not write past them.
    if (order < 0 || order > CAL_MAX_ORDER) return CAL_ERR_BAD_EQUATIONS;
    const int ma = order + 1;
    FitArrays f;
    const int32_t status = f.alloc(n > 0 ? n : 1, ma);
    if (status != CAL_OK) return status;
    double** const G = CalMatrix(f.G);
    SetFitBasisMatrix(G);
    MakeLegendreMatrix(G, ma);
    const int32_t fit = SvdFitPoints0(x, y, w, n, CalVector(f.A), ma, CalMatrix(f.U), CalMatrix(f.V),
                                      CalVector(f.W), chisq, LegendreBasis);
    if (fit != CAL_OK) return fit;
    const double* const A = CalVector(f.A);
    // Members, not references: the record's doubles are only 4-aligned.
    for (int k = 0; k < 6; ++k) out->dCoeffs[k] = 0.0;
    for (int i = 1; i <= ma; ++i)
        for (int j = 1; j <= ma; ++j) out->dCoeffs[j - 1] += G[i][j] * A[i];
    out->nOrder = order;
    for (int k = 0; k < 21; ++k) out->dCovar[k] = 0.0;
    return CAL_OK;
}

}  // namespace

double CalRoughnessWeight() {
    double phi = kDefaultRoughnessWeight;
    std::FILE* f = std::fopen("phi.txt", "r");
    if (!f) return phi;
    // The first blank-separated token, read as a number in the C locale
    // whatever the host's locale says.
    char token[128] = {};
    if (std::fscanf(f, "%127s", token) == 1) {
        const char* p = token[0] == '+' ? token + 1 : token;
        double v = 0.0;
        const auto [end, ec] = std::from_chars(p, token + std::strlen(token), v);
        if (ec == std::errc() && end != p) phi = v;
    }
    std::fclose(f);
    return phi;
}

int32_t CalFitCalibration(CalRecord* rec) {
    const int32_t n = rec->MatchPeaks.nCount;
    // FitWork and Errors hold one value per reference peak.
    if (n < 0 || n > CAL_MATCH_CAPACITY) return CAL_ERR_BAD_EQUATIONS;
    const auto* x = static_cast<const float*>(rec->MatchPeaks.Mass.pData);
    const auto* y = static_cast<const float*>(rec->Errors.pData);
    auto* weights = static_cast<float*>(rec->FitWork.pData);
    const bool widths = MatchWidthsAreUncertainties(rec);
    const float* uncertainty = widths ? static_cast<const float*>(rec->MatchPeaks.Width.pData) : nullptr;
    const int32_t useIntensity = rec->Params.IntensityWeight && rec->MatchPeaks.bDetail ? 1 : 0;
    MakeFitWeightsPoints0(static_cast<const float*>(rec->MatchPeaks.Intensity.pData), uncertainty, weights,
                          useIntensity, n);

    if (rec->Params.AutoPolyOrder && uncertainty) {
        // The roughness is integrated over the acquired mass range in the
        // fit's own abscissa: square roots of masses in root-mass mode
        // (ErrorFunc.nType 1, set by the driver before the fit), thousands of
        // amu otherwise.
        const bool root = rec->ErrorFunc.nType == 1;
        const double low = rec->fMassLow, high = rec->fMassHigh;
        const double a = root ? std::sqrt(low) : low / kMassScale;
        const double b = root ? std::sqrt(high) : high / kMassScale;
        double chisq = 0.0;
        // Aligned copies: the record's doubles are only 4-aligned.
        double coeffs[6], covar[21];
        std::memcpy(coeffs, rec->ErrorFunc.dCoeffs, sizeof coeffs);
        std::memcpy(covar, rec->ErrorFunc.dCovar, sizeof covar);
        const int32_t status = RestrainedFit(x, y, weights, n, a, b, CalRoughnessWeight(), kRestrainedOrder, coeffs,
                                             covar, kCovarValues, &chisq);
        std::memcpy(rec->ErrorFunc.dCoeffs, coeffs, sizeof coeffs);
        std::memcpy(rec->ErrorFunc.dCovar, covar, sizeof covar);
        rec->ErrorFunc.dStdDev = std::sqrt(chisq);
        rec->ErrorFunc.nOrder = kRestrainedOrder;
        return status;
    }

    double chisq = 0.0;
    const int32_t status = fit_legendre(x, y, weights, n, rec->Params.PolyOrder, &rec->ErrorFunc, &chisq);
    if (status != CAL_OK) return status;
    rec->ErrorFunc.dStdDev = std::sqrt(chisq);
    return CAL_OK;
}

int32_t CalFitPolynomial(const float* x, const float* y, const float* weights, int32_t n, RawCalibCoEffs* out,
                         int32_t order) {
    double chisq = 0.0;
    const int32_t status = fit_legendre(x, y, weights, n, order, out, &chisq);
    if (status != CAL_OK) return status;
    const int ma = order + 1;
    out->dStdDev = n > ma ? std::sqrt(chisq / (n - ma)) : 1.0;
    return CAL_OK;
}
