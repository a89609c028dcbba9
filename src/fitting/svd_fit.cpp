#include "fitting/svd_fit.hpp"

#include "core/arrays.hpp"
#include "fitting/svd.hpp"

using masscal::core::array_data;

namespace {

constexpr double kSingularCut = 5e-15;

// The basis callback receives no context, so the matrix of the fit in
// progress is reached through this pointer; separate threads fit apart.
thread_local double** t_fit_basis = nullptr;

}  // namespace

void SetFitBasisMatrix(double** G) { t_fit_basis = G; }

void LegendreBasis(double x, double* p, int32_t np) {
    double** const g = t_fit_basis;
    for (int i = 1; i <= np; ++i) {
        double s = 0.0, power = 1.0;
        for (int j = 1; j <= np; ++j) {
            s += g[i][j] * power;
            power *= x;
        }
        p[i] = s;
    }
}

int32_t MakeLegendreMatrix(double** G, int32_t ma) {
    G[1][1] = 1.0;
    if (ma == 1) return 0;
    G[2][2] = 1.0;
    if (ma == 2) return 0;
    // Bonnet: (j+1) P(j+1) = (2j+1) x P(j) - j P(j-1).
    for (int j = 1; j <= ma - 2; ++j) {
        for (int k = 1; k <= ma - 1; ++k) G[j + 2][k + 1] = (2.0 * j + 1.0) / (j + 1.0) * G[j + 1][k];
        for (int k = 1; k <= ma; ++k) G[j + 2][k] = G[j + 2][k] - j / (j + 1.0) * G[j][k];
    }
    return 0;
}

int32_t SvdFitPoints0(const float* x, const float* y, const float* weights, int32_t ndata, double* A, int32_t ma,
                      double** U, double** V, double* W, double* chisq, FitBasis basis) {
    CalArray bArr{}, basisArr{};
    if (CalAllocVector(&bArr, ndata) != CAL_OK) return CAL_ERR_NO_MEMORY;
    if (CalAllocVector(&basisArr, ma) != CAL_OK) {
        CalFree(&bArr);
        return CAL_ERR_NO_MEMORY;
    }
    double* const b = array_data<double>(bArr);
    double* const afunc = array_data<double>(basisArr);
    for (int i = 1; i <= ndata; ++i) {
        basis(x[i - 1], afunc, ma);
        const double t = weights ? weights[i - 1] : 1.0;
        for (int j = 1; j <= ma; ++j) U[i][j] = t * afunc[j];
        b[i] = t * y[i - 1];
    }
    int32_t status = SvdDecompose(U, ndata, ma, W, V);
    if (status == CAL_OK) {
        double wmax = 0.0;
        for (int j = 1; j <= ma; ++j)
            if (W[j] > wmax) wmax = W[j];
        const double thresh = kSingularCut * wmax;
        for (int j = 1; j <= ma; ++j)
            if (W[j] < thresh) W[j] = 0.0;
        // Without its scratch vector the back-substitution leaves A as it
        // was: that must not pass for a fit.
        status = SvdBackSubstitute(U, W, V, ndata, ma, b, A);
    }
    if (status == CAL_OK) {
        double chi2 = 0.0;
        for (int i = 1; i <= ndata; ++i) {
            basis(x[i - 1], afunc, ma);
            double sum = 0.0;
            for (int j = 1; j <= ma; ++j) sum += A[j] * afunc[j];
            const double t = weights ? weights[i - 1] : 1.0;
            const double e = t * (y[i - 1] - sum);
            chi2 += e * e;
        }
        *chisq = chi2;
    }
    CalFree(&basisArr);
    CalFree(&bArr);
    return status;
}

int32_t SvdFit(const float* x, const float* y, const float* weights, int32_t ndata, double* A, int32_t ma,
               double** U, double** V, double* W, double* chisq, FitBasis basis) {
    // The 1-based point arrays are the 0-based ones from their element 1.
    return SvdFitPoints0(x + 1, y + 1, weights ? weights + 1 : nullptr, ndata, A, ma, U, V, W, chisq, basis);
}
