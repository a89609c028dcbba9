// The 95 % confidence band, end to end through the driver: for true error
// curves of several shapes, in plain and root-mass mode, restrained and
// ordinary fits, count how often the band holds the true curve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/driver.hpp"
#include "support/fit_test_support.hpp"
#include "suite/covariance/covariances.hpp"

namespace {

using fittest::horner;
using fittest::Normal;
using fittest::TestRecord;

constexpr int kPeaks = 30;
constexpr int kSets = 300;
constexpr int kBandPoints = 24;
constexpr double kLow = 150.0, kHigh = 2100.0;

double mass_of(int i) { return 200.0 + 1800.0 * i / (kPeaks - 1); }
double sigma_of(int i) { return 1e-3 + 2e-3 * ((i * 7) % kPeaks) / kPeaks; }  // amu

struct Case {
    const char* name;
    std::function<double(double)> error;  // true mass error (amu) at a mass
    bool rootMass;
    int order;  // 0: the restrained fit
};

// Mass error of a fitted error function at m, in the driver's forms.
double fitted_error(const RawCalibCoEffs& e, double m) {
    if (e.nType != 1) return horner(e.dCoeffs, e.nOrder, m);
    const double s = std::sqrt(m), r = horner(e.dCoeffs, e.nOrder, s);
    return m - (s - r) * (s - r);
}

double coverage(const Case& c, std::uint64_t seed) {
    Normal noise(seed);
    TestRecord t;
    EXPECT_TRUE(t.ok && CalAllocPeakList(&t.rec.SparePeaks, 100, 0) == 1);
    long inside = 0, total = 0;
    masscal::engine::set_root_mass_switch(c.rootMass ? 1 : 0);
    for (int set = 0; set < kSets; ++set) {
        t.rec.MatchPeaks.nCount = kPeaks;
        t.rec.MatchPeaks.bDetail = 1;
        t.rec.Params.AutoPeakMatch = 0;
        t.rec.Params.AutoPolyOrder = c.order == 0;
        t.rec.Params.PolyOrder = c.order;
        t.rec.fMassLow = static_cast<float>(kLow);
        t.rec.fMassHigh = static_cast<float>(kHigh);
        auto* root = masscal::core::array_data<float>(t.rec.RootErrors);
        for (int i = 0; i < kPeaks; ++i) {
            const double m = mass_of(i);
            const double measured = m + c.error(m) + sigma_of(i) * noise();
            t.mass()[i] = static_cast<float>(measured);
            t.intensity()[i] = 1000.0f;
            t.width()[i] = static_cast<float>(sigma_of(i));
            t.errors()[i] = static_cast<float>(measured - m);
            root[i] = static_cast<float>(std::sqrt(measured) - std::sqrt(m));
        }
        // Widths are only taken for uncertainties when they differ from FitWork.
        std::memset(t.fitwork(), 0, sizeof(float) * kPeaks);
        EXPECT_EQ(CalRunCalibration(nullptr, &t.rec, 0), 1);
        float band[kBandPoints];
        const float step = static_cast<float>((kHigh - kLow) / (kBandPoints - 1));
        GetVariances(t.rec.ErrorFunc.nType, t.rec.ErrorFunc.dCovar, t.rec.ErrorFunc.nOrder, static_cast<float>(kLow),
                     step, kBandPoints, band);
        for (int k = 0; k < kBandPoints; ++k) {
            const double m = kLow + k * static_cast<double>(step);
            inside += std::fabs(fitted_error(t.rec.ErrorFunc, m) - c.error(m)) <= band[k];
            ++total;
        }
    }
    masscal::engine::set_root_mass_switch(0);
    return static_cast<double>(inside) / static_cast<double>(total);
}

TEST(BandCoverage, NinetyFivePercentForEveryShapeModeAndFit) {
    const auto line = [](double m) { return 2e-3 + 1.5e-6 * m; };
    const auto quadratic = [](double m) { return -4e-3 + 1.2e-5 * m - 4e-9 * m * m; };
    // A time-of-flight scale and offset error: sqrt(measured) = (1 + k) sqrt(m) + t.
    const auto tof = [](double m) {
        const double s = (1 + 3e-6) * std::sqrt(m) + 1.5e-4;
        return s * s - m;
    };
    const auto wavy = [](double m) { return 3e-3 * std::sin(5.0 * (m - 200.0) / 1800.0) + 1e-6 * m; };
    const Case cases[] = {
        {"line", line, false, 0},          {"quadratic", quadratic, false, 0}, {"tof", tof, false, 0},
        {"wavy", wavy, false, 0},          {"line", line, true, 0},            {"quadratic", quadratic, true, 0},
        {"tof", tof, true, 0},             {"wavy", wavy, true, 0},            {"line", line, false, 1},
        {"quadratic", quadratic, false, 2}, {"tof", tof, true, 1},             {"wavy", wavy, false, 5},
    };
    std::uint64_t seed = 1;
    for (const Case& c : cases) {
        const double f = coverage(c, seed++);
        const std::string what = std::string(c.name) + (c.rootMass ? " root-mass" : " plain") +
                                 (c.order ? " order " + std::to_string(c.order) : " restrained");
        std::printf("%-28s coverage %.3f\n", what.c_str(), f);
        EXPECT_GE(f, 0.93) << what;
        EXPECT_LE(f, 0.97) << what;
    }
}

}  // namespace
