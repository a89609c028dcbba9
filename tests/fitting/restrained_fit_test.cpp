#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cfloat>
#include <cmath>
#include <vector>

#include "support/fit_test_support.hpp"
#include "fitting/brent.hpp"
#include "fitting/calib_fit.hpp"
#include "fitting/legendre.hpp"
#include "fitting/restrained_fit.hpp"
#include "platform/memory.hpp"
#include "suite/covariance/covariances.hpp"

namespace {

using fittest::horner;
using fittest::Normal;
namespace mem = masscal::platform;

using fittest::kLegendre;

struct Triangle {
    explicit Triangle(int order) : t(MakeLegendreTriangle(order)) {}
    ~Triangle() { mem::heap_free(t); }
    double* t;
};

TEST(Legendre, TriangleValuesSeriesAndPowerForm) {
    Triangle tri(5);
    ASSERT_NE(tri.t, nullptr);
    for (int k = 0; k <= 5; ++k)
        for (int j = 0; j <= k; ++j)
            EXPECT_NEAR(tri.t[LegendreTriangleIndex(k, j)], kLegendre[k][j], 1e-15) << k << "," << j;
    EXPECT_EQ(MakeLegendreTriangle(-1), nullptr);
    Triangle zero(0);
    ASSERT_NE(zero.t, nullptr);
    EXPECT_EQ(zero.t[0], 1.0);

    const double c[6] = {0.3, -1.2, 0.7, 2.0, -0.4, 0.9};
    double power[6];
    ASSERT_EQ(LegendreToPower(5, tri.t, c, power), 0);
    for (double x : {-1.0, -0.3, 0.0, 0.5, 1.0, 3.7}) {
        double p[6];
        LegendreValues(x, p, 5);
        for (int k = 0; k <= 5; ++k) EXPECT_NEAR(p[k], horner(kLegendre[k], 5, x), 1e-12 * (1 + std::fabs(p[k])));
        EXPECT_NEAR(LegendreSeries(x, c, 5), horner(power, 5, x), 1e-12 * (1 + std::fabs(horner(power, 5, x))));
    }
    double low[2];
    ASSERT_EQ(LegendreToPower(1, tri.t, c, low), 0);
    EXPECT_EQ(low[0], 0.3);
    EXPECT_EQ(low[1], -1.2);
    EXPECT_EQ(LegendreToPower(-1, tri.t, c, low), -1);
    EXPECT_EQ(LegendreSeries(2.0, c, 0), 0.3);
}

// Integral over [a, b] of P(p)'' P(q)'', from the power coefficients.
long double second_derivative_integral(int p, int q, long double a, long double b) {
    long double s = 0;
    for (int i = 2; i <= 5; ++i)
        for (int j = 2; j <= 5; ++j) {
            const long double ci = kLegendre[p][i] * i * (i - 1), cj = kLegendre[q][j] * j * (j - 1);
            const int e = i + j - 3;
            s += ci * cj * (std::pow(b, e) - std::pow(a, e)) / e;
        }
    return s;
}

TEST(RoughnessMatrix, ScaledIntegralsWithTheDiagonalDoubled) {
    Triangle tri(5);
    const double a = 0.2, b = 1.9, phi = 1e-7;
    double* omega = MakeRoughnessMatrix(a, b, phi, 5, tri.t);
    ASSERT_NE(omega, nullptr);
    for (int p = 2; p <= 5; ++p)
        for (int q = 2; q <= 5; ++q) {
            const double s = static_cast<double>(second_derivative_integral(p, q, a, b)) / ((b - a) * phi);
            const double expected = p == q ? 2.0 * s : s;
            EXPECT_NEAR(omega[(p - 2) * 4 + (q - 2)], expected, 1e-12 * std::fabs(expected) + 1e-6) << p << q;
        }
    // A weaker restraint: phi 1e-3 divides the penalty by 1e4 more.
    double* weak = MakeRoughnessMatrix(a, b, 1e-3, 5, tri.t);
    ASSERT_NE(weak, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(weak[i] * 1e4, omega[i], 1e-12 * std::fabs(omega[i]) + 1e-9);
    mem::heap_free(weak);
    mem::heap_free(omega);

    EXPECT_EQ(MakeRoughnessMatrix(1.0, 1.0, phi, 5, tri.t), nullptr);
    EXPECT_EQ(MakeRoughnessMatrix(2.0, 1.0, phi, 5, tri.t), nullptr);
    EXPECT_EQ(MakeRoughnessMatrix(1.0, 2.0, 0.0, 5, tri.t), nullptr);
    EXPECT_EQ(MakeRoughnessMatrix(1.0, 2.0, NAN, 5, tri.t), nullptr);
    EXPECT_EQ(MakeRoughnessMatrix(1.0, 2.0, phi, 1, tri.t), nullptr);
    mem::set_alloc_failure(1);
    EXPECT_EQ(MakeRoughnessMatrix(a, b, phi, 5, tri.t), nullptr);
    mem::set_alloc_failure(0);
}

TEST(Cholesky, FactorInTheLowerTriangleInputKeptAbove) {
    Eigen::MatrixXd r = Eigen::MatrixXd::Random(5, 5);
    const Eigen::MatrixXd a = r * r.transpose() + Eigen::MatrixXd::Identity(5, 5);
    std::vector<double> m(25);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) m[i * 5 + j] = a(i, j);
    ASSERT_EQ(CholeskyDecompose0(m.data(), 5), 0);
    const Eigen::MatrixXd l = a.llt().matrixL();
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            if (j <= i)
                EXPECT_NEAR(m[i * 5 + j], l(i, j), 1e-13) << i << j;
            else
                EXPECT_EQ(m[i * 5 + j], a(i, j));
        }
    double indefinite[4] = {1, 2, 2, 1};
    EXPECT_EQ(CholeskyDecompose0(indefinite, 2), -1);
    double zero[1] = {0};
    EXPECT_EQ(CholeskyDecompose0(zero, 1), -1);
    double nan[1] = {NAN};
    EXPECT_EQ(CholeskyDecompose0(nan, 1), -1);
}

TEST(LineFit, WeightedRmsOfTheResiduals) {
    const float x[4] = {1, 2, 3, 4}, line[4] = {3, 5, 7, 9}, w[4] = {1, 2, 3, 4};
    EXPECT_NEAR(LineFitRms(x, line, w, 4), 0.0, 1e-12);
    // Unit weights, y = 1, 3, 2, 6: line -0.5 + 1.4 x, residuals 0.1, 0.7, -1.7, 0.9.
    const float y[4] = {1, 3, 2, 6}, one[4] = {1, 1, 1, 1};
    EXPECT_NEAR(LineFitRms(x, y, one, 4), std::sqrt((0.01 + 0.49 + 2.89 + 0.81) / 4), 1e-12);
    const float same[3] = {2, 2, 2};
    EXPECT_EQ(LineFitRms(same, y, one, 3), 0.0);
}

struct Counted {
    int calls = 0;
    double centre = 2.0;
};
double parabola(double x, void* c) {
    auto* k = static_cast<Counted*>(c);
    ++k->calls;
    return (x - k->centre) * (x - k->centre) + 1.0;
}
double flat(double, void* c) {
    ++static_cast<Counted*>(c)->calls;
    return 3.0;
}

TEST(Brent, FindsTheMinimumAndStopsAfterAHundredIterations) {
    Counted c;
    double x = 0.0;
    EXPECT_EQ(BrentMinimize(1.0, 5.0, 5.0, parabola, &c, 1e-3, &x), 0);
    EXPECT_NEAR(x, 2.0, 2e-3 * 2.0 + 1e-9);
    EXPECT_LE(c.calls, 101);
    c = Counted{};
    c.centre = 1.0;  // at the bracket's end
    EXPECT_EQ(BrentMinimize(1.0, 3.0, 4.0, parabola, &c, 1e-6, &x), 0);
    EXPECT_NEAR(x, 1.0, 1e-5);
    // A span golden sections cannot close in 100 steps.
    c = Counted{};
    EXPECT_EQ(BrentMinimize(0.0, 5e11, 1e12, flat, &c, 0.0, &x), -1);
    EXPECT_EQ(c.calls, 101);
    EXPECT_GE(x, 0.0);
    EXPECT_LE(x, 1e12);
}

// A context over vectors, as RestrainedFit builds it.
struct Context {
    Context(const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& w, double a,
            double b, double phi, int order = 5)
        : tri(order), rows(static_cast<int>(x.size()) + order - 1), cols(order + 1),
          design(static_cast<std::size_t>(rows * cols)), v(static_cast<std::size_t>(cols * cols)),
          drow(rows), vrow(cols), W(cols), c(cols), rhs(rows) {
        omega = MakeRoughnessMatrix(a, b, phi, order, tri.t);
        EXPECT_NE(omega, nullptr);
        EXPECT_EQ(CholeskyDecompose0(omega, order - 1), 0);
        for (int i = 0; i < rows; ++i) drow[i] = design.data() + i * cols;
        for (int i = 0; i < cols; ++i) vrow[i] = v.data() + i * cols;
        ctx = RestrainedFitContext{static_cast<int>(x.size()), order, x.data(), y.data(), w.data(), drow.data(),
                                   vrow.data(), W.data(), c.data(), rhs.data(), omega, &chisq, 0};
    }
    ~Context() { mem::heap_free(omega); }
    double operator()(double alpha) { return RestrainedObjective(alpha, &ctx); }

    Triangle tri;
    int rows, cols;
    std::vector<double> design, v;
    std::vector<double*> drow, vrow;
    std::vector<double> W, c, rhs;
    double* omega = nullptr;
    double chisq = 0.0;
    RestrainedFitContext ctx{};
};

// The penalised least squares of the objective, solved by Eigen.
Eigen::MatrixXd augmented(const std::vector<float>& x, const std::vector<float>& w, double alpha,
                          const double* L, int order) {
    const int n = static_cast<int>(x.size()), size = order - 1;
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(n + order - 1, order + 1);
    for (int i = 0; i < n; ++i) {
        double p[6];
        LegendreValues(x[i], p, order);
        for (int k = 0; k <= order; ++k) a(i, k) = w[i] / alpha * p[k];
    }
    for (int r = 0; r < size; ++r)
        for (int k = r + 2; k <= order; ++k) a(n + r, k) = L[(k - 2) * size + r];
    return a;
}

struct Data {
    std::vector<float> x, y, w;
};

// Masses 200..2000 in thousands, errors a smooth curve plus noise of the
// stated uncertainties times `scale`.
Data noisy(std::uint64_t seed, int n, double scale, bool line = false) {
    Normal rnd(seed);
    Data d;
    for (int i = 0; i < n; ++i) {
        const double m = 200.0 + 1800.0 * i / (n - 1);
        const double x = m / 1000.0;
        const double sigma = 2e-4 + 3e-4 * ((i * 5) % n) / n;
        const double f = line ? 1e-3 + 2e-3 * x : 1e-3 + 2e-3 * x - 1.5e-3 * x * x + 4e-4 * x * x * x;
        d.x.push_back(static_cast<float>(x));
        d.y.push_back(static_cast<float>(f + scale * sigma * rnd()));
        d.w.push_back(static_cast<float>(1.0 / sigma));
    }
    return d;
}

TEST(RestrainedObjective, BelowOneIsTheLargestDouble) {
    const Data d = noisy(1, 10, 1.0);
    Context c(d.x, d.y, d.w, 0.2, 2.0, 1e-7);
    EXPECT_EQ(c(0.999), 1.7976931348623157e308);
    EXPECT_EQ(c(-3.0), DBL_MAX);
}

TEST(RestrainedObjective, SolvesThePenalisedProblemAndAddsItsTerms) {
    const Data d = noisy(2, 30, 3.0);
    Context c(d.x, d.y, d.w, 0.2, 2.0, 1e-7);
    for (double alpha : {1.0, 2.5, 40.0}) {
        const double f = c(alpha);
        const Eigen::MatrixXd a = augmented(d.x, d.w, alpha, c.omega, 5);
        Eigen::VectorXd b = Eigen::VectorXd::Zero(a.rows());
        for (int i = 0; i < 30; ++i) b(i) = static_cast<double>(d.y[i]) * d.w[i] / alpha;
        const Eigen::VectorXd ref = a.completeOrthogonalDecomposition().solve(b);
        for (int k = 0; k <= 5; ++k) EXPECT_NEAR(c.c[k], ref(k), 1e-9 * ref.cwiseAbs().maxCoeff()) << k;
        double chi2 = 0.0;
        for (int i = 0; i < 30; ++i) {
            const double e = (d.y[i] - LegendreSeries(d.x[i], ref.data(), 5)) * d.w[i] / alpha;
            chi2 += e * e;
        }
        const double rough = (a.bottomRows(4) * ref).squaredNorm();
        EXPECT_NEAR(c.chisq, chi2, 1e-8 * chi2);
        EXPECT_NEAR(f, 30 * std::log(alpha) + 0.5 * chi2 + rough + alpha, 1e-8 * std::fabs(f));
    }
}

TEST(RestrainedFit, BrentAgreesWithADenseScanOfAlpha) {
    const Data d = noisy(4, 40, 6.0);
    const double s = LineFitRms(d.x.data(), d.y.data(), d.w.data(), 40);
    ASSERT_GT(s, 1.5);
    Context c(d.x, d.y, d.w, 0.2, 2.0, 1e-7);
    double best_scan = 1.0, f_scan = c(1.0);
    for (int i = 1; i <= 4000; ++i) {
        const double alpha = 1.0 + (s - 1.0) * i / 4000.0;
        const double f = c(alpha);
        if (f < f_scan) f_scan = f, best_scan = alpha;
    }
    const double f1 = c(1.0), f2 = c(s);
    const double start = f1 >= f2 ? s : 1.0;
    double alpha = 0.0;
    BrentMinimize(1.0, start, s, [](double a, void* k) { return (*static_cast<Context*>(k))(a); }, &c, 0.001,
                  &alpha);
    EXPECT_NEAR(alpha, best_scan, 0.01 * best_scan + (s - 1.0) / 4000.0);
    EXPECT_LE(c(alpha), f_scan + 1e-6 * std::fabs(f_scan));

    // RestrainedFit gives the solution at that alpha.
    double coeffs[6], covar[21], chisq = 0.0;
    ASSERT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 40, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq),
              0);
    c(alpha);
    double power[6];
    LegendreToPower(5, c.tri.t, c.c.data(), power);
    for (int k = 0; k <= 5; ++k) EXPECT_EQ(coeffs[k], power[k]) << k;
    EXPECT_EQ(chisq, c.chisq);
}

TEST(RestrainedFit, SmallResidualsKeepAlphaOneAndTheCovarianceIsInThePowerBasis) {
    const Data d = noisy(5, 25, 0.5);
    ASSERT_LE(LineFitRms(d.x.data(), d.y.data(), d.w.data(), 25), 1.0);
    double coeffs[6], covar[21], chisq = 0.0;
    ASSERT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 25, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq),
              0);
    Context c(d.x, d.y, d.w, 0.2, 2.0, 1e-7);
    c(1.0);
    double power[6];
    LegendreToPower(5, c.tri.t, c.c.data(), power);
    for (int k = 0; k <= 5; ++k) EXPECT_EQ(coeffs[k], power[k]) << k;
    EXPECT_EQ(chisq, c.chisq);

    // Covariance of the power coefficients: T^T (A^T A)^-1 T.
    const Eigen::MatrixXd a = augmented(d.x, d.w, 1.0, c.omega, 5);
    const Eigen::MatrixXd legendre = (a.transpose() * a).inverse();
    Eigen::MatrixXd t = Eigen::MatrixXd::Zero(6, 6);  // power = t * legendre coefficients
    for (int k = 0; k <= 5; ++k)
        for (int j = 0; j <= k; ++j) t(j, k) = kLegendre[k][j];
    const Eigen::MatrixXd expected = t * legendre * t.transpose();
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j <= i; ++j)
            EXPECT_NEAR(covar[CovarIndex(i, j)], expected(i, j), 1e-8 * expected.cwiseAbs().maxCoeff()) << i << j;
}

TEST(RestrainedFit, Refusals) {
    const Data d = noisy(6, 10, 1.0);
    double coeffs[6] = {7, 7, 7, 7, 7, 7}, covar[21] = {}, chisq = -1.0;
    EXPECT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 10, 1.0, 1.0, 1e-7, 5, coeffs, covar, 21, &chisq),
              -2);
    EXPECT_EQ(coeffs[0], 7.0);
    EXPECT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 10, 0.2, 2.0, -1e-7, 5, coeffs, covar, 21, &chisq),
              -2);
    EXPECT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 1, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq), -1);
    EXPECT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 10, 0.2, 2.0, 1e-7, 6, coeffs, covar, 21, &chisq), -1);
    EXPECT_EQ(coeffs[0], 7.0);
    // Two points suffice: 6 rows for 6 columns.
    EXPECT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 2, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq), 0);
    // A NaN ordinate stops the decompositions from converging.
    Data bad = d;
    bad.y[3] = NAN;
    EXPECT_EQ(RestrainedFit(bad.x.data(), bad.y.data(), bad.w.data(), 10, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq),
              0);  // NaN in the ordinates only reaches the solution, not the decomposition
    bad = d;
    bad.w[3] = NAN;
    EXPECT_EQ(RestrainedFit(bad.x.data(), bad.y.data(), bad.w.data(), 10, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq),
              CAL_ERR_NO_UNIQUE_SOLUTION);
}

TEST(RestrainedFit, EveryAllocationFailureGivesOutOfMemory) {
    const Data d = noisy(7, 20, 4.0);
    double coeffs[6], covar[21], chisq = 0.0;
    mem::reset_alloc_count();
    ASSERT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 20, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq), 0);
    const unsigned allocations = mem::alloc_count();
    ASSERT_GT(allocations, 7u);
    for (unsigned k = 1; k <= allocations; ++k) {
        mem::set_alloc_failure(k);
        EXPECT_EQ(RestrainedFit(d.x.data(), d.y.data(), d.w.data(), 20, 0.2, 2.0, 1e-7, 5, coeffs, covar, 21, &chisq),
                  -2)
            << k;
    }
    mem::set_alloc_failure(0);
}

}  // namespace
