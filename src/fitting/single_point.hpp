// Single-point calibration: a straight line through the one matched peak
// that borrows its intercept from another segment's calibration.
#pragma once

#include <cstdint>

#include "masscal/calib.h"

// 1 when p is the identity mass function m (order 1, c0 exactly 0, c1
// exactly 1), else 0.
int32_t IsIdentityCalibration(const RawCalibCoEffs* p);

// Fills ErrorFunc from the one match, borrowing c0 from the first
// non-identity per-function calibration of TofCalib other than the one of
// segment s (index s - 1). Status 0, -13 (order not 1), -14 (not exactly one
// match), -15 (nothing to borrow from).
int32_t CalSinglePointCalibration(CalRecord* rec, int32_t segment);
