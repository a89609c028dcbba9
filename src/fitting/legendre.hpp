// Legendre polynomials P0..Pk: values, series, and their power-series
// coefficients as a packed triangle (coefficient j of P(k) at k(k+1)/2 + j).
#pragma once

#include <cstdint>

// Position of coefficient j of P(k) in the triangle.
constexpr int LegendreTriangleIndex(int k, int j) { return k * (k + 1) / 2 + j; }

// The triangle for P0..P(order) from the heap (release with
// masscal::platform::heap_free); null for order < 0 or without memory.
double* MakeLegendreTriangle(int32_t order);
// values[0..k] = P0(x)..Pk(x) by Bonnet's recurrence.
void LegendreValues(double x, double* values, int32_t k);
// Sum of c[i] P(i)(x), i = 0..k.
double LegendreSeries(double x, const double* c, int32_t k);
// Power-series coefficients out[0..order] of the Legendre series c[0..order].
// 0, or -1 for order < 0.
int32_t LegendreToPower(int32_t order, const double* T, const double* c, double* out);
