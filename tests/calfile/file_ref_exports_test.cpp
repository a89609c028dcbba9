#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "calfile_fixture.hpp"
#include "masscal/tofcal.h"
#include "suite/utility/global_files.hpp"

using namespace calfile_test;

namespace {

class FileRefExports : public CalFileTest {
protected:
    RawFileRef ref(const std::string& name, const std::string& ext = "ini") const {
        RawFileRef r;
        std::memset(&r, 0, sizeof r);
        r.wKind = CAL_FILEREF_KIND_PLAIN;
        std::snprintf(r.szDirectory, sizeof r.szDirectory, "%s/", dir_.c_str());
        std::snprintf(r.szName, sizeof r.szName, "%s", name.c_str());
        std::snprintf(r.szExtension, sizeof r.szExtension, "%s", ext.c_str());
        return r;
    }
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
        const char* old = std::getenv("MASSCAL_SETTINGS");
        if (old) saved_ = old;
        had_ = old != nullptr;
        setenv("MASSCAL_SETTINGS", path("settings.ini").c_str(), 1);
    }
    void TearDown() override {
        if (had_)
            setenv("MASSCAL_SETTINGS", saved_.c_str(), 1);
        else
            unsetenv("MASSCAL_SETTINGS");
        CalFileTest::TearDown();
    }
    std::string saved_;
    bool had_ = false;
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
    RawFileRef reg;
    std::memset(&reg, 0, sizeof reg);
    reg.wKind = CAL_FILEREF_KIND_PLAIN;
    std::snprintf(reg.szDirectory, sizeof reg.szDirectory, "%s/", dir_.c_str());
    std::strcpy(reg.szName, "pp");
    std::strcpy(reg.szExtension, "tof");
    ASSERT_NE(SetGlobalFile("SystemList", "SavedPPCalibration", &reg), 0);

    RawFileRef r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(GetTofCalFile("SavedPPCalibration", &r), 1);
    EXPECT_STREQ(r.szName, "pp");
    EXPECT_STREQ(r.szExtension, "tof");
    EXPECT_EQ(std::string(r.szDirectory), dir_.string() + "/");
}

}  // namespace
