#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/calib_eval.hpp"
#include "engine/driver.hpp"
#include "core/arrays.hpp"
#include "masscal/calib.h"
#include "support/test_files.hpp"
#include "support/recording_ui.hpp"
#include "support/scoped_env.hpp"

void CalDeisotopePeaks(float threshold, CalRecord* rec);

namespace {

namespace fs = std::filesystem;

// Reference masses spread over 100..2000 amu.
std::vector<double> reference_masses() {
    std::vector<double> m;
    for (int i = 0; i < 20; ++i) m.push_back(101.0 + i * 97.31 + 0.013 * i * i);
    return m;
}

struct Spectrum {
    std::string header;
    std::function<double(double)> error;  // measured - reference
    double noise = 0.0;                    // standard deviation, amu
    bool detail = false;                   // flags and widths
    int dropEvery = 0;                     // leave out every k-th reference peak
};

class Calibration : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::temp_dir("calibrate");
        testfiles::write_file(dir_ / "settings.ini", "");
        settings_.emplace("MASSCAL_SETTINGS", (dir_ / "settings.ini").c_str());
        rec_ = std::make_unique<CalRecord>();
        std::memset(rec_.get(), 0, sizeof(CalRecord));
        rec_->Params = CalParams{1, 0.5f, 2.0f, 0, 0.01f, 0, 1, 0, 0};
        write_reference();
    }
    void TearDown() override {
        CalAllocArrays(rec_.get(), 1);
        fs::remove_all(dir_);
    }
    void write_reference() {
        std::ostringstream s;
        s << "; synthetic calibrant\r\n";
        for (double m : reference_masses()) s << std::fixed << m << " 100\r\n";
        testfiles::write_file(dir_ / "cal.ref", s.str());
        rec_->RefFile = testfiles::ref_to(dir_ / "cal.ref");
    }
    // A centroid spectrum of the reference peaks shifted by the error curve,
    // with a few weak noise peaks in between.
    void write_data(const Spectrum& sp, unsigned seed = 7) {
        std::mt19937 rng(seed);
        std::normal_distribution<double> noise(0.0, sp.noise > 0 ? sp.noise : 1.0);
        std::ostringstream s;
        s.precision(10);
        s << "# mass range: 80 2100\n" << sp.header;
        s << (sp.detail ? "# columns: mass intensity flags width\n" : "# columns: mass intensity\n");
        const auto ref = reference_masses();
        for (size_t i = 0; i < ref.size(); ++i) {
            const double junk = ref[i] - 40.0;
            s << junk << " 3" << (sp.detail ? " 0 0.01" : "") << "\n";
            if (sp.dropEvery && i % sp.dropEvery == 1) continue;
            const double m = ref[i] + sp.error(ref[i]) + (sp.noise > 0 ? noise(rng) : 0.0);
            s << m << " " << 1000 + 10 * i << (sp.detail ? " 0 0.002" : "") << "\n";
        }
        testfiles::write_file(dir_ / "data.txt", s.str());
        rec_->DataFile = testfiles::ref_to(dir_ / "data.txt");
        rec_->nFirstScan = rec_->nLastScan = 1;
    }
    const float* residuals() const { return masscal::core::array_data<float>(rec_->Residuals); }
    const float* errors() const { return masscal::core::array_data<float>(rec_->Errors); }
    const float* matched() const { return masscal::core::array_data<float>(rec_->MatchPeaks.Mass); }

    fs::path dir_;
    std::optional<masscal::testing::ScopedEnv> settings_;
    std::unique_ptr<CalRecord> rec_;
    masscal::testing::RecordingUi ui_;
};

TEST_F(Calibration, StraightLineErrorIsRecoveredExactly) {
    write_data({"", [](double m) { return 0.01 + 1e-4 * m; }});
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    ASSERT_EQ(rec_->MatchPeaks.nCount, 20);
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 1);
    EXPECT_NEAR(rec_->ErrorFunc.dCoeffs[0], 0.01, 2e-4);  // float masses: about 1e-4 amu
    EXPECT_NEAR(rec_->ErrorFunc.dCoeffs[1], 1e-4, 2e-7);
    EXPECT_NEAR(rec_->MassFunc.dCoeffs[1], 0.9999, 2e-7);  // the mass form
    EXPECT_NEAR(masscal::core::eval_coeffs(&rec_->MassFunc, 1000.11), 1000.11 - (0.01 + 0.100011), 3e-4);
    for (int i = 0; i < rec_->MatchPeaks.nCount; ++i) EXPECT_NEAR(residuals()[i], 0.0, 3e-4) << i;
    EXPECT_LT(rec_->dRmsResidualPpm, 0.5);
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(Calibration, CubicWithNoiseIsRecoveredWithinTheNoise) {
    auto curve = [](double m) { return 0.05 - 2e-5 * m + 3e-8 * m * m - 5e-12 * m * m * m; };
    write_data({"", curve, 0.001});
    rec_->Params.PolyOrder = 3;
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    ASSERT_EQ(rec_->MatchPeaks.nCount, 20);
    ASSERT_EQ(rec_->ErrorFunc.nOrder, 3);
    for (double m = 150; m < 1900; m += 100) EXPECT_NEAR(masscal::core::eval_coeffs(&rec_->ErrorFunc, m), curve(m), 0.0015) << m;
    // The statistics themselves are the residual tests' concern; here the
    // residuals must be the record's own.
    for (int i = 0; i < rec_->MatchPeaks.nCount; ++i)
        EXPECT_NEAR(residuals()[i], errors()[i] - masscal::core::eval_coeffs(&rec_->ErrorFunc, matched()[i]), 1e-6);
    EXPECT_GT(rec_->dRmsResidual, 0.0003);
    EXPECT_LT(rec_->dRmsResidual, 0.0015);
}

TEST_F(Calibration, TooFewMatchesResetsAndSaysHowMany) {
    write_data({"", [](double) { return 0.02; }});
    // Two reference peaks in range only.
    testfiles::write_file(dir_ / "cal.ref", "101.0 100\r\n198.323 100\r\n");
    rec_->Params.PolyOrder = 2;
    ASSERT_EQ(Calibrate(reinterpret_cast<CalWnd>(1), rec_.get()), 1);
    EXPECT_EQ(rec_->MatchPeaks.nCount, 2);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].text,
              "To fit a quadratic curve you need to match 3 peaks in the data with peaks in the reference file.");
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 0);
    EXPECT_EQ(+rec_->ErrorFunc.dCoeffs[0], 0.0);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(residuals()[i], errors()[i]);
    EXPECT_NEAR(rec_->dMeanResidual, 0.02, 1e-4);
    // Without an owner the driver is silent.
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    EXPECT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 0);
}

TEST_F(Calibration, AutoPeakMatchOffClearsTheMatches) {
    write_data({"", [](double) { return 0.02; }});
    rec_->Params.AutoPeakMatch = 0;
    ASSERT_EQ(Calibrate(reinterpret_cast<CalWnd>(1), rec_.get()), 1);
    EXPECT_EQ(std::make_tuple(rec_->MatchPeaks.nCount, rec_->ErrorFunc.nOrder, rec_->dRmsResidual, ui_.calls.size()),
              std::make_tuple(0, 0, 0.0, std::size_t{0}));
}

TEST_F(Calibration, ManualMatchesAreKeptWithoutRematch) {
    write_data({"", [](double m) { return 0.01 + 1e-4 * m; }});
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    rec_->MatchPeaks.nCount = 5;  // the user unmatched the rest
    rec_->Params.AutoPeakMatch = 0;
    ASSERT_EQ(CalRunCalibration(nullptr, rec_.get(), 0), 1);
    EXPECT_EQ(rec_->MatchPeaks.nCount, 5);
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 1);
    EXPECT_NEAR(rec_->ErrorFunc.dCoeffs[1], 1e-4, 1e-6);
}

TEST_F(Calibration, VerifyModeAppliesTheCheckAndFitsNothing) {
    write_data({"", [](double m) { return 0.01 + 1e-4 * m; }});
    RawCalibCoEffs check{};
    check.nOrder = 1;
    check.dCoeffs[0] = -0.01;
    check.dCoeffs[1] = 1.0 / (1.0 + 1e-4);  // undoes the error
    rec_->bCheckOnly = 1;
    rec_->pCheckCalib = &check;
    rec_->ErrorFunc.nOrder = 3;  // left from elsewhere: verify mode does not fit
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    ASSERT_EQ(rec_->MatchPeaks.nCount, 20);
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 3);
    double sq = 0;
    for (int i = 0; i < 20; ++i) sq += errors()[i] * errors()[i];
    EXPECT_NEAR(rec_->dRmsResidual, std::sqrt(sq / 20), 1e-12);
    EXPECT_LT(rec_->dRmsResidual, 2e-4);
}

TEST_F(Calibration, EmptyReferenceRangeIsReported) {
    write_data({"", [](double) { return 0.0; }});
    testfiles::write_file(dir_ / "cal.ref", "5000 100\r\n");
    EXPECT_EQ(Calibrate(nullptr, rec_.get()), 0);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].text,
              "The reference file you have selected does not contain any peaks in the range of this data.");
    EXPECT_EQ(ui_.calls[0].caption, "Calibrate");
    EXPECT_STREQ(GetCalError(), ui_.calls[0].text.c_str());
}

TEST_F(Calibration, TheAirReferenceIsReadWhenItsFunctionOrSingleWordIsSet) {
    write_data({"", [](double) { return 0.0; }});
    testfiles::write_file(dir_ / "air.ref", "150.5 100\r\n");
    rec_->AirRefFile = testfiles::ref_to(dir_ / "air.ref");
    for (const auto& [function, single, count] : {std::tuple{0, 0, 20}, {1, 0, 21}, {0, 1, 21}}) {
        rec_->AirRefFile.wFunction = static_cast<std::uint16_t>(function);
        rec_->AirRefFile.wSingle = static_cast<std::uint16_t>(single);
        ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
        EXPECT_EQ(rec_->RefPeaks.nCount, count) << function << single;
    }
}

TEST_F(Calibration, UnreadableDataIsAFileAccessError) {
    rec_->DataFile = testfiles::ref_to(dir_ / "missing.txt");
    EXPECT_EQ(Calibrate(nullptr, rec_.get()), 0);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].text, "Unable to access file");
}

TEST_F(Calibration, TimeOfFlightStoresTheSegmentCalibration) {
    write_data({"# time-of-flight: yes\n# mode word: 2\n# segment: 3\n", [](double m) { return 0.01 + 1e-4 * m; }});
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    EXPECT_EQ(rec_->bTofFunction, 1);
    const RawCalibCoEffs& seg = rec_->TofCalib.Segments[2];
    EXPECT_EQ(seg.nOrder, 1);
    EXPECT_EQ(+seg.dCoeffs[1], +rec_->MassFunc.dCoeffs[1]);
    EXPECT_NEAR(seg.dCoeffs[1], 0.9999, 2e-7);
    EXPECT_EQ(rec_->TofCalib.Segments[0].nOrder, 0);
}

TEST_F(Calibration, SinglePointPsdBorrowsTheInterceptOfAnotherSegment) {
    write_data({"# time-of-flight: yes\n# mode word: 1\n# segment: 1\n", [](double) { return 0.3; }});
    testfiles::write_file(dir_ / "cal.ref", "1074.48 100\r\n");
    rec_->Params.PolyOrder = 3;
    RawCalibCoEffs& other = rec_->TofCalib.Segments[1];
    other.nOrder = 1;
    other.dCoeffs[0] = -0.1;  // error form: c0 = 0.1
    other.dCoeffs[1] = 1.0;
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    ASSERT_EQ(rec_->MatchPeaks.nCount, 1);
    EXPECT_EQ(std::make_tuple(rec_->Params.bSinglePoint, rec_->Params.PolyOrder, rec_->ErrorFunc.nOrder),
              std::make_tuple(1, 1, 1));
    EXPECT_NEAR(rec_->ErrorFunc.dCoeffs[0], 0.1, 1e-12);
    // The line passes through the one matched point.
    EXPECT_NEAR(masscal::core::eval_coeffs(&rec_->ErrorFunc, matched()[0]), errors()[0], 1e-6);
    EXPECT_NEAR(other.dCoeffs[0], -0.1, 1e-15);  // borrowed calibration given back
}

TEST_F(Calibration, AccurateMassDataTakesTheRestrainedFit) {
    auto curve = [](double m) { return 0.002 + 3e-6 * m + 1e-9 * m * m; };
    write_data({"# accurate mass: yes\n", curve, 0.0005, true});
    rec_->Params.AutoPolyOrder = 1;
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    EXPECT_EQ(rec_->MatchPeaks.bDetail, 1);
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 5);
    for (double m = 200; m < 1900; m += 200) EXPECT_NEAR(masscal::core::eval_coeffs(&rec_->ErrorFunc, m), curve(m), 0.001) << m;
    EXPECT_GT(rec_->dConfBandPpm, 0.0);
    EXPECT_LT(rec_->dConfBandPpm, 10.0);
}

TEST_F(Calibration, RootMassModeOnExternalData) {
    // A time-of-flight law: the error grows with the square root of mass.
    auto curve = [](double m) {
        const double s = std::sqrt(m);
        const double t = s * (1 + 2e-5) + 0.001;
        return t * t - m;
    };
    write_data({"# time-of-flight: yes\n# external: yes\n# root-mass calibration: yes\n", curve});
    rec_->Params.PolyOrder = 1;
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    EXPECT_EQ(std::make_tuple(rec_->bExternalFunction, masscal::engine::root_mass_switch(), rec_->ErrorFunc.nType, rec_->MassFunc.nType),
              std::make_tuple(1, 1, 1, 1));
    ASSERT_EQ(rec_->MatchPeaks.nCount, 20);
    for (int i = 0; i < 20; ++i) EXPECT_NEAR(residuals()[i], 0.0, 5e-4) << i;
    // The mass function maps a measured mass back onto its reference mass.
    const double ref = reference_masses()[10];
    EXPECT_NEAR(masscal::core::eval_coeffs(&rec_->MassFunc, ref + curve(ref)), ref, 5e-4);
}

TEST_F(Calibration, CalibrateResetsTheRootMassSwitchForOrdinaryData) {
    write_data({"", [](double m) { return 1e-4 * m; }});
    EXPECT_EQ(CalUseRootMassCali(5), 5);
    EXPECT_EQ(masscal::engine::root_mass_switch(), 5);
    ASSERT_EQ(Calibrate(nullptr, rec_.get()), 1);
    EXPECT_EQ(std::make_pair(masscal::engine::root_mass_switch(), rec_->ErrorFunc.nType), std::make_pair(0, 0));
}

TEST(CalMakeCalibrationExt, FitsALineAndLeavesTheMassesAsGiven) {
    std::vector<float> m = {100.123f, 500.77f, 999.91f, 1500.3f, 1999.99f};
    std::vector<float> e;
    for (float v : m) e.push_back(static_cast<float>(0.02 + 5e-5 * v));
    const std::vector<float> before = m;
    RawCalibCoEffs out{};
    EXPECT_EQ(CalMakeCalibrationExt(m.data(), e.data(), 5, &out, 1), 1);
    EXPECT_EQ(m, before);
    EXPECT_EQ(out.nOrder, 1);
    EXPECT_NEAR(out.dCoeffs[0], -0.02, 1e-6);
    EXPECT_NEAR(out.dCoeffs[1], 1.0 - 5e-5, 1e-9);

    // Fewer points than coefficients: no calibration, and the caller's record as it was.
    RawCalibCoEffs before2 = out;
    EXPECT_EQ(CalMakeCalibrationExt(m.data(), e.data(), 2, &out, 2), 0);
    EXPECT_EQ(std::memcmp(&out, &before2, sizeof out), 0);
    EXPECT_EQ(m, before);
}

TEST(CalDeisotope, ChargeTwoClusterMovesToItsMassToCharge) {
    CalRecord rec;
    std::memset(&rec, 0, sizeof rec);
    ASSERT_EQ(CalAllocPeakList(&rec.DataPeaks, 8, 0), 1);
    const float mz[] = {300.0f, 501.00782f, 501.50949f, 502.01117f, 700.2f};
    const float in[] = {50.0f, 100.0f, 60.0f, 20.0f, 0.5f};
    for (int i = 0; i < 5; ++i) {
        masscal::core::array_data<float>(rec.DataPeaks.Mass)[i] = mz[i];
        masscal::core::array_data<float>(rec.DataPeaks.Intensity)[i] = in[i];
    }
    rec.DataPeaks.nCount = 5;
    CalDeisotopePeaks(1.0f, &rec);
    const float* mass = masscal::core::array_data<float>(rec.DataPeaks.Mass);
    ASSERT_GE(rec.DataPeaks.nCount, 2);
    bool found = false;
    for (int i = 0; i < rec.DataPeaks.nCount; ++i) {
        if (i) {
            EXPECT_LE(mass[i - 1], mass[i]);
        }
        if (std::fabs(mass[i] - 501.00782f) < 1e-3) found = true;
    }
    EXPECT_TRUE(found);
    EXPECT_LT(rec.DataPeaks.nCount, 5);  // the cluster became one peak
    CalAllocPeakList(&rec.DataPeaks, 0, 1);
}

}  // namespace
