#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "suite/covariance/cal_covar.hpp"

namespace {

// A fixed sequence of doubles that exercises every exponent and mantissa.
double bits_double(std::uint64_t& state) {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return std::bit_cast<double>(z);
}

std::string format(const CCalCovar& c, int size = 512) {
    std::string buf(static_cast<std::size_t>(size), '\x7f');
    const int n = c.Format(buf.data(), size);
    EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(buf.c_str()));
    return buf.c_str();
}

void expect_zeros(const CCalCovar& c) {
    double out[21];
    std::memset(out, 0xAB, sizeof out);
    EXPECT_EQ(c.GetCovariances(out, 21), 21);
    for (double v : out) EXPECT_EQ(std::bit_cast<std::uint64_t>(v), 0u);
}

TEST(CalCovar, TextRoundTripsEveryDoubleExactly) {
    std::uint64_t state = 12345;
    for (int trial = 0; trial < 2000; ++trial) {
        double v[21];
        for (double& x : v) {
            int e = 0;
            do x = bits_double(state);
            while (!std::isfinite(x) || x == 0.0);
            // Keep the text within the 512 characters of a calibration file
            // value: decimal exponents of up to two digits, as real
            // covariances have.
            const double mantissa = std::frexp(x, &e);
            x = std::ldexp(mantissa, static_cast<int>(std::bit_cast<std::uint64_t>(x) % 600) - 300);
        }
        const CCalCovar a(false, v, 5, 1.0);
        const std::string text = format(a);
        ASSERT_FALSE(text.empty());
        const CCalCovar b(false, text.c_str());
        double back[21];
        ASSERT_EQ(b.GetCovariances(back, 21), 21);
        for (int i = 0; i < 21; ++i)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(back[i]), std::bit_cast<std::uint64_t>(v[i])) << text;
        EXPECT_EQ(b.GetOrder(), 5);
    }
}

TEST(CalCovar, ExtremesAndSubnormalsRoundTrip) {
    const double v[21] = {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN, 1.0, -1.0, 0.1, 1e-300,
                          5e-324, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const CCalCovar a(false, v, 2, 1.0);
    const std::string text = format(a);
    EXPECT_EQ(text.substr(0, 5), "2 10 ");
    double back[21];
    CCalCovar(false, text.c_str()).GetCovariances(back, 21);
    EXPECT_EQ(std::memcmp(back, v, sizeof v), 0);
}

TEST(CalCovar, TextIsTheOrderTheCountAndTheValuesUpToTheLastNonZero) {
    double v[21] = {};
    EXPECT_EQ(format(CCalCovar(false, v, 1, 1.0)), "1 0");
    v[0] = 0.25;
    v[2] = -0.125;
    EXPECT_EQ(format(CCalCovar(true, v, 5, 2.0)), "5 3 0.5 0 -0.25");
    EXPECT_EQ(format(CCalCovar(false, v, 9, 1.0)).substr(0, 2), "5 ");
    EXPECT_EQ(format(CCalCovar(false, v, -4, 1.0)).substr(0, 3), "-1 ");
    EXPECT_EQ(format(CCalCovar(false, nullptr, 3, 1.0)), "3 0");
}

TEST(CalCovar, TextIgnoresTheHostLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    double v[21] = {0.5};
    const std::string text = format(CCalCovar(false, v, 0, 1.0));
    double back[21];
    CCalCovar(false, text.c_str()).GetCovariances(back, 21);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "0 1 0.5");
    EXPECT_EQ(back[0], 0.5);
}

TEST(CalCovar, BufferTooSmallGivesTheEmptyTextNotACutOne) {
    double v[21] = {1.0 / 3.0};
    const CCalCovar c(false, v, 0, 1.0);
    const std::string full = format(c);
    EXPECT_EQ(format(c, static_cast<int>(full.size()) + 1), full);
    EXPECT_EQ(format(c, static_cast<int>(full.size())), "");
    EXPECT_EQ(format(c, 1), "");
    EXPECT_EQ(c.Format(nullptr, 10), 0);
    char one = 'x';
    EXPECT_EQ(c.Format(&one, 0), 0);
    EXPECT_EQ(one, 'x');
    // Twenty-one values with three-digit exponents and every digit need more
    // than 512 characters.
    double wide[21];
    for (double& x : wide) x = -1.2345678901234567e-123;
    EXPECT_EQ(format(CCalCovar(false, wide, 5, 1.0), 512), "");
    EXPECT_FALSE(format(CCalCovar(false, wide, 5, 1.0), 600).empty());
}

TEST(CalCovar, GetCovariancesCopiesAtMostTwentyOne) {
    double v[21];
    for (int i = 0; i < 21; ++i) v[i] = i + 1;
    const CCalCovar c(false, v, 5, 1.0);
    double out[30];
    for (double& x : out) x = -7.0;
    EXPECT_EQ(c.GetCovariances(out, 1024), 21);
    EXPECT_EQ(std::vector<double>(out + 19, out + 22), (std::vector<double>{20, 21, -7}));
    const int counts[] = {c.GetCovariances(out, 4), c.GetCovariances(out, 0), c.GetCovariances(out, -3),
                          c.GetCovariances(nullptr, 21)};
    EXPECT_EQ(std::vector<int>(counts, counts + 4), (std::vector<int>{4, 0, 0, 0}));
}

class CalCovarGarbage : public ::testing::TestWithParam<const char*> {};

TEST_P(CalCovarGarbage, ReadsAsAllZeros) { expect_zeros(CCalCovar(false, GetParam())); }

INSTANTIATE_TEST_SUITE_P(
    Texts, CalCovarGarbage,
    ::testing::Values("", "   ", "5", "5 ", "5 2 1.0", "5 2 1.0 2.0 3.0", "5 2 1.0 x", "5 2 1.0 2.0x", "6 1 1.0",
                      "-2 1 1.0", "5 22 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22", "5 -1",
                      "5 1 NAN", "5 1 INF", "5 1 -inf", "5 1 1e999", "5 1 +1.0", "5 1 0x1p3", "5.0 1 1.0",
                      "5 1.5 1.0", "5 1 1,5", "abc", "5 1 1.0;", "99999999999999999999 1 1"));

TEST(CalCovar, BlanksAroundTokensAreAccepted) {
    const CCalCovar c(false, " \t5  2 1.5\t-2 \r\n");
    double out[21];
    c.GetCovariances(out, 21);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{1.5, -2.0, 0.0}));
    expect_zeros(CCalCovar(false, static_cast<const char*>(nullptr)));
}

}  // namespace
