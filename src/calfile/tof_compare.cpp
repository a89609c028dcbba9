// Whether a time-of-flight calibration suits data acquired under other
// instrument settings.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "masscal/tofcal.h"
#include "platform/c_locale.hpp"

using masscal::platform::c_snprintf;

namespace {

constexpr std::size_t kMessageSize = 256;
thread_local char t_message[kMessageSize];

// Settings are compared on their whole-number parts. trunc, not a cast to
// int, so values beyond the int range compare without overflow.
bool differs(float a, float b) { return std::trunc(static_cast<double>(a)) != std::trunc(static_cast<double>(b)); }

void set_values(const char* what, float a, float b) {
    c_snprintf(t_message, kMessageSize, "%s %.0f~%.0f", what, static_cast<double>(a), static_cast<double>(b));
}

void set_text(const char* what) { std::snprintf(t_message, kMessageSize, "%s", what); }

}  // namespace

extern "C" MASSCAL_API const char* CompareTofCalibrations(const _TOFCALIBRATION* pFirst,
                                                          const _TOFCALIBRATION* pSecond, int32_t* pResult) {
    const _TOFCALIBRATION& a = *pFirst;
    const _TOFCALIBRATION& b = *pSecond;
    *pResult = 1;
    t_message[0] = '\0';

    // Settings that no adjustment can bridge.
    if (a.nInstrumentMode != b.nInstrumentMode)
        set_text("instrument mode linear/reflectron");
    else if (a.bPSDCalibration != b.bPSDCalibration)
        set_text("PSD on/off");
    else if (differs(a.fReflectron[0], b.fReflectron[0]) && a.bPSDCalibration == 1)
        set_values("precursor voltage", a.fReflectron[0], b.fReflectron[0]);

    if (t_message[0] != '\0') {
        *pResult = -1;
    } else if (differs(a.fSourceVoltage, b.fSourceVoltage)) {
        set_values("source voltage", a.fSourceVoltage, b.fSourceVoltage);
    } else if (differs(a.fFocusVoltage, b.fFocusVoltage)) {
        set_values("focus voltage", a.fFocusVoltage, b.fFocusVoltage);
    } else if (differs(a.fExtractionVoltage, b.fExtractionVoltage)) {
        set_values("extraction voltage", a.fExtractionVoltage, b.fExtractionVoltage);
    } else if (differs(a.fReflectron[0], b.fReflectron[0])) {
        set_values("reflectron voltage", a.fReflectron[0], b.fReflectron[0]);
    } else if (differs(a.fSamplingRate, b.fSamplingRate)) {
        set_values("sampling rate", a.fSamplingRate, b.fSamplingRate);
    } else if (a.nIonisationMode != b.nIonisationMode) {
        set_text("ionisation mode/polarity");
    }

    if (t_message[0] != '\0' && *pResult == 1) *pResult = 0;
    const std::size_t used = std::strlen(t_message);
    if (*pResult == 0)
        std::snprintf(t_message + used, kMessageSize - used, " requires calibration adjustment");
    else if (*pResult == -1)
        std::snprintf(t_message + used, kMessageSize - used, " parameter does not match calibration");
    return t_message;
}
