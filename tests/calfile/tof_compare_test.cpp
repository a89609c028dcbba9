#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "masscal/tofcal.h"

namespace {

_TOFCALIBRATION base() {
    _TOFCALIBRATION t;
    std::memset(&t, 0, sizeof t);
    t.nInstrumentMode = 1;
    t.fSourceVoltage = 2000.0f;
    t.fFocusVoltage = 1500.0f;
    t.fExtractionVoltage = 800.0f;
    t.fReflectron[0] = 1500.0f;
    t.fSamplingRate = 4.0f;
    t.nIonisationMode = 1;
    return t;
}

struct Case {
    const char* name;
    void (*first)(_TOFCALIBRATION&);
    void (*second)(_TOFCALIBRATION&);
    int result;
    const char* message;
};

void none(_TOFCALIBRATION&) {}

const Case kCases[] = {
    {"identical", none, none, 1, ""},
    {"source voltage within one volt", [](_TOFCALIBRATION& t) { t.fSourceVoltage = 2000.4f; },
     [](_TOFCALIBRATION& t) { t.fSourceVoltage = 2000.9f; }, 1, ""},
    {"source voltage across a whole volt", [](_TOFCALIBRATION& t) { t.fSourceVoltage = 2000.9f; },
     [](_TOFCALIBRATION& t) { t.fSourceVoltage = 2001.1f; }, 0,
     "source voltage 2001~2001 requires calibration adjustment"},
    {"instrument mode beats everything",
     [](_TOFCALIBRATION& t) {
         t.nInstrumentMode = 2;
         t.fSourceVoltage = 10.0f;
     },
     [](_TOFCALIBRATION& t) { t.bPSDCalibration = 1; }, -1,
     "instrument mode linear/reflectron parameter does not match calibration"},
    {"PSD differs", [](_TOFCALIBRATION& t) { t.bPSDCalibration = 1; }, none, -1,
     "PSD on/off parameter does not match calibration"},
    {"precursor voltage with PSD on",
     [](_TOFCALIBRATION& t) {
         t.bPSDCalibration = 1;
         t.fReflectron[0] = 1500.0f;
     },
     [](_TOFCALIBRATION& t) {
         t.bPSDCalibration = 1;
         t.fReflectron[0] = 1700.0f;
     },
     -1, "precursor voltage 1500~1700 parameter does not match calibration"},
    {"reflectron voltage with PSD off", none, [](_TOFCALIBRATION& t) { t.fReflectron[0] = 1700.0f; }, 0,
     "reflectron voltage 1500~1700 requires calibration adjustment"},
    {"PSD flag 2 is not 'on'",
     [](_TOFCALIBRATION& t) {
         t.bPSDCalibration = 2;
     },
     [](_TOFCALIBRATION& t) {
         t.bPSDCalibration = 2;
         t.fReflectron[0] = 1700.0f;
     },
     0, "reflectron voltage 1500~1700 requires calibration adjustment"},
    {"focus before extraction",
     [](_TOFCALIBRATION& t) {
         t.fFocusVoltage = 1.0f;
         t.fExtractionVoltage = 2.0f;
     },
     none, 0, "focus voltage 1~1500 requires calibration adjustment"},
    {"extraction", [](_TOFCALIBRATION& t) { t.fExtractionVoltage = -800.6f; }, none, 0,
     "extraction voltage -801~800 requires calibration adjustment"},
    {"sampling rate", [](_TOFCALIBRATION& t) { t.fSamplingRate = 2.0f; }, none, 0,
     "sampling rate 2~4 requires calibration adjustment"},
    {"ionisation mode", [](_TOFCALIBRATION& t) { t.nIonisationMode = 0; }, none, 0,
     "ionisation mode/polarity requires calibration adjustment"},
    {"truncation toward zero", [](_TOFCALIBRATION& t) { t.fSamplingRate = -0.5f; },
     [](_TOFCALIBRATION& t) { t.fSamplingRate = 0.5f; }, 1, ""},
    {"masses, polynomials and later reflectron values are not compared",
     [](_TOFCALIBRATION& t) {
         t.fLowMass = 1.0f;
         t.fReflectron[5] = 3.0f;
         t.Segments[0].nOrder = 3;
     },
     none, 1, ""},
    {"huge values compare without overflow", [](_TOFCALIBRATION& t) { t.fSourceVoltage = 3.0e10f; },
     [](_TOFCALIBRATION& t) { t.fSourceVoltage = 3.0e10f; }, 1, ""},
};

TEST(CompareTofCalibrations, Cases) {
    for (const Case& c : kCases) {
        _TOFCALIBRATION a = base(), b = base();
        c.first(a);
        c.second(b);
        int32_t result = 99;
        const char* msg = CompareTofCalibrations(&a, &b, &result);
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_STREQ(msg, c.message) << c.name;
    }
}

TEST(CompareTofCalibrations, OneBufferOverwrittenByTheNextCall) {
    _TOFCALIBRATION a = base(), b = base();
    b.nIonisationMode = 5;
    int32_t r = 0;
    const char* first = CompareTofCalibrations(&a, &b, &r);
    const char* second = CompareTofCalibrations(&a, &a, &r);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second, "");
    EXPECT_EQ(r, 1);
}

}  // namespace
