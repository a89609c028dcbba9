// The older time-of-flight text format: parse any text, write what was read
// and read it back; the second reading must give the same settings.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "calfile/tof_text.hpp"
#include "masscal/tofcal.h"

namespace {

bool same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace masscal::calfile;
    std::string text(reinterpret_cast<const char*>(data), size < kTofTextBytes ? size : kTofTextBytes);
    char line[kTofLineChars + 1];
    _TOFCALIBRATION tof;
    std::memset(&tof, 0, sizeof tof);
    parse_tof_text(text.c_str(), line, &tof);

    // Through a real file once in a while: the writer and the file reader.
    static unsigned calls = 0;
    if (++calls % 64 != 0) return 0;
    RawFileRef ref;
    std::memset(&ref, 0, sizeof ref);
    ref.wKind = CAL_FILEREF_KIND_PLAIN;
    std::snprintf(ref.szDirectory, sizeof ref.szDirectory, "/tmp/");
    std::snprintf(ref.szName, sizeof ref.szName, "fuzz_tof_text_%d", static_cast<int>(getpid()));
    std::snprintf(ref.szExtension, sizeof ref.szExtension, "cal");
    if (!CalWriteTofCalibration(&ref, &tof)) return 0;
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    if (!CalReadTofCalibration(&ref, &back)) __builtin_trap();
    char path[1024];
    std::snprintf(path, sizeof path, "/tmp/%s.cal", ref.szName);
    std::remove(path);
    if (back.nSegments != 12 || back.nInstrumentMode != tof.nInstrumentMode ||
        back.nIonisationMode != tof.nIonisationMode || (back.bPSDCalibration != 0) != (tof.bPSDCalibration != 0))
        __builtin_trap();
    // Printed with seven decimals: the values agree to that, when they fit.
    const float* a = &tof.fSourceVoltage;
    const float* b = &back.fSourceVoltage;
    for (int i = 0; i < 4; ++i)
        if (!same(a[i], b[i]) && !(std::fabs(a[i] - b[i]) <= 1e-6 * (1 + std::fabs(a[i])))) __builtin_trap();
    return 0;
}
