#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <tuple>

#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"
#include "support/test_files.hpp"
#include "suite/massmeasure/massmeasure.hpp"

namespace {

namespace dm = masscal::dm;
namespace mm = masscal::mm;

auto as_tuple(const mm::Settings& s) {
    return std::tuple{s.minIntensity, s.signalToNoise, s.topFraction,      s.minPoints,
                      s.widthScale,   s.relativeThreshold, s.minDip, s.weightAboveLevel};
}

dm::Spectrum centroid(const testfiles::MzmlSpectrum& p, const mm::Settings& s = {}) {
    std::vector<float> m(p.mz.begin(), p.mz.end()), in(p.intensity.begin(), p.intensity.end());
    return mm::centroid_profile(m.data(), in.data(), m.size(), s);
}

TEST(MassMeasure, GaussianPeaksCentre) {
    // Off-grid centres, so the centroid must interpolate.
    const std::vector<testfiles::ProfilePeak> peaks = {
        {500.0137, 1000, 0.05}, {501.0171, 600, 0.05}, {750.3333, 5000, 0.08}, {1200.777, 300, 0.12}};
    const double spacing = 0.005;
    auto p = testfiles::profile_spectrum(499, 1201, spacing, peaks, 5.0);
    for (bool aboveLevel : {false, true}) {
        mm::Settings s;
        s.weightAboveLevel = aboveLevel;
        dm::Spectrum c = centroid(p, s);
        ASSERT_EQ(c.mass.size(), peaks.size());
        // The points of the top fall unevenly about the centre; plain
        // intensity weights feel that more than weights above the level.
        const double tol = aboveLevel ? 0.05 * spacing : 0.35 * spacing;
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            EXPECT_NEAR(c.mass[i], peaks[i].centre, tol) << i << " above level " << aboveLevel;
            EXPECT_NEAR(c.intensity[i], peaks[i].height + 5.0, 0.02 * peaks[i].height) << i;
        }
        EXPECT_FALSE(c.continuum);
        EXPECT_TRUE(std::is_sorted(c.mass.begin(), c.mass.end()));
    }
}

TEST(MassMeasure, NoiseIsNotTakenForPeaks) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 3.0);
    auto p = testfiles::profile_spectrum(100, 110, 0.002, {{103.3, 400, 0.02}, {107.7, 80, 0.02}}, 50.0);
    for (double& y : p.intensity) y += noise(rng);
    dm::Spectrum c = centroid(p);
    ASSERT_EQ(c.mass.size(), 2u);
    EXPECT_NEAR(c.mass[0], 103.3, 0.002);
    EXPECT_NEAR(c.mass[1], 107.7, 0.002);
}

TEST(MassMeasure, UncertaintyIsTheScatterOfTheCentroidAndShrinksWithSignal) {
    // Many noisy copies of one peak: the centroids scatter as the stated
    // uncertainty says, and four times the height gives a quarter of it.
    double first = 0;
    for (double height : {400.0, 1600.0}) {
        std::mt19937 rng(11);
        std::normal_distribution<double> noise(0.0, 3.0);
        double sum = 0, sumSq = 0, stated = 0;
        const int runs = 400;
        for (int k = 0; k < runs; ++k) {
            auto p = testfiles::profile_spectrum(100, 110, 0.002, {{105.0013, height, 0.02}}, 50.0);
            for (double& y : p.intensity) y += noise(rng);
            dm::Spectrum c = centroid(p);
            // A rare noise spike may pass the threshold too: the peak is the highest.
            ASSERT_GE(c.mass.size(), 1u);
            const auto top = static_cast<std::size_t>(std::max_element(c.intensity.begin(), c.intensity.end()) -
                                                      c.intensity.begin());
            const double d = c.mass[top] - 105.0013;
            sum += d;
            sumSq += d * d;
            stated += c.width[top];
        }
        const double mean = sum / runs, scatter = std::sqrt(sumSq / runs - mean * mean);
        stated /= runs;
        EXPECT_NEAR(stated, scatter, 0.25 * scatter) << height;
        if (height == 400.0) first = stated;
        else EXPECT_NEAR(stated / first, 0.25, 0.03);
    }
}

TEST(MassMeasure, BroadNoisyPeaksAreCentredByTheirShape) {
    // Noise of 4 % of the height on a peak 0.3 amu wide leaves a top of one
    // sample; the centre must still come from the whole peak.
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 40.0);
    double worst = 0;
    for (int k = 0; k < 20; ++k) {
        auto p = testfiles::profile_spectrum(500, 503, 0.002, {{501.5037, 1000, 0.3}}, 0.0);
        for (double& y : p.intensity) y += noise(rng);
        mm::Settings s;
        s.relativeThreshold = 0.5f;
        dm::Spectrum c = centroid(p, s);
        ASSERT_GE(c.mass.size(), 1u);
        const auto top = std::max_element(c.intensity.begin(), c.intensity.end()) - c.intensity.begin();
        worst = std::max(worst, std::fabs(c.mass[static_cast<std::size_t>(top)] - 501.5037));
    }
    EXPECT_LT(worst, 0.01);
}

TEST(MassMeasure, BlockSettingsAndTheirDefaults) {
    unsigned char block[mm::kBlockSize] = {};
    const mm::Settings defaults;
    EXPECT_EQ(as_tuple(mm::settings_from_block(block)), as_tuple(defaults));
    EXPECT_EQ(as_tuple(mm::settings_from_block(nullptr)), as_tuple(defaults));

    dm::store_field<float>(block, mm::kMinIntensity, 550.0f);
    dm::store_field<float>(block, mm::kTopFraction, 0.5f);
    dm::store_field<float>(block, mm::kWidthScale, 0.5f);
    dm::store_field<std::int32_t>(block, mm::kMinPoints, 4);
    dm::store_field<float>(block, mm::kSignalToNoise, -1.0f);
    mm::Settings s = mm::settings_from_block(block);
    EXPECT_EQ(as_tuple(s), as_tuple({.minIntensity = 550, .signalToNoise = -1, .topFraction = 0.5f, .minPoints = 4,
                                     .widthScale = 0.5f}));

    auto p = testfiles::profile_spectrum(100, 102, 0.01, {{100.5, 500, 0.05}, {101.5, 600, 0.05}});
    dm::Spectrum c = centroid(p, s);
    ASSERT_EQ(c.mass.size(), 1u);  // the 500 peak is below the threshold
    mm::Settings unscaled = s;
    unscaled.widthScale = 1.0f;
    EXPECT_FLOAT_EQ(c.width[0], 0.5f * centroid(p, unscaled).width[0]);

    dm::store_field<float>(block, mm::kTopFraction, 7.0f);  // out of range: default
    EXPECT_FLOAT_EQ(mm::settings_from_block(block).topFraction, 0.8f);
}

TEST(MassMeasure, TooShortOrFlatSpectraGiveNoPeaks) {
    const float m[] = {1, 2, 3, 4};
    const float flat[] = {5, 5, 5, 5};
    EXPECT_TRUE(mm::centroid_profile(m, flat, 4, {}).mass.empty());
    EXPECT_TRUE(mm::centroid_profile(m, flat, 2, {}).mass.empty());
    const float zero[] = {0, 0, 0, 0};
    EXPECT_TRUE(mm::centroid_profile(m, zero, 4, {}).mass.empty());
}

TEST(MassMeasure, SpectrumCallKeepsTheResultInTheDataManager) {
    const auto dir = testfiles::temp_dir("mm");
    auto p = testfiles::profile_spectrum(200, 202, 0.002, {{201.0, 1000, 0.02}});
    p.windowLow = 150;
    p.windowHigh = 250;
    testfiles::write_file(dir / "p.mzML", testfiles::mzml({p}));
    RawFileRef ref = testfiles::ref_to(dir / "p.mzML");
    unsigned char block[mm::kBlockSize] = {};
    const int before = dm::dm_stored_spectrum_count();
    dm::DmHandle h = MassMeasureSpectrum(nullptr, &ref, block, 0, 0);
    ASSERT_NE(h, nullptr) << dm::dm_last_error();
    const auto* id = static_cast<const unsigned char*>(dm::DmLockID(h));
    const auto number = dm::load_field<std::uint16_t>(id, dm::kIdSingle);
    EXPECT_NE(number, 0);
    // One centroid, and the source's header.
    EXPECT_EQ(std::tuple(dm::load_field<std::uint32_t>(id, dm::kIdPeakCount),
                         dm::load_field<std::uint32_t>(id, dm::kIdContinuum),
                         dm::load_field<float>(id + dm::kIdHeader, dm::kHdrMassLow)),
              std::tuple(1u, 0u, 150.0f));
    dm::DmReleaseHandle(h, 0);
    EXPECT_EQ(dm::dm_stored_spectrum_count(), before + 1);
    dm::dm_release_spectrum(number);

    ref.nFunction = 2;
    EXPECT_EQ(MassMeasureSpectrum(nullptr, &ref, block, 0, 0), nullptr);
    EXPECT_NE(std::string(dm::dm_last_error()).find("no function 2"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// Our centroids of a profile spectrum written by another program against
// that program's own picked peaks of it.
TEST(MassMeasure, AgreesWithThePeersPickedPeaks) {
    const std::filesystem::path ex = "/usr/share/doc/openms/examples";
    dm::Spectrum profile, picked;
    dm::FunctionDescription d;
    ASSERT_TRUE(dm::dm_read_scan(testfiles::ref_to(ex / "peakpicker_tutorial_2.mzML"), 1, 1, profile, d))
        << dm::dm_last_error();
    ASSERT_TRUE(dm::dm_read_scan(testfiles::ref_to(ex / "peakpicker_tutorial_2_picked.mzML"), 1, 1, picked, d))
        << dm::dm_last_error();
    for (float dip : {1.0f, -1.0f}) {
        mm::Settings settings;
        settings.minDip = dip;
        const dm::Spectrum ours =
            mm::centroid_profile(profile.mass.data(), profile.intensity.data(), profile.mass.size(), settings);
        ASSERT_FALSE(ours.mass.empty());

        const float base = *std::max_element(picked.intensity.begin(), picked.intensity.end());
        std::vector<double> ppm;
        int considered = 0;
        for (std::size_t i = 0; i < picked.mass.size(); ++i) {
            if (picked.intensity[i] <= 0.05f * base) continue;
            ++considered;
            const double m = picked.mass[i];
            auto it = std::lower_bound(ours.mass.begin(), ours.mass.end(), static_cast<float>(m));
            double best = 1e9;
            if (it != ours.mass.end()) best = std::fabs(*it - m);
            if (it != ours.mass.begin()) best = std::min(best, std::fabs(*(it - 1) - m));
            const double e = best / m * 1e6;
            if (e <= 20.0) ppm.push_back(e);  // found: within 20 ppm
        }
        ASSERT_GT(considered, 0);
        std::sort(ppm.begin(), ppm.end());
        const double median = ppm.empty() ? 1e9 : ppm[ppm.size() / 2];
        // Every peer peak above 5 % of the base is found when every local
        // maximum counts, nearly all with the default dip.
        EXPECT_GE(static_cast<double>(ppm.size()), (dip < 0 ? 1.0 : 0.95) * considered) << "dip " << dip;
        EXPECT_LT(median, 1.0) << "dip " << dip;
    }
}

}  // namespace
