// Pieces shared by the two shapes of time-of-flight section.
#pragma once

#include <cstddef>

#include "masscal/records.h"

namespace masscal::calfile {

// "TOF", or "TOF<type>" for a mode's own section.
void tof_section_name(char* out, std::size_t size, const tagHASCALTYPE* type);

// The reflectron list as written: each value "%f " (six decimals and one
// space), joined.
void format_reflectron(char* out, std::size_t size, const float* values, int count);

// Reads the Reflectron list of section into values (at most 12; values
// past the list keep their contents).
void read_reflectron(const char* file, const char* section, float* values);

// A non-empty CalTemperature replaces *value.
void read_cal_temperature(const char* file, const char* section, float* value);

// The real-valued keys of both shapes are written with this format.
extern const char kTofReal[];

}  // namespace masscal::calfile
