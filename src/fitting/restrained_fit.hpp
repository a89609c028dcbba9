// The restrained calibration fit: a polynomial in the Legendre basis whose
// roughness (the integral of products of second derivatives over the mass
// range) is penalised, with the noise scale alpha >= 1 on the stated
// uncertainties chosen by minimising an objective with Brent's method.
#pragma once

#include <cstdint>

// What the objective needs for one value of alpha. The design matrix has
// n + order - 1 rows of order + 1 values; omega is the Cholesky factor of the
// roughness matrix ((order - 1)^2 values, row-major, factor in the lower
// triangle).
struct RestrainedFitContext {
    int32_t n;
    int32_t order;
    const float* x;
    const float* y;
    const float* w;
    double** design;
    double** V;
    double* W;
    double* c;
    double* rhs;
    const double* omega;
    double* chisq;
    // The first failure of a decomposition or back-substitution (0: none),
    // so that a solution that was never computed is not reported as a fit.
    int32_t status;
};

// Fits order + 1 Legendre coefficients to (x, y) with weights w (1 /
// uncertainty), penalised over [a, b] with the roughness weight phi. Fills
// coeffs[0..order] (power series), covar[0..ncov-1] (at most 21: the packed
// covariance of the power-series coefficients) and *chisq. Status 0; -2
// without memory or when (b - a) * phi is not positive; -1 when the
// roughness matrix is not positive definite, for order > 5, or for fewer
// than 2 points; -3 when a decomposition does not converge. With rootScale
// > 0 the abscissa is mass / rootScale, [a, b] the square roots of the mass
// limits, and the roughness is measured as on root masses (below).
int32_t RestrainedFit(const float* x, const float* y, const float* w, int32_t n, double a, double b, double phi,
                      int32_t order, double* coeffs, double* covar, int32_t ncov, double* chisq,
                      double rootScale = 0.0);

// n ln(alpha) + chi^2 / 2 + roughness + alpha of the penalised solution at
// alpha, which it leaves in the context (c, W, V, *chisq); the largest finite
// double for alpha < 1, and also when the solution could not be computed
// (the context's status then says why).
double RestrainedObjective(double alpha, RestrainedFitContext* context);

// Roughness matrix of P2..P(order) over [a, b], divided by (b - a) * phi,
// with the diagonal doubled; (order - 1)^2 values from the heap, row-major.
// Null without memory, for order < 2, or when (b - a) * phi is not positive.
double* MakeRoughnessMatrix(double a, double b, double phi, int32_t order, const double* T);

// The roughness matrix for a fit on x = mass / scale, measured as a fit on
// root masses measures it: the curve e(x) is taken as the root-mass error
// e / (2u) at u = sqrt(mass), and its second derivative in u is integrated
// over [a, b] (square roots of the mass limits). One roughness weight then
// smooths a curve alike in both modes; lines in x stay free of penalty.
// Layout, scaling and nulls as MakeRoughnessMatrix (also for a <= 0).
double* MakeRootMeasureRoughnessMatrix(double a, double b, double phi, double scale, int32_t order, const double* T);

// In-place Cholesky factor of the m x m row-major matrix a into its lower
// triangle, reading the upper triangle (which keeps the input). 0, or -1
// when a pivot is not positive.
int32_t CholeskyDecompose0(double* a, int32_t m);

// RMS of the weighted residuals of the weighted straight-line fit of y on x
// (weights w squared); 0 when the line is not determined.
double LineFitRms(const float* x, const float* y, const float* w, int32_t n);
