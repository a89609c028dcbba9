// Reading reference files: the path of a reference, the parser and the
// sorted insertion beneath the exported readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "masscal/reference.h"

// Inserts mass (and intensity, when the array is given) after the peaks of
// smaller or equal mass. 0 when the list already holds CAL_REF_CAPACITY
// peaks (or its count is not a valid one), else 1.
int32_t CalInsertPeak(float* masses, float* intensities, int32_t* count, float mass, float intensity);

namespace masscal::engine {

// The file's path: directory, '/' unless it already ends in '/' or '\' (an
// empty one does not), name, and "." and the extension when there is one.
// False when the reference is not of kind 19 or the path does not fit in
// 260 characters with its terminator (out, at least 260 bytes).
bool reference_path(const RawFileRef* ref, char* out, std::size_t size);
// Parses size bytes of reference text (text[size] must be 0) into the list,
// keeping peaks in range. A full list ends the parse with the too-many-peaks
// message (in the error buffer and a message box owned by owner). Returns 1.
int32_t parse_reference_text(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                              int32_t* count, float low, float high);
// The same for a lock-mass list (.csv): "m/z,MS level,charge" lines, each
// mass with intensity 100.
int32_t parse_lock_mass_csv(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                            int32_t* count, float low, float high);
// The masses of a lock list in double precision, as the lines of a
// reference file (csv false) or of a lock-mass list (csv true) give them:
// ascending, each once. False with a one-line reason when a mass is not
// positive, there is none, or there are more than CAL_REF_CAPACITY.
bool parse_lock_masses(const char* text, std::size_t size, bool csv, std::vector<double>& masses, std::string& why);

}  // namespace masscal::engine
