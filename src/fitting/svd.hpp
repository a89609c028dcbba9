// Singular value decomposition A = U diag(W) V^T (Golub-Reinsch) and the
// back-substitution that solves least-squares problems with it, in a 1-based
// form (arrays of the vector and matrix allocators) and a 0-based form
// (matrices as arrays of row pointers). The singular values come out
// unsorted; callers zero the small ones before back-substituting.
#pragma once

#include <cstdint>

// A is m x n (rows 1..m, columns 1..n) and is replaced by U; W gets n values,
// V n x n. Status 0; -1 when m < n (nothing changed); -2 without scratch
// memory; -3 when a singular value does not converge in 30 passes.
int32_t SvdDecompose(double** a, int32_t m, int32_t n, double* w, double** v);
// x = V diag(1/W) U^T b, where a zero W(j) drops out. b has m values, x n.
// Status 0 or -2.
int32_t SvdBackSubstitute(double* const* u, const double* w, double* const* v, int32_t m, int32_t n,
                          const double* b, double* x);

int32_t SvdDecompose0(double** a, int32_t m, int32_t n, double* w, double** v);
int32_t SvdBackSubstitute0(double* const* u, const double* w, double* const* v, int32_t m, int32_t n,
                           const double* b, double* x);

// sqrt(a^2 + b^2) without overflow or destructive underflow.
double Hypotenuse(double a, double b);
