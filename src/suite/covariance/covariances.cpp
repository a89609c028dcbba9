#include "suite/covariance/covariances.hpp"

#include <cmath>

namespace {

constexpr int kMaxCoeffs = 6;
constexpr int kValues = 21;
constexpr double kZ95 = 1.96;

void unpack(const double* packed, int n, double full[kMaxCoeffs][kMaxCoeffs]) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) full[i][j] = packed[CovarIndex(i, j)];
}

}  // namespace

int32_t MakeCovariances0(const double* const* V, const double* W, int32_t n, double dScale, double* pCovar,
                         int32_t nCovar) {
    if (!V || !W || !pCovar || n <= 0 || nCovar < 0) return -1;
    const int kept = n < kMaxCoeffs ? n : kMaxCoeffs;
    const int count = nCovar < kValues ? nCovar : kValues;
    for (int i = 0; i < kMaxCoeffs; ++i) {
        for (int j = 0; j <= i; ++j) {
            const int at = CovarIndex(i, j);
            if (at >= count) return 0;
            double s = 0.0;
            if (i < kept) {
                for (int k = 0; k < n; ++k)
                    if (W[k] != 0.0) s += V[i][k] * V[j][k] / (W[k] * W[k]);
            }
            pCovar[at] = dScale * s;
        }
    }
    return 0;
}

int32_t TransformCovariances(const double* M, int32_t n, double* pCovar) {
    if (!M || !pCovar || n <= 0 || n > kMaxCoeffs) return -1;
    double c[kMaxCoeffs][kMaxCoeffs];
    unpack(pCovar, n, c);
    double mc[kMaxCoeffs][kMaxCoeffs];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += M[i * n + k] * c[k][j];
            mc[i][j] = s;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += mc[i][k] * M[j * n + k];
            pCovar[CovarIndex(i, j)] = s;
        }
    return 0;
}

int32_t DivideCovariancesByPowers(double* pCovar, double dBase) {
    if (!pCovar || dBase == 0.0 || !std::isfinite(dBase)) return -1;
    double power[kMaxCoeffs];
    power[0] = 1.0;
    for (int i = 1; i < kMaxCoeffs; ++i) power[i] = power[i - 1] * dBase;
    for (int i = 0; i < kMaxCoeffs; ++i)
        for (int j = 0; j <= i; ++j) {
            double& v = pCovar[CovarIndex(i, j)];
            v = v / power[i] / power[j];
        }
    return 0;
}

int32_t GetVariances(int32_t bRootMass, const double* pCovar, int32_t nOrder, float fLow, float fStep,
                     int32_t nPoints, float* pOut) {
    if (!pCovar || !pOut || nPoints < 0) return -1;
    if (nOrder < 0) {
        for (int i = 0; i < nPoints; ++i) pOut[i] = 0.0f;
        return 0;
    }
    const int n = (nOrder < kMaxCoeffs - 1 ? nOrder : kMaxCoeffs - 1) + 1;
    double c[kMaxCoeffs][kMaxCoeffs];
    unpack(pCovar, n, c);
    for (int p = 0; p < nPoints; ++p) {
        const double mass = static_cast<double>(fLow) + p * static_cast<double>(fStep);
        const double x = bRootMass ? std::sqrt(mass > 0.0 ? mass : 0.0) : mass;
        double g[kMaxCoeffs];
        g[0] = 1.0;
        for (int i = 1; i < n; ++i) g[i] = g[i - 1] * x;
        double var = 0.0;
        for (int i = 0; i < n; ++i) {
            double row = 0.0;
            for (int j = 0; j < n; ++j) row += c[i][j] * g[j];
            var += g[i] * row;
        }
        // Rounding can leave a tiny negative sum where the band is zero.
        double half = var > 0.0 ? kZ95 * std::sqrt(var) : 0.0;
        if (bRootMass) half *= 2.0 * x;
        pOut[p] = static_cast<float>(half);
    }
    return 0;
}
