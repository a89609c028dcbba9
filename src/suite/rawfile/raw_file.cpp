#include "suite/rawfile/raw_file.hpp"

#include <cstdint>
#include <cstring>
#include <string>

#include "masscal/polynomial.hpp"
#include "suite/datamanager/records.hpp"

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

int RawIsRootMassCalibration(const void* functionInfo) {
    if (!functionInfo) return 0;
    return masscal::dm::load_field<std::uint32_t>(functionInfo, masscal::dm::kInfoRootMass) != 0 ? 1 : 0;
}
