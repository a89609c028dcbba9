#include <gtest/gtest.h>

#include <cmath>

#include "core/calib_eval.hpp"
#include "masscal/calib.h"

namespace {

RawCalibCoEffs poly(int order, std::initializer_list<double> c, int type = 0) {
    RawCalibCoEffs r{};
    r.nOrder = order;
    int i = 0;
    for (double v : c) r.dCoeffs[i++] = v;
    r.nType = type;
    r.dStdDev = 0.25;
    r.dCovar[20] = 3.0;
    return r;
}

TEST(MassFunction, LinearErrorAndBack) {
    RawCalibCoEffs p = poly(1, {0.01, 0.0001});
    CalMassFunction(&p);
    EXPECT_EQ(p.nOrder, 1);
    EXPECT_DOUBLE_EQ(+p.dCoeffs[0], -0.01);
    EXPECT_DOUBLE_EQ(+p.dCoeffs[1], 0.9999);
    CalErrorFunction(&p);
    EXPECT_EQ(p.nOrder, 1);
    EXPECT_NEAR(+p.dCoeffs[0], 0.01, 1e-18);
    EXPECT_NEAR(+p.dCoeffs[1], 0.0001, 1e-15);
    EXPECT_EQ(+p.dStdDev, 0.25);  // statistics untouched
    EXPECT_EQ(+p.dCovar[20], 3.0);
    EXPECT_EQ(p.nType, 0);
}

TEST(MassFunction, ConstantErrorGrowsToOrderOneAndShrinksBack) {
    RawCalibCoEffs p = poly(0, {0.2});
    CalMassFunction(&p);
    EXPECT_EQ(p.nOrder, 1);
    EXPECT_EQ(+p.dCoeffs[0], -0.2);
    EXPECT_EQ(+p.dCoeffs[1], 1.0);
    CalErrorFunction(&p);
    EXPECT_EQ(p.nOrder, 0);
    EXPECT_EQ(+p.dCoeffs[0], 0.2);
    EXPECT_EQ(+p.dCoeffs[1], -0.0);
}

TEST(MassFunction, IdentityIsTheZeroError) {
    RawCalibCoEffs p = poly(1, {0.0, 1.0});
    CalErrorFunction(&p);
    EXPECT_EQ(p.nOrder, 0);
    EXPECT_EQ(+p.dCoeffs[0], 0.0);
}

TEST(MassFunction, HigherOrdersNegateEveryCoefficient) {
    RawCalibCoEffs p = poly(3, {1, 2, 3, 4});
    CalMassFunction(&p);
    EXPECT_EQ(p.nOrder, 3);
    EXPECT_EQ(+p.dCoeffs[0], -1);
    EXPECT_EQ(+p.dCoeffs[1], -1);
    EXPECT_EQ(+p.dCoeffs[2], -3);
    EXPECT_EQ(+p.dCoeffs[3], -4);
    EXPECT_EQ(+p.dCoeffs[4], 0);
}

TEST(MassFunction, CorruptOrderNeverWritesPastTheRecord) {
    RawCalibCoEffs p = poly(40, {1, 2, 3, 4, 5, 6});
    p.nType = 77;
    CalMassFunction(&p);
    CalErrorFunction(&p);
    EXPECT_EQ(p.nType, 77);
    EXPECT_EQ(+p.dStdDev, 0.25);
}

TEST(CalibEval, HornerOnMassOrRootMass) {
    RawCalibCoEffs m = poly(1, {-0.01, 0.9999});
    EXPECT_NEAR(masscal::core::eval_coeffs(&m, 1000.0), 999.89, 1e-12);
    m.nType = 1;
    const double r = -0.01 + 0.9999 * std::sqrt(1000.0);
    EXPECT_DOUBLE_EQ(masscal::core::eval_coeffs(&m, 1000.0), r * r);
    RawCalibCoEffs q = poly(2, {1, -2, 0.5});
    EXPECT_DOUBLE_EQ(masscal::core::eval_coeffs(&q, 4.0), 1 - 8 + 8);
    RawCalibCoEffs e = poly(-1, {});
    EXPECT_EQ(masscal::core::eval_coeffs(&e, 4.0), 0.0);
}

}  // namespace
