// A settings file read the way the library reads its values: the
// calibration parameters and the list of system files behind the default
// time-of-flight calibration file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "input_file.hpp"
#include "masscal/params.h"
#include "masscal/tofcal.h"
#include "suite/settings/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool named = (setenv("MASSCAL_SETTINGS", fuzzing::input_path("fuzz_settings"), 1), true);
    (void)named;
    const char* path = fuzzing::input_path("fuzz_settings");
    if (!fuzzing::store_input(path, data, size)) return 0;

    CalParams p;
    std::memset(&p, 0, sizeof p);
    CalParamsGetIniFile("Calibration", &p);
    RawFileRef ref;
    std::memset(&ref, 0, sizeof ref);
    GetTofCalFile("SavedCalibration", &ref);
    // Every field stays terminated within its room.
    if (strnlen(ref.szDirectory, sizeof ref.szDirectory) == sizeof ref.szDirectory ||
        strnlen(ref.szName, sizeof ref.szName) == sizeof ref.szName ||
        strnlen(ref.szExtension, sizeof ref.szExtension) == sizeof ref.szExtension)
        __builtin_trap();
    return 0;
}
