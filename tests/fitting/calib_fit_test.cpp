#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "core/arrays.hpp"
#include "support/fit_test_support.hpp"
#include "fitting/calib_fit.hpp"
#include "fitting/fit_weights.hpp"
#include "fitting/restrained_fit.hpp"
#include "fitting/svd_fit.hpp"
#include "platform/memory.hpp"

namespace {

using fittest::horner;
using fittest::Normal;
using fittest::TestRecord;

// Reference: weighted least squares of a power series by Eigen.
Eigen::VectorXd eigen_fit(const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& w,
                          int order, double* chisq = nullptr) {
    const int n = static_cast<int>(x.size());
    Eigen::MatrixXd a(n, order + 1);
    Eigen::VectorXd b(n);
    for (int i = 0; i < n; ++i) {
        double p = 1.0;
        for (int k = 0; k <= order; ++k, p *= x[i]) a(i, k) = w[i] * p;
        b(i) = static_cast<double>(w[i]) * y[i];
    }
    const Eigen::VectorXd c = a.jacobiSvd(Eigen::ComputeThinU | Eigen::ComputeThinV).solve(b);
    if (chisq) *chisq = (a * c - b).squaredNorm();
    return c;
}

TEST(LegendreMatrix, RowsAreTheLegendrePolynomials) {
    CalArray g{};
    ASSERT_EQ(CalAllocMatrix(&g, 6, 6), CAL_OK);
    double** G = masscal::core::array_data<double*>(g);
    ASSERT_EQ(MakeLegendreMatrix(G, 6), 0);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c) EXPECT_NEAR(G[r + 1][c + 1], fittest::kLegendre[r][c], 1e-15) << r << "," << c;
    CalFree(&g);

    // ma = 1 and 2 stop early and leave the identity.
    for (int ma : {1, 2}) {
        CalArray h{};
        ASSERT_EQ(CalAllocMatrix(&h, ma, ma), CAL_OK);
        MakeLegendreMatrix(masscal::core::array_data<double*>(h), ma);
        for (int r = 1; r <= ma; ++r)
            for (int c = 1; c <= ma; ++c) EXPECT_EQ(masscal::core::array_data<double*>(h)[r][c], r == c ? 1.0 : 0.0);
        CalFree(&h);
    }
}

TEST(LegendreMatrix, BasisEvaluatesTheRowsAtZeroToo) {
    CalArray g{};
    ASSERT_EQ(CalAllocMatrix(&g, 4, 4), CAL_OK);
    MakeLegendreMatrix(masscal::core::array_data<double*>(g), 4);
    SetFitBasisMatrix(masscal::core::array_data<double*>(g));
    for (double x : {0.0, 0.5, -0.75}) {
        double p[5];
        LegendreBasis(x, p, 4);
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(p[k + 1], horner(fittest::kLegendre[k], 5, x), 1e-15) << x << k;
    }
    CalFree(&g);
}

struct WeightCase {
    const char* name;
    std::vector<float> intensity, uncertainty;  // empty: no array
    int useIntensity;
    std::vector<float> expected;
};

class FitWeights : public ::testing::TestWithParam<WeightCase> {};

TEST_P(FitWeights, FromUncertaintiesIntensitiesOrOne) {
    const WeightCase& c = GetParam();
    const int n = static_cast<int>(c.expected.size());
    // 1-based arrays: element 0 is a sentinel that must stay as it is.
    std::vector<float> in(n + 1, -9.0f), un(n + 1, -9.0f), out(n + 1, -9.0f);
    for (int i = 0; i < n; ++i) {
        in[i + 1] = c.intensity[i];
        if (!c.uncertainty.empty()) un[i + 1] = c.uncertainty[i];
    }
    MakeFitWeights(in.data(), c.uncertainty.empty() ? nullptr : un.data(), out.data(), c.useIntensity, n);
    EXPECT_EQ(out[0], -9.0f);
    for (int i = 0; i < n; ++i) EXPECT_EQ(out[i + 1], c.expected[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitWeights,
    ::testing::Values(WeightCase{"unc", {4, 9, 16}, {0.5f, 0.0f, -1.0f}, 1, {2.0f, 1.0f, 1.0f}},
                      WeightCase{"intensity", {4, 9, 2}, {}, 1, {2.0f, 3.0f, static_cast<float>(std::sqrt(2.0))}},
                      WeightCase{"unit", {4, 9, 16}, {}, 0, {1.0f, 1.0f, 1.0f}},
                      WeightCase{"third", {1}, {3.0f}, 0, {static_cast<float>(1.0 / 3.0)}}),
    [](const auto& info) { return std::string(info.param.name); });

class ExactPolynomial : public ::testing::TestWithParam<int> {};

// Dyadic abscissae and small integer coefficients make every ordinate exact
// in single precision, so the fit must give the coefficients back.
TEST_P(ExactPolynomial, GivesItsCoefficientsBackWithZeroDeviation) {
    const int order = GetParam();
    const double coeffs[6] = {0.25, -2.0, 3.0, -1.0, 0.5, -0.125};
    TestRecord t;
    ASSERT_TRUE(t.ok);
    const int n = 14;
    for (int i = 0; i < n; ++i) {
        t.mass()[i] = 0.125f * static_cast<float>(i + 2);
        t.errors()[i] = static_cast<float>(horner(coeffs, order, t.mass()[i]));
        ASSERT_EQ(static_cast<double>(t.errors()[i]), horner(coeffs, order, t.mass()[i]));
        t.intensity()[i] = 100.0f;
    }
    t.rec.MatchPeaks.nCount = n;
    t.rec.Params.PolyOrder = order;
    ASSERT_EQ(CalFitCalibration(&t.rec), 0);
    EXPECT_EQ(t.rec.ErrorFunc.nOrder, order);
    for (int k = 0; k <= order; ++k) EXPECT_NEAR(+t.rec.ErrorFunc.dCoeffs[k], coeffs[k], 1e-11) << k;
    for (int k = order + 1; k < 6; ++k) EXPECT_EQ(+t.rec.ErrorFunc.dCoeffs[k], 0.0);
    EXPECT_LT(+t.rec.ErrorFunc.dStdDev, 1e-11);
    for (int i = 0; i < n; ++i) EXPECT_EQ(t.fitwork()[i], 1.0f);
}

INSTANTIATE_TEST_SUITE_P(Orders, ExactPolynomial, ::testing::Values(0, 1, 2, 3, 4, 5));

class AgainstEigen : public ::testing::TestWithParam<int> {};

TEST_P(AgainstEigen, WeightedNoisyFitMatchesAnIndependentSolver) {
    const int order = GetParam();
    Normal rnd(1000 + order);
    std::vector<float> x, y, w;
    for (int i = 0; i < 40; ++i) {
        x.push_back(static_cast<float>(0.2 + 1.8 * rnd.uniform()));
        y.push_back(static_cast<float>(0.01 * std::sin(3.0 * x.back()) + 1e-3 * rnd()));
        w.push_back(static_cast<float>(0.5 + rnd.uniform()));
    }
    double chisq = 0.0;
    const Eigen::VectorXd ref = eigen_fit(x, y, w, order, &chisq);
    RawCalibCoEffs out{};
    ASSERT_EQ(CalFitPolynomial(x.data(), y.data(), w.data(), 40, &out, order), 0);
    EXPECT_EQ(out.nOrder, order);
    for (int k = 0; k <= order; ++k) EXPECT_NEAR(+out.dCoeffs[k], ref(k), 1e-9 * ref.cwiseAbs().maxCoeff()) << k;
    EXPECT_NEAR(+out.dStdDev, std::sqrt(chisq / (40 - order - 1)), 1e-9 * +out.dStdDev);
    // Relative weights: the covariance is the scatter per degree of freedom
    // times (X^T W^2 X)^-1 in the power basis.
    Eigen::MatrixXd a(40, order + 1);
    for (int i = 0; i < 40; ++i) {
        double p = 1.0;
        for (int k = 0; k <= order; ++k, p *= x[i]) a(i, k) = w[i] * p;
    }
    const Eigen::MatrixXd cov = (a.transpose() * a).inverse() * (chisq / (40 - order - 1));
    double covar[21];
    std::memcpy(covar, out.dCovar, sizeof covar);
    for (int i = 0; i <= order; ++i)
        for (int j = 0; j <= i; ++j)
            EXPECT_NEAR(covar[i * (i + 1) / 2 + j], cov(i, j), 1e-6 * cov.cwiseAbs().maxCoeff()) << i << j;

    // The record's fit with intensity weighting: weight sqrt(intensity).
    TestRecord t;
    ASSERT_TRUE(t.ok);
    for (int i = 0; i < 40; ++i) {
        t.mass()[i] = x[i];
        t.errors()[i] = y[i];
        t.intensity()[i] = w[i] * w[i];
    }
    t.rec.MatchPeaks.nCount = 40;
    t.rec.MatchPeaks.bDetail = 1;
    t.rec.Params.IntensityWeight = 1;
    t.rec.Params.PolyOrder = order;
    ASSERT_EQ(CalFitCalibration(&t.rec), 0);
    std::vector<float> wi(40);
    for (int i = 0; i < 40; ++i) wi[i] = t.fitwork()[i];
    double chisq2 = 0.0;
    const Eigen::VectorXd ref2 = eigen_fit(x, y, wi, order, &chisq2);
    for (int k = 0; k <= order; ++k)
        EXPECT_NEAR(+t.rec.ErrorFunc.dCoeffs[k], ref2(k), 1e-9 * ref2.cwiseAbs().maxCoeff()) << k;
    EXPECT_NEAR(+t.rec.ErrorFunc.dStdDev, std::sqrt(chisq2), 1e-9 * std::sqrt(chisq2));
}

INSTANTIATE_TEST_SUITE_P(Orders, AgainstEigen, ::testing::Values(0, 1, 2, 3, 4, 5));

TEST(CalFit, IntensityWeightingNeedsTheDetailFlag) {
    TestRecord t;
    ASSERT_TRUE(t.ok);
    for (int i = 0; i < 3; ++i) {
        t.mass()[i] = static_cast<float>(i);
        t.errors()[i] = 0.0f;
        t.intensity()[i] = 16.0f;
    }
    t.rec.MatchPeaks.nCount = 3;
    t.rec.Params.IntensityWeight = 1;
    t.rec.Params.PolyOrder = 1;
    ASSERT_EQ(CalFitCalibration(&t.rec), 0);
    EXPECT_EQ(t.fitwork()[0], 1.0f);
    t.rec.MatchPeaks.bDetail = 1;
    ASSERT_EQ(CalFitCalibration(&t.rec), 0);
    EXPECT_EQ(t.fitwork()[0], 4.0f);
}

TEST(CalFit, WidthsServeAsUncertaintiesOnlyWhenTheyHoldAPositiveValue) {
    TestRecord t;
    ASSERT_TRUE(t.ok);
    t.rec.MatchPeaks.nCount = 3;
    EXPECT_FALSE(MatchWidthsAreUncertainties(&t.rec));  // no detail
    t.rec.MatchPeaks.bDetail = 1;
    EXPECT_FALSE(MatchWidthsAreUncertainties(&t.rec));  // all zero
    t.width()[3] = 1.0f;                                  // beyond the count
    EXPECT_FALSE(MatchWidthsAreUncertainties(&t.rec));
    t.width()[0] = -1.0f;
    t.width()[1] = NAN;
    EXPECT_FALSE(MatchWidthsAreUncertainties(&t.rec));
    t.width()[2] = 0.5f;
    EXPECT_TRUE(MatchWidthsAreUncertainties(&t.rec));

    // Widths with zero entries: those points get weight 1.
    for (int i = 0; i < 3; ++i) {
        t.mass()[i] = static_cast<float>(i + 1);
        t.errors()[i] = 0.1f * static_cast<float>(i);
        t.intensity()[i] = 9.0f;
    }
    t.width()[0] = 0.0f;
    t.width()[1] = 0.25f;
    t.width()[2] = 0.0f;
    t.rec.Params.PolyOrder = 1;
    t.rec.Params.IntensityWeight = 1;
    ASSERT_EQ(CalFitCalibration(&t.rec), 0);
    EXPECT_EQ(std::vector<float>(t.fitwork(), t.fitwork() + 3), (std::vector<float>{1.0f, 4.0f, 1.0f}));
}

TEST(CalFit, MeanAndLineForTheLowestOrders) {
    const std::vector<float> x = {1, 2, 3, 4}, y = {1, 3, 2, 6}, w = {1, 2, 1, 0.5f};
    RawCalibCoEffs out{};
    ASSERT_EQ(CalFitPolynomial(x.data(), y.data(), w.data(), 4, &out, 0), 0);
    // Weighted mean with weights w^2.
    const double mean = (1 * 1 + 4 * 3 + 1 * 2 + 0.25 * 6) / (1 + 4 + 1 + 0.25);
    EXPECT_NEAR(+out.dCoeffs[0], mean, 1e-14);
    ASSERT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 4, &out, 1), 0);
    EXPECT_NEAR(+out.dCoeffs[0], -0.5, 1e-14);  // closed form: -0.5 + 1.4 x
    EXPECT_NEAR(+out.dCoeffs[1], 1.4, 1e-14);
}

TEST(CalFit, ExactlyAsManyPointsAsCoefficientsInterpolates) {
    const std::vector<float> x = {0.5f, 1.0f, 1.5f}, y = {1.0f, -1.0f, 2.0f};
    RawCalibCoEffs out{};
    ASSERT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 3, &out, 2), 0);
    EXPECT_EQ(+out.dStdDev, 1.0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(horner(out.dCoeffs, 2, x[i]), y[i], 1e-13);

    TestRecord t;
    ASSERT_TRUE(t.ok);
    for (int i = 0; i < 3; ++i) {
        t.mass()[i] = x[i];
        t.errors()[i] = y[i];
    }
    t.rec.MatchPeaks.nCount = 3;
    t.rec.Params.PolyOrder = 2;
    ASSERT_EQ(CalFitCalibration(&t.rec), 0);
    EXPECT_LT(+t.rec.ErrorFunc.dStdDev, 1e-13);
}

TEST(CalFit, RepeatedAbscissaGivesTheMinimumNormLegendreSolution) {
    const std::vector<float> x = {0.5f, 0.5f, 1.0f}, y = {1.0f, 2.0f, 0.5f};
    RawCalibCoEffs out{};
    ASSERT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 3, &out, 2), 0);
    // Reference: minimum-norm coefficients in the Legendre basis.
    Eigen::MatrixXd a(3, 3);
    for (int i = 0; i < 3; ++i) a.row(i) << 1.0, x[i], 1.5 * x[i] * x[i] - 0.5;
    Eigen::Vector3d b(1.0, 2.0, 0.5);
    const Eigen::VectorXd leg = a.completeOrthogonalDecomposition().solve(b);
    const double power[3] = {leg(0) - 0.5 * leg(2), leg(1), 1.5 * leg(2)};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(+out.dCoeffs[k], power[k], 1e-9) << k;
    // The line through the mean at 0.5 and the point at 1.0.
    EXPECT_NEAR(horner(out.dCoeffs, 2, 0.5), 1.5, 1e-12);
    EXPECT_NEAR(horner(out.dCoeffs, 2, 1.0), 0.5, 1e-12);
}

TEST(CalFit, BadlyFormedInputsAreRefused) {
    const std::vector<float> x = {1, 2, 3}, y = {1, 2, 3};
    RawCalibCoEffs out{};
    // Fewer points than coefficients.
    EXPECT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 2, &out, 2), CAL_ERR_BAD_EQUATIONS);
    // Orders the record cannot hold.
    RawCalibCoEffs guard[2] = {};
    guard[1].nOrder = 42;
    EXPECT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 3, &guard[0], 6), CAL_ERR_BAD_EQUATIONS);
    EXPECT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 3, &guard[0], -1), CAL_ERR_BAD_EQUATIONS);
    EXPECT_EQ(guard[1].nOrder, 42);
    EXPECT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 0, &out, 0), CAL_ERR_BAD_EQUATIONS);

    TestRecord t;
    ASSERT_TRUE(t.ok);
    t.rec.MatchPeaks.nCount = 101;
    t.rec.Params.PolyOrder = 1;
    EXPECT_EQ(CalFitCalibration(&t.rec), CAL_ERR_BAD_EQUATIONS);
    t.rec.MatchPeaks.nCount = 1;
    EXPECT_EQ(CalFitCalibration(&t.rec), CAL_ERR_BAD_EQUATIONS);  // fewer points than coefficients
}

TEST(CalFit, EveryAllocationFailureGivesOutOfMemory) {
    using masscal::platform::set_alloc_failure;
    const std::vector<float> x = {1, 2, 3, 4}, y = {1, 3, 2, 6};
    RawCalibCoEffs out{};
    masscal::platform::reset_alloc_count();
    ASSERT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 4, &out, 2), 0);
    const unsigned allocations = masscal::platform::alloc_count();
    ASSERT_GE(allocations, 9u);  // five arrays, two vectors, two scratch vectors
    for (unsigned k = 1; k <= allocations; ++k) {
        set_alloc_failure(k);
        EXPECT_EQ(CalFitPolynomial(x.data(), y.data(), nullptr, 4, &out, 2), CAL_ERR_NO_MEMORY) << k;
    }
    set_alloc_failure(0);
}

TEST(CalFit, RestraintIsMeasuredOnRootMassesInBothModes) {
    TestRecord t;
    ASSERT_TRUE(t.ok);
    const int n = 12;
    Normal rnd(5);
    for (int i = 0; i < n; ++i) {
        t.mass()[i] = static_cast<float>(0.3 + 0.15 * i);
        t.errors()[i] = static_cast<float>(1e-3 * std::cos(2.0 * t.mass()[i]) + 2e-4 * rnd());
        t.width()[i] = 1e-4f;
        t.intensity()[i] = 50.0f;
    }
    t.rec.MatchPeaks.nCount = n;
    t.rec.MatchPeaks.bDetail = 1;
    t.rec.Params.AutoPolyOrder = 1;
    t.rec.Params.PolyOrder = 1;
    t.rec.fMassLow = 250.0f;
    t.rec.fMassHigh = 2000.0f;
    std::vector<float> w(n, 1e4f);
    for (int type : {0, 1}) {
        t.rec.ErrorFunc.nType = type;
        ASSERT_EQ(CalFitCalibration(&t.rec), 0);
        EXPECT_EQ(t.rec.ErrorFunc.nOrder, 5);
        EXPECT_EQ(std::vector<float>(t.fitwork(), t.fitwork() + n), w);
        double coeffs[6], covar[21], chisq = 0.0;
        ASSERT_EQ(RestrainedFit(t.mass(), t.errors(), w.data(), n, std::sqrt(250.0), std::sqrt(2000.0), 1e-7, 5,
                                coeffs, covar, 21, &chisq, type ? 0.0 : 1000.0),
                  0);
        for (int k = 0; k < 6; ++k) EXPECT_EQ(+t.rec.ErrorFunc.dCoeffs[k], coeffs[k]) << type << k;
        for (int k = 0; k < 21; ++k) EXPECT_EQ(+t.rec.ErrorFunc.dCovar[k], covar[k]) << type << k;
        EXPECT_EQ(+t.rec.ErrorFunc.dStdDev, std::sqrt(chisq));
    }
    // An empty mass range leaves no roughness matrix: -2, order 5 all the same.
    t.rec.fMassHigh = t.rec.fMassLow;
    t.rec.ErrorFunc.nOrder = 1;
    EXPECT_EQ(CalFitCalibration(&t.rec), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(std::make_pair(t.rec.ErrorFunc.nOrder, +t.rec.ErrorFunc.dStdDev), std::make_pair(5, 0.0));
    // Without usable widths the ordinary fit of PolyOrder runs.
    for (int i = 0; i < n; ++i) t.width()[i] = 0.0f;
    EXPECT_EQ(CalFitCalibration(&t.rec), 0);
    EXPECT_EQ(t.rec.ErrorFunc.nOrder, 1);
}

// Runs in a fresh directory so that "phi.txt" is ours.
class PhiFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/masscal-phi-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    static void write(const char* text) {
        std::FILE* f = std::fopen("phi.txt", "w");
        std::fputs(text, f);
        std::fclose(f);
    }
    std::filesystem::path dir_, old_;
};

TEST_F(PhiFile, OverridesTheRoughnessWeight) {
    EXPECT_EQ(masscal::fitting::roughness_weight(), 1e-7);
    write("1e-3\n");
    EXPECT_EQ(masscal::fitting::roughness_weight(), 1e-3);
    write("  \n +2.5e-4 junk");
    EXPECT_EQ(masscal::fitting::roughness_weight(), 2.5e-4);
    write("abc");
    EXPECT_EQ(masscal::fitting::roughness_weight(), 1e-7);
    write("");
    EXPECT_EQ(masscal::fitting::roughness_weight(), 1e-7);
}

}  // namespace

TEST(CalFit, RestraintWithoutUncertaintiesAndTooFewMatchesIsTooFewMatches) {
    TestRecord t;
    ASSERT_TRUE(t.ok);
    for (int i = 0; i < 3; ++i) {
        t.mass()[i] = 0.5f * static_cast<float>(i + 1);
        t.errors()[i] = 1e-3f;
        t.intensity()[i] = 1.0f;
    }
    t.rec.MatchPeaks.nCount = 3;
    t.rec.Params.AutoPolyOrder = 1;
    t.rec.Params.PolyOrder = 3;
    EXPECT_EQ(CalFitCalibration(&t.rec), CAL_ERR_TOO_FEW_MATCHES);
    t.rec.Params.AutoPolyOrder = 0;  // the order as asked: the equations are badly formed
    EXPECT_EQ(CalFitCalibration(&t.rec), CAL_ERR_BAD_EQUATIONS);
}
