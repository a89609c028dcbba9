#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>

#include "suite/settings/settings.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::ScopedEnv;
using masscal::testing::slurp;
using masscal::testing::spit;
using masscal::testing::TempDir;

std::string get(const char* section, const char* key, const char* def = "") {
    char buf[81];
    GetIniString(section, key, def, buf, sizeof buf);
    return buf;
}

class Settings : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("settings.ini");
    ScopedEnv settings{"MASSCAL_SETTINGS", file.c_str()};
    void TearDown() override { EXPECT_EQ(IsIniLoaded(), 0) << "a test left the settings loaded"; }
};

TEST(SettingsLocation, ExplicitThenXdgThenHome) {
    ScopedEnv a("MASSCAL_SETTINGS", "/srv/masscal.ini");
    ScopedEnv b("XDG_CONFIG_HOME", "/xdg");
    ScopedEnv c("HOME", "/home/u");
    EXPECT_EQ(SettingsFilePath(), "/srv/masscal.ini");
    {
        ScopedEnv none("MASSCAL_SETTINGS", "");
        EXPECT_EQ(SettingsFilePath(), "/xdg/masscal/settings.ini");
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");
        EXPECT_EQ(SettingsFilePath(), "/home/u/.config/masscal/settings.ini");
        ScopedEnv unset("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(SettingsFilePath(), "/home/u/.config/masscal/settings.ini");
    }
}

TEST(SettingsLocation, DefaultFolderIsCreatedPrivateOnFirstWrite) {
    TempDir dir;
    ScopedEnv a("MASSCAL_SETTINGS", nullptr);
    ScopedEnv b("XDG_CONFIG_HOME", dir.path().c_str());
    EXPECT_EQ(get("Acquisition", "Instrument", "none"), "none");
    EXPECT_EQ(SetIniString("Acquisition", "Instrument", "TALVEX2", 1), 1);
    const std::string f = dir.file("masscal/settings.ini");
    EXPECT_EQ(slurp(f), "[Acquisition]\nInstrument=TALVEX2\n");
    struct stat st;
    ASSERT_EQ(::stat(dir.file("masscal").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Settings, WithoutLoadingReadsAndWritesGoToTheFile) {
    EXPECT_EQ(get("Calibrate", "PolyOrder", "1"), "1");
    EXPECT_EQ(SetIniString("Calibrate", "PolyOrder", "3", 1), 1);
    EXPECT_EQ(slurp(file), "[Calibrate]\nPolyOrder=3\n");
    EXPECT_EQ(get("calibrate", "polyorder"), "3");
    EXPECT_EQ(SetIniString("Calibrate", "Missing", "x", 0), 0);  // create 0: only existing keys
    EXPECT_EQ(SetIniString("Calibrate", "PolyOrder", "4", 0), 1);
    EXPECT_EQ(get("Calibrate", "PolyOrder"), "4");
    EXPECT_EQ(FreeIni(0, 1), 0);  // not loaded
}

TEST_F(Settings, LoadedChangesReachTheFileOnlyWhenSaved) {
    spit(file, "; user notes\n[Calibrate]\nPolyOrder=1\n");
    ASSERT_EQ(InitIni(0), 1);
    EXPECT_EQ(IsIniLoaded(), 1);
    EXPECT_EQ(SetIniString("Calibrate", "PolyOrder", "2", 1), 1);
    EXPECT_EQ(SetIniString("Calibrate", "PeakWindow", "0.50", 1), 1);
    EXPECT_EQ(get("Calibrate", "PolyOrder"), "2");
    EXPECT_EQ(slurp(file), "; user notes\n[Calibrate]\nPolyOrder=1\n");
    EXPECT_EQ(FreeIni(0, 1), 1);
    EXPECT_EQ(IsIniLoaded(), 0);
    EXPECT_EQ(slurp(file), "; user notes\n[Calibrate]\nPolyOrder=2\nPeakWindow=0.50\n");
    // Closed without saving, the changes are dropped.
    ASSERT_EQ(InitIni(0), 1);
    SetIniString("Calibrate", "PolyOrder", "5", 1);
    EXPECT_EQ(FreeIni(0, 0), 1);
    EXPECT_EQ(get("Calibrate", "PolyOrder"), "2");
    EXPECT_EQ(slurp(file), "; user notes\n[Calibrate]\nPolyOrder=2\nPeakWindow=0.50\n");
}

TEST_F(Settings, NestedLoadsTheHostSavesWhatTheLibraryChanged) {
    ASSERT_EQ(InitIni(0), 1);  // the host
    ASSERT_EQ(InitIni(0), 1);  // the library, finding it loaded or not
    SetIniString("Params", "PolyOrder", "2", 1);
    EXPECT_EQ(FreeIni(0, 0), 1);  // the library closes without saving
    EXPECT_EQ(IsIniLoaded(), 1);
    EXPECT_EQ(get("Params", "PolyOrder"), "2");  // the host's copy still has it
    EXPECT_EQ(FreeIni(0, 1), 1);
    EXPECT_EQ(slurp(file), "[Params]\nPolyOrder=2\n");
}

TEST_F(Settings, SavingKeepsWhatAnotherProgramChangedMeanwhile) {
    spit(file, "[A]\nx=1\ny=1\n");
    ASSERT_EQ(InitIni(0), 1);
    SetIniString("A", "x", "2", 1);
    spit(file, "[A]\nx=1\ny=9\n[Window]\nLeft=10\n");
    EXPECT_EQ(FreeIni(0, 1), 1);
    EXPECT_EQ(slurp(file), "[A]\nx=2\ny=9\n[Window]\nLeft=10\n");
}

TEST_F(Settings, UnreadableSettingsDoNotLoad) {
    std::filesystem::create_directory(file);
    EXPECT_EQ(InitIni(0), 0);
    EXPECT_EQ(IsIniLoaded(), 0);
    EXPECT_EQ(get("A", "x", "d"), "d");
    EXPECT_EQ(SetIniString("A", "x", "1", 1), 0);
}

TEST_F(Settings, AFailedSaveIsReported) {
    spit(dir.file("plain"), "not a folder");
    ScopedEnv nowhere("MASSCAL_SETTINGS", dir.file("plain/settings.ini").c_str());
    ASSERT_EQ(InitIni(0), 1);  // missing: loads as empty
    EXPECT_EQ(SetIniString("A", "x", "1", 1), 1);
    EXPECT_EQ(FreeIni(0, 1), 0);
    EXPECT_EQ(IsIniLoaded(), 0);
}

TEST_F(Settings, BufferAndDeletion) {
    SetIniString("A", "long", "0123456789", 1);
    char buf[5];
    EXPECT_EQ(GetIniString("A", "long", "", buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "0123");
    EXPECT_EQ(GetIniString("A", "long", "", buf, 0), 0);
    EXPECT_EQ(SetIniString("A", "long", nullptr, 1), 1);
    EXPECT_EQ(get("A", "long", "gone"), "gone");
    EXPECT_EQ(SetIniString("A", "bad", "two\nlines", 1), 0);
}

TEST_F(Settings, ChecksumSwitchIsOffUnlessSwitchedOn) {
    EXPECT_EQ(UsesSecurityLight(), 0);
    const std::pair<const char*, int> cases[] = {{"1", 1},     {"true", 1}, {"YES", 1}, {"On", 1},
                                                 {"0", 0},     {"FALSE", 0}, {"2", 0},  {"", 0}};
    for (const auto& [text, on] : cases) {
        SetIniString("FileAccess", "ChecksumTest", text, 1);
        EXPECT_EQ(UsesSecurityLight(), on) << text;
    }
}

}  // namespace
