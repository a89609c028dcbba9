// Lists of numbers in a calibration file value.
#pragma once

namespace masscal::calfile {

// Reads up to max numbers from text, separated as CCalFile::ReadFloat
// separates them, into values; stops at the end of the text or where no
// number follows. Returns the count read; values past it are untouched.
int read_float_list(const char* text, float* values, int max);

}  // namespace masscal::calfile
