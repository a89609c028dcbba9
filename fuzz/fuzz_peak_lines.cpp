// apply's peak-list rewriter: every line comes out with its line end, only
// the mass field changes, and a calibration giving no finite mass is
// refused.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "peak_line_rewrite.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    cli::PeakRewrite out;
    // The identity keeps every line; a mass above 1e6 overflows.
    const bool ok = cli::rewrite_peak_masses(
        text, [](double m) { return std::fabs(m) > 1e6 ? HUGE_VAL : m; }, out);
    if (!ok) {
        if (out.error.empty()) __builtin_trap();
        return 0;
    }
    std::size_t lines_in = 0, lines_out = 0;
    for (char c : text) lines_in += c == '\n';
    for (char c : out.text) lines_out += c == '\n';
    if (lines_in != lines_out || out.peaks < 0) __builtin_trap();
    if (out.peaks == 0 && out.text != text) __builtin_trap();
    return 0;
}
