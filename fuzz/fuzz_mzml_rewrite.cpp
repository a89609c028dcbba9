// mzML rewriting: any document either is refused with a message or gives a
// copy the reader can open whenever it could open the original.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mzml/mzml_backend.hpp"
#include "mzml/mzml_rewrite.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string out, error;
    std::size_t rewritten = 0;
    if (!masscal::dm::rewrite_mzml(text, [](double x) { return x * 1.0001 + 0.01; }, out, rewritten, error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    std::string why;
    const bool before = masscal::dm::parse_mzml(text, "in", why) != nullptr;
    const bool after = masscal::dm::parse_mzml(out, "out", why) != nullptr;
    // Masses pushed past what a float holds are the one thing the reader may
    // refuse in a copy of a file it read.
    if (before && !after && why.find("is not a usable number") == std::string::npos) __builtin_trap();
    return 0;
}
