// Files written by another program: the example data of a public mass
// spectrometry package, installed by scripts/install-deps.sh.
#include <gtest/gtest.h>

#include <filesystem>

#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "support/test_files.hpp"

namespace {

namespace dm = masscal::dm;
const std::filesystem::path kExamples = "/usr/share/doc/openms/examples";

RawFileRef example(const char* name) {
    const auto p = kExamples / name;
    EXPECT_TRUE(std::filesystem::exists(p)) << p << " is missing: run scripts/install-deps.sh";
    return testfiles::ref_to(p);
}

TEST(RealFiles, CentroidedLcmsRunIsOneFunctionOf112Scans) {
    RawFileRef ref = example("LCMS-centroided.mzML");
    dm::FunctionDescription d;
    ASSERT_TRUE(dm::dm_describe(ref, 1, d)) << dm::dm_last_error();
    EXPECT_EQ(d.scanCount, 112);
    EXPECT_FALSE(d.continuum);
    EXPECT_TRUE(d.timeOfFlight);
    EXPECT_FALSE(dm::dm_describe(ref, 2, d));
    EXPECT_LT(d.massLow, d.massHigh);
    dm::Spectrum s;
    ASSERT_TRUE(dm::dm_read_scan(ref, 1, 1, s, d)) << dm::dm_last_error();
    EXPECT_EQ(s.mass.size(), 20u);  // defaultArrayLength of the first spectrum
    EXPECT_TRUE(std::is_sorted(s.mass.begin(), s.mass.end()));
    ASSERT_TRUE(dm::dm_read_scan(ref, 1, 112, s, d));
    EXPECT_FALSE(dm::dm_read_scan(ref, 1, 113, s, d));
}

TEST(RealFiles, ProfileMaldiSpectrum) {
    RawFileRef ref = example("peakpicker_tutorial_2.mzML");
    dm::FunctionDescription d;
    ASSERT_TRUE(dm::dm_describe(ref, 1, d)) << dm::dm_last_error();
    EXPECT_EQ(d.scanCount, 1);
    EXPECT_TRUE(d.continuum);
    EXPECT_TRUE(d.timeOfFlight);
    EXPECT_EQ(d.ionisationMode, 1);  // positive scan
    EXPECT_FLOAT_EQ(d.massLow, 779.746f);
    EXPECT_FLOAT_EQ(d.massHigh, 4039.91f);
    dm::Spectrum s;
    ASSERT_TRUE(dm::dm_read_scan(ref, 1, 1, s, d));
    EXPECT_EQ(s.mass.size(), 21936u);
    EXPECT_NEAR(s.mass.front(), 1000.0, 0.01);
    EXPECT_NEAR(s.mass.back(), 1500.0, 0.01);
}

TEST(RealFiles, PickedPeaksIgnoreTheExtraArrays) {
    RawFileRef ref = example("peakpicker_tutorial_2_picked.mzML");
    dm::FunctionDescription d;
    dm::Spectrum s;
    ASSERT_TRUE(dm::dm_read_scan(ref, 1, 1, s, d)) << dm::dm_last_error();
    EXPECT_EQ(s.mass.size(), 205u);
    EXPECT_FALSE(s.continuum);
}

}  // namespace
