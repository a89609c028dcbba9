// The confidence band of the restrained fit, end to end: fit as the driver
// does (masses in thousands, or square roots of masses), carry the
// coefficients and their covariance back to amu, and count how often the band
// holds the true error curve.
#include <gtest/gtest.h>

#include <cmath>

#include "fit_test_support.hpp"
#include "fitting/calib_fit.hpp"
#include "suite/covariance/covariances.hpp"

namespace {

using fittest::horner;
using fittest::Normal;
using fittest::TestRecord;

constexpr int kPeaks = 30;
constexpr int kSets = 400;
constexpr int kBandPoints = 24;

struct Coverage {
    long inside = 0, total = 0;
    double fraction() const { return static_cast<double>(inside) / static_cast<double>(total); }
};

double mass_of(int i) { return 200.0 + 1800.0 * i / (kPeaks - 1); }
double sigma_of(int i) { return 1e-3 + 2e-3 * ((i * 7) % kPeaks) / kPeaks; }  // amu

void setup(TestRecord& t) {
    t.rec.MatchPeaks.nCount = kPeaks;
    t.rec.MatchPeaks.bDetail = 1;
    t.rec.Params.AutoPolyOrder = 1;
    t.rec.Params.PolyOrder = 2;  // no part on the restrained path
    t.rec.fMassLow = 150.0f;
    t.rec.fMassHigh = 2100.0f;
    for (int i = 0; i < kPeaks; ++i) t.intensity()[i] = 1000.0f;
}

TEST(BandCoverage, RestrainedFitInThousandsOfAmu) {
    // True error curve in amu: a straight line (the restraint does not bias it).
    const double truth[2] = {2e-3, 1.5e-6};
    Normal noise(4242);
    Coverage cov;
    TestRecord t;
    ASSERT_TRUE(t.ok);
    for (int set = 0; set < kSets; ++set) {
        setup(t);
        t.rec.ErrorFunc.nType = 0;
        for (int i = 0; i < kPeaks; ++i) {
            const double m = mass_of(i);
            t.mass()[i] = static_cast<float>(m / 1000.0);
            t.width()[i] = static_cast<float>(sigma_of(i));
            t.errors()[i] = static_cast<float>(truth[0] + truth[1] * m + sigma_of(i) * noise());
        }
        ASSERT_EQ(CalFitCalibration(&t.rec), 0);
        ASSERT_EQ(t.rec.ErrorFunc.nOrder, 5);
        // The driver's way back to amu.
        double p = 1.0;
        for (int j = 1; j <= 5; ++j) t.rec.ErrorFunc.dCoeffs[j] /= (p *= 1000.0);
        ASSERT_EQ(DivideCovariancesByPowers(t.rec.ErrorFunc.dCovar, 1000.0), 0);

        float band[kBandPoints];
        const float low = 150.0f, step = 1950.0f / (kBandPoints - 1);
        ASSERT_EQ(GetVariances(0, t.rec.ErrorFunc.dCovar, 5, low, step, kBandPoints, band), 0);
        for (int k = 0; k < kBandPoints; ++k) {
            const double m = low + k * static_cast<double>(step);
            const double fit = horner(t.rec.ErrorFunc.dCoeffs, 5, m);
            cov.inside += std::fabs(fit - (truth[0] + truth[1] * m)) <= band[k];
            ++cov.total;
        }
    }
    RecordProperty("coverage", std::to_string(cov.fraction()));
    EXPECT_NEAR(cov.fraction(), 0.95, 0.03);
}

TEST(BandCoverage, RestrainedFitOnRootMasses) {
    // True root-mass error sqrt(measured) - sqrt(true) as a line in sqrt(m).
    const double truth[2] = {4e-5, 1.0e-6};
    Normal noise(99);
    Coverage cov;
    TestRecord t;
    ASSERT_TRUE(t.ok);
    for (int set = 0; set < kSets; ++set) {
        setup(t);
        t.rec.ErrorFunc.nType = 1;
        for (int i = 0; i < kPeaks; ++i) {
            const double m = mass_of(i);
            const float s = static_cast<float>(std::sqrt(m));
            t.mass()[i] = s;
            // A mass uncertainty w is a root-mass uncertainty w / (2 sqrt(m)).
            t.width()[i] = static_cast<float>(sigma_of(i) / (2.0 * s));
            t.errors()[i] = static_cast<float>(truth[0] + truth[1] * s + t.width()[i] * noise());
        }
        ASSERT_EQ(CalFitCalibration(&t.rec), 0);
        float band[kBandPoints];
        const float low = 150.0f, step = 1950.0f / (kBandPoints - 1);
        ASSERT_EQ(GetVariances(1, t.rec.ErrorFunc.dCovar, 5, low, step, kBandPoints, band), 0);
        for (int k = 0; k < kBandPoints; ++k) {
            const double m = low + k * static_cast<double>(step), s = std::sqrt(m);
            // Mass errors m - (s - e)^2 of the fitted and of the true curve.
            const double ef = horner(t.rec.ErrorFunc.dCoeffs, 5, s), et = truth[0] + truth[1] * s;
            const double diff = (m - (s - ef) * (s - ef)) - (m - (s - et) * (s - et));
            cov.inside += std::fabs(diff) <= band[k];
            ++cov.total;
        }
    }
    RecordProperty("coverage", std::to_string(cov.fraction()));
    EXPECT_NEAR(cov.fraction(), 0.95, 0.03);
}

}  // namespace
