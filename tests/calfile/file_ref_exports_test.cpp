#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "calfile_fixture.hpp"
#include "suite/utility/global_files.hpp"
#include "support/scoped_env.hpp"

using namespace calfile_test;

namespace {

class FileRefExports : public CalFileTest {
protected:
    RawFileRef ref(const std::string& name) const { return plain_ref(dir_, name, "ini"); }
};

TEST_F(FileRefExports, ReachTheSameFileAsThePath) {
    const RawFileRef r = ref("cal");
    const std::string file = path("cal.ini");
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    info->nFunctions = 1;
    info->Functions[0].nSegments = 1;
    info->Functions[0].Segments[0].nOrder = 1;
    info->Functions[0].Segments[0].dCoeffs[0] = 0.25;
    info->Functions[0].Segments[0].dCoeffs[1] = 1.0;

    EXPECT_EQ(GetVersionQB(&r), 0);
    EXPECT_EQ(WriteCalibrationQB(&r, info.get()), 1);
    EXPECT_EQ(GetVersionQB(&r), 2);
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 2);

    auto back = std::make_unique<RawCalibInfo>();
    std::memset(back.get(), 0, sizeof *back);
    EXPECT_EQ(ReadCalibrationFunctionsQB(&r, back.get()), 1);
    EXPECT_EQ(+back->nFunctions, 1);
    EXPECT_EQ(+back->Functions[0].Segments[0].dCoeffs[0], 0.25);

    const RawFileRef other = ref("functions");
    EXPECT_EQ(WriteCalibrationFunctionsQB(&other, info.get()), 1);
    EXPECT_EQ(ini_value(read_all(path("functions.ini")), "FUNCTIONS", "NumberOfFunctions"), "1");
    EXPECT_EQ(GetVersionQB(&other), 0);
}

TEST_F(FileRefExports, TimeOfFlightThroughReferences) {
    const RawFileRef r = ref("tof");
    _TOFCALIBRATION t;
    std::memset(&t, 0, sizeof t);
    t.Segments[0].nOrder = 1;
    t.Segments[0].dCoeffs[0] = 0.001;
    t.Segments[0].dCoeffs[1] = 1.0;
    t.fSourceVoltage = 1999.0f;
    EXPECT_EQ(WriteTofCalibrationQB(&r, &t), 1);
    tagHASCALTYPE type = tagHASCALTYPE(6);
    EXPECT_EQ(WriteModeDependantTofCalibrationQB(&r, &t, &type), 1);
    EXPECT_EQ(WriteModeDependantTofCalibrationQB(&r, &t, nullptr), 0);

    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    EXPECT_EQ(ReadTofCalibrationQB(&r, &back), 1);
    EXPECT_EQ(back.fSourceVoltage, 1999.0f);
    std::memset(&back, 0, sizeof back);
    EXPECT_EQ(ReadModeDependantTofCalibrationQB(&r, &back, tagHASCALTYPE(6)), 1);
    EXPECT_EQ(+back.Segments[0].dCoeffs[0], 0.001);
    // A mode without a section has no calibration.
    EXPECT_EQ(ReadModeDependantTofCalibrationQB(&r, &back, tagHASCALTYPE(5)), 0);
    const std::string text = read_all(path("tof.ini"));
    EXPECT_TRUE(find_section(parse_ini(text), "TOF"));
    EXPECT_TRUE(find_section(parse_ini(text), "TOF6"));
}

class TofCalFile : public CalFileTest {
protected:
    void SetUp() override {
        CalFileTest::SetUp();
        settings_.emplace("MASSCAL_SETTINGS", path("settings.ini").c_str());
    }
    std::optional<masscal::testing::ScopedEnv> settings_;
};

TEST_F(TofCalFile, DefaultsWhenTheListHasNoFile) {
    RawFileRef r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(GetTofCalFile("SavedCalibration", &r), 1);
    EXPECT_STREQ(r.szName, "DEFAULT");
    EXPECT_STREQ(r.szExtension, "CAL");
    EXPECT_STREQ(r.szDirectory, "c:\\korvelix\\cal");

    // A name the caller gave is kept.
    std::strcpy(r.szName, "mine");
    GetTofCalFile("SavedPPCalibration", &r);
    EXPECT_STREQ(r.szName, "mine");
}

TEST_F(TofCalFile, TheRegisteredFileWins) {
    RawFileRef reg = plain_ref(dir_, "pp", "tof");
    ASSERT_NE(SetGlobalFile("SystemList", "SavedPPCalibration", &reg), 0);

    RawFileRef r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(GetTofCalFile("SavedPPCalibration", &r), 1);
    EXPECT_STREQ(r.szName, "pp");
    EXPECT_STREQ(r.szExtension, "tof");
    EXPECT_EQ(std::string(r.szDirectory), dir_.string() + "/");
}

}  // namespace
