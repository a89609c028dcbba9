// The covariance of a fitted polynomial's coefficients, packed as the lower
// triangle of a 6 x 6 matrix row by row (the layout CCalCovar reads), and the
// confidence band it gives. The packed arrays may be the 4-aligned members
// of a calibration record: they are only ever copied bytewise.
#pragma once

#include <cstdint>

// Element (i, j) of the packed triangle, in either order of i and j.
constexpr int CovarIndex(int i, int j) { return i >= j ? i * (i + 1) / 2 + j : j * (j + 1) / 2 + i; }

// Covariance of the solution of a least-squares problem solved by singular
// value decomposition: C = dScale * V diag(1/W^2) V^T, where a zero W(k) (cut
// by the caller) drops out. V holds n rows of n values (row pointers, 0-based),
// W n values. Fills the first nCovar (at most 21) packed values; elements of
// coefficients beyond the sixth are not kept. Returns 0, or -1 when an
// argument is unusable (then nothing is written).
int32_t MakeCovariances0(const double* const* V, const double* W, int32_t n, double dScale, double* pCovar,
                         int32_t nCovar);

// The covariance after a linear change of the coefficients, new = M old:
// C' = M C M^T over the first n (at most 6) coefficients. M is n x n,
// row-major. Elements of the packed triangle beyond coefficient n - 1 are
// left as they are. Returns 0, or -1 for an unusable argument.
int32_t TransformCovariances(const double* M, int32_t n, double* pCovar);

// For a change of abscissa x' = x * dBase, under which coefficient j of the
// polynomial is divided by dBase^j (as the calibration driver does with 1000
// after fitting masses in thousands): element (i, j) of the packed triangle
// is divided by dBase^i and then by dBase^j. Returns 0, or -1 when dBase is
// 0 or not finite.
int32_t DivideCovariancesByPowers(double* pCovar, double dBase);

// Half-width of the 95 % confidence band (1.96 standard deviations) of a
// polynomial of order nOrder with packed coefficient covariance pCovar, at
// the masses fLow + i * fStep, i = 0..nPoints-1, into pOut. With bRootMass
// the polynomial is a function of sqrt(mass) that gives root-mass errors, and
// the band is converted to amu: a root-mass error e at s = sqrt(mass) is a
// mass error of about 2 s e. Returns 0, or -1 for an unusable argument
// (nothing is written).
int32_t GetVariances(int32_t bRootMass, const double* pCovar, int32_t nOrder, float fLow, float fStep,
                     int32_t nPoints, float* pOut);
