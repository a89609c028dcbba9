// Charge inference: reduces isotope clusters of multiply charged ions to one
// peak each, with the inferred charge state.
#pragma once

#include <cstdint>

// Spacing of neighbouring isotope peaks of charge 1 (13C minus 12C, amu).
constexpr double kIsotopeSpacing = 1.0033548;
// Mass of a proton-carrying hydrogen as used for singly protonated masses.
constexpr double kProtonatedShift = 1.00782;

// masses/intensities: n peaks in ascending mass (*count = n on entry).
// Peaks of intensity 0 or less, and peaks outside the nominal mass range
// [lowMass - 0.5, highMass + 0.5], take no part. Clusters are grown from the
// most intense free peak: for each charge z up to maxCharge (at most 8) the
// run of neighbours at k * kIsotopeSpacing / z, both up and down, each
// within tolerance * spacing / 4 of where it is expected, is counted; the
// charge with the longest run wins (a tie goes to the lower charge, a peak
// without neighbours is charge 1). The cluster's lowest member is its
// monoisotopic peak; the result is its singly protonated mass
// (m - 1.00782) * z + 1.00782, the summed intensity of the members and z.
// On return *count is the number of results (at most n), in the order the
// clusters were found (most intense first). Returns 1, or 0 for bad
// arguments (nothing written then).
int InferMassesMultiplyCharged1_C(int reserved, const float* masses, const float* intensities, int* count,
                                  float tolerance, int lowMass, int highMass, int maxCharge, float* outMasses,
                                  float* outIntensities, int* outCharges);
