#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "masscal/params.h"
#include "suite/settings/settings.hpp"
#include "support/scoped_env.hpp"

bool operator==(const CalParams& a, const CalParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
void PrintTo(const CalParams& p, std::ostream* os) {
    *os << "{" << p.PolyOrder << ", " << p.PeakWindow << ", " << p.InitialError << ", " << p.IntensityWeight << ", "
        << p.Threshold << ", " << p.bSinglePoint << ", " << p.AutoPeakMatch << ", " << p.CalibrateDisplay << ", "
        << p.AutoPolyOrder << "}";
}

namespace {

namespace fs = std::filesystem;

class ParamsStore : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_);
        fs::remove(path_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write_file(const std::string& text) { std::ofstream(path_) << text; }
    std::string read_file() {
        std::stringstream s;
        s << std::ifstream(path_).rdbuf();
        return s.str();
    }
    fs::path dir_ = fs::path(::testing::TempDir()) / ("masscal-params-" + std::to_string(::getpid()));
    fs::path path_ = dir_ / "settings.ini";
    masscal::testing::ScopedEnv env_{"MASSCAL_SETTINGS", path_.c_str()};
};

// Every field away from its default; bSinglePoint is not a setting.
constexpr CalParams kFilled{9, 9, 9, 9, 9, 77, 0, 9, 0};

TEST_F(ParamsStore, EmptySectionGivesTheDefaults) {
    CalParams p = kFilled;
    ASSERT_EQ(CalParamsGetIniFile("Calibration", &p), 1);
    EXPECT_EQ(p, (CalParams{1, 0.5f, 2.0f, 0, 0.01f, 77, 1, 0, 1}));
    EXPECT_FALSE(fs::exists(path_));  // reading writes nothing
}

TEST_F(ParamsStore, OnlyFalseInAnyCaseIsFalse) {
    write_file("[Cal]\nIntensityWeight=False\nAutoPeakMatch=false\nAutoPolyOrder=No\nCalibrateDisplay=0\n");
    CalParams p = kFilled;
    ASSERT_EQ(CalParamsGetIniFile("cal", &p), 1);
    EXPECT_EQ(p, (CalParams{1, 0.5f, 2.0f, 0, 0.01f, 77, 0, 1, 1}));
}

TEST_F(ParamsStore, SaveWritesEveryKeyInOrderAndReadsBack) {
    const CalParams p{3, 0.25f, 1.5f, 1, 0.001f, 0, 0, 1, 1};
    ASSERT_EQ(CalParamsSetIniFile("Calibration", &p), 1);
    EXPECT_EQ(read_file(),
              "[Calibration]\nPolyOrder=3\nPeakWindow=0.25\nInitialError=1.50\nThreshold=0.0010\n"
              "IntensityWeight=TRUE\nAutoPeakMatch=FALSE\nAutoPolyOrder=TRUE\nCalibrateDisplay=TRUE\n");
    CalParams q = kFilled;
    ASSERT_EQ(CalParamsGetIniFile("Calibration", &q), 1);
    q.bSinglePoint = 0;
    EXPECT_EQ(q, p);
}

TEST_F(ParamsStore, SettingsOpenedByTheHostStayOpen) {
    ASSERT_NE(InitIni(0), 0);
    const CalParams p{2, 0.5f, 2.0f, 0, 0.01f, 0, 1, 0, 1};
    EXPECT_EQ(CalParamsSetIniFile("Calibration", &p), 1);
    EXPECT_NE(IsIniLoaded(), 0);
    EXPECT_FALSE(fs::exists(path_));  // saved only when the host closes them
    CalParams q = kFilled;
    EXPECT_EQ(CalParamsGetIniFile("Calibration", &q), 1);
    EXPECT_EQ(q.PolyOrder, 2);
    EXPECT_NE(FreeIni(0, 1), 0);
    EXPECT_NE(read_file().find("PolyOrder=2"), std::string::npos);
}

TEST_F(ParamsStore, UnreadableSettingsLeaveTheBlockAlone) {
    fs::create_directories(path_);  // a folder where the file should be
    CalParams p = kFilled;
    EXPECT_EQ(CalParamsGetIniFile("Calibration", &p), 0);
    EXPECT_EQ(p, kFilled);
    EXPECT_EQ(CalParamsSetIniFile("Calibration", &p), 0);
}

}  // namespace
