// Spectrum combine: one spectrum from a range of scans of a function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/backend.hpp"
#include "masscal/calib.h"
#include "suite/datamanager/datamanager.hpp"

namespace masscal::combine {

// The settings block of the callers: first scan, number of scans, then the
// eleven settings below (32-bit each; floats where marked). 0 in a setting
// marked "0 = default" means its default.
constexpr int kBlockValues = 13;
enum Setting : int {
    kFirstScan = 0,
    kScanCount = 1,
    kMode = 2,            // 1 = sum of the scans, 2 = mean; other = sum
    kMinScans = 3,        // centroid: a merged peak must be seen in this many scans (0, 1 = any)
    kMergeCentroids = 4,  // centroid: 1 = merge peaks within the tolerance, 0 = keep every peak
    kToleranceUnit = 5,   // 0 = ppm, 1 = amu
    kIntensityScale = 6,  // float: factor on the combined intensities; 0 = 1
    kTolerance = 7,       // float: centroid merge tolerance in kToleranceUnit; 0 = 10 ppm or 0.01 amu
    kGridTolerance = 8,   // float, ppm: profile points of different scans this close are one point; 0 = 1
    // 9 to 12: reserved, 0.
};

// The request record CombineExt takes.
constexpr std::size_t kRequestSize = 100;
constexpr std::size_t kReqFirstScan = 0;   // int32
constexpr std::size_t kReqScanCount = 24;  // int32
constexpr std::size_t kReqOne = 48;        // int32, 1
constexpr std::size_t kReqSettings = 52;   // the eleven settings, 52..92
constexpr std::size_t kReqZero = 96;       // int32, 0

struct Settings {
    bool mean = false;
    int minScans = 0;
    bool mergeCentroids = true;
    bool toleranceInAmu = false;
    float intensityScale = 1.0f;
    float tolerance = 10.0f;
    float gridTolerancePpm = 1.0f;
};

// The eleven settings of a request (null = defaults).
Settings settings_from_request(const void* request);

// Sum (or mean) of the spectra: profile spectra on the merged grid of all
// their points, each scan interpolated linearly inside its own range (0
// outside it); centroid spectra by merging peaks within the tolerance of the
// running intensity-weighted mass of a group, a tolerance in ppm widened to
// four times the scan-to-scan scatter of the centroids (the median distance
// from a peak to the nearest of the next scan, within 500 ppm; at least ten
// such distances), so that one
// ion gives one centroid at any resolution. Channels present in every
// input survive: flags are or-ed, widths intensity-weighted, extra taken
// from the most intense peak of a group.
dm::Spectrum combine_spectra(const std::vector<dm::Spectrum>& scans, bool continuum, const Settings& s);

// How far the centroids of one ion wander from scan to scan, in ppm: the
// median distance from a peak to the nearest peak of the next scan, over at
// most 32 pairs of scans, distances beyond 500 ppm (other ions) left out.
// 0 with fewer than 10 such distances, too few to say.
double centroid_scatter_ppm(const std::vector<dm::Spectrum>& scans);

}  // namespace masscal::combine

// Combines scans first .. first + count - 1 (cut to the function's scans) of
// function nFunction of the reference's file and keeps the result in the data
// manager. Returns a function handle of the result (its number at the single
// word of the locked identifier), null on failure with dm_last_error() set.
masscal::dm::DmHandle CombineExt(CalWnd owner, int reserved1, int reserved2, const RawFileRef* ref, int reserved3,
                                 const void* request, std::uint16_t ownerIsWindow);

// Replaces values of the 13-value settings block with those of the section
// in the host's settings (keys FirstScan, NumberOfScans, Mode, MinScans,
// MergeCentroids, ToleranceUnit, IntensityScale, Tolerance, GridTolerance);
// keys that are missing or not numbers keep their values. 1 on success, 0
// when the settings cannot be opened.
int CombineGetIniFile(const char* section, std::int32_t* block);
