// Weighted linear least squares in a basis given by a callback, solved by
// singular value decomposition, and the Legendre basis of the calibration
// fit.
#pragma once

#include <cstdint>

// Fills p[1..np] with the basis functions at x.
using FitBasis = void (*)(double x, double* p, int32_t np);

// Fits A[1..ma] to the points (x[i], y[i]), i = 1..ndata, minimising the sum
// of (weights[i] * residual)^2 (weights null: all 1). U (ndata x ma), V
// (ma x ma) and W (ma) receive the decomposition, with singular values below
// 5e-15 of the largest set to 0; *chisq the weighted sum of squares. All
// arrays 1-based. Status 0, or that of the decomposition, or -2 (also when
// the back-substitution has no scratch memory).
int32_t SvdFit(const float* x, const float* y, const float* weights, int32_t ndata, double* A, int32_t ma,
               double** U, double** V, double* W, double* chisq, FitBasis basis);
// The same on 0-based point arrays (x[0..ndata-1]); A, U, V, W as above.
int32_t SvdFitPoints0(const float* x, const float* y, const float* weights, int32_t ndata, double* A, int32_t ma,
                      double** U, double** V, double* W, double* chisq, FitBasis basis);

// G[1..ma][1..ma] (zero on entry): row r the power coefficients of the
// Legendre polynomial P(r-1). Returns 0.
int32_t MakeLegendreMatrix(double** G, int32_t ma);

// The basis callback of the calibration fit: p[i] = sum over j of
// G[i][j] x^(j-1) with G the fit basis matrix of this thread.
void LegendreBasis(double x, double* p, int32_t np);
// Sets the fit basis matrix that LegendreBasis reads (per thread).
void SetFitBasisMatrix(double** G);
