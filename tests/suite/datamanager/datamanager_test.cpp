#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"
#include "support/test_files.hpp"

namespace {

namespace dm = masscal::dm;
using dm::load_field;
using dm::store_field;

class DataManager : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::temp_dir("dm");
        handlesBefore_ = dm::dm_open_handle_count();
    }
    void TearDown() override {
        EXPECT_EQ(dm::dm_open_handle_count(), handlesBefore_) << "a handle was not released";
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path write(const std::string& name, const std::string& text) {
        auto p = dir_ / name;
        testfiles::write_file(p, text);
        return p;
    }
    std::filesystem::path dir_;
    int handlesBefore_ = 0;
};

// Identifier of function (296) with the request fields set as callers do.
void make_id(const RawFileRef& ref, unsigned char* id, int function) {
    ASSERT_TRUE(dm::DmRawFileToID(&ref, id));
    store_field<std::uint16_t>(id, dm::kIdRequestType, 2);
    store_field<std::uint32_t>(id, dm::kIdSelector, 0);
    store_field<std::uint32_t>(id, dm::kIdFunction, static_cast<std::uint32_t>(function));
}

// The identifier's fields a backend fills, as one text.
std::string fields_of(const unsigned char* id) {
    const unsigned char* hdr = id + dm::kIdHeader;
    std::ostringstream o;
    o << "peaks " << load_field<std::uint32_t>(id, dm::kIdPeakCount) << " continuum "
      << load_field<std::uint32_t>(id, dm::kIdContinuum) << " single " << load_field<std::uint16_t>(id, dm::kIdSingle)
      << " range " << load_field<float>(hdr, dm::kHdrMassLow) << "-" << load_field<float>(hdr, dm::kHdrMassHigh)
      << " segment " << load_field<std::uint32_t>(hdr, dm::kHdrSegment) << " reflectron "
      << (load_field<std::uint32_t>(hdr, dm::kHdrHasReflectron) != 0) << ":"
      << load_field<std::uint16_t>(hdr, dm::kHdrReflectron) << " type " << load_field<float>(hdr, dm::kHdrTypeValue);
    return o.str();
}

const char* kTwoFunctions =
    "# mass range: 90 410\n"
    "# time-of-flight: yes\n"
    "# segment: 4\n"
    "# reflectron: 777\n"
    "# type value: 99\n"
    "# function type: 18\n"
    "# ionisation mode: 3\n"
    "# mode word: 1\n"
    "# instrument mode: 5\n"
    "# sampling rate: 250\n"
    "# precursor mass: 500.5\n"
    "# focus voltage: 1.25\n"
    "# source voltage: 2.5\n"
    "# extraction voltage: 3.75\n"
    "# accurate mass: yes\n"
    "100 10 0 0.01 1\n"
    "200 20 2 0.02 2\n"
    "400 40 16 0.04 3\n"
    "# function: 2\n"
    "# external: yes\n"
    "# continuum: yes\n"
    "# acquisition word: 262\n"
    "# columns: mass intensity\n"
    "# scan: 1\n"
    "50 1\n"
    "# scan: 2\n"
    "51 1\n"
    "52 2\n";

TEST_F(DataManager, FunctionHandleFillsTheHeaderAtItsOffsets) {
    const RawFileRef ref = testfiles::ref_to(write("two.txt", kTwoFunctions));
    unsigned char id[dm::kIdentifierSize];
    make_id(ref, id, 1);
    dm::DmHandle h = dm::DmGetHandle(0, 544, id, 2, 4, 0);
    ASSERT_NE(h, nullptr) << dm::dm_last_error();
    const unsigned char* locked = static_cast<const unsigned char*>(dm::DmLockID(h));
    EXPECT_EQ(fields_of(locked), "peaks 3 continuum 0 single 0 range 90-410 segment 4 reflectron 1:777 type 99");
    // The caller's identifier is completed too.
    EXPECT_EQ(std::memcmp(id + dm::kIdHeader, locked + dm::kIdHeader, dm::kHeaderSize), 0);
    dm::DmUnlockID(h);
    dm::DmReleaseHandle(h, 0);

    make_id(ref, id, 2);
    h = dm::DmGetHandle(0, 544, id, 2, 4, 0);
    ASSERT_NE(h, nullptr);
    const unsigned char* second = static_cast<const unsigned char*>(dm::DmLockID(h));
    EXPECT_EQ(load_field<std::uint32_t>(second, dm::kIdContinuum), 1u);
    EXPECT_EQ(load_field<std::uint32_t>(second, dm::kIdPeakCount), 1u);  // scan 1 of function 2
    EXPECT_EQ(load_field<std::uint32_t>(second + dm::kIdHeader, dm::kHdrHasReflectron), 0u);
    dm::DmReleaseHandle(h, 0);

    RawFileRef scan2 = ref;
    scan2.nIndex = 2;
    make_id(scan2, id, 2);
    h = dm::DmGetHandle(0, 544, id, 2, 4, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(load_field<std::uint32_t>(dm::DmLockID(h), dm::kIdPeakCount), 2u);
    dm::DmReleaseHandle(h, 0);
}

TEST_F(DataManager, SpectrumChannelsWithAndWithoutFlags) {
    const RawFileRef ref = testfiles::ref_to(write("two.txt", kTwoFunctions));
    unsigned char id[dm::kIdentifierSize];
    make_id(ref, id, 1);
    dm::DmHandle h = dm::DmGetHandleEx(0, 544, id, 5, dm::kChannelSizes, 0);
    ASSERT_NE(h, nullptr) << dm::dm_last_error();
    EXPECT_EQ(dm::DmGetData(h, 1, 3, 0), 0);
    EXPECT_NE(dm::DmGetData(h, 1, 4, 0), 0);
    EXPECT_NE(dm::DmGetData(h, 0, 1, 0), 0);
    const auto* m = static_cast<const float*>(dm::DmLockData(h, 0, 1, 3));
    const auto* in = static_cast<const float*>(dm::DmLockData(h, 1, 1, 3));
    const auto* fl = static_cast<const std::uint8_t*>(dm::DmLockData(h, 2, 1, 3));
    const auto* w = static_cast<const float*>(dm::DmLockData(h, 3, 1, 3));
    const auto* ex = static_cast<const std::uint32_t*>(dm::DmLockData(h, 4, 1, 3));
    ASSERT_TRUE(m && in && fl && w && ex);
    EXPECT_EQ(std::vector<float>(m, m + 3), (std::vector<float>{100, 200, 400}));
    EXPECT_EQ(std::vector<float>(in, in + 3), (std::vector<float>{10, 20, 40}));
    EXPECT_EQ(std::vector<int>(fl, fl + 3), (std::vector<int>{0, 2, 16}));
    EXPECT_EQ(std::vector<float>(w, w + 3), (std::vector<float>{0.01f, 0.02f, 0.04f}));
    EXPECT_EQ(std::vector<std::uint32_t>(ex, ex + 3), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(dm::DmLockData(h, 5, 1, 3), nullptr);
    EXPECT_EQ(dm::DmLockData(h, 0, 2, 3), nullptr);  // past the end
    dm::DmReleaseHandle(h, 0);

    // Function 2 has no flags: record type 5 fails, 2 works and gives zero
    // widths and extras.
    make_id(ref, id, 2);
    EXPECT_EQ(dm::DmGetHandleEx(0, 544, id, 5, dm::kChannelSizes, 0), nullptr);
    EXPECT_NE(std::string(dm::dm_last_error()).find("no flag channel"), std::string::npos);
    h = dm::DmGetHandleEx(0, 544, id, 2, dm::kChannelSizes, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dm::DmLockData(h, 2, 1, 1), nullptr);
    const auto* zw = static_cast<const float*>(dm::DmLockData(h, 3, 1, 1));
    ASSERT_NE(zw, nullptr);
    EXPECT_EQ(zw[0], 0.0f);
    dm::DmReleaseHandle(h, 0);

    const int wrongSizes[5] = {8, 4, 1, 4, 4};
    EXPECT_EQ(dm::DmGetHandleEx(0, 544, id, 2, wrongSizes, 0), nullptr);
}

TEST_F(DataManager, FunctionInformationAndTheYesNoQuestions) {
    RawFileRef ref = testfiles::ref_to(write("two.txt", kTwoFunctions));
    unsigned char info[dm::kFunctionInfoSize];
    ASSERT_TRUE(dm::DmRawGetFunctionInfo(&ref, info));
    const auto words = std::vector<unsigned>{load_field<std::uint16_t>(info, dm::kInfoTypeWord),
                                             load_field<std::uint16_t>(info, dm::kInfoModeWord),
                                             load_field<std::uint16_t>(info, dm::kInfoInstrumentMode),
                                             load_field<std::uint16_t>(info, dm::kInfoSamplingRate)};
    EXPECT_EQ(words, (std::vector<unsigned>{18 | (3 << 5), 1, 5, 250}));
    const auto values = std::vector<float>{
        load_field<float>(info, dm::kInfoPrecursorMass), load_field<float>(info, dm::kInfoFocusVoltage),
        load_field<float>(info, dm::kInfoSourceVoltage), load_field<float>(info, dm::kInfoExtractionVoltage)};
    EXPECT_EQ(values, (std::vector<float>{500.5f, 1.25f, 2.5f, 3.75f}));

    // Functions 1, 2 and 3 (no such function).
    const auto answers = std::vector<int>{dm::DmRawIsTOFFunction(&ref, 1),      dm::DmRawIsTOFFunction(&ref, 2),
                                          dm::DmRawIsTOFFunction(&ref, 3),      dm::DmRawIsExternalFunction(&ref, 1),
                                          dm::DmRawIsExternalFunction(&ref, 2), dm::DmRawIsExternalFunction(&ref, 3)};
    EXPECT_EQ(answers, (std::vector<int>{1, 0, 0, 0, 1, 0}));
    std::uint16_t word = 99;
    EXPECT_EQ(dm::DmRawIsAccurateMass(&ref, &word), 1);
    ref.nFunction = 2;
    EXPECT_EQ(dm::DmRawIsAccurateMass(&ref, &word), 0);
    EXPECT_EQ(word, 262);
}

TEST_F(DataManager, UnknownMissingAndBrokenFilesFailWithAMessage) {
    unsigned char id[dm::kIdentifierSize];
    unsigned char info[dm::kFunctionInfoSize];
    struct Case {
        std::filesystem::path path;
        const char* what;
    } cases[] = {
        {write("data.xyz", "100 1\n"), "unknown data file type 'xyz'"},
        {dir_ / "missing.txt", "No such file"},
        {write("bad.txt", "100 1\n50 2\n"), "bad.txt, line 2"},
        {write("bad.mzML", "<mzML>"), "not a well-formed XML document"},
        {dir_, "not a regular file"},
    };
    for (const Case& c : cases) {
        RawFileRef ref = testfiles::ref_to(c.path);
        if (c.path == dir_) ref = testfiles::ref_to(dir_ / "x"), std::snprintf(ref.szName, 256, "%s", "");
        dm::dm_clear_error();
        EXPECT_EQ(dm::DmRawGetFunctionInfo(&ref, info), 0);
        EXPECT_NE(std::string(dm::dm_last_error()).find(c.what), std::string::npos) << dm::dm_last_error();
        make_id(ref, id, 1);
        EXPECT_EQ(dm::DmGetHandle(0, 544, id, 2, 4, 0), nullptr);
        EXPECT_NE(std::string(dm::dm_last_error()).find(c.what), std::string::npos) << dm::dm_last_error();
    }
    unsigned char junk[dm::kIdentifierSize] = {};
    EXPECT_EQ(dm::DmGetHandle(0, 544, junk, 2, 4, 0), nullptr);
    EXPECT_EQ(dm::DmRawGetFunctionInfo(nullptr, info), 0);
    EXPECT_EQ(dm::DmLockID(nullptr), nullptr);
    dm::DmReleaseHandle(nullptr, 0);
}

TEST_F(DataManager, AChangedFileIsReadAgain) {
    const auto path = write("change.txt", "100 1\n");
    const RawFileRef ref = testfiles::ref_to(path);
    unsigned char info[dm::kFunctionInfoSize];
    ASSERT_TRUE(dm::DmRawGetFunctionInfo(&ref, info));
    EXPECT_EQ(dm::DmRawIsTOFFunction(&ref, 1), 0);
    testfiles::write_file(path, "# time-of-flight: yes\n100 1\n200 2\n");
    EXPECT_EQ(dm::DmRawIsTOFFunction(&ref, 1), 1);
    // A file broken after a good read is refused, not served from memory.
    testfiles::write_file(path, "100 x\n");
    EXPECT_EQ(dm::DmRawIsTOFFunction(&ref, 1), 0);
    EXPECT_NE(std::string(dm::dm_last_error()).find("line 1"), std::string::npos);
}

TEST_F(DataManager, StoredSpectraAreReachedThroughTheSingleWord) {
    const auto path = write("src.txt", "# accurate mass: yes\n100 1\n");
    RawFileRef ref = testfiles::ref_to(path);
    dm::Spectrum s;
    s.mass = {1, 2, 3};
    s.intensity = {4, 5, 6};
    dm::FunctionDescription d;
    d.massLow = 1;
    d.massHigh = 3;
    d.accurateMass = true;
    const std::uint16_t n = dm::dm_store_spectrum(s, d, dm::reference_path(ref));
    ASSERT_NE(n, 0);
    dm::DmHandle h = dm::dm_stored_handle(n);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(load_field<std::uint16_t>(dm::DmLockID(h), dm::kIdSingle), n);
    EXPECT_EQ(load_field<std::uint32_t>(dm::DmLockID(h), dm::kIdPeakCount), 3u);
    dm::DmReleaseHandle(h, 0);

    ref.wSingle = n;
    ref.nFunction = 1;
    unsigned char id[dm::kIdentifierSize];
    make_id(ref, id, 1);
    h = dm::DmGetHandleEx(0, 544, id, 2, dm::kChannelSizes, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(static_cast<const float*>(dm::DmLockData(h, 0, 1, 3))[2], 3.0f);
    std::uint16_t word = 0;
    EXPECT_EQ(dm::DmRawIsAccurateMass(&ref, &word), 1);
    dm::dm_release_spectrum(n);
    // The open handle keeps its data.
    EXPECT_EQ(static_cast<const float*>(dm::DmLockData(h, 1, 1, 3))[0], 4.0f);
    dm::DmReleaseHandle(h, 0);
    // Released: the reference falls back to the file itself.
    make_id(ref, id, 1);
    h = dm::DmGetHandle(0, 544, id, 2, 4, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(load_field<std::uint32_t>(dm::DmLockID(h), dm::kIdPeakCount), 1u);
    dm::DmReleaseHandle(h, 0);
}

TEST_F(DataManager, ReferencePathJoinsItsParts) {
    RawFileRef r{};
    std::snprintf(r.szDirectory, 260, "%s", "C:\\data\\");
    std::snprintf(r.szName, 256, "%s", "run");
    std::snprintf(r.szExtension, 258, "%s", "txt");
    EXPECT_EQ(dm::reference_path(r), "C:/data/run.txt");
    std::snprintf(r.szDirectory, 260, "%s", "/d");
    EXPECT_EQ(dm::reference_path(r), "/d/run.txt");
    r.szExtension[0] = 0;
    EXPECT_EQ(dm::reference_path(r), "/d/run");
}

TEST_F(DataManager, ThreadsReadTheSameFileSafely) {
    const RawFileRef ref = testfiles::ref_to(write("shared.txt", kTwoFunctions));
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                unsigned char id[dm::kIdentifierSize];
                dm::DmRawFileToID(&ref, id);
                dm::DmHandle h = dm::DmGetHandleEx(0, 544, id, 5, dm::kChannelSizes, 0);
                if (h && static_cast<const float*>(dm::DmLockData(h, 0, 1, 3))[1] == 200.0f) ++good;
                dm::DmReleaseHandle(h, 0);
                if (i % 10 == 0) dm::dm_clear_file_cache();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(good.load(), 200);
}

}  // namespace
