// A settings file read the way the library reads its values: the
// calibration parameters and the list of system files behind the default
// time-of-flight calibration file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "masscal/params.h"
#include "masscal/tofcal.h"
#include "suite/settings/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char path[128];
    static char temp[140];
    if (!path[0]) {
        std::snprintf(path, sizeof path, "/tmp/fuzz_settings_%d.ini", static_cast<int>(getpid()));
        std::snprintf(temp, sizeof temp, "%s.new", path);
        setenv("MASSCAL_SETTINGS", path, 1);
        std::atexit([] { std::remove(path); });
    }
    std::FILE* f = std::fopen(temp, "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (std::rename(temp, path) != 0) return 0;

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
