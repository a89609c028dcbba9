#include "platform/c_locale.hpp"

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace masscal::platform {
namespace {

locale_t c_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

class ScopedCLocale {
public:
    ScopedCLocale() : previous_(uselocale(c_locale())) {}
    ~ScopedCLocale() { uselocale(previous_); }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    locale_t previous_;
};

}  // namespace

int c_vsnprintf(char* buf, std::size_t size, const char* fmt, std::va_list ap) {
    ScopedCLocale scope;
    return std::vsnprintf(buf, size, fmt, ap);
}

int c_snprintf(char* buf, std::size_t size, const char* fmt, ...) {
    std::va_list ap;
    va_start(ap, fmt);
    const int n = c_vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return n;
}

double c_atof(const char* s) { return strtod_l(s, nullptr, c_locale()); }

int c_atoi(const char* s) {
    const long v = strtol_l(s, nullptr, 10, c_locale());
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace masscal::platform
