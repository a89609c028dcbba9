#include "suite/utility/ftoa.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/c_locale.hpp"

using masscal::platform::c_snprintf;

char* ftoa(double value, char* buffer, int precision) {
    if (!buffer) return buffer;
    if (std::isnan(value)) {
        std::strcpy(buffer, "nan");
        return buffer;
    }
    if (std::isinf(value)) {
        std::strcpy(buffer, value < 0 ? "-inf" : "inf");
        return buffer;
    }
    const int p = std::clamp(precision, 0, 15);
    const int digits = std::max(p, 1);
    const double a = std::fabs(value);
    if (a != 0.0 && (a >= 1e15 || a < 1e-6)) {
        c_snprintf(buffer, kFtoaBufferSize, "%.*e", digits - 1, value);
        return buffer;
    }
    int decimals = p;
    if (a != 0.0 && a < 1.0) {
        const int zeros = -static_cast<int>(std::floor(std::log10(a))) - 1;  // after the point, before the digits
        decimals = std::max(p, zeros + digits);
    }
    c_snprintf(buffer, kFtoaBufferSize, "%.*f", decimals, value);
    if (buffer[0] == '-' && std::strspn(buffer + 1, "0.") == std::strlen(buffer + 1))
        std::memmove(buffer, buffer + 1, std::strlen(buffer));
    return buffer;
}
