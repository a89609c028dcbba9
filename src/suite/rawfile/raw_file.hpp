// What the raw file library offers the calibration: a calibration
// polynomial record as one line of text, and whether a function is
// calibrated in square-root-of-mass space.
#pragma once

#include <cstddef>

#include "masscal/records.h"

// Writes the text of rec into text (cut to size, terminated); returns its
// length.
int RawFormatCaliCoeffs(const RawCalibCoEffs* rec, char* text, std::size_t size);
// Replaces the whole record by the polynomial of text (standard deviation
// and covariance become 0). The text ends at the first line end. Returns 1.
int RawParseCaliCoeffs(RawCalibCoEffs* rec, const char* text);

// Non-zero when the function information (the data manager's buffer) says
// so.
int RawIsRootMassCalibration(const void* functionInfo);
