// Weights of the calibration fit: from per-peak mass uncertainties, from
// intensities, or all one.
#pragma once

#include <cstdint>

#include "masscal/calib.h"

// weights[i] = 1 / uncertainty[i] where the uncertainty is positive and 1
// where it is not; without uncertainties sqrt(intensity[i]) when
// useIntensity is set, else 1. Arrays 1-based, i = 1..n.
void MakeFitWeights(const float* intensity, const float* uncertainty, float* weights, int32_t useIntensity,
                    int32_t n);
// The same on 0-based arrays (i = 0..n-1).
void MakeFitWeightsPoints0(const float* intensity, const float* uncertainty, float* weights, int32_t useIntensity,
                           int32_t n);

// Whether the matched peaks' widths serve as mass uncertainties (and with
// them whether the restrained fit may run): the list carries its detail
// arrays and at least one of the nCount widths is a positive number.
bool MatchWidthsAreUncertainties(const CalRecord* rec);
