#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "platform/c_locale.hpp"
#include "suite/settings/settings.hpp"
#include "suite/utility/file_ref_path.hpp"
#include "suite/utility/ftoa.hpp"
#include "suite/utility/global_files.hpp"
#include "suite/utility/normal_file.hpp"
#include "support/recording_ui.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::slurp;
using masscal::testing::TempDir;

RawFileRef make_ref(const char* dir, const char* name, const char* ext) {
    RawFileRef r{};
    r.wKind = CAL_FILEREF_KIND_PLAIN;
    std::strcpy(r.szDirectory, dir);
    std::strcpy(r.szName, name);
    std::strcpy(r.szExtension, ext);
    return r;
}

// The path fields and the selectors of a reference, for one comparison.
std::string fields(const RawFileRef& r) {
    return std::string(r.szDirectory) + "|" + r.szName + "|" + r.szExtension + "|" + std::to_string(r.nFunction) +
           "|" + std::to_string(r.nIndex);
}

std::string path_of(const RawFileRef& r, int size = 260) {
    std::string buf(static_cast<std::size_t>(size), 'x');
    const int ok = ConvertQBFileToPath(buf.data(), size, &r);
    return std::string(buf.c_str()) + (ok ? "" : " <cut>");
}

TEST(FileRefPath, JoinsDirectoryNameAndExtension) {
    EXPECT_EQ(path_of(make_ref("/data/cal", "DEFAULT", "CAL")), "/data/cal/DEFAULT.CAL");
    EXPECT_EQ(path_of(make_ref("/data/cal/", "a", "ref")), "/data/cal/a.ref");
    EXPECT_EQ(path_of(make_ref("c:\\korvelix\\cal\\", "DEFAULT", "CAL")), "c:\\korvelix\\cal\\DEFAULT.CAL");
    EXPECT_EQ(path_of(make_ref("", "air", "ref")), "air.ref");
    EXPECT_EQ(path_of(make_ref("/d", "noext", "")), "/d/noext");
    EXPECT_EQ(path_of(make_ref("/data", "name", "ext"), 8), "/data/n <cut>");
    EXPECT_EQ(ConvertQBFileToPath(nullptr, 10, nullptr), 0);
}

TEST(FileRefPath, UnterminatedFieldsStayInsideTheirRecord) {
    RawFileRef r{};
    std::memset(r.szDirectory, 'd', sizeof r.szDirectory);
    std::memset(r.szName, 'n', sizeof r.szName);
    std::memset(r.szExtension, 'e', sizeof r.szExtension);
    std::string buf(1024, '\0');
    EXPECT_EQ(ConvertQBFileToPath(buf.data(), 1024, &r), 1);
    EXPECT_EQ(std::strlen(buf.c_str()), 260u + 1 + 256 + 1 + 258);
}

TEST(FileRefPath, SplitsAPathAndJoinsItBack) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
        const char* ext;
    };
    const Case cases[] = {
        {"/data/cal/DEFAULT.CAL", "/data/cal/", "DEFAULT", "CAL"},
        {"air.ref", "", "air", "ref"},
        {"/x/archive.tar.gz", "/x/", "archive.tar", "gz"},
        {"/x/.hidden", "/x/", ".hidden", ""},
        {"/x/noext", "/x/", "noext", ""},
        {"c:\\korvelix\\scl\\SCL1.SCL", "c:\\korvelix\\scl\\", "SCL1", "SCL"},
        {"/", "/", "", ""},
    };
    for (const Case& c : cases) {
        RawFileRef r{};
        r.nFunction = 7;
        ASSERT_EQ(ConvertPathToQBFile(&r, c.path), 1) << c.path;
        EXPECT_EQ(r.wKind, CAL_FILEREF_KIND_PLAIN);
        // The selectors are not the path's.
        EXPECT_EQ(fields(r), std::string(c.dir) + "|" + c.name + "|" + c.ext + "|7|0");
        if (c.name[0]) {
            EXPECT_EQ(path_of(r), c.path);
        }
    }
    RawFileRef r = make_ref("keep", "keep", "keep");
    EXPECT_EQ(ConvertPathToQBFile(&r, ("/" + std::string(300, 'n')).c_str()), 0);
    EXPECT_STREQ(r.szName, "keep");
}

class GlobalFiles : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("settings.ini");
    masscal::testing::ScopedEnv settings{"MASSCAL_SETTINGS", file.c_str()};
};

TEST_F(GlobalFiles, UnregisteredNamesGiveTheDefault) {
    RawFileRef ref = make_ref("c:\\korvelix\\cal", "", "CAL");
    ref.nFunction = 3;
    EXPECT_EQ(GetGlobalFile("SystemList", "SavedCalibration", &ref, &ref), 0);
    EXPECT_EQ(fields(ref), "c:\\korvelix\\cal||CAL|3|0");
}

TEST_F(GlobalFiles, RegisteredFilesLiveInTheListsSection) {
    const RawFileRef saved = make_ref("/var/lib/masscal/scl/", "run7", "scl");
    EXPECT_EQ(SetGlobalFile("SystemList", "SavedPPCalibration", &saved), 1);
    EXPECT_EQ(slurp(file), "[SystemList]\nSavedPPCalibration=/var/lib/masscal/scl/run7.scl\n");
    RawFileRef def = make_ref("\\korvelix\\scl", "", "SCL");
    def.nIndex = 4;
    RawFileRef out{};
    EXPECT_EQ(GetGlobalFile("systemlist", "savedppcalibration", &def, &out), 1);
    EXPECT_EQ(fields(out), "/var/lib/masscal/scl/|run7|scl|0|4");
    EXPECT_STREQ(def.szName, "");  // the default itself is not changed
}

TEST_F(GlobalFiles, WhileTheSettingsAreLoaded) {
    ASSERT_EQ(InitIni(0), 1);
    const RawFileRef ref = make_ref("/cal", "x", "cal");
    EXPECT_EQ(SetGlobalFile("SystemList", "SavedCalibration", &ref), 1);
    RawFileRef out{};
    EXPECT_EQ(GetGlobalFile("SystemList", "SavedCalibration", nullptr, &out), 1);
    EXPECT_STREQ(out.szName, "x");
    EXPECT_EQ(FreeIni(0, 1), 1);
    EXPECT_EQ(slurp(file), "[SystemList]\nSavedCalibration=/cal/x.cal\n");
}

TEST(Ftoa, PrecisionAsDecimalsWithEnoughSignificantDigits) {
    struct Case {
        double v;
        int p;
        const char* text;
    };
    const Case cases[] = {
        {0.5, 2, "0.50"},         {2.0, 2, "2.00"},       {0.01, 2, "0.010"},     {0.001, 2, "0.0010"},
        {123.456, 2, "123.46"},   {-1.005, 2, "-1.00"},   {100.0, 2, "100.00"},   {0.0, 2, "0.00"},
        {-0.0001, 0, "-0.0001"},  {-0.004, 2, "-0.0040"}, {1.23456789, 6, "1.234568"},
        {0.00123, 4, "0.001230"}, {2.5, 0, "2"},          {1e-7, 2, "1.0e-07"},   {3e20, 3, "3.00e+20"},
        {-1e300, 2, "-1.0e+300"}, {7.0, -5, "7"},         {1.0 / 3.0, 99, "0.333333333333333"},
    };
    for (const Case& c : cases) {
        char buf[kFtoaBufferSize];
        EXPECT_STREQ(ftoa(c.v, buf, c.p), c.text) << c.v << " " << c.p;
    }
    char buf[kFtoaBufferSize];
    EXPECT_STREQ(ftoa(std::nan(""), buf, 2), "nan");
    EXPECT_STREQ(ftoa(-HUGE_VAL, buf, 2), "-inf");
    EXPECT_STREQ(ftoa(-0.001, buf, 0), "-0.001");
    EXPECT_STREQ(ftoa(-0.0, buf, 2), "0.00");
}

TEST(Ftoa, TheLongestTextsFitAndReadBack) {
    char buf[kFtoaBufferSize];
    for (double v : {-9.99999999999999e14, 1e15, -1e-6, 1.2345678901234e-6, -0.999999999999999, 1e-300}) {
        for (int p = 0; p <= 15; ++p) {
            ftoa(v, buf, p);
            EXPECT_LT(std::strlen(buf), kFtoaBufferSize);
            if (p >= 2 && v != 1e-300) {
                EXPECT_NEAR(masscal::platform::c_atof(buf), v, std::fabs(v) * 0.06) << buf;
            }
        }
    }
}

TEST(NormalFile, TheRequestRecordGoesThroughTheUiAndBack) {
    masscal::testing::RecordingUi ui;
    NormalFileRequest req{};
    std::strcpy(req.szDirectory, "/ref/");
    std::strcpy(req.szName, "air");
    std::strcpy(req.szExtension, "ref");
    req.dFunction = 1.0;
    req.dSelector = 2.0;
    auto* owner = reinterpret_cast<CalWnd>(0x42);

    EXPECT_EQ(GenGetNormalFile(nullptr, owner, &req), 0);  // nothing scripted: cancelled
    ASSERT_EQ(ui.file_dialogs.size(), 1u);
    const auto& asked = ui.file_dialogs[0];
    EXPECT_EQ(asked.directory + "|" + asked.name + "|" + asked.extension, "/ref/|air|ref");
    EXPECT_EQ(std::make_pair(asked.function, asked.selector), std::make_pair(1.0, 2.0));
    EXPECT_EQ(ui.file_dialog_owners[0], owner);
    EXPECT_STREQ(req.szName, "air");

    masscal::platform::FileDialogRequest choice;
    choice.directory = "/other/";
    choice.name = std::string(300, 'n');  // longer than the record's field
    choice.extension = "REF";
    choice.function = 5.0;
    choice.selector = 6.75;
    ui.file_answers.push_back(choice);
    EXPECT_EQ(GenGetNormalFile(nullptr, owner, &req), 1);
    EXPECT_EQ(std::string(req.szDirectory) + "|" + req.szName + "|" + req.szExtension,
              "/other/|" + std::string(255, 'n') + "|REF");
    EXPECT_EQ(std::make_pair(req.dFunction, req.dSelector), std::make_pair(5.0, 6.75));
    for (unsigned char b : req.reserved0) EXPECT_EQ(b, 0);
    EXPECT_EQ(GenGetNormalFile(nullptr, owner, nullptr), 0);
}

TEST(NormalFile, WithoutAProviderTheDialogIsCancelled) {
    NormalFileRequest req{};
    EXPECT_EQ(GenGetNormalFile(nullptr, nullptr, &req), 0);
}

}  // namespace
