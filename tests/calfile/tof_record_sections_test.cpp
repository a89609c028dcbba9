#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calfile_fixture.hpp"
#include "masscal/tofcal.h"

using namespace calfile_test;

namespace {

using TofRecordSections = CalFileTest;

TEST_F(TofRecordSections, WriteThenReadGivesTheSameCalibration) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 1);
    EXPECT_EQ(t.nSegments, 12);
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 2);

    const std::string text = read_all(file);
    EXPECT_EQ(ini_value(text, "TOF", "SourceVoltage"), "2000.1234131");
    EXPECT_EQ(ini_value(text, "TOF", "CalTemperature"), "1234.5677490");
    for (int i = 0; i < 12; ++i) t.fReflectron[i] = static_cast<float>(i) + 0.5f;
    CCalFile::WriteTofParameters(file.c_str(), &t);
    EXPECT_EQ(ini_value(read_all(file), "TOF", "Reflectron"),
              "0.500000 1.500000 2.500000 3.500000 4.500000 5.500000 6.500000 7.500000 8.500000 9.500000 "
              "10.500000 11.500000");
    std::vector<std::string> keys = {"PSDCalibration"};
    for (int i = 1; i <= 12; ++i) {
        char n[4];
        std::snprintf(n, sizeof n, "%03d", i);
        keys.push_back(std::string("Polynomial") + n);
        keys.push_back(std::string("Covariance") + n);
    }
    for (const char* k : {"Reflectron", "NumSegments", "InstrumentMode", "SourceVoltage", "FocusVoltage",
                          "ExtractionVoltage", "SamplingRate", "IonisationMode", "PrecursorMass", "LowMass",
                          "HighMass", "CalTemperature"})
        keys.push_back(k);
    EXPECT_EQ(key_names(read_all(file), "TOF"), keys);

    // The single section has no pusher frequency, date or time.
    _TOFCALIBRATION back{}, want = t;
    std::strcpy(back.szDate, "kept");
    back.nPusherFreq = 77;
    std::strcpy(want.szDate, "kept");
    want.nPusherFreq = 77;
    std::memset(want.szTime, 0, sizeof want.szTime);
    EXPECT_EQ(CCalFile::ReadTofParameters(file.c_str(), &back), 1);
    EXPECT_EQ(describe(back), describe(want));
}

TEST_F(TofRecordSections, ModeDependentSectionRoundTripAndItsResult) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    EXPECT_EQ(CCalFile::WriteModeDependantTofParameters(file.c_str(), &t, static_cast<tagHASCALTYPE>(3)), 1);
    EXPECT_EQ(section_names(read_all(file)), (std::vector<std::string>{"VERSION", "TOF3"}));

    _TOFCALIBRATION back{}, want = t;
    EXPECT_EQ(CCalFile::ReadModeDependantTofParameters(file.c_str(), &back, static_cast<tagHASCALTYPE>(3)), 1);
    // Not written by this writer, so read as missing.
    want.nPusherFreq = 0;
    std::memset(want.szDate, 0, sizeof want.szDate);
    std::memset(want.szTime, 0, sizeof want.szTime);
    EXPECT_EQ(describe(back), describe(want));
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

TEST_F(TofRecordSections, WritesKeepOtherSectionsAndReplaceOnlyTheOldTextFormat) {
    const std::string file = path("cal.ini");
    _TOFCALIBRATION t = make_tof();
    // Sections without a version stamp (as function sections alone) or with one: kept.
    for (const char* before : {"[Other]\nKey=Value\n", "[VERSION]\nVERSION=2\n[Other]\nKey=Value\n"}) {
        write_all(file, before);
        EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 1);
        EXPECT_EQ(CCalFile::WriteModeDependantTofParameters(file.c_str(), &t, static_cast<tagHASCALTYPE>(1)), 1);
        const std::string text = read_all(file);
        EXPECT_EQ(ini_value(text, "Other", "Key"), "Value");
        EXPECT_EQ(ini_value(text, "VERSION", "VERSION"), "2");
        EXPECT_TRUE(ini_value(text, "TOF1", "HighMass"));
    }
    // No section at all: the older text format, replaced.
    write_all(file, "FALSE\r\n0 1 0 + 1x^1\r\n");
    EXPECT_EQ(CCalFile::WriteTofParameters(file.c_str(), &t), 1);
    const std::string text = read_all(file);
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

TEST_F(TofRecordSections, FileWithoutVersionIsReadInTheOldFormat) {
    const std::string file = path("old.cal");
    _TOFCALIBRATION t = make_tof();
    const RawFileRef ref = plain_ref(dir_, "old", "cal");
    ASSERT_EQ(CalWriteTofCalibration(&ref, &t), 1);

    // The old format keeps neither covariance nor pusher frequency, date and time.
    _TOFCALIBRATION want = t;
    for (RawCalibCoEffs& c : want.Segments) std::memset(c.dCovar, 0, sizeof c.dCovar);
    want.nPusherFreq = 0;
    std::memset(want.szDate, 0, sizeof want.szDate);
    std::memset(want.szTime, 0, sizeof want.szTime);
    _TOFCALIBRATION back{};
    EXPECT_EQ(CCalFile::ReadTofParameters(file.c_str(), &back), 1);
    EXPECT_EQ(describe(back), describe(want));
    back = {};
    EXPECT_EQ(CCalFile::ReadModeDependantTofParameters(file.c_str(), &back, static_cast<tagHASCALTYPE>(2)), 1);
    EXPECT_EQ(describe(back), describe(want));

    // No file at all: the old-format reader cannot open it.
    EXPECT_EQ(CCalFile::ReadTofParameters(path("missing.cal").c_str(), &back), 0);
}

}  // namespace
