// mzML documents: parse, then describe and decode every scan of every function.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mzml/mzml_backend.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    auto f = masscal::dm::parse_mzml(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.mzML", error);
    if (!f) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    for (int fn = 1; fn <= f->functionCount() && fn <= 64; ++fn) {
        masscal::dm::FunctionDescription d;
        if (!f->describe(fn, d)) __builtin_trap();
        for (int s = 1; s <= d.scanCount && s <= 64; ++s) {
            masscal::dm::Spectrum sp;
            if (f->readScan(fn, s, sp, error) && sp.intensity.size() != sp.mass.size()) __builtin_trap();
        }
    }
    return 0;
}
