#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/arrays.hpp"
#include "engine/residual_stats.hpp"
#include "platform/memory.hpp"

namespace {

struct StatsRecord {
    StatsRecord() {
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(CalAllocArrays(&rec, 0), 1);
        EXPECT_EQ(CalAllocPeakList(&rec.MatchPeaks, 100, 0), 1);
        rec.fMassLow = 100.0f;
        rec.fMassHigh = 1000.0f;
    }
    ~StatsRecord() { CalAllocArrays(&rec, 1); }
    void set(const std::vector<float>& mass, const std::vector<float>& residuals) {
        for (std::size_t i = 0; i < mass.size(); ++i) {
            masscal::core::array_data<float>(rec.MatchPeaks.Mass)[i] = mass[i];
            masscal::core::array_data<float>(rec.Residuals)[i] = residuals[i];
        }
        rec.MatchPeaks.nCount = static_cast<int32_t>(mass.size());
    }
    CalRecord rec;
};

TEST(ResidualStats, MeanAndRootMeanSquare) {
    StatsRecord s;
    s.set({100, 200, 400}, {1, -1, 2});
    CalResidualStats(nullptr, &s.rec);
    EXPECT_DOUBLE_EQ(s.rec.dMeanResidual, 4.0 / 3.0);
    EXPECT_DOUBLE_EQ(s.rec.dRmsResidual, std::sqrt(2.0));
    const double ppm = std::sqrt((1e-4 + 0.25e-4 + 0.25e-4) * 1e12 / 3.0);
    EXPECT_NEAR(s.rec.dRmsResidualPpm, ppm, 1e-9 * ppm);
    EXPECT_EQ(s.rec.dConfBandPpm, 0.0);  // no detail
}

TEST(ResidualStats, MassesAtOrBelowZeroDivideByOne) {
    StatsRecord s;
    s.set({0, -5}, {0.001f, 0.002f});
    CalResidualStats(nullptr, &s.rec);
    const double e1 = 0.001f, e2 = 0.002f;
    EXPECT_NEAR(s.rec.dRmsResidualPpm, std::sqrt((e1 * e1 + e2 * e2) * 1e12 / 2), 1e-6);
}

TEST(ResidualStats, VerifyModeUsesTheRawErrors) {
    StatsRecord s;
    s.set({100, 200}, {5, 5});
    masscal::core::array_data<float>(s.rec.Errors)[0] = 0.5f;
    masscal::core::array_data<float>(s.rec.Errors)[1] = -0.5f;
    s.rec.bCheckOnly = 1;
    CalResidualStats(nullptr, &s.rec);
    EXPECT_DOUBLE_EQ(s.rec.dMeanResidual, 0.5);
    EXPECT_DOUBLE_EQ(s.rec.dRmsResidual, 0.5);
}

TEST(ResidualStats, NoMatchesZeroTheAmuFiguresOnly) {
    StatsRecord s;
    s.set({100, 200}, {1, 2});
    CalResidualStats(nullptr, &s.rec);
    const double ppm = s.rec.dRmsResidualPpm;
    s.rec.dConfBandPpm = 7.5;
    s.rec.MatchPeaks.nCount = 0;
    CalResidualStats(nullptr, &s.rec);
    EXPECT_EQ(s.rec.dMeanResidual, 0.0);
    EXPECT_EQ(s.rec.dRmsResidual, 0.0);
    EXPECT_EQ(s.rec.dRmsResidualPpm, ppm);
    EXPECT_EQ(s.rec.dConfBandPpm, 7.5);
}

// A constant band of half-width h averages to h ln(high/low) / (high - low)
// relative to the mass.
TEST(ResidualStats, ConfidenceBandIsTheTrapezoidAverageOverTheRange) {
    StatsRecord s;
    s.set({300}, {0.01f});
    s.rec.MatchPeaks.bDetail = 1;
    s.rec.ErrorFunc.nOrder = 0;
    s.rec.ErrorFunc.dCovar[0] = 1e-6;  // sigma 1e-3 amu
    CalResidualStats(nullptr, &s.rec);
    const double h = 1.96e-3;
    const double exact = h * std::log(10.0) / 900.0 * 1e6;
    EXPECT_NEAR(s.rec.dConfBandPpm, exact, 1e-4 * exact);

    // The same sum written out.
    const float low = 100.0f, high = 1000.0f, step = (high - low) / 511;
    const float hf = static_cast<float>(h);
    double sum = (hf / static_cast<double>(low) + hf / static_cast<double>(high)) * 0.5, x = low;
    for (int i = 1; i <= 510; ++i) {
        x += step;
        sum += hf / x;
    }
    EXPECT_DOUBLE_EQ(s.rec.dConfBandPpm, sum / 511 * 1e6);

    // Root-mass: the band in amu is 2 sqrt(m) times the root-mass band.
    s.rec.ErrorFunc.nType = 1;
    CalResidualStats(nullptr, &s.rec);
    const double root = 2.0 * h * (2.0 * (std::sqrt(1000.0) - std::sqrt(100.0))) / 900.0 * 1e6;
    EXPECT_NEAR(s.rec.dConfBandPpm, root, 1e-4 * root);
}

TEST(ResidualStats, BandIsZeroWithoutDetailMemoryOrAPositiveRange) {
    StatsRecord s;
    s.set({300}, {0.01f});
    s.rec.ErrorFunc.nOrder = 0;
    s.rec.ErrorFunc.dCovar[0] = 1e-6;
    s.rec.dConfBandPpm = 3.0;
    CalResidualStats(nullptr, &s.rec);
    EXPECT_EQ(s.rec.dConfBandPpm, 0.0);
    s.rec.MatchPeaks.bDetail = 1;
    masscal::platform::set_alloc_failure(1);
    CalResidualStats(nullptr, &s.rec);
    masscal::platform::set_alloc_failure(0);
    EXPECT_EQ(s.rec.dConfBandPpm, 0.0);
    s.rec.fMassLow = 0.0f;
    CalResidualStats(nullptr, &s.rec);
    EXPECT_EQ(s.rec.dConfBandPpm, 0.0);
    s.rec.fMassLow = 100.0f;
    CalResidualStats(nullptr, &s.rec);
    EXPECT_GT(s.rec.dConfBandPpm, 0.0);
}

}  // namespace
