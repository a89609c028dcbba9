#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "masscal/records.h"
#include "suite/covariance/cal_covar.hpp"
#include "suite/covariance/covariances.hpp"
#include "support/fit_test_support.hpp"

namespace {

Eigen::MatrixXd unpacked(const double* packed, int n) {
    Eigen::MatrixXd c(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) c(i, j) = packed[CovarIndex(i, j)];
    return c;
}

// Weighted least squares of a power series by Eigen's SVD; returns the
// coefficients and fills the packed covariance through MakeCovariances0.
Eigen::VectorXd fit_power(const std::vector<double>& x, const std::vector<double>& y,
                          const std::vector<double>& sigma, int ncoef, double* covar) {
    const int n = static_cast<int>(x.size());
    Eigen::MatrixXd a(n, ncoef);
    Eigen::VectorXd b(n);
    for (int i = 0; i < n; ++i) {
        double p = 1.0;
        for (int k = 0; k < ncoef; ++k, p *= x[i]) a(i, k) = p / sigma[i];
        b(i) = y[i] / sigma[i];
    }
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
    std::vector<const double*> rows(ncoef);
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> v = svd.matrixV();
    for (int i = 0; i < ncoef; ++i) rows[i] = v.row(i).data();
    Eigen::VectorXd w = svd.singularValues();
    EXPECT_EQ(MakeCovariances0(rows.data(), w.data(), ncoef, 1.0, covar, 21), 0);
    return svd.solve(b);
}

TEST(Covariances, PackedIndexIsTheLowerTriangleRowByRow) {
    const std::vector<int> got = {CovarIndex(0, 0), CovarIndex(1, 0), CovarIndex(1, 1),
                                  CovarIndex(2, 0), CovarIndex(0, 2), CovarIndex(5, 5)};
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 3, 20}));
}

TEST(Covariances, MakeCovariancesIsTheInverseNormalMatrix) {
    Eigen::MatrixXd a = Eigen::MatrixXd::Random(12, 4);
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> v = svd.matrixV();
    const double* rows[4] = {v.row(0).data(), v.row(1).data(), v.row(2).data(), v.row(3).data()};
    Eigen::VectorXd w = svd.singularValues();
    double covar[21];
    for (double& c : covar) c = 99.0;
    ASSERT_EQ(MakeCovariances0(rows, w.data(), 4, 2.5, covar, 21), 0);
    const Eigen::MatrixXd expected = 2.5 * (a.transpose() * a).inverse();
    const Eigen::MatrixXd got = unpacked(covar, 4);
    EXPECT_LT((got - expected).norm(), 1e-12 * expected.norm());
    for (int i = 10; i < 21; ++i) EXPECT_EQ(covar[i], 0.0) << i;

    // A zeroed singular value drops out: the pseudo-inverse.
    w(3) = 0.0;
    ASSERT_EQ(MakeCovariances0(rows, w.data(), 4, 1.0, covar, 21), 0);
    Eigen::VectorXd inv2 = svd.singularValues().cwiseInverse().cwiseAbs2();
    inv2(3) = 0.0;
    const Eigen::MatrixXd pinv = svd.matrixV() * inv2.asDiagonal() * svd.matrixV().transpose();
    EXPECT_LT((unpacked(covar, 4) - pinv).norm(), 1e-12 * pinv.norm());

    // A short output gets only its first values.
    double few[3] = {7, 7, 7};
    ASSERT_EQ(MakeCovariances0(rows, w.data(), 4, 1.0, few, 2), 0);
    EXPECT_EQ(few[2], 7.0);
    EXPECT_EQ(MakeCovariances0(nullptr, w.data(), 4, 1.0, covar, 21), -1);
    EXPECT_EQ(MakeCovariances0(rows, w.data(), 0, 1.0, covar, 21), -1);
}

TEST(Covariances, TransformIsMCMt) {
    Eigen::MatrixXd b = Eigen::MatrixXd::Random(6, 6);
    const Eigen::MatrixXd c = b * b.transpose();
    double packed[21];
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j <= i; ++j) packed[CovarIndex(i, j)] = c(i, j);
    Eigen::Matrix<double, 6, 6, Eigen::RowMajor> m = Eigen::Matrix<double, 6, 6>::Random();
    ASSERT_EQ(TransformCovariances(m.data(), 6, packed), 0);
    const Eigen::MatrixXd expected = m * c * m.transpose();
    EXPECT_LT((unpacked(packed, 6) - expected).norm(), 1e-13 * expected.norm());
    EXPECT_EQ(TransformCovariances(m.data(), 7, packed), -1);

    // Only the first n coefficients change.
    double part[21];
    for (int i = 0; i < 21; ++i) part[i] = i + 1.0;
    const double two[4] = {2, 0, 0, 3};
    ASSERT_EQ(TransformCovariances(two, 2, part), 0);
    EXPECT_EQ(std::vector<double>(part, part + 4), (std::vector<double>{4, 12, 27, 4}));
}

TEST(Covariances, DivideByPowersFollowsTheCoefficients) {
    double packed[21];
    for (double& v : packed) v = 1.0;
    ASSERT_EQ(DivideCovariancesByPowers(packed, 1000.0), 0);
    // Element (i, j) is divided by 1000^(i + j).
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j <= i; ++j) EXPECT_NEAR(packed[CovarIndex(i, j)] / std::pow(1e-3, i + j), 1.0, 1e-12);
    EXPECT_EQ(DivideCovariancesByPowers(packed, 0.0), -1);
    EXPECT_EQ(DivideCovariancesByPowers(packed, NAN), -1);
}

TEST(Covariances, VariancesOfAKnownCovariance) {
    // Var(c0 + c1 x) = 4 + 2 x (-1) + x^2 (9) at x = 10: 4 - 20 + 900.
    double packed[21] = {4.0, -1.0, 9.0};
    float out[3];
    ASSERT_EQ(GetVariances(0, packed, 1, 0.0f, 10.0f, 3, out), 0);
    EXPECT_FLOAT_EQ(out[0], static_cast<float>(1.96 * 2.0));
    EXPECT_FLOAT_EQ(out[1], static_cast<float>(1.96 * std::sqrt(884.0)));
    EXPECT_FLOAT_EQ(out[2], static_cast<float>(1.96 * std::sqrt(4.0 - 40.0 + 3600.0)));
    // Root-mass: the same polynomial of s = sqrt(m), converted to amu by 2s.
    ASSERT_EQ(GetVariances(1, packed, 1, 100.0f, 0.0f, 1, out), 0);
    EXPECT_FLOAT_EQ(out[0], static_cast<float>(2.0 * 10.0 * 1.96 * std::sqrt(884.0)));
    // No polynomial, no band; elements beyond the order are ignored.
    ASSERT_EQ(GetVariances(0, packed, -1, 0.0f, 1.0f, 3, out), 0);
    EXPECT_EQ(out[2], 0.0f);
    ASSERT_EQ(GetVariances(0, packed, 0, 0.0f, 1.0f, 2, out), 0);
    EXPECT_FLOAT_EQ(out[1], static_cast<float>(1.96 * 2.0));
    EXPECT_EQ(GetVariances(0, nullptr, 0, 0.0f, 1.0f, 2, out), -1);
    // A negative mass in root-mass mode is taken as 0, not a NaN.
    ASSERT_EQ(GetVariances(1, packed, 1, -4.0f, 0.0f, 1, out), 0);
    EXPECT_EQ(out[0], 0.0f);
}

// A calibration record's doubles are only 4-aligned; every function must
// take them as they are (the sanitizer build checks the accesses).
TEST(Covariances, RecordMembersNeedNoAlignment) {
    struct {
        std::int32_t pad;
        RawCalibCoEffs rec;
    } holder{};
    double* covar = holder.rec.dCovar;
    const double src[21] = {4.0, -1.0, 9.0};
    std::memcpy(covar, src, sizeof src);
    ASSERT_EQ(DivideCovariancesByPowers(covar, 10.0), 0);
    double back[21];
    std::memcpy(back, covar, sizeof back);
    EXPECT_EQ(back[1], -0.1);
    EXPECT_DOUBLE_EQ(back[2], 0.09);
    float out[2];
    ASSERT_EQ(GetVariances(0, covar, 1, 0.0f, 10.0f, 2, out), 0);
    EXPECT_FLOAT_EQ(out[0], static_cast<float>(1.96 * 2.0));
    const double m[4] = {1, 0, 0, 2};
    ASSERT_EQ(TransformCovariances(m, 2, covar), 0);
    const CCalCovar text(false, covar, 1, 1.0);
    double copy[21];
    text.GetCovariances(covar, 21);
    text.GetCovariances(copy, 21);
    EXPECT_EQ(copy[0], 4.0);
    Eigen::Matrix2d v = Eigen::Matrix2d::Identity();
    const double* rows[2] = {v.data(), v.data() + 2};
    const double w[2] = {2.0, 4.0};
    ASSERT_EQ(MakeCovariances0(rows, w, 2, 1.0, covar, 21), 0);
    std::memcpy(back, covar, sizeof back);
    EXPECT_EQ(std::vector<double>(back, back + 3), (std::vector<double>{0.25, 0.0, 0.0625}));
}

struct Coverage {
    long inside = 0;
    long total = 0;
    double fraction() const { return static_cast<double>(inside) / static_cast<double>(total); }
};

// The band of a fit in thousands of amu, carried to amu by the driver's
// rescaling, covers the true curve 95 % of the time.
TEST(Covariances, BandCoversTheTrueCurveNinetyFivePercentOfTheTime) {
    const double truth[4] = {0.01, 0.02, -0.005, 0.001};  // in x = mass / 1000
    const int ncoef = 4, npoints = 30, nmass = 20;
    fittest::Normal noise(20240611);
    Coverage cov;
    for (int set = 0; set < 1500; ++set) {
        std::vector<double> x, y, sigma;
        for (int i = 0; i < npoints; ++i) {
            const double m = 200.0 + 1800.0 * i / (npoints - 1);
            const double xi = m / 1000.0;
            const double s = 0.002 + 0.004 * ((i * 7) % npoints) / npoints;
            const double f = truth[0] + xi * (truth[1] + xi * (truth[2] + xi * truth[3]));
            x.push_back(xi);
            sigma.push_back(s);
            y.push_back(f + s * noise());
        }
        double covar[21] = {};
        Eigen::VectorXd c = fit_power(x, y, sigma, ncoef, covar);
        // What the driver does: coefficient j divided by 1000^j.
        double p = 1.0;
        for (int j = 0; j < ncoef; ++j, p *= 1000.0) c(j) /= p;
        ASSERT_EQ(DivideCovariancesByPowers(covar, 1000.0), 0);
        float band[nmass];
        const float low = 150.0f, step = 100.0f;
        ASSERT_EQ(GetVariances(0, covar, ncoef - 1, low, step, nmass, band), 0);
        for (int k = 0; k < nmass; ++k) {
            const double m = low + k * static_cast<double>(step);
            const double fit = c(0) + m * (c(1) + m * (c(2) + m * c(3)));
            const double xm = m / 1000.0;
            const double f = truth[0] + xm * (truth[1] + xm * (truth[2] + xm * truth[3]));
            cov.inside += std::fabs(fit - f) <= band[k];
            ++cov.total;
        }
    }
    EXPECT_NEAR(cov.fraction(), 0.95, 0.02);
}

}  // namespace
