#include "axes/ticks.hpp"

#include <cmath>

#include "platform/c_locale.hpp"

namespace masscal::axes {

TickStep nice_step(double span, int maxTicks) {
    TickStep t;
    if (!(span > 0) || !std::isfinite(span)) return t;
    if (maxTicks < 1) maxTicks = 1;
    const double raw = span / maxTicks;
    const int exponent = static_cast<int>(std::floor(std::log10(raw)));
    const double mag = std::pow(10.0, exponent);
    const double norm = raw / mag;
    int factor;
    if (norm <= 1.0 + 1e-9) factor = 1;
    else if (norm <= 2.0 + 1e-9) factor = 2;
    else if (norm <= 5.0 + 1e-9) factor = 5;
    else factor = 10;
    int e = exponent;
    if (factor == 10) {
        factor = 1;
        ++e;
    }
    t.step = factor * std::pow(10.0, e);
    t.minor = t.step / (factor == 2 ? 4 : 5);
    t.decimals = e < 0 ? -e : 0;
    return t;
}

double first_tick(double low, double step) { return std::ceil(low / step - 1e-9) * step; }

int tick_label(char* buf, int size, double value, int decimals) {
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;  // no "-0.00"
    return platform::c_snprintf(buf, static_cast<std::size_t>(size), "%.*f", decimals, value);
}

}  // namespace masscal::axes
