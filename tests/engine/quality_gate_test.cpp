// The quality gate and outlier rejection on fits made by the driver.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "support/fit_test_support.hpp"
#include "engine/driver.hpp"
#include "masscal/quality.h"

namespace {

using fittest::Normal;
using fittest::TestRecord;

struct Case {
    const char* name;
    int n;
    double low, high;                            // matched masses
    std::function<double(double, int)> errorPpm;  // at a mass, for match i
    int order;
    int32_t reason;
};

// Fits n matches evenly spread over [low, high] in a data range of 150..2000.
void fit(TestRecord& t, const Case& c, std::uint64_t seed) {
    Normal noise(seed);
    ASSERT_TRUE(t.ok && CalAllocPeakList(&t.rec.SparePeaks, 100, 0) == 1);
    t.rec.MatchPeaks.nCount = c.n;
    t.rec.Params.PolyOrder = c.order;
    t.rec.Params.InitialError = 0.01f;
    t.rec.fMassLow = 150.0f;
    t.rec.fMassHigh = 2000.0f;
    for (int i = 0; i < c.n; ++i) {
        const double ref = c.low + (c.high - c.low) * i / (c.n - 1);
        const double measured = ref * (1 + (c.errorPpm(ref, i) + noise()) * 1e-6);
        t.mass()[i] = static_cast<float>(measured);
        t.intensity()[i] = 100.0f;
        t.errors()[i] = static_cast<float>(measured - ref);
        masscal::core::array_data<float>(t.rec.RootErrors)[i] = static_cast<float>(std::sqrt(measured) - std::sqrt(ref));
    }
    ASSERT_EQ(CalRecalibrate(nullptr, &t.rec, 0), 1);
}

TEST(QualityGate, RefusesWhatTheMatchesCannotSupport) {
    const auto clean = [](double, int) { return 3.0; };
    const Case cases[] = {
        {"clean", 12, 200, 1800, clean, 1, CAL_QUALITY_OK},
        {"too few", 2, 200, 1800, clean, 1, CAL_QUALITY_TOO_FEW},
        {"scatter", 12, 200, 1800, [](double, int i) { return i % 2 ? 40.0 : -40.0; }, 1, CAL_QUALITY_RMS},
        {"outlier", 40, 200, 1800, [](double, int i) { return i == 17 ? 45.0 : 3.0; }, 1, CAL_QUALITY_OUTLIER},
        // Curved errors known over 200..300 only: the quadratic runs away
        // over the rest of the data's range.
        {"extrapolation", 8, 200, 300, [](double m, int) { return 3.0 + 0.5 * (m - 250.0); }, 2,
         CAL_QUALITY_CORRECTION},
    };
    CalQualityLimits limits;
    CalDefaultQualityLimits(1, &limits);
    for (const Case& c : cases) {
        TestRecord t;
        fit(t, c, 7);
        CalQualityVerdict v;
        EXPECT_EQ(CalCheckQuality(&t.rec, &limits, &v), c.reason == CAL_QUALITY_OK) << c.name << ": " << v.szMessage;
        EXPECT_EQ(v.nReason, c.reason) << c.name << ": " << v.szMessage;
        EXPECT_EQ(v.szMessage[0] == '\0', c.reason == CAL_QUALITY_OK) << c.name;
    }
}

TEST(QualityGate, NoFitIsNoCalibration) {
    TestRecord t;
    fit(t, {"clean", 12, 200, 1800, [](double, int) { return 3.0; }, 1, 0}, 3);
    CalResetFit(&t.rec);
    CalQualityLimits limits;
    CalDefaultQualityLimits(1, &limits);
    CalQualityVerdict v;
    EXPECT_EQ(CalCheckQuality(&t.rec, &limits, &v), 0);
    EXPECT_EQ(v.nReason, CAL_QUALITY_NO_FIT);
    double band = -1;
    EXPECT_EQ(CalConfidenceBandPpm(&t.rec, &band), 0);
    EXPECT_EQ(band, -1);
}

TEST(QualityGate, OutlierRejectionDropsThePlantedMatchesOnly) {
    TestRecord t;
    const Case c{"two outliers", 20, 200, 1800, [](double, int i) { return i == 4 ? 600.0 : i == 13 ? -900.0 : 3.0; },
                 2, 0};
    fit(t, c, 11);
    const float planted[2] = {masscal::core::array_data<float>(t.rec.MatchPeaks.Mass)[4], masscal::core::array_data<float>(t.rec.MatchPeaks.Mass)[13]};
    float ref[4], measured[4];
    EXPECT_EQ(CalRejectOutliers(&t.rec, 3.5, 1.0, 4, ref, measured, 4), 2);
    EXPECT_EQ(measured[0], planted[1]);  // the farthest first
    EXPECT_EQ(measured[1], planted[0]);
    EXPECT_EQ(t.rec.MatchPeaks.nCount, 18);
    CalQualityLimits limits;
    CalDefaultQualityLimits(1, &limits);
    EXPECT_EQ(CalCheckQuality(&t.rec, &limits, nullptr), 1);
    double band = 0;
    EXPECT_EQ(CalConfidenceBandPpm(&t.rec, &band), 1);
    EXPECT_GT(band, 0.1);
    EXPECT_LT(band, 2.0);
}

}  // namespace
