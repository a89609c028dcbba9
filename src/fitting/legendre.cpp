#include "fitting/legendre.hpp"

#include <cstddef>

#include "platform/memory.hpp"

double* MakeLegendreTriangle(int32_t order) {
    if (order < 0) return nullptr;
    const std::size_t count = static_cast<std::size_t>(order + 1) * static_cast<std::size_t>(order + 2) / 2;
    auto* t = static_cast<double*>(masscal::platform::heap_alloc(count * sizeof(double)));
    if (!t) return nullptr;
    t[LegendreTriangleIndex(0, 0)] = 1.0;
    if (order >= 1) {
        t[LegendreTriangleIndex(1, 0)] = 0.0;
        t[LegendreTriangleIndex(1, 1)] = 1.0;
    }
    for (int k = 2; k <= order; ++k) {
        for (int j = 0; j <= k; ++j) {
            const double up = j > 0 ? (2.0 * k - 1.0) * t[LegendreTriangleIndex(k - 1, j - 1)] : 0.0;
            const double down = j < k - 1 ? (k - 1.0) * t[LegendreTriangleIndex(k - 2, j)] : 0.0;
            t[LegendreTriangleIndex(k, j)] = (up - down) / k;
        }
    }
    return t;
}

void LegendreValues(double x, double* values, int32_t k) {
    if (k < 0) return;
    values[0] = 1.0;
    if (k >= 1) values[1] = x;
    for (int i = 2; i <= k; ++i) values[i] = ((2.0 * i - 1.0) * x * values[i - 1] - (i - 1.0) * values[i - 2]) / i;
}

double LegendreSeries(double x, const double* c, int32_t k) {
    if (k < 0) return 0.0;
    double older = 1.0, old = x;
    double s = c[0] * older;
    if (k >= 1) s += c[1] * old;
    for (int i = 2; i <= k; ++i) {
        const double p = ((2.0 * i - 1.0) * x * old - (i - 1.0) * older) / i;
        s += c[i] * p;
        older = old;
        old = p;
    }
    return s;
}

int32_t LegendreToPower(int32_t order, const double* T, const double* c, double* out) {
    if (order < 0) return -1;
    for (int j = 0; j <= order; ++j) out[j] = 0.0;
    out[0] += c[0];
    if (order >= 1) out[1] += c[1];
    for (int k = 2; k <= order; ++k)
        for (int j = 0; j <= k; ++j) out[j] += c[k] * T[LegendreTriangleIndex(k, j)];
    return 0;
}
