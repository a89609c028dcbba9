// Mass measure: turns a profile (continuum) spectrum into centroids, one per
// peak, each with a width estimate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/backend.hpp"
#include "masscal/calib.h"
#include "suite/datamanager/datamanager.hpp"

namespace masscal::mm {

// The host's 3,176-byte settings block. Only the first bytes are used; a
// zero in any field means its default, so an all-zero block is the default
// set-up.
constexpr std::size_t kBlockSize = CAL_MASS_MEASURE_BYTES;
constexpr std::size_t kMinIntensity = 0;      // float: apex threshold (absolute); 0 = none
constexpr std::size_t kSignalToNoise = 4;     // float: apex above noise; 0 = 5, negative = no noise test
constexpr std::size_t kTopFraction = 8;       // float: share of the apex whose points give the centroid; 0 = 0.8
constexpr std::size_t kMinPoints = 12;        // int32: fewest points in that top; 0 = 1
constexpr std::size_t kWidthScale = 16;       // float: factor on the centroid uncertainty; 0 = 1
constexpr std::size_t kRelativeThreshold = 20;  // float: apex threshold as a share of the base peak; 0 = none
constexpr std::size_t kMinDip = 24;     // float: the dip (in noise units) below the lower of two neighbouring
                                        // maxima that makes them two peaks; 0 = 1, negative = any dip
constexpr std::size_t kWeighting = 28;  // int32: centroid weights, 0 = intensities, 1 = intensity above the top level

struct Settings {
    float minIntensity = 0.0f;
    float signalToNoise = 5.0f;  // <= 0: off
    float topFraction = 0.8f;
    int minPoints = 1;
    float widthScale = 1.0f;
    float relativeThreshold = 0.0f;
    float minDip = 1.0f;         // < 0: every local maximum is a peak
    bool weightAboveLevel = false;
};

// Reads the block (null = defaults); out-of-range values fall back to the
// defaults.
Settings settings_from_block(const void* block);

// Centroids of a profile spectrum with ascending masses: a local maximum
// whose apex passes the thresholds, and whose dip to any higher neighbouring
// maximum is at least minDip noise units, is one peak; its mass is the
// intensity-weighted mean of the contiguous points around the apex at or
// above topFraction of the apex (stopping before a valley shared with the
// next peak; a top narrower than a third of the contiguous points above
// half height, as noise leaves on a broad peak, gives way to those points,
// weighted by their height above it), its intensity the apex, and its width channel the standard
// deviation of that mean (amu) times widthScale: the noise spread (see
// estimate_noise) times sqrt(sum of (m_j - centroid)^2 over the top) over
// the sum of the weights, so it shrinks in proportion to the signal; a
// one-point top gets its sample spacing / sqrt(12).
dm::Spectrum centroid_profile(const float* mass, const float* intensity, std::size_t n, const Settings& s);

// The noise estimate used by the signal-to-noise test: baseline (median) and
// spread (1.4826 median absolute deviation), from at most 65,536 points. The
// test itself floors the spread at 0.1 % of the base peak above baseline.
void estimate_noise(const float* intensity, std::size_t n, float& baseline, float& noise);

}  // namespace masscal::mm

// Centroids the spectrum ref names (its function nFunction and scan nIndex,
// or its in-memory spectrum) and keeps the result in the data manager.
// Returns a function handle of the result, whose locked identifier holds its
// number at the single word; null on failure (dm_last_error() says why).
masscal::dm::DmHandle MassMeasureSpectrum(CalWnd owner, const RawFileRef* ref, const void* block, int reserved1,
                                          int reserved2);
