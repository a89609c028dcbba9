#include "fitting/restrained_fit.hpp"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "fitting/brent.hpp"
#include "fitting/legendre.hpp"
#include "fitting/svd.hpp"
#include "platform/memory.hpp"
#include "suite/covariance/covariances.hpp"

namespace {

namespace mem = masscal::platform;

constexpr double kSingularCut = 1e-12;
constexpr double kBrentTolerance = 0.001;
constexpr int kMaxOrder = 5;
constexpr int kCovarValues = 21;

// A matrix of rows x cols doubles as row pointers into one heap block.
double** alloc_rows(int rows, int cols) {
    const std::size_t table = static_cast<std::size_t>(rows) * sizeof(double*);
    const std::size_t body = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * sizeof(double);
    auto* block = static_cast<unsigned char*>(mem::heap_alloc(table + body));
    if (!block) return nullptr;
    auto** r = reinterpret_cast<double**>(block);
    auto* data = reinterpret_cast<double*>(block + table);
    for (int i = 0; i < rows; ++i) r[i] = data + static_cast<std::ptrdiff_t>(i) * cols;
    return r;
}

double* alloc_doubles(int n) {
    return static_cast<double*>(mem::heap_alloc(static_cast<std::size_t>(n) * sizeof(double)));
}

double objective_thunk(double alpha, void* context) {
    return RestrainedObjective(alpha, static_cast<RestrainedFitContext*>(context));
}

// Everything one run allocates, released together on every path.
struct Tables {
    double* T = nullptr;
    double* omega = nullptr;
    double** design = nullptr;
    double** V = nullptr;
    double* W = nullptr;
    double* c = nullptr;
    double* rhs = nullptr;
    ~Tables() {
        mem::heap_free(T);
        mem::heap_free(omega);
        mem::heap_free(design);
        mem::heap_free(V);
        mem::heap_free(W);
        mem::heap_free(c);
        mem::heap_free(rhs);
    }
};

// The covariance of the power-series coefficients from that of the Legendre
// coefficients: power(j) = sum over k of T(k, j) c(k).
void covariance_to_power(int order, const double* T, double* packed) {
    const int n = order + 1;
    double m[(kMaxOrder + 1) * (kMaxOrder + 1)] = {};
    for (int j = 0; j < n; ++j)
        for (int k = j; k < n; ++k) m[j * n + k] = T[LegendreTriangleIndex(k, j)];
    TransformCovariances(m, n, packed);
}

}  // namespace

double* MakeRoughnessMatrix(double a, double b, double phi, int32_t order, const double* T) {
    const double d = (b - a) * phi;
    if (!(d > 0.0) || order < 2 || !T) return nullptr;
    const int size = order - 1;
    double* omega = alloc_doubles(size * size);
    if (!omega) return nullptr;
    // pw[k] = b^(k+1) - a^(k+1): the integral of (k+1) x^k over [a, b].
    double pw[2 * kMaxOrder] = {};
    const int npw = 2 * order - 3;
    double* pws = npw <= 2 * kMaxOrder ? pw : alloc_doubles(npw);
    if (!pws) {
        mem::heap_free(omega);
        return nullptr;
    }
    double ap = a, bp = b;
    for (int k = 0; k < npw; ++k) {
        pws[k] = bp - ap;
        ap *= a;
        bp *= b;
    }
    for (int p = 2; p <= order; ++p) {
        for (int q = 2; q <= p; ++q) {
            double s = 0.0;
            for (int i = 2; i <= p; ++i)
                for (int j = 2; j <= q; ++j)
                    s += (i * (i - 1.0) * T[LegendreTriangleIndex(p, i)]) *
                         (j * (j - 1.0) * T[LegendreTriangleIndex(q, j)]) * pws[i + j - 4] / (i + j - 3.0);
            if (p != q) {
                omega[(q - 2) * size + (p - 2)] = omega[(p - 2) * size + (q - 2)] = s / d;
            } else {
                omega[(p - 2) * size + (p - 2)] = 2.0 * s / d;
            }
        }
    }
    if (pws != pw) mem::heap_free(pws);
    return omega;
}

namespace {

// Second derivative in u of P(u^2 / scale) / (2u), from the power-series
// coefficients of P (order + 1 of them).
double root_measure_curvature(const double* power, int order, double u, double scale) {
    const double x = u * u / scale;
    double p = 0.0, dp = 0.0, ddp = 0.0;
    for (int j = order; j >= 0; --j) {
        ddp = ddp * x + 2.0 * dp;
        dp = dp * x + p;
        p = p * x + power[j];
    }
    const double h = p, dh = dp * 2.0 * u / scale, ddh = ddp * (2.0 * u / scale) * (2.0 * u / scale) + dp * 2.0 / scale;
    return ddh / (2.0 * u) - dh / (u * u) + h / (u * u * u);
}

}  // namespace

double* MakeRootMeasureRoughnessMatrix(double a, double b, double phi, double scale, int32_t order, const double* T) {
    const double d = (b - a) * phi;
    if (!(d > 0.0) || !(a > 0.0) || !(scale > 0.0) || order < 2 || order > kMaxOrder || !T) return nullptr;
    const int size = order - 1;
    double* omega = alloc_doubles(size * size);
    if (!omega) return nullptr;
    for (int i = 0; i < size * size; ++i) omega[i] = 0.0;
    // Gauss-Legendre, 8 points on each of 16 panels: the integrands are
    // polynomials in u and 1/u of modest degree, smooth away from u = 0.
    static constexpr double node[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                                       0.9602898564975363};
    static constexpr double weight[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                         0.1012285362903763};
    constexpr int kPanels = 16;
    const double panel = (b - a) / kPanels;
    for (int k = 0; k < kPanels; ++k) {
        const double mid = a + (k + 0.5) * panel, half = 0.5 * panel;
        for (int g = 0; g < 8; ++g) {
            const double u = mid + (g < 4 ? -node[g] : node[g - 4]) * half;
            const double wq = (g < 4 ? weight[g] : weight[g - 4]) * half;
            double curv[kMaxOrder + 1] = {};
            for (int p = 2; p <= order; ++p) {
                double power[kMaxOrder + 1] = {};
                for (int j = 0; j <= p; ++j) power[j] = T[LegendreTriangleIndex(p, j)];
                curv[p] = root_measure_curvature(power, p, u, scale);
            }
            for (int p = 2; p <= order; ++p)
                for (int q = 2; q <= order; ++q) omega[(p - 2) * size + (q - 2)] += wq * curv[p] * curv[q];
        }
    }
    // Scaled and with the diagonal doubled, as the roughness over the abscissa.
    for (int p = 0; p < size; ++p)
        for (int q = 0; q < size; ++q) omega[p * size + q] *= (p == q ? 2.0 : 1.0) / d;
    return omega;
}

int32_t CholeskyDecompose0(double* a, int32_t m) {
    for (int i = 0; i < m; ++i) {
        double s = a[i * m + i];
        for (int k = 0; k < i; ++k) s -= a[i * m + k] * a[i * m + k];
        // Not "s <= 0": a NaN is not a positive pivot either.
        if (!(s > 0.0)) return -1;
        a[i * m + i] = std::sqrt(s);
        for (int j = i + 1; j < m; ++j) {
            double t = a[i * m + j];
            for (int k = 0; k < i; ++k) t -= a[i * m + k] * a[j * m + k];
            a[j * m + i] = t / a[i * m + i];
        }
    }
    return 0;
}

double LineFitRms(const float* x, const float* y, const float* w, int32_t n) {
    double s = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (int i = 0; i < n; ++i) {
        const double w2 = static_cast<double>(w[i]) * w[i];
        s += w2;
        sx += w2 * x[i];
        sy += w2 * y[i];
        sxx += w2 * x[i] * x[i];
        sxy += w2 * x[i] * y[i];
    }
    const double det = s * sxx - sx * sx;
    if (!(det > 0.0)) return 0.0;
    const double p = (sxx * sy - sx * sxy) / det;
    const double q = (s * sxy - sx * sy) / det;
    double r = 0.0;
    for (int i = 0; i < n; ++i) {
        const double e = (y[i] - p - q * x[i]) * w[i];
        r += e * e;
    }
    return std::sqrt(r / n);
}

double RestrainedObjective(double alpha, RestrainedFitContext* ctx) {
    if (alpha < 1.0) return std::numeric_limits<double>::max();
    const int n = ctx->n, order = ctx->order, cols = order + 1, rows = n + order - 1;
    const int size = order - 1;
    const double* L = ctx->omega;
    double p[kMaxOrder + 1];
    for (int i = 0; i < n; ++i) {
        const double scale = ctx->w[i] / alpha;
        LegendreValues(ctx->x[i], p, order);
        for (int k = 0; k <= order; ++k) ctx->design[i][k] = scale * p[k];
        ctx->rhs[i] = static_cast<double>(ctx->y[i]) * ctx->w[i] / alpha;
    }
    // Penalty rows: L^T on the coefficients of P2 and above.
    for (int r = 0; r <= order - 2; ++r) {
        for (int k = 0; k <= order; ++k) ctx->design[n + r][k] = k < r + 2 ? 0.0 : L[(k - 2) * size + r];
        ctx->rhs[n + r] = 0.0;
    }
    int32_t status = SvdDecompose0(ctx->design, rows, cols, ctx->W, ctx->V);
    if (status == 0) {
        double wmax = 0.0;
        for (int j = 0; j < cols; ++j)
            if (ctx->W[j] > wmax) wmax = ctx->W[j];
        for (int j = 0; j < cols; ++j)
            if (ctx->W[j] < kSingularCut * wmax) ctx->W[j] = 0.0;
        status = SvdBackSubstitute0(ctx->design, ctx->W, ctx->V, rows, cols, ctx->rhs, ctx->c);
    }
    if (status != 0) {
        if (ctx->status == 0) ctx->status = status;
        return std::numeric_limits<double>::max();
    }

    double chi2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double e = (ctx->y[i] - LegendreSeries(ctx->x[i], ctx->c, order)) * ctx->w[i] / alpha;
        chi2 += e * e;
    }
    *ctx->chisq = chi2;
    double rough = 0.0;
    for (int r = 0; r <= order - 2; ++r) {
        double t = 0.0;
        for (int k = r + 2; k <= order; ++k) t += L[(k - 2) * size + r] * ctx->c[k];
        rough += t * t;
    }
    return n * std::log(alpha) + 0.5 * chi2 + rough + alpha;
}

int32_t RestrainedFit(const float* x, const float* y, const float* w, int32_t n, double a, double b, double phi,
                      int32_t order, double* coeffs, double* covar, int32_t ncov, double* chisq, double rootScale) {
    // Fewer than two points leave the system under-determined (the caller
    // promises two); the covariance has room for six coefficients only.
    if (n < 2 || order > kMaxOrder) return -1;
    Tables t;
    t.T = MakeLegendreTriangle(order);
    if (!t.T) return -2;
    t.omega = rootScale > 0.0 ? MakeRootMeasureRoughnessMatrix(a, b, phi, rootScale, order, t.T)
                              : MakeRoughnessMatrix(a, b, phi, order, t.T);
    if (!t.omega) return -2;
    if (CholeskyDecompose0(t.omega, order - 1) != 0) return -1;
    const int cols = order + 1, rows = n + order - 1;
    t.design = alloc_rows(rows, cols);
    t.V = alloc_rows(cols, cols);
    t.W = alloc_doubles(cols);
    t.c = alloc_doubles(cols);
    t.rhs = alloc_doubles(rows);
    if (!t.design || !t.V || !t.W || !t.c || !t.rhs) return -2;

    double chi2 = 0.0;
    RestrainedFitContext ctx{n, order, x, y, w, t.design, t.V, t.W, t.c, t.rhs, t.omega, &chi2, 0};
    const double f1 = RestrainedObjective(1.0, &ctx);
    const double s = LineFitRms(x, y, w, n);
    if (s > 1.0) {
        const double f2 = RestrainedObjective(s, &ctx);
        const double start = f1 >= f2 ? s : 1.0;
        double best = start;
        BrentMinimize(1.0, start, s, objective_thunk, &ctx, kBrentTolerance, &best);
        RestrainedObjective(best, &ctx);
    }
    if (ctx.status != 0) return ctx.status;
    // Through a local array: coeffs may be a record's 4-aligned member.
    double power[kMaxOrder + 1];
    LegendreToPower(order, t.T, t.c, power);
    std::memcpy(coeffs, power, static_cast<std::size_t>(order + 1) * sizeof(double));

    double packed[kCovarValues] = {};
    MakeCovariances0(t.V, t.W, cols, 1.0, packed, kCovarValues);
    covariance_to_power(order, t.T, packed);
    const int count = ncov < kCovarValues ? ncov : kCovarValues;
    if (covar && count > 0) std::memcpy(covar, packed, static_cast<std::size_t>(count) * sizeof(double));
    if (chisq) *chisq = chi2;
    return 0;
}
