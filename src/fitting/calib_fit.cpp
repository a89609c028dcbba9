#include "fitting/calib_fit.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/arrays.hpp"
#include "fitting/fit_weights.hpp"
#include "fitting/restrained_fit.hpp"
#include "fitting/svd_fit.hpp"
#include "suite/covariance/covariances.hpp"

using masscal::core::array_data;

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

// The covariance of the power-series coefficients of an ordinary fit, from
// its decomposition: C = M V diag(1/W^2) V^T M^T with M(j, i) = G[i][j],
// for unit noise on the weighted points.
void ordinary_covariance(double** G, double** V, const double* W, int ma, double* packed) {
    double legendre[6][6] = {}, power[6][6] = {};
    for (int i = 0; i < ma; ++i)
        for (int j = 0; j < ma; ++j)
            for (int k = 1; k <= ma; ++k)
                if (W[k] != 0.0) legendre[i][j] += V[i + 1][k] * V[j + 1][k] / (W[k] * W[k]);
    for (int p = 0; p < ma; ++p)
        for (int q = 0; q < ma; ++q)
            for (int i = 0; i < ma; ++i)
                for (int j = 0; j < ma; ++j) power[p][q] += G[i + 1][p + 1] * legendre[i][j] * G[j + 1][q + 1];
    for (int i = 0; i < kCovarValues; ++i) packed[i] = 0.0;
    for (int p = 0; p < ma; ++p)
        for (int q = 0; q <= p; ++q) packed[CovarIndex(p, q)] = power[p][q];
}

// The ordinary fit into out's order, coefficients and covariance (for unit
// noise on the weighted points; see noise_scale); the chi-square into *chisq.
int32_t fit_legendre(const float* x, const float* y, const float* w, int32_t n, int32_t order, RawCalibCoEffs* out,
                     double* chisq) {
    // The record has room for six coefficients; a larger order (which the
    // settings file can hold) must not write past them.
    if (order < 0 || order > CAL_MAX_ORDER) return CAL_ERR_BAD_EQUATIONS;
    const int ma = order + 1;
    FitArrays f;
    const int32_t status = f.alloc(n > 0 ? n : 1, ma);
    if (status != CAL_OK) return status;
    double** const G = array_data<double*>(f.G);
    SetFitBasisMatrix(G);
    MakeLegendreMatrix(G, ma);
    const int32_t fit = SvdFitPoints0(x, y, w, n, array_data<double>(f.A), ma, array_data<double*>(f.U), array_data<double*>(f.V),
                                      array_data<double>(f.W), chisq, LegendreBasis);
    if (fit != CAL_OK) return fit;
    const double* const A = array_data<double>(f.A);
    // Members, not references: the record's doubles are only 4-aligned.
    for (int k = 0; k < 6; ++k) out->dCoeffs[k] = 0.0;
    for (int i = 1; i <= ma; ++i)
        for (int j = 1; j <= ma; ++j) out->dCoeffs[j - 1] += G[i][j] * A[i];
    out->nOrder = order;
    double packed[kCovarValues];
    ordinary_covariance(G, array_data<double*>(f.V), array_data<double>(f.W), ma, packed);
    std::memcpy(out->dCovar, packed, sizeof packed);
    return CAL_OK;
}

// The noise scale (a variance factor) of an ordinary fit's covariance:
// stated uncertainties hold unless the scatter exceeds them; relative
// weights take the scatter alone, and without a degree of freedom there is
// no scatter, so no covariance.
double noise_scale(double chisq, int32_t n, int32_t ma, bool stated) {
    if (n <= ma) return stated ? 1.0 : 0.0;
    const double scatter = chisq / (n - ma);
    return stated && scatter < 1.0 ? 1.0 : scatter;
}

void scale_covariance(RawCalibCoEffs* out, double factor) {
    double packed[kCovarValues];
    std::memcpy(packed, out->dCovar, sizeof packed);
    for (double& v : packed) v *= factor;
    std::memcpy(out->dCovar, packed, sizeof packed);
}

}  // namespace

double masscal::fitting::roughness_weight() {
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
        // The roughness is measured on root masses over the acquired range
        // in both modes, so that one roughness weight smooths alike; the
        // abscissa is the square root of mass in root-mass mode (ErrorFunc.nType
        // 1, set by the driver before the fit), thousands of amu otherwise.
        const bool root = rec->ErrorFunc.nType == 1;
        const double a = std::sqrt(static_cast<double>(rec->fMassLow));
        const double b = std::sqrt(static_cast<double>(rec->fMassHigh));
        double chisq = 0.0;
        // Aligned copies: the record's doubles are only 4-aligned.
        double coeffs[6], covar[21];
        std::memcpy(coeffs, rec->ErrorFunc.dCoeffs, sizeof coeffs);
        std::memcpy(covar, rec->ErrorFunc.dCovar, sizeof covar);
        const int32_t status = RestrainedFit(x, y, weights, n, a, b, masscal::fitting::roughness_weight(), kRestrainedOrder, coeffs,
                                             covar, kCovarValues, &chisq, root ? 0.0 : kMassScale);
        std::memcpy(rec->ErrorFunc.dCoeffs, coeffs, sizeof coeffs);
        std::memcpy(rec->ErrorFunc.dCovar, covar, sizeof covar);
        rec->ErrorFunc.dStdDev = std::sqrt(chisq);
        rec->ErrorFunc.nOrder = kRestrainedOrder;
        return status;
    }

    // With the restraint asked for but no uncertainties to restrain with, the
    // ordinary fit stands in: too few matches for its order is the driver's
    // "too few matches", not a badly-formed set of equations.
    if (rec->Params.AutoPolyOrder && n <= rec->Params.PolyOrder && rec->Params.PolyOrder <= CAL_MAX_ORDER)
        return CAL_ERR_TOO_FEW_MATCHES;
    double chisq = 0.0;
    const int32_t status = fit_legendre(x, y, weights, n, rec->Params.PolyOrder, &rec->ErrorFunc, &chisq);
    if (status != CAL_OK) return status;
    rec->ErrorFunc.dStdDev = std::sqrt(chisq);
    scale_covariance(&rec->ErrorFunc, noise_scale(chisq, n, rec->Params.PolyOrder + 1, uncertainty != nullptr));
    return CAL_OK;
}

int32_t CalFitPolynomial(const float* x, const float* y, const float* weights, int32_t n, RawCalibCoEffs* out,
                         int32_t order) {
    double chisq = 0.0;
    const int32_t status = fit_legendre(x, y, weights, n, order, out, &chisq);
    if (status != CAL_OK) return status;
    const int ma = order + 1;
    out->dStdDev = n > ma ? std::sqrt(chisq / (n - ma)) : 1.0;
    scale_covariance(out, noise_scale(chisq, n, ma, false));
    return CAL_OK;
}
