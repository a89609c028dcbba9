#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "masscal/polynomial.hpp"

namespace {

RawCalibCoEffs record(int order, std::initializer_list<double> c, int type) {
    RawCalibCoEffs r{};
    r.nOrder = order;
    int i = 0;
    for (double v : c) r.dCoeffs[i++] = v;
    r.nType = type;
    r.dStdDev = 0.5;
    r.dCovar[3] = 7.0;
    return r;
}

TEST(CalibPolynomialRecord, EmptyRecordKeepsItsType) {
    RawCalibCoEffs r = record(-1, {}, 4);
    CCalibPolynomial p(&r);
    EXPECT_TRUE(!p);
    EXPECT_EQ(p.m_nCalibType, 4);
    const double c[] = {1, 2};
    CCalibPolynomial q(1, c);
    q.m_nCalibType = 3;
    q = static_cast<const RawCalibCoEffs*>(nullptr);  // a null record empties, the type stays
    EXPECT_TRUE(!q);
    EXPECT_EQ(q.m_nCalibType, 3);
}

TEST(CalibPolynomialRecord, ReadingKeepsHighZeroesAndIgnoresStatistics) {
    RawCalibCoEffs r = record(3, {1, 2, 0, 0}, 1);
    CCalibPolynomial p(&r);
    RawCalibCoEffs* out = p;
    EXPECT_EQ(std::make_tuple(static_cast<int>(p), p.m_nCalibType, +out->dStdDev, +out->dCovar[3]),
              std::make_tuple(3, 1, 0.0, 0.0));
}

TEST(CalibPolynomialRecord, OrderAboveFiveIsCutWhenRead) {
    RawCalibCoEffs r = record(9, {1, 2, 3, 4, 5, 6}, 0);
    CCalibPolynomial p(&r);
    EXPECT_EQ(static_cast<int>(p), 5);
    EXPECT_EQ(p[5], 6.0);
}

TEST(CalibPolynomialRecord, HighOrderFillsOnlySixCoefficients) {
    const double c[] = {1, 2, 3, 4, 5, 6, 7, 8};
    CCalibPolynomial p(7, c);
    p.m_nCalibType = 2;
    RawCalibCoEffs* r = p;
    EXPECT_EQ(std::make_pair(r->nOrder, r->nType), std::make_pair(7, 2));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(+r->dCoeffs[i], c[i]);
}

TEST(CalibPolynomialRecord, OneSharedRecordPerThread) {
    const double a[] = {1, 2};
    const double b[] = {3};
    CCalibPolynomial p(1, a), q(0, b);
    RawCalibCoEffs* r1 = p;
    RawCalibCoEffs* r2 = q;
    EXPECT_EQ(r1, r2);
    // Cleared before filling.
    EXPECT_EQ(std::make_tuple(r1->nOrder, +r1->dCoeffs[0], +r1->dCoeffs[1]), std::make_tuple(0, 3.0, 0.0));
}

TEST(CalibPolynomialText, TypePrefixAndRoundTrip) {
    RawCalibCoEffs r = record(1, {0.001, 1}, 2);
    CCalibPolynomial p(&r);
    EXPECT_STREQ(static_cast<const char*>(p), "2 1 0.001 + 1x^1");
    CCalibPolynomial q(static_cast<const char*>(p));
    EXPECT_EQ(std::make_tuple(q.m_nCalibType, static_cast<int>(q), q[0], q[1]), std::make_tuple(2, 1, 0.001, 1.0));
    CCalibPolynomial e;
    EXPECT_STREQ(static_cast<const char*>(e), "-1 -1");
}

TEST(CalibPolynomialText, MissingTypeReadsZero) {
    CCalibPolynomial e("");
    EXPECT_TRUE(!e);
    EXPECT_EQ(e.m_nCalibType, 0);
    CCalibPolynomial p("1 2 0.5 + 1x^1 + 0.25x^2");
    EXPECT_EQ(std::make_tuple(p.m_nCalibType, static_cast<int>(p), p[2]), std::make_tuple(1, 2, 0.25));
}

TEST(CalibPolynomialText, AssignmentThroughTheBaseIsVirtual) {
    CCalibPolynomial p;
    CPolynomial& base = p;
    base = "5 1 3 4";
    EXPECT_EQ(p.m_nCalibType, 5);
    EXPECT_EQ(static_cast<int>(p), 1);
    EXPECT_STREQ(static_cast<const char*>(base), "5 1 3 + 4x^1");
}

TEST(CalibPolynomialText, LongTextStaysInsideTheBuffer) {
    double c[40];
    for (double& v : c) v = -1.234567890123456e-300;
    CCalibPolynomial p(39, c);
    p.m_nCalibType = -123456;
    const char* t = p;
    EXPECT_LT(std::strlen(t), 1024u);
    EXPECT_EQ(std::string(t).rfind("-123456 39 ", 0), 0u);
}

struct ErrorCase {
    int order;
    std::initializer_list<double> in;
    int outOrder;
    std::initializer_list<double> out;
};

TEST(CalibPolynomialConvertToError, ClosedForms) {
    const ErrorCase cases[] = {
        {1, {0.5, 1.0}, 0, {-0.5}},
        {1, {0.5, 1.01}, 1, {-0.5, -0.01}},
        {0, {0.2}, 0, {-0.2}},
        {2, {0.1, 1.0, 1e-6}, 2, {-0.1, 0.0, -1e-6}},  // order 2: not trimmed
    };
    for (const ErrorCase& tc : cases) {
        RawCalibCoEffs r = record(tc.order, tc.in, 0);
        CCalibPolynomial p(&r);
        p.ConvertToError();
        ASSERT_EQ(static_cast<int>(p), tc.outOrder);
        int i = 0;
        for (double v : tc.out) EXPECT_NEAR(p[i++], v, 1e-15);
    }
    CCalibPolynomial e;
    e.ConvertToError();
    EXPECT_TRUE(!e);
}

TEST(CalibPolynomialConstruct, FromPlainPolynomialAndCopies) {
    const double c[] = {4, 5};
    CPolynomial base(1, c);
    CCalibPolynomial p(base);
    EXPECT_EQ(std::make_pair(p.m_nCalibType, p[1]), std::make_pair(-1, 5.0));
    p.m_nCalibType = 7;
    CCalibPolynomial q(p), r;
    r = q;
    EXPECT_EQ(std::make_tuple(q.m_nCalibType, r.m_nCalibType, r[0]), std::make_tuple(7, 7, 4.0));
}

}  // namespace
