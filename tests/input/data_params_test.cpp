#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "masscal/calib.h"
#include "support/test_files.hpp"

namespace {

class DataParams : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::temp_dir("params");
        std::memset(&tof_, 0, sizeof tof_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    RawFileRef use(const std::string& text, int function) {
        const auto p = dir_ / "data.txt";
        testfiles::write_file(p, text);
        return testfiles::ref_to(p, function);
    }
    std::filesystem::path dir_;
    _TOFCALIBRATION tof_;
};

TEST_F(DataParams, SingleSegmentDataReturnsOne) {
    RawFileRef ref = use("# mass range: 100 900\n# segment: 7\n100 1\n", 1);
    EXPECT_EQ(CalReadDataParams(&ref, &tof_), 1);  // mode word 0: segment 1
    EXPECT_EQ(tof_.fLowMass, 100.0f);
    EXPECT_EQ(tof_.fHighMass, 900.0f);
    EXPECT_EQ(tof_.bPSDCalibration, 0);
}

const char* kThree =
    "# mode word: 2\n# segment: 1\n# reflectron: 11\n100 1\n"
    "# function: 2\n# mode word: 2\n# segment: 13\n# reflectron: 22\n100 1\n"
    "# function: 3\n# mode word: 1\n# segment: 3\n# reflectron: 33\n"
    "# mass range: 50 5000\n# instrument mode: 4\n# sampling rate: 2000\n# precursor mass: 1234.5\n"
    "# focus voltage: 10.5\n# source voltage: 20000\n# extraction voltage: 3000\n"
    "# ionisation mode: 6\n# function type: 15\n# type value: 31.25\n100 1\n";

TEST_F(DataParams, EveryFunctionUpToTheDatasOwn) {
    RawFileRef ref = use(kThree, 3);
    tof_.nSegments = 4;
    tof_.nPusherFreq = 77;
    std::snprintf(tof_.szDate, sizeof tof_.szDate, "%s", "keep");
    EXPECT_EQ(CalReadDataParams(&ref, &tof_), 3);
    EXPECT_EQ(tof_.fReflectron[0], 31.25f);  // function type 15: the type value
    EXPECT_EQ(tof_.fReflectron[2], 33.0f);
    EXPECT_EQ(tof_.fReflectron[1], 0.0f);  // segment 13 of function 2 is out of the table
    EXPECT_EQ(tof_.fLowMass, 50.0f);
    EXPECT_EQ(tof_.fHighMass, 5000.0f);
    EXPECT_EQ(tof_.nInstrumentMode, 4);
    EXPECT_EQ(tof_.fSamplingRate, 2000.0f);
    EXPECT_EQ(tof_.fPrecursorMass, 1234.5f);
    EXPECT_EQ(tof_.fFocusVoltage, 10.5f);
    EXPECT_EQ(tof_.fSourceVoltage, 20000.0f);
    EXPECT_EQ(tof_.fExtractionVoltage, 3000.0f);
    EXPECT_EQ(tof_.nIonisationMode, 6);
    EXPECT_EQ(tof_.bPSDCalibration, 1);
    EXPECT_EQ(tof_.nSegments, 4);
    EXPECT_EQ(tof_.nPusherFreq, 77);
    EXPECT_STREQ(tof_.szDate, "keep");

    ref.nFunction = 2;  // function 2 is the data's own: reflectron of function 1 only
    std::memset(&tof_, 0, sizeof tof_);
    EXPECT_EQ(CalReadDataParams(&ref, &tof_), 13);
    EXPECT_EQ(tof_.fReflectron[0], 11.0f);
}

TEST_F(DataParams, AnUnreadableFunctionGivesMinusOne) {
    RawFileRef ref = use(kThree, 4);
    EXPECT_EQ(CalReadDataParams(&ref, &tof_), -1);
    ref = use("100 1\n90 1\n", 1);
    EXPECT_EQ(CalReadDataParams(&ref, &tof_), -1);
    EXPECT_EQ(CalReadDataParams(nullptr, &tof_), -1);
    EXPECT_EQ(CalReadDataParams(&ref, nullptr), -1);
}

}  // namespace
