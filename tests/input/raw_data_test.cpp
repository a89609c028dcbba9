#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "core/arrays.hpp"
#include "input/spectrum_input.hpp"
#include "masscal/calib.h"
#include "platform/memory.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "support/test_files.hpp"
#include "suite/settings/settings.hpp"
#include "support/scoped_env.hpp"

using masscal::testing::ScopedEnv;

namespace {

namespace dm = masscal::dm;

class RawData : public ::testing::Test {
protected:
    void SetUp() override {
        rec_ = std::make_unique<CalRecord>();
        std::memset(rec_.get(), 0, sizeof(CalRecord));
        handles_ = dm::dm_open_handle_count();
        stored_ = dm::dm_stored_spectrum_count();
        // No instrument: the combine defaults apply.
        testfiles::write_file(settings_, "");
    }
    void TearDown() override {
        CalAllocPeakList(&rec_->DataPeaks, 0, 1);
        EXPECT_EQ(dm::dm_open_handle_count(), handles_) << "a handle was not released";
        EXPECT_EQ(dm::dm_stored_spectrum_count(), stored_) << "an in-memory spectrum was left behind";
        std::filesystem::remove_all(dir_);
    }
    void use(const std::string& name, const std::string& text, int first = 0, int last = 0) {
        const auto p = dir_ / name;
        testfiles::write_file(p, text);
        rec_->DataFile = testfiles::ref_to(p);
        rec_->nFirstScan = first;
        rec_->nLastScan = last;
    }
    const float* mass() const { return masscal::core::array_data<float>(rec_->DataPeaks.Mass); }
    const float* intensity() const { return masscal::core::array_data<float>(rec_->DataPeaks.Intensity); }
    const float* width() const { return masscal::core::array_data<float>(rec_->DataPeaks.Width); }

    std::filesystem::path dir_ = testfiles::temp_dir("input"), settings_ = dir_ / "settings.ini";
    ScopedEnv env_{"MASSCAL_SETTINGS", settings_.c_str()};
    std::unique_ptr<CalRecord> rec_;
    int handles_ = 0, stored_ = 0;
};

const char* kDetail =
    "# mass range: 90 510\n"
    "# accurate mass: yes\n"
    "100 10 0 0.01 7\n"
    "200 20 2 0.02 8\n"
    "500 50 16 0.05 9\n";

// Every channel of the list as read, peak by peak.
std::vector<std::tuple<float, float, int, float, std::uint32_t>> peaks(const CalPeakList& l) {
    std::vector<std::tuple<float, float, int, float, std::uint32_t>> out;
    for (int i = 0; i < l.nCount; ++i)
        out.emplace_back(masscal::core::array_data<float>(l.Mass)[i], masscal::core::array_data<float>(l.Intensity)[i],
                         masscal::core::array_data<std::uint8_t>(l.Flags)[i], masscal::core::array_data<float>(l.Width)[i],
                         masscal::core::array_data<std::uint32_t>(l.Extra)[i]);
    return out;
}

TEST_F(RawData, ReadsEveryChannelOfAccurateMassData) {
    use("detail.txt", kDetail);
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0) << CalGetDataError();
    EXPECT_EQ(peaks(rec_->DataPeaks), (decltype(peaks(rec_->DataPeaks)){
                                          {100, 10, 0, 0.01f, 7}, {200, 20, 2, 0.02f, 8}, {500, 50, 16, 0.05f, 9}}));
    EXPECT_EQ(std::tie(rec_->DataPeaks.bDetail, rec_->fMassLow, rec_->fMassHigh), std::make_tuple(1, 90.0f, 510.0f));

    // Detail preset to -1 is never asked for; flags are not part of the detail.
    CalAllocPeakList(&rec_->DataPeaks, 0, 1);
    rec_->DataPeaks.bDetail = -1;
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
    EXPECT_EQ(peaks(rec_->DataPeaks), (decltype(peaks(rec_->DataPeaks)){
                                          {100, 10, 0, 0, 0}, {200, 20, 2, 0, 0}, {500, 50, 16, 0, 0}}));
    EXPECT_EQ(rec_->DataPeaks.bDetail, 0);
}

TEST_F(RawData, DataWithoutFlagsLeavesFlagsUntouched) {
    use("plain.txt", "100 1\n200 2\n");
    ASSERT_TRUE(CalAllocPeakList(&rec_->DataPeaks, 8, 0));
    std::memset(rec_->DataPeaks.Flags.pData, 0xAA, 8);
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
    EXPECT_EQ(peaks(rec_->DataPeaks), (decltype(peaks(rec_->DataPeaks)){{100, 1, 0xAA, 0, 0}, {200, 2, 0xAA, 0, 0}}));
    EXPECT_EQ(std::tie(rec_->DataPeaks.bDetail, rec_->fMassLow), std::make_tuple(0, 100.0f));
}

TEST_F(RawData, AListTooSmallForTheSpectrumIsReplaced) {
    use("plain.txt", "100 1\n200 2\n300 3\n400 4\n");
    ASSERT_TRUE(CalAllocPeakList(&rec_->DataPeaks, 2, 0));
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
    EXPECT_EQ(rec_->DataPeaks.nCount, 4);
    EXPECT_GE(masscal::platform::mem_size(rec_->DataPeaks.Mass.hMem), 16u);
    EXPECT_EQ(mass()[3], 400.0f);
}

const char* kThreeScans =
    "# scan: 1\n100 10\n200 1\n"
    "# scan: 2\n100.0004 30\n300 5\n"
    "# scan: 3\n100.0002 20\n";

TEST_F(RawData, ScanSelection) {
    struct Case {
        const char* name;
        int first, last, single, index, count;
        float firstIntensity;
    } cases[] = {
        {"first scan 0 counts as 1", 0, 1, 0, 0, 3, 40},
        {"one scan is read directly", 2, 2, 0, 0, 2, 30},
        {"the single word stops combining", 1, 3, 1, 3, 1, 20},
        {"a range is combined", 1, 3, 0, 0, 3, 60},  // the intensities summed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        use("scans.txt", kThreeScans, c.first, c.last);
        rec_->DataFile.wSingle = static_cast<std::uint16_t>(c.single);
        rec_->DataFile.nIndex = c.index;
        ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
        EXPECT_EQ(rec_->DataPeaks.nCount, c.count);
        EXPECT_EQ(intensity()[0], c.firstIntensity);
    }
}

TEST_F(RawData, InstrumentSettingsReachTheCombine) {
    use("scans.txt", kThreeScans, 1, 3);
    testfiles::write_file(settings_, "[Acquisition]\nInstrument=TALVEX2\n[SpectrumCombine]\nMode=2\n");
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
    EXPECT_EQ(intensity()[0], 20.0f);  // the mean of three scans
    testfiles::write_file(settings_, "[Acquisition]\nInstrument=TALVEXPRIME\n[SpectrumCombine]\nMode=2\n");
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
    EXPECT_EQ(intensity()[0], 60.0f);  // only the first instrument reads them
}

TEST_F(RawData, ProfileScansAreCombinedAndCentroided) {
    std::vector<testfiles::MzmlSpectrum> scans;
    for (int k = 0; k < 3; ++k) {
        auto s = testfiles::profile_spectrum(400, 600, 0.004, {{450.2512, 800, 0.03}, {550.7301, 400, 0.035}}, 2);
        s.windowLow = 380;
        s.windowHigh = 620;
        s.mzEncoding.zlib = k == 1;
        scans.push_back(s);
    }
    use("profile.mzML", testfiles::mzml(scans), 1, 3);
    ASSERT_EQ(CalGetRawData(nullptr, rec_.get()), 0) << CalGetDataError();
    ASSERT_EQ(rec_->DataPeaks.nCount, 2);
    EXPECT_NEAR(mass()[0], 450.2512, 0.0015);
    EXPECT_NEAR(mass()[1], 550.7301, 0.0015);
    EXPECT_EQ(rec_->DataPeaks.bDetail, 1);  // time-of-flight: accurate mass
    // A mass uncertainty, far below the peak's width on noise-free data.
    EXPECT_GT(width()[0], 0.0f);
    EXPECT_LT(width()[0], 1e-4f);
    EXPECT_EQ(rec_->fMassLow, 380.0f);
    EXPECT_EQ(rec_->fMassHigh, 620.0f);
}

TEST_F(RawData, UnreadableDataGivesFileAccess) {
    struct Case {
        const char* name;
        const char* text;
        const char* why;
    } cases[] = {
        {"bad.txt", "100 1\n90 1\n", "line 2"},
        {"bad.mzML", "<mzML>", "well-formed"},
        {"bad.dat", "100 1\n", "unknown data file type"},
    };
    for (const Case& c : cases) {
        use(c.name, c.text);
        EXPECT_EQ(CalGetRawData(nullptr, rec_.get()), CAL_ERR_FILE_ACCESS) << c.name;
        EXPECT_NE(std::string(CalGetDataError()).find(c.why), std::string::npos) << CalGetDataError();
        EXPECT_EQ(rec_->DataPeaks.Mass.hMem, nullptr);
    }
    use("scans.txt", kThreeScans, 4, 5);  // past the last scan
    EXPECT_EQ(CalGetRawData(nullptr, rec_.get()), CAL_ERR_FILE_ACCESS);
    use("scans.txt", kThreeScans, 1, 1);
    rec_->DataFile.nFunction = 2;
    EXPECT_EQ(CalGetRawData(nullptr, rec_.get()), CAL_ERR_FILE_ACCESS);
    EXPECT_NE(std::string(CalGetDataError()).find("no function 2"), std::string::npos);
    std::filesystem::remove(dir_ / "scans.txt");
    rec_->DataFile.nFunction = 1;
    EXPECT_EQ(CalGetRawData(nullptr, rec_.get()), CAL_ERR_FILE_ACCESS);
    EXPECT_EQ(CalGetRawData(nullptr, nullptr), CAL_ERR_FILE_ACCESS);
}

TEST_F(RawData, OutOfMemoryReleasesTheList) {
    use("detail.txt", kDetail);
    // Each of the six arrays of the list in turn.
    for (unsigned nth = 1; nth <= 6; ++nth) {
        masscal::platform::set_alloc_failure(nth);
        EXPECT_EQ(CalGetRawData(nullptr, rec_.get()), CAL_ERR_NO_MEMORY) << nth;
        masscal::platform::set_alloc_failure(0);
        EXPECT_EQ(rec_->DataPeaks.Mass.hMem, nullptr);
        EXPECT_EQ(rec_->DataPeaks.Extra.hMem, nullptr);
    }
    EXPECT_EQ(CalGetRawData(nullptr, rec_.get()), 0);
}

TEST(PeakDetail, AccurateMassOrTheAcquisitionWord) {
    EXPECT_EQ(CalHasPeakDetail(nullptr), 0);
    const auto dir = testfiles::temp_dir("detail");
    struct Case {
        const char* header;
        int want;
    } cases[] = {
        {"# accurate mass: yes\n", 1}, {"", 0},
        {"# acquisition word: 6\n", 1}, {"# acquisition word: 5\n", 0},
        {"# acquisition word: 255\n", 1}, {"# acquisition word: 256\n", 0},  // 0x100 is in the mask
        {"# acquisition word: 2048\n", 1},                                      // 0x800: low byte 0
        {"# acquisition word: 2054\n", 1}, {"# acquisition word: 2053\n", 0},
        {"# acquisition word: 1030\n", 0},  // 0x406
    };
    int i = 0;
    for (const Case& c : cases) {
        const auto p = dir / ("d" + std::to_string(i++) + ".txt");
        testfiles::write_file(p, std::string(c.header) + "100 1\n");
        const RawFileRef ref = testfiles::ref_to(p);
        EXPECT_EQ(CalHasPeakDetail(&ref), c.want) << c.header;
    }
    std::filesystem::remove_all(dir);
}

TEST(InstrumentType, ExactNamesOnly) {
    const auto dir = testfiles::temp_dir("instrument");
    const auto ini = dir / "settings.ini";
    std::optional<ScopedEnv> env(std::in_place, "MASSCAL_SETTINGS", ini.c_str());
    struct Case {
        const char* value;
        int want;
    } cases[] = {{"TALVEX2", 1}, {"TALVEXPRIME", 2}, {"\"TALVEX2 \"", 0}, {"talvex2", 0}, {"", 0}, {"OTHER", 0}};
    for (const Case& c : cases) {
        testfiles::write_file(ini, std::string("[Acquisition]\nInstrument=") + c.value + "\n");
        EXPECT_EQ(CalGetInstrumentType(), c.want) << c.value;
    }
    // Settings already loaded by the host stay loaded.
    testfiles::write_file(ini, "[Acquisition]\nInstrument=TALVEX2\n");
    ASSERT_TRUE(InitIni(0));
    EXPECT_EQ(CalGetInstrumentType(), 1);
    EXPECT_NE(IsIniLoaded(), 0);
    FreeIni(0, 0);
    // Settings that cannot be read.
    env.emplace("MASSCAL_SETTINGS", dir.c_str());
    EXPECT_EQ(CalGetInstrumentType(), 0);
    env.reset();
    std::filesystem::remove_all(dir);
}

}  // namespace
