// The calibration polynomial fit: a weighted least-squares polynomial of the
// mass errors in the Legendre basis, or the restrained fifth-order fit when
// the coefficient restraint is on and the peaks carry mass uncertainties.
#pragma once

#include <cstdint>

#include "masscal/calib.h"

// Roughness weight of the restrained fit unless "phi.txt" overrides it.
constexpr double kDefaultRoughnessWeight = 1e-7;

// Fits the record's matches (MatchPeaks.Mass, Errors, already in the fitting
// domain) into ErrorFunc and their weights into FitWork. Status 0, -1 (too
// few points, or an order outside 0..5), -2, -3.
int32_t CalFitCalibration(CalRecord* rec);

// Fits a polynomial of the given order to the n points (x, y) with weights
// (multipliers; null: all 1), 0-based, into out; dStdDev is the RMS per
// degree of freedom, 1.0 when n <= order + 1. Status as CalFitCalibration.
int32_t CalFitPolynomial(const float* x, const float* y, const float* weights, int32_t n, RawCalibCoEffs* out,
                         int32_t order);

namespace masscal::fitting {

// The roughness weight: the first number in "phi.txt" of the current
// directory, or kDefaultRoughnessWeight.
double roughness_weight();

}  // namespace masscal::fitting
