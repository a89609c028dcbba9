#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calfile_fixture.hpp"
#include "masscal/tofcal.h"

using namespace calfile_test;

namespace {

using TofRecordSections = CalFileTest;

_TOFCALIBRATION make_tof() {
    _TOFCALIBRATION t;
    std::memset(&t, 0, sizeof t);
    t.bPSDCalibration = 1;
    for (int i = 0; i < 12; ++i) {
        t.Segments[i] = make_coeffs(1 + i % 5, 0.001 * (i + 1), i % 2);
        t.fReflectron[i] = 1500.25f + 10.0f * i;
    }
    t.nSegments = 3;
    t.nInstrumentMode = 2;
    t.fSourceVoltage = 2000.4f;
    t.fFocusVoltage = 1234.5678f;
    t.fExtractionVoltage = -750.125f;
    t.fSamplingRate = 3.6f;
    t.nIonisationMode = -1;
    t.fPrecursorMass = 556.2771f;
    t.fLowMass = 50.0f;
    t.fHighMass = 4000.0f;
    t.nPusherFreq = 12345;
    std::strcpy(t.szDate, "01-Feb-2024");
    std::strcpy(t.szTime, "10:11:12");
    return t;
}

void expect_same_calibration(const _TOFCALIBRATION& a, const _TOFCALIBRATION& b) {
    EXPECT_EQ(b.bPSDCalibration, a.bPSDCalibration);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(b.Segments[i].nOrder, a.Segments[i].nOrder) << i;
        EXPECT_EQ(b.Segments[i].nType, a.Segments[i].nType) << i;
        for (int k = 0; k <= a.Segments[i].nOrder; ++k) EXPECT_DOUBLE_EQ(+b.Segments[i].dCoeffs[k], +a.Segments[i].dCoeffs[k]);
        for (int k = 0; k < 21; ++k) EXPECT_DOUBLE_EQ(+b.Segments[i].dCovar[k], +a.Segments[i].dCovar[k]) << i << "," << k;
        // The file keeps reflectron values to six decimals.
        EXPECT_NEAR(b.fReflectron[i], a.fReflectron[i], 1e-6f * 2000) << i;
    }
    EXPECT_EQ(b.nSegments, 12);
    EXPECT_EQ(b.nInstrumentMode, a.nInstrumentMode);
    EXPECT_EQ(b.fSourceVoltage, a.fSourceVoltage);
    EXPECT_EQ(b.fFocusVoltage, a.fFocusVoltage);
    EXPECT_EQ(b.fExtractionVoltage, a.fExtractionVoltage);
    EXPECT_EQ(b.fSamplingRate, a.fSamplingRate);
    EXPECT_EQ(b.nIonisationMode, a.nIonisationMode);
    EXPECT_EQ(b.fPrecursorMass, a.fPrecursorMass);
    EXPECT_EQ(b.fLowMass, a.fLowMass);
    EXPECT_EQ(b.fHighMass, a.fHighMass);
}

TEST_F(TofRecordSections, WriteThenReadGivesTheSameCalibration) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 1);
    EXPECT_EQ(t.nSegments, 12);
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 2);

    const std::string text = read_all(file);
    EXPECT_EQ(ini_value(text, "TOF", "SourceVoltage"), "2000.4000244");
    EXPECT_EQ(ini_value(text, "TOF", "NumSegments"), "12");
    EXPECT_EQ(ini_value(text, "TOF", "CalTemperature"), "1500.2500000");
    EXPECT_FALSE(ini_value(text, "TOF", "PusherFreq"));
    EXPECT_FALSE(ini_value(text, "TOF", "Date"));
    const auto keys = key_names(text, "TOF");
    ASSERT_EQ(keys.size(), 1u + 24u + 12u);
    EXPECT_EQ(keys[0], "PSDCalibration");
    EXPECT_EQ(keys[1], "Polynomial001");
    EXPECT_EQ(keys[2], "Covariance001");
    EXPECT_EQ(keys[24], "Covariance012");
    EXPECT_EQ(keys[25], "Reflectron");
    EXPECT_EQ(keys.back(), "CalTemperature");

    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    std::strcpy(back.szDate, "kept");
    back.nPusherFreq = 77;
    EXPECT_EQ(CCalFile::ReadTofParameters(file.c_str(), &back), 1);
    expect_same_calibration(t, back);
    // The single section has no pusher frequency, date or time.
    EXPECT_STREQ(back.szDate, "kept");
    EXPECT_EQ(back.nPusherFreq, 77);
}

TEST_F(TofRecordSections, ReflectronIsTwelveValuesWithSixDecimals) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    for (int i = 0; i < 12; ++i) t.fReflectron[i] = static_cast<float>(i) + 0.5f;
    CCalFile::WriteTofParameters(file.c_str(), &t);
    EXPECT_EQ(ini_value(read_all(file), "TOF", "Reflectron"),
              "0.500000 1.500000 2.500000 3.500000 4.500000 5.500000 6.500000 7.500000 8.500000 9.500000 "
              "10.500000 11.500000");
}

TEST_F(TofRecordSections, ModeDependentSectionRoundTripAndItsResult) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    EXPECT_EQ(CCalFile::WriteModeDependantTofParameters(file.c_str(), &t, static_cast<tagHASCALTYPE>(3)), 1);
    const std::string text = read_all(file);
    EXPECT_TRUE(ini_value(text, "TOF3", "Polynomial012"));
    EXPECT_FALSE(find_section(parse_ini(text), "TOF"));

    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    EXPECT_EQ(CCalFile::ReadModeDependantTofParameters(file.c_str(), &back, static_cast<tagHASCALTYPE>(3)), 1);
    expect_same_calibration(t, back);
    // Not written by this writer, so read as missing.
    EXPECT_EQ(back.nPusherFreq, 0);
    EXPECT_STREQ(back.szDate, "");
}

TEST_F(TofRecordSections, ModeDependentReadTakesPusherFrequencyAndTimes) {
    const std::string file = path("cal.ini");
    write_all(file,
              "[VERSION]\nVERSION=2\n[TOF4]\nPolynomial001=0 1 0.001 + 1x^1\nPusherFreq=20000\n"
              "Time=12:00\nDate=today\n");
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    EXPECT_EQ(CCalFile::ReadModeDependantTofParameters(file.c_str(), &back, static_cast<tagHASCALTYPE>(4)), 1);
    EXPECT_EQ(back.nPusherFreq, 20000);
    EXPECT_STREQ(back.szTime, "12:00");
    EXPECT_STREQ(back.szDate, "today");
}

TEST_F(TofRecordSections, ModeDependentReadReportsTheIdentityAsNoCalibration) {
    const std::string file = path("cal.ini");
    struct Case {
        const char* polynomial;  // nullptr: no key
        int result;
    };
    const Case cases[] = {
        {nullptr, 0},
        {"-1 1 0 + 1x^1", 0},
        {"0 1 0.001 + 1x^1", 1},
        {"0 1 0 + 1.0001x^1", 1},
        {"0 0 5", 0},
        {"0 2 0 + 1x^1 + 1E-09x^2", 1},
        {"1 2 0 + 1x^1 + 0x^2", 0},  // trimmed to x
    };
    for (const Case& c : cases) {
        std::string text = "[VERSION]\nVERSION=2\n[TOF2]\nNumSegments=12\n";
        if (c.polynomial) text += std::string("Polynomial001=") + c.polynomial + "\n";
        write_all(file, text);
        _TOFCALIBRATION back;
        std::memset(&back, 0, sizeof back);
        EXPECT_EQ(CCalFile::ReadModeDependantTofParameters(file.c_str(), &back, static_cast<tagHASCALTYPE>(2)),
                  c.result)
            << (c.polynomial ? c.polynomial : "(missing)");
    }
}

TEST_F(TofRecordSections, ReflectronListFillsAtMostTwelveAndLeavesTheRest) {
    const std::string file = path("cal.ini");
    std::string fifteen;
    for (int i = 1; i <= 15; ++i) fifteen += std::to_string(i) + ".5 ";
    write_all(file, "[VERSION]\nVERSION=2\n[TOF]\nReflectron=" + fifteen + "\n");
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    CCalFile::ReadTofParameters(file.c_str(), &back);
    for (int i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(back.fReflectron[i], i + 1.5f) << i;

    write_all(file, "[VERSION]\nVERSION=2\n[TOF]\nReflectron=7, 8, 9,\n");
    for (int i = 0; i < 12; ++i) back.fReflectron[i] = -1.0f;
    CCalFile::ReadTofParameters(file.c_str(), &back);
    EXPECT_FLOAT_EQ(back.fReflectron[0], 7.0f);
    EXPECT_FLOAT_EQ(back.fReflectron[1], 8.0f);
    EXPECT_FLOAT_EQ(back.fReflectron[2], 9.0f);
    for (int i = 3; i < 12; ++i) EXPECT_EQ(back.fReflectron[i], -1.0f) << i;
}

TEST_F(TofRecordSections, CalTemperatureReplacesTheFirstReflectronValueWhenPresent) {
    const std::string file = path("cal.ini");
    write_all(file, "[VERSION]\nVERSION=2\n[TOF]\nReflectron=1 2 3\nCalTemperature=25.0\n");
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    CCalFile::ReadTofParameters(file.c_str(), &back);
    EXPECT_EQ(back.fReflectron[0], 25.0f);
    EXPECT_EQ(back.fReflectron[1], 2.0f);

    write_all(file, "[VERSION]\nVERSION=2\n[TOF]\nReflectron=1 2 3\nCalTemperature=\n");
    CCalFile::ReadTofParameters(file.c_str(), &back);
    EXPECT_EQ(back.fReflectron[0], 1.0f);
}

TEST_F(TofRecordSections, WriteReplacesOnlyAFileWithoutAnySection) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    // Sections without a version stamp (as function sections alone): kept.
    write_all(file, "[Other]\nKey=Value\n");
    EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 1);
    std::string text = read_all(file);
    EXPECT_EQ(ini_value(text, "Other", "Key"), "Value");
    EXPECT_EQ(ini_value(text, "VERSION", "VERSION"), "2");
    // No section at all: the older text format, replaced.
    write_all(file, "FALSE\r\n0 1 0 + 1x^1\r\n");
    EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 1);
    text = read_all(file);
    EXPECT_EQ(text.find("FALSE"), std::string::npos);
    EXPECT_EQ(ini_value(text, "VERSION", "VERSION"), "2");
}

TEST_F(TofRecordSections, AFileWhoseVersionCannotBeReadIsNeitherReadNorWritten) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof(), back{};
    for (const char* text : {"[VERSION]\nVERSION=two\n[Keep]\nA=1\n", "[VERSION]\nVERSION=0\n[Keep]\nA=1\n",
                             "[VERSION\nVERSION=2\n[Keep]\nA=1\n"}) {
        SCOPED_TRACE(text);
        write_all(file, text);
        EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 0);
        EXPECT_EQ(CCalFile::WriteModeDependantTofParameters(file.c_str(), &t, static_cast<tagHASCALTYPE>(2)), 0);
        EXPECT_EQ(read_all(file), text);
        EXPECT_EQ(CCalFile::ReadTofParameters(file.c_str(), &back), 0);
    }
}

TEST_F(TofRecordSections, WriteToAVersionedFileKeepsItsOtherSections) {
    const std::string file = path("cal.ini");
    write_all(file, "[VERSION]\nVERSION=2\n[Other]\nKey=Value\n");
    _TOFCALIBRATION t = make_tof();
    CCalFile::WriteModeDependantTofParameters(file.c_str(), &t, static_cast<tagHASCALTYPE>(1));
    const std::string text = read_all(file);
    EXPECT_EQ(ini_value(text, "Other", "Key"), "Value");
    EXPECT_TRUE(ini_value(text, "TOF1", "HighMass"));
}

TEST_F(TofRecordSections, FileWithoutVersionIsReadInTheOldFormat) {
    const std::string file = path("old.cal");
    _TOFCALIBRATION t = make_tof();
    RawFileRef ref;
    std::memset(&ref, 0, sizeof ref);
    ref.wKind = CAL_FILEREF_KIND_PLAIN;
    std::strcpy(ref.szDirectory, dir_.c_str());
    std::strcpy(ref.szName, "old");
    std::strcpy(ref.szExtension, "cal");
    ASSERT_EQ(CalWriteTofCalibration(&ref, &t), 1);

    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    EXPECT_EQ(CCalFile::ReadTofParameters(file.c_str(), &back), 1);
    EXPECT_EQ(back.nSegments, 12);
    EXPECT_EQ(back.nInstrumentMode, 2);
    EXPECT_NEAR(back.fFocusVoltage, t.fFocusVoltage, 1e-4);
    EXPECT_EQ(back.Segments[11].nOrder, t.Segments[11].nOrder);

    std::memset(&back, 0, sizeof back);
    EXPECT_EQ(CCalFile::ReadModeDependantTofParameters(file.c_str(), &back, static_cast<tagHASCALTYPE>(2)), 1);
    EXPECT_NEAR(back.fHighMass, 4000.0f, 1e-4);

    // No file at all: the old-format reader cannot open it.
    EXPECT_EQ(CCalFile::ReadTofParameters(path("missing.cal").c_str(), &back), 0);
}

}  // namespace
