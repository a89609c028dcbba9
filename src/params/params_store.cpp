#include <cstdio>
#include <string>
#include <strings.h>

#include "masscal/params.h"
#include "platform/c_locale.hpp"
#include "suite/settings/settings.hpp"
#include "suite/utility/ftoa.hpp"

using masscal::platform::c_atof;
using masscal::platform::c_atoi;

namespace {

constexpr int kValueSize = 81;

// Opens the settings unless the host has them open; false when they cannot
// be had. opened tells whether this call must close them.
bool open_settings(bool& opened) {
    opened = false;
    if (IsIniLoaded()) return true;
    if (!InitIni(0)) return false;
    opened = true;
    return true;
}

struct Reader {
    const char* section;
    char buf[kValueSize];
    const char* text(const char* key, const char* def) {
        GetIniString(section, key, def, buf, kValueSize);
        return buf;
    }
    // Anything but "FALSE" (in any case) is true, so "0" and "NO" are true.
    int32_t flag(const char* key, const char* def) { return strcasecmp(text(key, def), "FALSE") != 0 ? 1 : 0; }
};

void write_real(const char* section, const char* key, float value) {
    char buf[kFtoaBufferSize];
    SetIniString(section, key, ftoa(value, buf, 2), 1);
}

void write_flag(const char* section, const char* key, int32_t value) {
    SetIniString(section, key, value ? "TRUE" : "FALSE", 1);
}

}  // namespace

extern "C" MASSCAL_API int32_t CalParamsGetIniFile(const char* pszSection, CalParams* p) {
    bool opened;
    if (!open_settings(opened)) return 0;
    Reader r{pszSection, {}};
    p->PolyOrder = c_atoi(r.text("PolyOrder", "1"));
    p->PeakWindow = static_cast<float>(c_atof(r.text("PeakWindow", "0.5")));
    p->Threshold = static_cast<float>(c_atof(r.text("Threshold", "0.01")));
    p->IntensityWeight = r.flag("IntensityWeight", "FALSE");
    p->InitialError = static_cast<float>(c_atof(r.text("InitialError", "2.0")));
    p->AutoPeakMatch = r.flag("AutoPeakMatch", "TRUE");
    p->AutoPolyOrder = r.flag("AutoPolyOrder", "TRUE");
    p->CalibrateDisplay = r.flag("CalibrateDisplay", "FALSE");
    return opened ? FreeIni(0, 0) : 1;
}

extern "C" MASSCAL_API int32_t CalParamsSetIniFile(const char* pszSection, const CalParams* p) {
    bool opened;
    if (!open_settings(opened)) return 0;
    char order[16];
    std::snprintf(order, sizeof order, "%i", p->PolyOrder);
    SetIniString(pszSection, "PolyOrder", order, 1);
    write_real(pszSection, "PeakWindow", p->PeakWindow);
    write_real(pszSection, "InitialError", p->InitialError);
    write_real(pszSection, "Threshold", p->Threshold);
    write_flag(pszSection, "IntensityWeight", p->IntensityWeight);
    write_flag(pszSection, "AutoPeakMatch", p->AutoPeakMatch);
    write_flag(pszSection, "AutoPolyOrder", p->AutoPolyOrder);
    write_flag(pszSection, "CalibrateDisplay", p->CalibrateDisplay);
    return opened ? FreeIni(0, 1) : 1;
}

namespace {

int32_t copy_text(const std::string& text, char* buf, int32_t size) {
    if (buf && size > 0) std::snprintf(buf, static_cast<size_t>(size), "%s", text.c_str());
    return static_cast<int32_t>(text.size());
}

}  // namespace

extern "C" MASSCAL_API int32_t CalSettingsFilePath(char* pszBuf, int32_t nSize) {
    return copy_text(SettingsFilePath(), pszBuf, nSize);
}

extern "C" MASSCAL_API int32_t CalGetSetting(const char* pszSection, const char* pszKey, const char* pszDefault,
                                             char* pszBuf, int32_t nSize) {
    if (!pszBuf || nSize <= 0) return 0;
    return GetIniString(pszSection, pszKey, pszDefault, pszBuf, nSize);
}

extern "C" MASSCAL_API int32_t CalParamsValueText(float fValue, char* pszBuf, int32_t nSize) {
    char text[kFtoaBufferSize];
    return copy_text(ftoa(fValue, text, 2), pszBuf, nSize);
}
