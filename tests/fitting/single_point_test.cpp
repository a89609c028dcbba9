#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>

#include "support/fit_test_support.hpp"
#include "fitting/single_point.hpp"

namespace {

using fittest::TestRecord;

RawCalibCoEffs line(double c0, double c1) {
    RawCalibCoEffs r{};
    r.nOrder = 1;
    r.dCoeffs[0] = c0;
    r.dCoeffs[1] = c1;
    return r;
}

void make_identities(CalRecord& rec) {
    for (RawCalibCoEffs& s : rec.TofCalib.Segments) s = line(0.0, 1.0);
}

TEST(SinglePoint, IdentityTest) {
    RawCalibCoEffs id = line(0.0, 1.0);
    EXPECT_EQ(IsIdentityCalibration(&id), 1);
    id.dCoeffs[0] = -0.0;  // equal to 0.0
    EXPECT_EQ(IsIdentityCalibration(&id), 1);
    RawCalibCoEffs near = line(1e-300, 1.0);
    EXPECT_EQ(IsIdentityCalibration(&near), 0);
    RawCalibCoEffs quad = line(0.0, 1.0);
    quad.nOrder = 2;
    EXPECT_EQ(IsIdentityCalibration(&quad), 0);
}

TEST(SinglePoint, LineThroughTheMatchWithABorrowedIntercept) {
    TestRecord t;
    ASSERT_TRUE(t.ok);
    make_identities(t.rec);
    // Segment 1's own calibration (index 0) is skipped even though it is not
    // the identity; index 3 is the first other one.
    t.rec.TofCalib.Segments[0] = line(5.0, 2.0);
    const RawCalibCoEffs borrowed = line(-0.02, 1.0001);
    t.rec.TofCalib.Segments[3] = borrowed;
    t.rec.TofCalib.Segments[5] = line(9.0, 9.0);
    t.rec.Params.PolyOrder = 1;
    t.rec.MatchPeaks.nCount = 1;
    t.mass()[0] = 500.0f;
    t.errors()[0] = 0.125f;
    t.rec.ErrorFunc.nType = 1;
    t.rec.ErrorFunc.dCovar[4] = 3.0;

    ASSERT_EQ(CalSinglePointCalibration(&t.rec, 1), 0);
    // The borrowed mass function -0.02 + 1.0001 m has the error form
    // 0.02 - 0.0001 m: c0 = 0.02.
    const RawCalibCoEffs& e = t.rec.ErrorFunc;
    EXPECT_DOUBLE_EQ(+e.dCoeffs[0], 0.02);
    EXPECT_DOUBLE_EQ(+e.dCoeffs[0] + +e.dCoeffs[1] * 500.0, 0.125);
    // Everything else cleared.
    EXPECT_EQ(std::make_tuple(e.nOrder, e.nType, +e.dCovar[4], +e.dCoeffs[2]), std::make_tuple(1, 0, 0.0, 0.0));
    // The borrowed calibration is back, up to rounding; segment 1's untouched.
    const RawCalibCoEffs& back = t.rec.TofCalib.Segments[3];
    EXPECT_EQ(std::make_pair(back.nOrder, +t.rec.TofCalib.Segments[0].dCoeffs[0]), std::make_pair(1, 5.0));
    EXPECT_NEAR(+back.dCoeffs[0], +borrowed.dCoeffs[0], 1e-15);
    EXPECT_NEAR(+back.dCoeffs[1], +borrowed.dCoeffs[1], 1e-15);

    // Another segment takes index 0.
    ASSERT_EQ(CalSinglePointCalibration(&t.rec, 4), 0);
    EXPECT_DOUBLE_EQ(+t.rec.ErrorFunc.dCoeffs[0], -5.0);
}

TEST(SinglePoint, Refusals) {
    TestRecord t;
    ASSERT_TRUE(t.ok);
    make_identities(t.rec);
    t.rec.MatchPeaks.nCount = 1;
    t.mass()[0] = 100.0f;
    t.rec.Params.PolyOrder = 2;
    EXPECT_EQ(CalSinglePointCalibration(&t.rec, 1), CAL_ERR_SINGLE_POINT_ORDER);
    t.rec.Params.PolyOrder = 1;
    t.rec.MatchPeaks.nCount = 2;
    EXPECT_EQ(CalSinglePointCalibration(&t.rec, 1), CAL_ERR_SINGLE_POINT_COUNT);
    t.rec.MatchPeaks.nCount = 0;
    EXPECT_EQ(CalSinglePointCalibration(&t.rec, 1), CAL_ERR_SINGLE_POINT_COUNT);
    t.rec.MatchPeaks.nCount = 1;
    // Only the current segment's own calibration differs from the identity.
    t.rec.TofCalib.Segments[0] = line(1.0, 1.0);
    t.rec.ErrorFunc.dCoeffs[0] = 42.0;
    EXPECT_EQ(CalSinglePointCalibration(&t.rec, 1), CAL_ERR_SINGLE_POINT_SEGMENT);
    EXPECT_EQ(+t.rec.ErrorFunc.dCoeffs[0], 42.0);
    // A segment outside 1..12 skips nothing.
    EXPECT_EQ(CalSinglePointCalibration(&t.rec, 0), 0);
}

}  // namespace
