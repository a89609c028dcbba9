#include "calfile/profile_keys.hpp"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "masscal/polynomial.hpp"
#include "platform/c_locale.hpp"
#include "suite/covariance/cal_covar.hpp"
#include "suite/fileaccess/profile.hpp"

using masscal::platform::c_atof;
using masscal::platform::c_atoi;
using masscal::platform::c_snprintf;

namespace masscal::calfile {

namespace {
constexpr int kCovarianceValues = 21;
static_assert(sizeof(RawCalibCoEffs::dCovar) == kCovarianceValues * sizeof(double));
}  // namespace

void numbered_key(char* out, std::size_t size, const char* word, int n) {
    // The key form of existing files; the '0' flag is redundant next to the
    // precision, which the compiler points out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
    std::snprintf(out, size, "%s%0.3d", word, n);
#pragma GCC diagnostic pop
}

void read_text(const char* file, const char* section, const char* key, char* out, int size) {
    CFileAccess::GetPrivateProfileStringSA(section, key, "", out, static_cast<std::uint32_t>(size), file);
}

int read_int(const char* file, const char* section, const char* key) {
    return static_cast<int>(CFileAccess::GetPrivateProfileIntSA(section, key, 0, file));
}

int read_int_text(const char* file, const char* section, const char* key) {
    char buf[kValueBufferSize];
    read_text(file, section, key, buf, sizeof buf);
    return c_atoi(buf);
}

float read_float(const char* file, const char* section, const char* key) {
    char buf[kValueBufferSize];
    read_text(file, section, key, buf, sizeof buf);
    return static_cast<float>(c_atof(buf));
}

void write_text(const char* file, const char* section, const char* key, const char* value) {
    CFileAccess::WritePrivateProfileStringSA(section, key, value, file);
}

void write_field(const char* file, const char* section, const char* key, const char* field, std::size_t size) {
    char buf[kValueBufferSize];
    const std::size_t n = strnlen(field, size < sizeof buf ? size : sizeof buf - 1);
    std::memcpy(buf, field, n);
    buf[n] = '\0';
    write_text(file, section, key, buf);
}

void write_int(const char* file, const char* section, const char* key, int value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d", value);
    write_text(file, section, key, buf);
}

void write_real(const char* file, const char* section, const char* key, const char* fmt, double value) {
    // "%f" of a float near its largest value needs about 50 characters.
    char buf[kValueBufferSize];
    c_snprintf(buf, sizeof buf, fmt, value);
    write_text(file, section, key, buf);
}

void read_polynomial(const char* file, const char* section, const char* key, RawCalibCoEffs* rec) {
    char buf[kValueBufferSize];
    read_text(file, section, key, buf, sizeof buf);
    const CCalibPolynomial poly(buf);
    const RawCalibCoEffs* shared = poly;
    std::memcpy(rec, shared, sizeof *rec);
}

void write_polynomial(const char* file, const char* section, const char* key, const RawCalibCoEffs* rec) {
    CCalibPolynomial poly(rec);
    write_text(file, section, key, static_cast<const char*>(poly));
}

void read_covariance(const char* file, const char* section, const char* key, RawCalibCoEffs* rec) {
    char buf[kValueBufferSize];
    read_text(file, section, key, buf, sizeof buf);
    const CCalCovar covar(false, buf);
    // The record's doubles are only 4-aligned: copy through an aligned array.
    double values[kCovarianceValues] = {};
    covar.GetCovariances(values, kValueBufferSize);
    std::memcpy(reinterpret_cast<char*>(rec) + offsetof(RawCalibCoEffs, dCovar), values, sizeof values);
}

void write_covariance(const char* file, const char* section, const char* key, const RawCalibCoEffs* rec) {
    double values[kCovarianceValues];
    std::memcpy(values, reinterpret_cast<const char*>(rec) + offsetof(RawCalibCoEffs, dCovar), sizeof values);
    const CCalCovar covar(false, values, rec->nOrder, 1.0);
    char buf[kCovarianceBufferSize];
    buf[0] = '\0';
    covar.Format(buf, sizeof buf);
    write_text(file, section, key, buf);
}

}  // namespace masscal::calfile
