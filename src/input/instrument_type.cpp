#include <cstring>

#include "input/spectrum_input.hpp"
#include "suite/settings/settings.hpp"

int32_t CalGetInstrumentType() {
    const bool opened = IsIniLoaded() == 0;
    if (opened && !InitIni(0)) return 0;
    char name[81] = {};
    GetIniString("Acquisition", "Instrument", "", name, 81);
    if (opened) FreeIni(0, 0);
    if (std::strcmp(name, "TALVEX2") == 0) return 1;
    if (std::strcmp(name, "TALVEXPRIME") == 0) return 2;
    return 0;
}
