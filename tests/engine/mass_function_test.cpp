#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

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

// Order and coefficients to 12 digits, as one value.
std::string value(const RawCalibCoEffs& r) {
    std::ostringstream s;
    s << std::setprecision(12) << r.nOrder << ':';
    for (int i = 0; i <= r.nOrder && i < 6; ++i) s << ' ' << +r.dCoeffs[i];
    return s.str();
}

TEST(MassFunction, ConvertsBetweenTheErrorAndTheMassForm) {
    struct Case {
        RawCalibCoEffs error;
        const char* mass;
    };
    const Case cases[] = {
        {poly(1, {0.01, 0.0001}), "1: -0.01 0.9999"},
        {poly(0, {0.2}), "1: -0.2 1"},  // a constant grows to order one, and shrinks back
        {poly(1, {0.0, 0.0}), "1: -0 1"},
        {poly(3, {1, 2, 3, 4}), "3: -1 -1 -3 -4"},  // higher orders negate every coefficient
    };
    for (const Case& c : cases) {
        RawCalibCoEffs p = c.error;
        CalMassFunction(&p);
        EXPECT_EQ(value(p), c.mass);
        CalErrorFunction(&p);
        RawCalibCoEffs want = c.error;
        if (want.nOrder == 1 && want.dCoeffs[1] == 0.0) want.nOrder = 0;  // the identity is the zero error
        EXPECT_EQ(value(p), value(want));
        EXPECT_EQ(std::make_tuple(p.nType, +p.dStdDev, +p.dCovar[20]), std::make_tuple(0, 0.25, 3.0));
    }
}

TEST(MassFunction, CorruptOrderNeverWritesPastTheRecord) {
    RawCalibCoEffs p = poly(40, {1, 2, 3, 4, 5, 6});
    p.nType = 77;
    CalMassFunction(&p);
    CalErrorFunction(&p);
    EXPECT_EQ(std::make_pair(p.nType, +p.dStdDev), std::make_pair(77, 0.25));
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
