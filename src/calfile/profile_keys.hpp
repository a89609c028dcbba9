// Small typed accessors over the private-profile functions, shared by the
// calibration file's section readers and writers. Missing keys read as 0,
// 0.0 or the empty text.
#pragma once

#include <cstddef>

#include "masscal/records.h"

namespace masscal::calfile {

// Values are read through a buffer of this size.
constexpr int kValueBufferSize = 1024;
// The covariance text is formatted into a buffer of this size.
constexpr int kCovarianceBufferSize = 512;

// "<word><n in at least three digits>": Polynomial001, FUNCTIONS032.
void numbered_key(char* out, std::size_t size, const char* word, int n);

// Reads the value text into out (cut to size - 1, terminated).
void read_text(const char* file, const char* section, const char* key, char* out, int size);
int read_int(const char* file, const char* section, const char* key);
// Read as text and converted, where the profile's own integer reading is
// not wanted.
int read_int_text(const char* file, const char* section, const char* key);
float read_float(const char* file, const char* section, const char* key);

void write_text(const char* file, const char* section, const char* key, const char* value);
// A fixed-size text field of a record, which may lack its terminator.
void write_field(const char* file, const char* section, const char* key, const char* field, std::size_t size);
void write_int(const char* file, const char* section, const char* key, int value);
// fmt is one real conversion ("%f", "%.7f").
void write_real(const char* file, const char* section, const char* key, const char* fmt, double value);

// The calibration polynomial text of one record. Reading replaces the
// whole record, clearing its standard deviation and covariance.
void read_polynomial(const char* file, const char* section, const char* key, RawCalibCoEffs* rec);
void write_polynomial(const char* file, const char* section, const char* key, const RawCalibCoEffs* rec);

// The covariance text of one record (its dCovar values).
void read_covariance(const char* file, const char* section, const char* key, RawCalibCoEffs* rec);
void write_covariance(const char* file, const char* section, const char* key, const RawCalibCoEffs* rec);

}  // namespace masscal::calfile
