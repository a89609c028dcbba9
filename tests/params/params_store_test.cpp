#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "masscal/params.h"
#include "suite/settings/settings.hpp"

namespace {

namespace fs = std::filesystem;

class ParamsStore : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("masscal-params-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = dir_ / "settings.ini";
        fs::remove(path_);
        setenv("MASSCAL_SETTINGS", path_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("MASSCAL_SETTINGS");
        fs::remove_all(dir_);
    }
    void write_file(const std::string& text) { std::ofstream(path_) << text; }
    std::string read_file() {
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_, path_;
};

CalParams filled() {
    CalParams p{};
    p.PolyOrder = 9;
    p.PeakWindow = 9;
    p.InitialError = 9;
    p.IntensityWeight = 9;
    p.Threshold = 9;
    p.bSinglePoint = 77;
    p.AutoPeakMatch = 0;
    p.CalibrateDisplay = 9;
    p.AutoPolyOrder = 0;
    return p;
}

TEST_F(ParamsStore, EmptySectionGivesTheDefaults) {
    CalParams p = filled();
    ASSERT_EQ(CalParamsGetIniFile("Calibration", &p), 1);
    EXPECT_EQ(p.PolyOrder, 1);
    EXPECT_FLOAT_EQ(p.PeakWindow, 0.5f);
    EXPECT_FLOAT_EQ(p.InitialError, 2.0f);
    EXPECT_EQ(p.IntensityWeight, 0);
    EXPECT_FLOAT_EQ(p.Threshold, 0.01f);
    EXPECT_EQ(p.bSinglePoint, 77);  // not a setting
    EXPECT_NE(p.AutoPeakMatch, 0);
    EXPECT_EQ(p.CalibrateDisplay, 0);
    EXPECT_NE(p.AutoPolyOrder, 0);
    EXPECT_FALSE(fs::exists(path_));  // reading writes nothing
}

TEST_F(ParamsStore, OnlyFalseInAnyCaseIsFalse) {
    write_file("[Cal]\nIntensityWeight=False\nAutoPeakMatch=false\nAutoPolyOrder=No\nCalibrateDisplay=0\n");
    CalParams p = filled();
    ASSERT_EQ(CalParamsGetIniFile("cal", &p), 1);
    EXPECT_EQ(p.IntensityWeight, 0);
    EXPECT_EQ(p.AutoPeakMatch, 0);
    EXPECT_EQ(p.AutoPolyOrder, 1);
    EXPECT_EQ(p.CalibrateDisplay, 1);
}

TEST_F(ParamsStore, SaveWritesEveryKeyInOrderAndReadsBack) {
    CalParams p{3, 0.25f, 1.5f, 1, 0.001f, 0, 0, 1, 1};
    ASSERT_EQ(CalParamsSetIniFile("Calibration", &p), 1);
    EXPECT_EQ(read_file(),
              "[Calibration]\nPolyOrder=3\nPeakWindow=0.25\nInitialError=1.50\nThreshold=0.0010\n"
              "IntensityWeight=TRUE\nAutoPeakMatch=FALSE\nAutoPolyOrder=TRUE\nCalibrateDisplay=TRUE\n");
    CalParams q = filled();
    ASSERT_EQ(CalParamsGetIniFile("Calibration", &q), 1);
    EXPECT_EQ(q.PolyOrder, 3);
    EXPECT_FLOAT_EQ(q.PeakWindow, 0.25f);
    EXPECT_FLOAT_EQ(q.InitialError, 1.5f);
    EXPECT_FLOAT_EQ(q.Threshold, 0.001f);
    EXPECT_EQ(q.IntensityWeight, 1);
    EXPECT_EQ(q.AutoPeakMatch, 0);
    EXPECT_EQ(q.AutoPolyOrder, 1);
    EXPECT_EQ(q.CalibrateDisplay, 1);
}

TEST_F(ParamsStore, SettingsOpenedByTheHostStayOpen) {
    ASSERT_NE(InitIni(0), 0);
    CalParams p{2, 0.5f, 2.0f, 0, 0.01f, 0, 1, 0, 1};
    EXPECT_EQ(CalParamsSetIniFile("Calibration", &p), 1);
    EXPECT_NE(IsIniLoaded(), 0);
    EXPECT_FALSE(fs::exists(path_));  // saved only when the host closes them
    CalParams q = filled();
    EXPECT_EQ(CalParamsGetIniFile("Calibration", &q), 1);
    EXPECT_EQ(q.PolyOrder, 2);
    EXPECT_NE(FreeIni(0, 1), 0);
    EXPECT_NE(read_file().find("PolyOrder=2"), std::string::npos);
}

TEST_F(ParamsStore, UnreadableSettingsLeaveTheBlockAlone) {
    fs::create_directories(path_);  // a folder where the file should be
    CalParams p = filled();
    const CalParams before = p;
    EXPECT_EQ(CalParamsGetIniFile("Calibration", &p), 0);
    EXPECT_EQ(p.PolyOrder, before.PolyOrder);
    EXPECT_EQ(p.AutoPeakMatch, before.AutoPeakMatch);
    EXPECT_EQ(CalParamsSetIniFile("Calibration", &p), 0);
}

}  // namespace
