// Brent's one-dimensional minimisation: parabolic interpolation with
// golden-section steps, on the interval between ax and cx from bx.
#pragma once

#include <cstdint>

using BrentObjective = double (*)(double x, void* context);

// Stores the abscissa of the minimum in *xmin; 0 when it converged to
// tol * |x| + 1e-10, -1 after 100 iterations (the last point is stored).
// The objective is called once at bx and once per iteration.
int32_t BrentMinimize(double ax, double bx, double cx, BrentObjective f, void* context, double tol, double* xmin);
