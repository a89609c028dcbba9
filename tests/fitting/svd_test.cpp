#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/arrays.hpp"
#include "fitting/svd.hpp"
#include "platform/memory.hpp"

namespace {

using Matrix = Eigen::MatrixXd;

// A 0-based matrix as row pointers over one block.
struct Rows0 {
    Rows0(int r, int c) : data(static_cast<std::size_t>(r * c)), rows(static_cast<std::size_t>(r)) {
        for (int i = 0; i < r; ++i) rows[i] = data.data() + i * c;
    }
    std::vector<double> data;
    std::vector<double*> rows;
};

// A 1-based matrix or vector of the work-array allocators, released at the end.
struct Rows1 {
    Rows1(int r, int c) { EXPECT_EQ(CalAllocMatrix(&arr, r, c), CAL_OK); }
    ~Rows1() { CalFree(&arr); }
    double** m() const { return masscal::core::array_data<double*>(arr); }
    CalArray arr{};
};
struct Vec1 {
    explicit Vec1(int n) { EXPECT_EQ(CalAllocVector(&arr, n), CAL_OK); }
    ~Vec1() { CalFree(&arr); }
    double* p() const { return masscal::core::array_data<double>(arr); }
    CalArray arr{};
};

struct Svd {
    Matrix u, v;
    Eigen::VectorXd w;
    int status;
};

Svd svd0(const Matrix& a) {
    const int m = static_cast<int>(a.rows()), n = static_cast<int>(a.cols());
    Rows0 u(m, n), v(n, n);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) u.rows[i][j] = a(i, j);
    std::vector<double> w(n);
    Svd r{Matrix(m, n), Matrix(n, n), Eigen::VectorXd(n), SvdDecompose0(u.rows.data(), m, n, w.data(), v.rows.data())};
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) r.u(i, j) = u.rows[i][j];
    for (int i = 0; i < n; ++i) {
        r.w(i) = w[i];
        for (int j = 0; j < n; ++j) r.v(i, j) = v.rows[i][j];
    }
    return r;
}

Svd svd1(const Matrix& a) {
    const int m = static_cast<int>(a.rows()), n = static_cast<int>(a.cols());
    Rows1 u(m, n), v(n, n);
    Vec1 w(n);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) u.m()[i + 1][j + 1] = a(i, j);
    Svd r{Matrix(m, n), Matrix(n, n), Eigen::VectorXd(n), SvdDecompose(u.m(), m, n, w.p(), v.m())};
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) r.u(i, j) = u.m()[i + 1][j + 1];
    for (int i = 0; i < n; ++i) {
        r.w(i) = w.p()[i + 1];
        for (int j = 0; j < n; ++j) r.v(i, j) = v.m()[i + 1][j + 1];
    }
    return r;
}

// Least-squares solution with singular values below cut * max zeroed.
Eigen::VectorXd solve0(const Svd& s, const Eigen::VectorXd& b, double cut) {
    const int m = static_cast<int>(s.u.rows()), n = static_cast<int>(s.u.cols());
    Rows0 u(m, n), v(n, n);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) u.rows[i][j] = s.u(i, j);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) v.rows[i][j] = s.v(i, j);
    std::vector<double> w(s.w.data(), s.w.data() + n), x(n);
    const double wmax = *std::max_element(w.begin(), w.end());
    for (double& x : w)
        if (x < cut * wmax) x = 0.0;
    EXPECT_EQ(SvdBackSubstitute0(u.rows.data(), w.data(), v.rows.data(), m, n, b.data(), x.data()), 0);
    return Eigen::Map<Eigen::VectorXd>(x.data(), n);
}

Eigen::VectorXd solve1(const Svd& s, const Eigen::VectorXd& b, double cut) {
    const int m = static_cast<int>(s.u.rows()), n = static_cast<int>(s.u.cols());
    Rows1 u(m, n), v(n, n);
    Vec1 w(n), bb(m), x(n);
    for (int i = 0; i < m; ++i) {
        bb.p()[i + 1] = b(i);
        for (int j = 0; j < n; ++j) u.m()[i + 1][j + 1] = s.u(i, j);
    }
    double wmax = 0.0;
    for (int i = 0; i < n; ++i) {
        w.p()[i + 1] = s.w(i);
        wmax = std::max(wmax, s.w(i));
        for (int j = 0; j < n; ++j) v.m()[i + 1][j + 1] = s.v(i, j);
    }
    for (int j = 1; j <= n; ++j)
        if (w.p()[j] < cut * wmax) w.p()[j] = 0.0;
    EXPECT_EQ(SvdBackSubstitute(u.m(), w.p(), v.m(), m, n, bb.p(), x.p()), 0);
    return Eigen::Map<Eigen::VectorXd>(x.p() + 1, n);
}

Eigen::VectorXd sorted(Eigen::VectorXd v) {
    std::sort(v.data(), v.data() + v.size(), std::greater<double>());
    return v;
}

struct Shape {
    int m, n;
};

class SvdShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(SvdShapes, AgreesWithEigenInBothIndexForms) {
    const Shape sh = GetParam();
    std::srand(static_cast<unsigned>(sh.m * 31 + sh.n));
    const Matrix a = Matrix::Random(sh.m, sh.n) + Matrix::Identity(sh.m, sh.n);
    const Eigen::VectorXd b = Eigen::VectorXd::Random(sh.m);
    Eigen::JacobiSVD<Matrix> ref(a, Eigen::ComputeThinU | Eigen::ComputeThinV);

    const Svd s0 = svd0(a), s1 = svd1(a);
    ASSERT_EQ(s0.status, 0);
    ASSERT_EQ(s1.status, 0);
    // Same arithmetic in both forms: the same bits.
    EXPECT_EQ(s0.u, s1.u);
    EXPECT_EQ(s0.v, s1.v);
    EXPECT_EQ(s0.w, s1.w);

    const Eigen::VectorXd expected = ref.singularValues();
    const Eigen::VectorXd got = sorted(s0.w);
    for (int i = 0; i < sh.n; ++i) {
        EXPECT_GE(s0.w(i), 0.0);
        EXPECT_NEAR(got(i), expected(i), 1e-12 * expected(i)) << i;
    }
    const Matrix id = Matrix::Identity(sh.n, sh.n);
    EXPECT_LT((s0.u.transpose() * s0.u - id).norm(), 1e-13 * sh.n);
    EXPECT_LT((s0.v.transpose() * s0.v - id).norm(), 1e-13 * sh.n);
    EXPECT_LT((s0.u * s0.w.asDiagonal() * s0.v.transpose() - a).norm(), 1e-13 * a.norm());

    const Eigen::VectorXd x_ref = ref.solve(b);
    const Eigen::VectorXd x0 = solve0(s0, b, 1e-12), x1 = solve1(s1, b, 1e-12);
    EXPECT_EQ(x0, x1);
    for (int i = 0; i < sh.n; ++i) EXPECT_NEAR(x0(i), x_ref(i), 1e-9 * x_ref.norm()) << i;
}

INSTANTIATE_TEST_SUITE_P(Sizes, SvdShapes,
                         ::testing::Values(Shape{1, 1}, Shape{3, 2}, Shape{6, 6}, Shape{10, 6}, Shape{104, 6},
                                           Shape{25, 4}, Shape{8, 1}));

TEST(Svd, ThreeByTwoLeastSquares) {
    // Fit y = p + q t at t = 0, 1, 2 with y = 1, 2, 4: p = 5/6, q = 3/2.
    Matrix a(3, 2);
    a << 1, 0, 1, 1, 1, 2;
    Eigen::VectorXd b(3);
    b << 1, 2, 4;
    const Svd s = svd1(a);
    ASSERT_EQ(s.status, 0);
    EXPECT_GT(s.w.minCoeff(), 0.0);
    const Eigen::VectorXd x = solve1(s, b, 5e-15);
    EXPECT_NEAR(x(0), 5.0 / 6.0, 1e-14);
    EXPECT_NEAR(x(1), 1.5, 1e-14);
}

TEST(Svd, EqualColumnsGiveTheMinimumNormSolution) {
    Matrix a(5, 3);
    a << 1, 2, 2, 1, -1, -1, 3, 0.5, 0.5, -2, 4, 4, 0.25, 1, 1;
    Eigen::VectorXd b(5);
    b << 1, -2, 0.5, 3, 1;
    for (const Svd& s : {svd0(a), svd1(a)}) {
        ASSERT_EQ(s.status, 0);
        EXPECT_LT(sorted(s.w)(2), 1e-14 * s.w.maxCoeff());
    }
    const Eigen::VectorXd x_ref = a.completeOrthogonalDecomposition().solve(b);
    const Eigen::VectorXd x = solve0(svd0(a), b, 1e-12);
    EXPECT_LT((x - x_ref).norm(), 1e-9 * x_ref.norm());
    EXPECT_NEAR(x(1), x(2), 1e-12);
    EXPECT_LT((solve1(svd1(a), b, 5e-15) - x_ref).norm(), 1e-9 * x_ref.norm());
}

TEST(Svd, ZeroMatrixGivesZeroSingularValues) {
    const Svd s = svd0(Matrix::Zero(4, 3));
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(s.w, Eigen::VectorXd::Zero(3));
    EXPECT_EQ(solve0(s, Eigen::VectorXd::Ones(4), 1e-12), Eigen::VectorXd::Zero(3));
}

TEST(Svd, FewerRowsThanColumnsIsRefusedUntouched) {
    Rows0 a(2, 3), v(3, 3);
    for (double& x : a.data) x = 1.5;
    for (double& x : v.data) x = -2.5;
    double w[3] = {7, 7, 7};
    EXPECT_EQ(SvdDecompose0(a.rows.data(), 2, 3, w, v.rows.data()), CAL_ERR_BAD_EQUATIONS);
    for (double x : a.data) EXPECT_EQ(x, 1.5);
    for (double x : v.data) EXPECT_EQ(x, -2.5);
    for (double x : w) EXPECT_EQ(x, 7.0);

    Rows1 a1(2, 3), v1(3, 3);
    Vec1 w1(3);
    a1.m()[1][1] = 4.0;
    EXPECT_EQ(SvdDecompose(a1.m(), 2, 3, w1.p(), v1.m()), CAL_ERR_BAD_EQUATIONS);
    EXPECT_EQ(a1.m()[1][1], 4.0);
    EXPECT_EQ(w1.p()[1], 0.0);
}

TEST(Svd, NotANumberEndsWithNoUniqueSolution) {
    Matrix a = Matrix::Random(5, 3);
    a(2, 1) = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(svd0(a).status, CAL_ERR_NO_UNIQUE_SOLUTION);
    EXPECT_EQ(svd1(a).status, CAL_ERR_NO_UNIQUE_SOLUTION);
}

TEST(Svd, ScratchMemoryFailureGivesOutOfMemory) {
    using masscal::platform::set_alloc_failure;
    const Matrix a = Matrix::Random(4, 2);
    set_alloc_failure(1);
    Rows0 u(4, 2), v(2, 2);
    double w[2];
    EXPECT_EQ(SvdDecompose0(u.rows.data(), 4, 2, w, v.rows.data()), CAL_ERR_NO_MEMORY);
    double b[4] = {1, 2, 3, 4}, x[2];
    set_alloc_failure(1);
    EXPECT_EQ(SvdBackSubstitute0(u.rows.data(), w, v.rows.data(), 4, 2, b, x), CAL_ERR_NO_MEMORY);

    Rows1 u1(4, 2), v1(2, 2);
    Vec1 w1(2), b1(4), x1(2);
    set_alloc_failure(1);
    EXPECT_EQ(SvdDecompose(u1.m(), 4, 2, w1.p(), v1.m()), CAL_ERR_NO_MEMORY);
    set_alloc_failure(1);
    EXPECT_EQ(SvdBackSubstitute(u1.m(), w1.p(), v1.m(), 4, 2, b1.p(), x1.p()), CAL_ERR_NO_MEMORY);
    set_alloc_failure(0);
}

TEST(Svd, Hypotenuse) {
    EXPECT_EQ(Hypotenuse(3.0, 4.0), 5.0);
    EXPECT_EQ(Hypotenuse(-4.0, 3.0), 5.0);
    EXPECT_EQ(Hypotenuse(0.0, 0.0), 0.0);
    EXPECT_EQ(Hypotenuse(0.0, -2.0), 2.0);
    EXPECT_EQ(Hypotenuse(2.0, 2.0), 2.0 * std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(Hypotenuse(3e200, 4e200), 5e200);
    EXPECT_DOUBLE_EQ(Hypotenuse(3e-200, 4e-200), 5e-200);
}

}  // namespace
