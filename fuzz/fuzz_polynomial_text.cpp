// Polynomial and calibration polynomial texts: parse, print, parse again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "masscal/polynomial.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string s(reinterpret_cast<const char*>(data), size);
    CPolynomial p(s.c_str());
    const std::string t = static_cast<const char*>(p);
    CPolynomial q(t.c_str());
    if (static_cast<int>(q) > static_cast<int>(p)) __builtin_trap();
    p.Calc(1.5);
    p.Deriv(-2.0);
    p.Inverse(1.0, 0.0, 10.0, 1e-9);

    CCalibPolynomial c(s.c_str());
    const char* ct = c;
    if (std::strlen(ct) >= 1024) __builtin_trap();
    RawCalibCoEffs* r = c;
    CCalibPolynomial back(r);
    back.ConvertToError();
    return 0;
}
