#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/reference_file.hpp"
#include "masscal/calib.h"
#include "platform/memory.hpp"
#include "suite/fileaccess/file_checksum.hpp"
#include "support/recording_ui.hpp"
#include "support/scoped_env.hpp"

namespace {

using masscal::testing::RecordingUi;
using Peaks = std::vector<std::pair<float, float>>;

const char* kTooMany =
    "There are too many peaks in the reference file. Current limit is 100 peaks. For further information, please "
    "contact Software Support.";
const char* kSelectedFailed =
    "Unable to read the selected reference file. Possible reasons include incorrect format of the file, or too "
    "many peaks in the file. Please contact Software Support for further information. ";
const char* kAirFailed = "Unable to read the air reference file air.ref. ";

std::string data_dir() {
    const char* d = std::getenv("MASSCAL_TEST_DATA");
    return std::string(d ? d : "tests/data") + "/reference/";
}

RawFileRef ref_of(const std::string& dir, const std::string& name, const std::string& ext) {
    RawFileRef r{};
    r.wKind = CAL_FILEREF_KIND_PLAIN;
    std::strncpy(r.szDirectory, dir.c_str(), sizeof r.szDirectory - 1);
    std::strncpy(r.szName, name.c_str(), sizeof r.szName - 1);
    std::strncpy(r.szExtension, ext.c_str(), sizeof r.szExtension - 1);
    return r;
}

RawFileRef fixture(const std::string& name) { return ref_of(data_dir(), name, "ref"); }

struct List {
    float mass[CAL_REF_CAPACITY] = {};
    float intensity[CAL_REF_CAPACITY] = {};
    int32_t count = 0;
    Peaks peaks() const {
        Peaks p;
        for (int32_t i = 0; i < count; ++i) p.emplace_back(mass[i], intensity[i]);
        return p;
    }
};

// Keeps the tests off the user's own settings (the checksum switch).
class ReferenceFile : public ::testing::Test {
protected:
    std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "masscal-ref-XXXXXX").string();
        if (!mkdtemp(t.data())) std::abort();
        return t + "/";
    }();
    std::string settings = dir + "settings.ini";
    RecordingUi ui;
    masscal::testing::ScopedEnv env{"MASSCAL_SETTINGS", settings.c_str()};
    void TearDown() override { std::filesystem::remove_all(dir); }
    RawFileRef write(const std::string& name, const std::string& text) {
        std::ofstream(dir + name + ".ref", std::ios::binary) << text;
        return ref_of(dir, name, "ref");
    }
    int32_t read(RawFileRef ref, List& list, float low = 0, float high = 0) {
        return CalReadReferenceFile(nullptr, &ref, list.mass, list.intensity, &list.count, low, high);
    }
    Peaks parse(const std::string& text, float low = 0, float high = 0) {
        List l;
        EXPECT_EQ(masscal::engine::parse_reference_text(nullptr, text.c_str(), text.size(), l.mass, l.intensity, &l.count, low, high),
                  1);
        return l.peaks();
    }
};

TEST_F(ReferenceFile, ExampleFiles) {
    const Peaks example = {{28.0061f, 100.0f}, {32.0f, 0.0f}, {44.9977f, 12.5f}};
    const std::pair<const char*, Peaks> cases[] = {
        {"crlf_example", example},
        {"lf_example", example},
        {"unsorted", {{100.0f, 1.0f}, {200.0f, 2.0f}, {300.0f, 3.0f}}},  // sorted, intensities moved along
        // Comments, titles, zeros, equal masses and a last line without its end.
        {"quirks", {{-5.0f, 1.0f}, {18.0106f, 0.0f}, {50.5f, 7.0f}, {50.5f, 8.0f}, {69.9968f, 0.0f}}},
        {"comments_only", {}},
    };
    for (const auto& [name, want] : cases) {
        List l;
        EXPECT_EQ(read(fixture(name), l), 1) << name;
        EXPECT_EQ(l.peaks(), want) << name;
    }
    List l;
    EXPECT_EQ(read(fixture("empty"), l), 0);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ReferenceFile, LfLinesAreLines) {
    // A mass alone on an LF line must not take the next line's mass as its
    // intensity.
    EXPECT_EQ(parse("28.0\n32.0 7\n"), (Peaks{{28.0f, 0.0f}, {32.0f, 7.0f}}));
    EXPECT_EQ(parse("28.0 \t\n32.0\n"), (Peaks{{28.0f, 0.0f}, {32.0f, 0.0f}}));
    EXPECT_EQ(parse("28.0\r\n32.0\n44.0 3\r\n"), (Peaks{{28.0f, 0.0f}, {32.0f, 0.0f}, {44.0f, 3.0f}}));
}

TEST_F(ReferenceFile, MassRange) {
    const std::string text = "100 1\r\n150 2\r\n150.01 3\r\n50 4\r\n";
    EXPECT_EQ(parse(text).size(), 4u);
    EXPECT_EQ(parse(text, 0, 150), (Peaks{{50.0f, 4.0f}, {100.0f, 1.0f}, {150.0f, 2.0f}}));
    EXPECT_EQ(parse(text, 100, 150), (Peaks{{100.0f, 1.0f}, {150.0f, 2.0f}}));
}

TEST_F(ReferenceFile, WhatFollowsTheIntensityIsIgnored) {
    EXPECT_EQ(parse("28.0 100 200\r\n"), (Peaks{{28.0f, 100.0f}}));
    EXPECT_EQ(parse("28.0 abc 200\r\n"), (Peaks{{28.0f, 0.0f}}));
    EXPECT_EQ(parse("28.0abc 5\r\n"), (Peaks{{28.0f, 5.0f}}));
    EXPECT_EQ(parse("1e2 2.5e1\r\n"), (Peaks{{100.0f, 25.0f}}));
}

TEST_F(ReferenceFile, NumbersNoFloatCanHoldAreNotPeaks) {
    EXPECT_EQ(parse("inf 5\nnan 3\n1e39 4\n-1e39 4\n28 1e39\n28 nan\n1e-50 7\n"),
              (Peaks{{28.0f, 0.0f}, {28.0f, 0.0f}}));
}

TEST_F(ReferenceFile, TooManyPeaksKeepsTheFirstHundredAndSaysSo) {
    List l;
    EXPECT_EQ(read(fixture("too_many"), l), 1);
    // The file lists 1200, 1190, ... 10: the first hundred are 1200 .. 210.
    Peaks want;
    for (int i = 0; i < CAL_REF_CAPACITY; ++i) want.emplace_back(210.0f + 10.0f * i, static_cast<float>(100 - i));
    EXPECT_EQ(l.peaks(), want);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(std::tie(ui.calls[0].text, ui.calls[0].caption, ui.calls[0].type),
              std::make_tuple(std::string(kTooMany), std::string("Calibration"), 48u));
    EXPECT_STREQ(GetCalError(), kTooMany);
}

TEST_F(ReferenceFile, OutOfRangePeaksDoNotCountTowardsTheLimit) {
    List l;
    EXPECT_EQ(read(fixture("too_many"), l, 500, 2000), 1);
    EXPECT_EQ(l.count, 71);  // 500 .. 1200
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ReferenceFile, AppendsToTheListItIsGiven) {
    List l;
    EXPECT_EQ(read(fixture("unsorted"), l), 1);
    EXPECT_EQ(read(fixture("unsorted"), l, 150, 250), 1);
    EXPECT_EQ(l.peaks(), (Peaks{{100.0f, 1.0f}, {200.0f, 2.0f}, {200.0f, 2.0f}, {300.0f, 3.0f}}));
    // Without intensities.
    float masses[CAL_REF_CAPACITY];
    int32_t n = 0;
    RawFileRef r = fixture("unsorted");
    EXPECT_EQ(CalReadReferenceFile(nullptr, &r, masses, nullptr, &n, 0, 0), 1);
    EXPECT_EQ(std::vector<float>(masses, masses + n), (std::vector<float>{100.0f, 200.0f, 300.0f}));
}

TEST_F(ReferenceFile, WhatCannotBeReadFailsWithoutAMessage) {
    List l;
    RawFileRef wrong_kind = fixture("unsorted");
    wrong_kind.wKind = 2;
    EXPECT_EQ(read(wrong_kind, l), 0);
    EXPECT_EQ(read(ref_of(dir, "missing", "ref"), l), 0);
    EXPECT_EQ(read(ref_of(dir, "", ""), l), 0);  // the folder itself
    l.count = -1;
    EXPECT_EQ(read(fixture("unsorted"), l), 0);
    l.count = CAL_REF_CAPACITY + 1;
    EXPECT_EQ(read(fixture("unsorted"), l), 0);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ReferenceFile, Paths) {
    struct Case {
        std::string dir, name, ext;
        const char* path;  // nullptr: does not fit
    };
    const std::string d252(252, 'd');
    const Case cases[] = {
        {"/ref", "air", "ref", "/ref/air.ref"},
        {"/ref/", "air", "ref", "/ref/air.ref"},
        {"c:\\ref\\", "AIR", "REF", "c:\\ref\\AIR.REF"},
        {"", "air", "ref", "/air.ref"},  // an empty folder is not one that ends in a separator
        {"/ref", "air", "", "/ref/air"},
        {"/" + d252, "n", "ref", nullptr},        // 259 characters fit
        {"/" + d252 + "d", "n", "ref", nullptr},  // 260 do not
    };
    for (const Case& c : cases) {
        char path[300];
        const RawFileRef r = ref_of(c.dir, c.name, c.ext);
        const bool fits = c.dir.size() < 254;
        EXPECT_EQ(masscal::engine::reference_path(&r, path, fits ? 260 : 300), fits) << c.dir;
        if (c.path) {
            EXPECT_STREQ(path, c.path);
        } else if (fits) {
            EXPECT_EQ(std::strlen(path), 259u);
        }
    }
}

TEST_F(ReferenceFile, ChecksumTestWhenSwitchedOn) {
    std::ofstream(settings) << "[FileAccess]\nChecksumTest=1\n";
    const RawFileRef r = write("signed", "28.0 1\r\n");
    List l;
    EXPECT_EQ(read(r, l), 0);
    ASSERT_EQ(WriteFileChecksum((dir + "signed.ref").c_str()), 1);
    EXPECT_EQ(read(r, l), 1);
    EXPECT_EQ(l.count, 1);
    std::ofstream(dir + "signed.ref", std::ios::binary) << "29.0 1\r\n";
    EXPECT_EQ(read(r, l), 0);
}

TEST_F(ReferenceFile, OutOfMemoryFails) {
    List l;
    masscal::platform::set_alloc_failure(1);
    EXPECT_EQ(read(fixture("unsorted"), l), 0);
    masscal::platform::set_alloc_failure(0);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(read(fixture("unsorted"), l), 1);
}

TEST_F(ReferenceFile, InsertPeak) {
    float m[CAL_REF_CAPACITY], in[CAL_REF_CAPACITY];
    int32_t n = 0;
    for (float v : {5.0f, 1.0f, 3.0f, 3.0f, 9.0f}) EXPECT_EQ(CalInsertPeak(m, in, &n, v, v * 10 + n), 1);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::vector<float>(m, m + 5), (std::vector<float>{1, 3, 3, 5, 9}));
    EXPECT_EQ(std::vector<float>(in, in + 5), (std::vector<float>{11, 32, 33, 50, 94}));
    n = CAL_REF_CAPACITY;
    EXPECT_EQ(CalInsertPeak(m, nullptr, &n, 1.0f, 0.0f), 0);
    EXPECT_EQ(n, CAL_REF_CAPACITY);
}

TEST_F(ReferenceFile, SelectedAndAirReferenceInOneList) {
    RawFileRef ref = fixture("unsorted");
    RawFileRef air = fixture("air");
    List l;
    l.count = 55;  // reset first
    EXPECT_EQ(CalReadReferencePeaks(nullptr, &ref, &air, l.mass, l.intensity, &l.count, 0, 250), 1);
    ASSERT_EQ(l.count, 7);
    EXPECT_EQ(std::make_tuple(l.mass[0], l.mass[5], l.mass[6]), std::make_tuple(18.0106f, 100.0f, 200.0f));
    EXPECT_EQ(CalReadReferencePeaks(nullptr, &ref, nullptr, l.mass, l.intensity, &l.count, 0, 0), 1);
    EXPECT_EQ(l.count, 3);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ReferenceFile, SelectedReferenceThatCannotBeRead) {
    RawFileRef ref = ref_of(dir, "missing", "ref");
    RawFileRef air = fixture("air");
    List l;
    auto* owner = reinterpret_cast<CalWnd>(0x77);
    EXPECT_EQ(CalReadReferencePeaks(owner, &ref, &air, l.mass, l.intensity, &l.count, 0, 0), 0);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(std::tie(ui.calls[0].text, ui.calls[0].caption, ui.calls[0].type, ui.calls[0].owner),
              std::make_tuple(std::string(kSelectedFailed), std::string("Calibration"), 48u, owner));
    EXPECT_TRUE(ui.file_dialogs.empty());
}

TEST_F(ReferenceFile, AirReferenceAskedForUntilItReadsOrTheUserCancels) {
    RawFileRef ref = fixture("unsorted");
    RawFileRef air = ref_of(dir, "air", "ref");  // not there
    air.nFunction = 4;
    air.nIndex = 9;
    air.wKind = 5;  // only a chosen air.ref makes it a plain file again

    masscal::platform::FileDialogRequest not_air;
    not_air.directory = data_dir();
    not_air.name = "unsorted";
    not_air.extension = "ref";
    not_air.selector = -2.75;
    std::filesystem::copy_file(data_dir() + "air.ref", dir + "AIR.Ref");
    masscal::platform::FileDialogRequest real_air;
    real_air.directory = dir;
    real_air.name = "AIR";
    real_air.extension = "Ref";
    real_air.function = 8;
    real_air.selector = 3.9;
    ui.file_answers = {not_air, real_air};

    List l;
    auto* owner = reinterpret_cast<CalWnd>(0x78);
    EXPECT_EQ(CalReadReferencePeaks(owner, &ref, &air, l.mass, l.intensity, &l.count, 0, 0), 1);
    // Asked twice: the first choice kept the kind that cannot be read.
    ASSERT_EQ(ui.file_dialogs.size(), 2u);
    const auto& ask = ui.file_dialogs;
    EXPECT_EQ(std::tie(ask[0].directory, ask[0].name, ask[0].extension, ask[0].function, ask[0].selector),
              std::make_tuple(dir, std::string("air"), std::string("ref"), 4.0, 9.0));
    EXPECT_EQ(std::tie(ask[1].name, ask[1].function, ask[1].selector),
              std::make_tuple(std::string("unsorted"), 1.0, -2.0));
    EXPECT_EQ(ui.file_dialog_owners[0], owner);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(std::make_pair(ui.calls[0].text, ui.calls[1].text), std::make_pair(std::string(kAirFailed), std::string(kAirFailed)));
    EXPECT_EQ(std::make_tuple(+air.wKind, std::string(air.szName), +air.nFunction, +air.nIndex, l.count),
              std::make_tuple(+CAL_FILEREF_KIND_PLAIN, std::string("AIR"), 1, 3, 3 + 5));

    // Cancelled.
    RawFileRef gone = ref_of(dir, "air", "ref");
    EXPECT_EQ(CalReadReferencePeaks(owner, &ref, &gone, l.mass, l.intensity, &l.count, 0, 0), 0);
    EXPECT_EQ(ui.file_dialogs.size(), 3u);
    EXPECT_EQ(l.count, 3);  // the selected file's peaks stay
}

TEST_F(ReferenceFile, ASelectorNoIndexCanHoldGivesIndexZero) {
    RawFileRef ref = fixture("unsorted");
    RawFileRef air = ref_of(dir, "air", "ref");
    masscal::platform::FileDialogRequest huge;
    huge.directory = data_dir();
    huge.name = "air";
    huge.extension = "ref";
    huge.selector = 1e300;
    ui.file_answers = {huge};
    List l;
    EXPECT_EQ(CalReadReferencePeaks(nullptr, &ref, &air, l.mass, l.intensity, &l.count, 0, 0), 1);
    EXPECT_EQ(air.nIndex, 0);
}

TEST_F(ReferenceFile, AFullListStopsTheAirReferenceAtItsFirstPeak) {
    RawFileRef ref = fixture("too_many");
    RawFileRef air = fixture("air");
    List l;
    EXPECT_EQ(CalReadReferencePeaks(nullptr, &ref, &air, l.mass, l.intensity, &l.count, 0, 0), 1);
    EXPECT_EQ(l.count, CAL_REF_CAPACITY);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].text, kTooMany);
}

}  // namespace

// Lock masses keep the digits they are written with (a float would move
// 556.2771 by 0.05 ppm), in either form, sorted and each once.
TEST_F(ReferenceFile, LockListsInDoublePrecision) {
    std::string hundredAndOne;
    for (int i = 1; i <= 101; ++i) hundredAndOne += std::to_string(100 + i) + "\n";
    const struct {
        const char* text;
        bool csv;
        std::vector<double> want;
        const char* why;
    } cases[] = {
        {"; siloxane and enkephalin\n556.2771 100\n445.12003\r\n445.12003 5\n", false, {445.12003, 556.2771}, ""},
        {"m/z,MS level,charge\n# lock spray\n556.2771,1,1\n391.28429,1,1\nnot a lock\n", true, {391.28429, 556.2771}, ""},
        {"title\n0 5\n556.2771\n", false, {556.2771}, ""},
        {"556.2771\n-445.12\n", false, {}, "line 2: a lock mass must be a positive m/z"},
        {"; nothing\n", false, {}, "no lock mass in the file"},
        {hundredAndOne.c_str(), false, {}, "101 lock masses; at most 100 are used"},
    };
    for (const auto& c : cases) {
        std::vector<double> masses;
        std::string why;
        const std::string text = c.text;
        EXPECT_EQ(masscal::engine::parse_lock_masses(text.c_str(), text.size(), c.csv, masses, why), !*c.why) << text;
        EXPECT_EQ(why, c.why) << text;
        if (!*c.why) {
            EXPECT_EQ(masses, c.want) << text;
        }
    }
}
