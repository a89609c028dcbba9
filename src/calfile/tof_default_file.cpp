// The default time-of-flight calibration file of a system.
#include <cstdio>

#include "masscal/tofcal.h"
#include "suite/utility/global_files.hpp"

extern "C" MASSCAL_API int32_t GetTofCalFile(const char* pszKey, RawFileRef* ref) {
    std::snprintf(ref->szExtension, sizeof ref->szExtension, "CAL");
    std::snprintf(ref->szDirectory, sizeof ref->szDirectory, "c:\\korvelix\\cal");
    GetGlobalFile("SystemList", pszKey, ref, ref);
    if (ref->szExtension[0] == '\0') std::snprintf(ref->szExtension, sizeof ref->szExtension, "CAL");
    if (ref->szName[0] == '\0') std::snprintf(ref->szName, sizeof ref->szName, "DEFAULT");
    return 1;
}
