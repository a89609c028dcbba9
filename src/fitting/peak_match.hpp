// Automatic peak matching: anchor on one confident match near the middle of
// the reference list within the initial error, then walk outward predicting
// each next reference peak from the reference spacings and the last accepted
// data peak, taking the most intense data peak within the peak window.
#pragma once

#include <cstdint>

#include "masscal/calib.h"

// Matches DataPeaks to RefPeaks and fills MatchPeaks, Errors, RootErrors and
// nMaxUnmatched. The number of matched reference peaks (>= 1), -10 when no
// anchor is found, -2 without memory.
int32_t CalMatchPeaks(CalRecord* rec);

// The matching itself: matchIndex[r + 1] receives the data index matched to
// reference peak r, or -1 (matchIndex has ref->nCount + 1 entries). Data
// intensities are negated while the walks run and come back as absolute
// values. Result as CalMatchPeaks.
int32_t MatchPeakLists(CalPeakList* data, const CalPeakList* ref, const CalParams* params, int32_t* matchIndex);

// The anchor: reference peaks from the middle outward (half, half, half - 1,
// half + 1, ...), the first whose window of +-InitialError holds a data peak
// of at least the threshold. 1 with both indices set, else 0.
int32_t FindAnchorPeak(const CalPeakList* data, const CalPeakList* ref, const CalParams* params, float threshold,
                       int32_t* dataIndex, int32_t* refIndex);

// Index of the most intense of the ascending masses in (low, high], the
// lowest-mass one on equal intensities; -1 when the window is empty.
int32_t FindPeakInWindow(const float* masses, const float* intensities, int32_t count, float low, float high);

// Threshold / 100 times the largest data intensity (0 without data peaks).
double IntensityThreshold(const CalPeakList* data, const CalParams* params);

// The spacings d(k) = mass(k + 1) - mass(k) of the reference peaks, in a
// block of this thread that lives until the call with bRelease set frees it;
// null when it cannot be allocated (or after release).
float* ReferenceSpacings(const CalPeakList* ref, int32_t bRelease);

// Copies the matches into MatchPeaks, Errors and RootErrors in reference
// order, leaving out data peaks flagged 0x02 or 0x10 when detail is
// available, never beyond the capacity of the arrays it writes; sets
// MatchPeaks.nCount, MatchPeaks.bDetail and nMaxUnmatched.
void BuildMatchedPeaks(CalRecord* rec, const int32_t* matchIndex);
