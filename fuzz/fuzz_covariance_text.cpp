// Covariance texts: parse, print, parse again; the second reading must give
// the first one's values bit for bit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "suite/covariance/cal_covar.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);
    const CCalCovar a(false, s.c_str());
    double first[21];
    if (a.GetCovariances(first, 1024) != 21) __builtin_trap();

    char text[512];
    const int n = a.Format(text, sizeof text);
    if (n < 0 || static_cast<std::size_t>(n) != std::strlen(text)) __builtin_trap();
    if (n == 0) return 0;  // too long for the buffer: nothing to read back
    const CCalCovar b(true, text);
    double second[21];
    b.GetCovariances(second, 21);
    if (std::memcmp(first, second, sizeof first) != 0 || a.GetOrder() != b.GetOrder()) __builtin_trap();
    return 0;
}
