#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "masscal/polynomial.hpp"
#include "support/scoped_env.hpp"

namespace {

std::string text(CPolynomial& p) { return static_cast<const char*>(p); }

TEST(PolynomialText, FormsOfTheEmptyPolynomial) {
    for (const char* s : {"", " \t\n+,^x", "-1", "0", "2 0 0 0", "-5 1 2"}) {
        CPolynomial p(s);
        EXPECT_TRUE(!p) << s;
        EXPECT_EQ(static_cast<int>(p), -1) << s;
        EXPECT_EQ(text(p), "-1") << s;
        EXPECT_EQ(p.Calc(3.0), 0.0) << s;
    }
}

TEST(PolynomialText, WritesOrderAndCoefficientsWithOwnSigns) {
    const double c[] = {0.5, 1.0, 0.25};
    CPolynomial p(2, c);
    EXPECT_EQ(text(p), "2 0.5 + 1x^1 + 0.25x^2");
    const double n[] = {-1.5, 0.0, -0.25};
    CPolynomial q(2, n);
    EXPECT_EQ(text(q), "2 -1.5 + 0x^1 + -0.25x^2");
    const double big[] = {1e-300, 12345678901234567.0};
    CPolynomial r(1, big);
    EXPECT_EQ(text(r), "1 1E-300 + 1.234567890123457E+16x^1");
}

struct ParseCase {
    const char* text;
    int order;
    double c0, c1, c2;
};

class PolynomialParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PolynomialParse, ReadsCoefficientsByPosition) {
    const ParseCase& tc = GetParam();
    CPolynomial p(tc.text);
    EXPECT_EQ(static_cast<int>(p), tc.order);
    const CPolynomial& cp = p;
    EXPECT_DOUBLE_EQ(cp[0], tc.c0);
    EXPECT_DOUBLE_EQ(cp[1], tc.c1);
    EXPECT_DOUBLE_EQ(cp[2], tc.c2);
}

INSTANTIATE_TEST_SUITE_P(
    Quirks, PolynomialParse,
    ::testing::Values(ParseCase{"2 5", 0, 5, 0, 0},                   // missing coefficients are zero
                      ParseCase{"1 0 + 1x^1", 1, 0, 1, 0},
                      ParseCase{"1 0, 1", 1, 0, 1, 0},
                      ParseCase{"1 0 1", 1, 0, 1, 0},
                      ParseCase{"2 1 y 3", 0, 1, 0, 0},               // a foreign character stops reading
                      ParseCase{"2.5 1 2 3", 2, 1, 2, 3},             // the order is read as atoi reads it
                      ParseCase{"2 1 + 3x^7 + 4x^1", 2, 1, 3, 4},     // the written power is not read
                      ParseCase{"2 1 + 2x^2\r", 1, 1, 2, 0},          // carriage return is foreign
                      ParseCase{"+2 1 -2 3E-1", 2, 1, -2, 0.3},
                      ParseCase{"1 1e2x^1 5", 1, 100, 5, 0},
                      ParseCase{"1000000000 7", 0, 7, 0, 0}));        // a huge order asks for nothing

TEST(PolynomialParse, TokensAreCutAt128Characters) {
    // 130 digits: the first 128 form coefficient 0, the last two coefficient 1.
    std::string s = "1 " + std::string(128, '1') + "22";
    CPolynomial p(s.c_str());
    ASSERT_EQ(static_cast<int>(p), 1);
    EXPECT_DOUBLE_EQ(p[1], 22.0);
    EXPECT_NEAR(p[0] / 1.111111111111111e127, 1.0, 1e-15);
}

TEST(PolynomialText, RoundTripKeeps16SignificantDigits) {
    const double c[] = {-0.00123456789012345678, 1.000012345678901, 3.14159265358979e-7, -2.718281828459045e-12,
                        6.02214076e23};
    CPolynomial p(4, c);
    CPolynomial q(static_cast<const char*>(p));
    ASSERT_EQ(static_cast<int>(q), 4);
    for (int i = 0; i <= 4; ++i) {
        char a[64], b[64];
        std::snprintf(a, sizeof a, "%.16G", c[i]);
        std::snprintf(b, sizeof b, "%.16G", q[i]);
        EXPECT_STREQ(a, b) << i;
        EXPECT_NEAR(q[i], c[i], std::fabs(c[i]) * 1e-15);
    }
}

TEST(PolynomialText, TextIsCachedUntilReassigned) {
    const double c[] = {1.0, 2.0};
    CPolynomial p(1, c);
    const char* t = p;
    p[1] = 5.0;  // in-place change does not rebuild the text
    EXPECT_STREQ(static_cast<const char*>(p), "1 1 + 2x^1");
    EXPECT_EQ(static_cast<const char*>(p), t);
    p = "1 1 5";
    EXPECT_STREQ(static_cast<const char*>(p), "1 1 + 5x^1");
}

// Switches LC_NUMERIC to a locale with a decimal comma, compiling one into a
// temporary folder when the machine has none installed.
bool use_decimal_comma_locale() {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return true;
    const std::string dir = ::testing::TempDir() + "masscal-locale";
    const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(("mkdir -p " + dir).c_str()) != 0 || std::system(cmd.c_str()) != 0) return false;
    // Only the loading reads the path: the locale stays once the path is gone.
    masscal::testing::ScopedEnv locpath("LOCPATH", dir.c_str());
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST(PolynomialText, IndependentOfTheProcessLocale) {
    if (!use_decimal_comma_locale()) GTEST_SKIP() << "no locale with a decimal comma available";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    const double c[] = {0.5, 1.25};
    const std::string written = static_cast<const char*>(CPolynomial(1, c));
    const double read = CPolynomial("1 0.5 + 1.25x^1")[1];
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_STREQ(probe, "0,5");
    EXPECT_EQ(written, "1 0.5 + 1.25x^1");
    EXPECT_EQ(read, 1.25);
}

TEST(PolynomialConstruct, CopyAndSelfAssignment) {
    const double c[] = {1, 2, 3};
    CPolynomial p(2, c);
    CPolynomial q(p);
    EXPECT_EQ(text(q), text(p));
    q[0] = 9;
    EXPECT_EQ(p[0], 1.0);  // a deep copy
    CPolynomial& self = p;
    p = self;
    EXPECT_EQ(text(p), "2 1 + 2x^1 + 3x^2");
    CPolynomial e;
    p = e;
    EXPECT_TRUE(!p);
}

TEST(PolynomialIndex, OutOfRangeReadsZeroAndWritesNowhere) {
    const double c[] = {1, 2, 3};
    CPolynomial p(2, c);
    const CPolynomial& cp = p;
    EXPECT_EQ(cp[5], 0.0);
    EXPECT_EQ(cp[-1], 0.0);
    p[5] = 42.0;
    p[-1] = 42.0;
    EXPECT_EQ(static_cast<int>(p), 2);
    EXPECT_EQ(cp[5], 0.0);
    EXPECT_EQ(p.Calc(1.0), 6.0);
}

TEST(PolynomialCalc, IsAPowerSumFromTheLowestPower) {
    // Coefficients and x for which the power sum and Horner's scheme round
    // differently; stored calibrations rely on the power sum.
    const double c[] = {-1.4625430235503951, 1.3897349477489307, 1.0550984759064561, -0.9797238970423132};
    const double x = -0.02738947744835407;
    CPolynomial p(3, c);
    EXPECT_EQ(p.Calc(x), -1.4997954896023673);
    double horner = c[3];
    for (int i = 2; i >= 0; --i) horner = horner * x + c[i];
    EXPECT_NE(p.Calc(x), horner);
    const double d[] = {2, -3, 0.5, 0.125};
    CPolynomial q(3, d);
    EXPECT_DOUBLE_EQ(q.Calc(2.0), 2 - 6 + 2 + 1);
}

TEST(PolynomialDeriv, ClosedForms) {
    const double c[] = {1, 2, 3};
    CPolynomial p(2, c);
    EXPECT_EQ(p.Deriv(2.0), 14.0);
    const double k[] = {7};
    CPolynomial q(0, k);
    EXPECT_EQ(q.Deriv(2.0), 0.0);
    CPolynomial e;
    EXPECT_EQ(e.Deriv(2.0), 0.0);
    const double d[] = {0, 0, 0, 1};  // x^3 -> 3x^2
    CPolynomial r(3, d);
    EXPECT_EQ(r.Deriv(-2.0), 12.0);
}

TEST(PolynomialInverse, ConvergesLeavesIntervalOrFails) {
    const double c[] = {1, 2};
    CPolynomial line(1, c);
    EXPECT_DOUBLE_EQ(line.Inverse(5.0, 0.0, 10.0, 1e-9), 2.0);
    EXPECT_EQ(line.Inverse(5.0, 3.0, 10.0, 1e-9), -1.0);  // converges outside
    EXPECT_DOUBLE_EQ(line.Inverse(5.0, 2.0, 10.0, 1e-9), 2.0);  // a bound is accepted
    const double k[] = {3};
    CPolynomial flat(0, k);
    EXPECT_EQ(flat.Inverse(3.0, 0.0, 10.0, 1e-9), -1.0);
    const double q[] = {-2, 0, 1};  // x^2 - 2
    CPolynomial sq(2, q);
    EXPECT_NEAR(sq.Inverse(0.0, 0.5, 2.0, 1e-12), std::sqrt(2.0), 1e-12);
    // Converges slowly from far away: 20 steps are not enough for 1e-300.
    EXPECT_EQ(sq.Inverse(0.0, 0.0, 1e6, 1e-300), -1.0);
}

TEST(PolynomialRemoveZeroes, TrimsOnlyTheHighestPowersAndOnlyWhenAskedOrParsed) {
    const double c[] = {0, 1, 0, 0};
    CPolynomial p(3, c);
    EXPECT_EQ(static_cast<int>(p), 3);
    EXPECT_EQ(static_cast<int>(CPolynomial(static_cast<const char*>(p))), 1);
    p.RemoveZeroes();
    EXPECT_EQ(static_cast<int>(p), 1);
    EXPECT_EQ(p[0], 0.0);
    const double z[] = {0, 0};
    CPolynomial q(1, z);
    q.RemoveZeroes();
    EXPECT_TRUE(!q);
    CPolynomial e;
    e.RemoveZeroes();
    EXPECT_TRUE(!e);
}

TEST(PolynomialChars, SeparatorAndNumberSets) {
    const std::string seps(std::string("\t\n +,^x") + '\0');
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const bool sep = seps.find(ch) != std::string::npos;
        EXPECT_EQ(CPolynomial::IsWhiteSpace(ch), sep ? 1 : 0) << c;
        const bool num = (ch >= '0' && ch <= '9') || std::strchr("+-.Ee", ch) != nullptr;
        EXPECT_EQ(CPolynomial::IsNumber(ch), (num && ch != '\0') ? 1 : 0) << c;
    }
}

}  // namespace
