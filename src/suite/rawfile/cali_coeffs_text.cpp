#include "suite/rawfile/cali_coeffs_text.hpp"

#include <cstring>
#include <string>

#include "masscal/polynomial.hpp"

int RawFormatCaliCoeffs(const RawCalibCoEffs* rec, char* text, std::size_t size) {
    if (size == 0) return 0;
    CCalibPolynomial poly(rec);
    const char* s = poly;
    std::size_t n = std::strlen(s);
    if (n >= size) n = size - 1;
    std::memcpy(text, s, n);
    text[n] = '\0';
    return static_cast<int>(n);
}

int RawParseCaliCoeffs(RawCalibCoEffs* rec, const char* text) {
    const std::string line(text, std::strcspn(text, "\r\n"));
    const CCalibPolynomial poly(line.c_str());
    const RawCalibCoEffs* shared = poly;
    std::memcpy(rec, shared, sizeof *rec);
    return 1;
}
