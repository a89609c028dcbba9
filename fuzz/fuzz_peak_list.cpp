// Peak-list text: parse, then describe and read every scan of every function.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/peak_list_backend.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    auto f = masscal::dm::parse_peak_list(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.txt", error);
    if (!f) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    for (int fn = 1; fn <= f->functionCount(); ++fn) {
        masscal::dm::FunctionDescription d;
        if (!f->describe(fn, d)) __builtin_trap();
        for (int s = 1; s <= d.scanCount; ++s) {
            masscal::dm::Spectrum sp;
            if (!f->readScan(fn, s, sp, error)) __builtin_trap();
            for (std::size_t i = 1; i < sp.mass.size(); ++i)
                if (sp.mass[i] < sp.mass[i - 1]) __builtin_trap();
            if (sp.intensity.size() != sp.mass.size()) __builtin_trap();
        }
    }
    return 0;
}
