#include "suite/covariance/covariances.hpp"

#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxCoeffs = 6;
constexpr int kValues = 21;
constexpr double kZ95 = 1.96;

// The packed values of a calibration record are only 4-aligned (the record
// has 4-byte packing): they are read and written by copying bytes.
void load(const double* packed, double out[kValues]) { std::memcpy(out, packed, kValues * sizeof(double)); }
void store(const double in[kValues], double* packed) { std::memcpy(packed, in, kValues * sizeof(double)); }

void unpack(const double packed[kValues], int n, double full[kMaxCoeffs][kMaxCoeffs]) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) full[i][j] = packed[CovarIndex(i, j)];
}

}  // namespace

int32_t MakeCovariances0(const double* const* V, const double* W, int32_t n, double dScale, double* pCovar,
                         int32_t nCovar) {
    if (!V || !W || !pCovar || n <= 0 || nCovar < 0) return -1;
    const int kept = n < kMaxCoeffs ? n : kMaxCoeffs;
    const int count = nCovar < kValues ? nCovar : kValues;
    double c[kValues] = {};
    for (int i = 0; i < kept; ++i)
        for (int j = 0; j <= i; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k)
                if (W[k] != 0.0) s += V[i][k] * V[j][k] / (W[k] * W[k]);
            c[CovarIndex(i, j)] = dScale * s;
        }
    std::memcpy(pCovar, c, static_cast<std::size_t>(count) * sizeof(double));
    return 0;
}

int32_t TransformCovariances(const double* M, int32_t n, double* pCovar) {
    if (!M || !pCovar || n <= 0 || n > kMaxCoeffs) return -1;
    double packed[kValues];
    load(pCovar, packed);
    double c[kMaxCoeffs][kMaxCoeffs];
    unpack(packed, n, c);
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
            packed[CovarIndex(i, j)] = s;
        }
    store(packed, pCovar);
    return 0;
}

int32_t DivideCovariancesByPowers(double* pCovar, double dBase) {
    if (!pCovar || dBase == 0.0 || !std::isfinite(dBase)) return -1;
    double power[kMaxCoeffs];
    power[0] = 1.0;
    for (int i = 1; i < kMaxCoeffs; ++i) power[i] = power[i - 1] * dBase;
    double packed[kValues];
    load(pCovar, packed);
    for (int i = 0; i < kMaxCoeffs; ++i)
        for (int j = 0; j <= i; ++j) {
            double& v = packed[CovarIndex(i, j)];
            v = v / power[i] / power[j];
        }
    store(packed, pCovar);
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
    double packed[kValues];
    load(pCovar, packed);
    double c[kMaxCoeffs][kMaxCoeffs];
    unpack(packed, n, c);
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
