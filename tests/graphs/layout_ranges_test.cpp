// Layout arithmetic, mass and value ranges, units, curve and band.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "support/graph_scene.hpp"
#include "suite/covariance/covariances.hpp"

using namespace masscal::testing;
using namespace masscal::platform;

namespace {

TEST(GraphLayout, GraphsThatFitAndTheirBands) {
    struct Case {
        int height;
        int verify;
        int shown;
        int each;
    } cases[] = {{255, 0, 3, 85}, {254, 0, 2, 127}, {84, 0, 0, 0}, {255, 1, 2, 127}, {1000, 1, 2, 500}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        CalRecord rec{};
        rec.bCheckOnly = c.verify;
        GraphLayout layout{};
        CalRect r{0, 0, 400, c.height};
        EXPECT_EQ(CalLayoutGraphs(&r, &layout, &rec), 1) << c.height;
        EXPECT_EQ(layout.nGraphs, c.shown) << c.height;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(layout.hAxes[k] != nullptr, k < c.shown) << c.height << " graph " << k;
            if (k >= c.shown) continue;
            const CalRect& g = layout.rcGraph[k];
            const int top = c.height * k / c.shown;
            EXPECT_EQ(std::tie(g.left, g.top, g.right, g.bottom), std::make_tuple(0, top, 400, top + c.each));
        }
        CalDeleteGraphs(&layout);
        for (auto h : layout.hAxes) EXPECT_EQ(h, nullptr);
    }
}

TEST(GraphLayout, ExistingAxesAreKeptAndRectangleTopCounts) {
    CalRecord rec{};
    GraphLayout layout{};
    CalRect r{5, 100, 300, 355};
    ASSERT_EQ(CalLayoutGraphs(&r, &layout, &rec), 1);
    EXPECT_EQ(layout.rcGraph[0].top, 100);
    EXPECT_EQ(layout.rcGraph[2].bottom, 355);
    CalAxesHandle first = layout.hAxes[0];
    CalRect small{0, 0, 10, 10};
    EXPECT_EQ(CalLayoutGraphs(&small, &layout, &rec), 1);
    EXPECT_EQ(layout.hAxes[0], first);  // unchanged
    EXPECT_EQ(layout.nGraphs, 3);
    CalDeleteGraphs(&layout);
}

TEST(GraphLayout, FailedAxesLeaveTheRestUndrawn) {
    CalRecord rec{};
    GraphLayout layout{};
    CalRect r{0, 0, 300, 300};
    set_alloc_failure(2);
    EXPECT_EQ(CalLayoutGraphs(&r, &layout, &rec), 0);
    set_alloc_failure(0);
    EXPECT_NE(layout.hAxes[0], nullptr);
    EXPECT_EQ(std::make_pair(layout.hAxes[1], layout.hAxes[2]), std::make_pair(CalAxesHandle{}, CalAxesHandle{}));
    CalDeleteGraphs(&layout);
}

TEST(GraphPaint, ShrinksTheRectangleFirst) {
    for (int h : {257, 256}) {
        GraphScene s(400, h);
        CalRect r{0, 0, 400, h};
        auto dc = CalDeviceContext::create_image(400, h);
        ASSERT_EQ(CalPaintGraphs(s.area, &r, dc.get(), s.rec.get(), &s.layout, 0), 1);
        EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(2, 1, 398, h - 1));
        EXPECT_EQ(s.layout.nGraphs, h == 257 ? 3 : 2) << h;
    }
}

// A record with the given data and reference masses (intensities 10, 20, ...).
struct MassRecord {
    CalRecord rec{};
    MassRecord(std::vector<float> data, std::vector<float> refs) {
        CalAllocArrays(&rec, 0);
        CalAllocPeakList(&rec.DataPeaks, std::max<int>(1, static_cast<int>(data.size())), 0);
        CalAllocPeakList(&rec.MatchPeaks, std::max<int>(1, static_cast<int>(data.size())), 0);
        for (std::size_t i = 0; i < data.size(); ++i) {
            static_cast<float*>(rec.DataPeaks.Mass.pData)[i] = data[i];
            static_cast<float*>(rec.DataPeaks.Intensity.pData)[i] = 10.0f * (i + 1);
        }
        for (std::size_t i = 0; i < refs.size(); ++i) {
            static_cast<float*>(rec.RefPeaks.Mass.pData)[i] = refs[i];
            static_cast<float*>(rec.RefPeaks.Intensity.pData)[i] = 10.0f * (i + 1);
        }
        rec.DataPeaks.nCount = static_cast<int>(data.size());
        rec.RefPeaks.nCount = static_cast<int>(refs.size());
    }
    ~MassRecord() { CalAllocArrays(&rec, 1); }
};

TEST(GraphRanges, InitialMassRange) {
    struct Case {
        std::vector<float> data, refs;
        float lo, hi;
    } cases[] = {
        {{101.2f, 500, 1021.7f}, {99.0f, 600, 1100.0f}, 94.0f, 1105.0f},
        {{3.0f, 40}, {}, 0.0f, 45.0f},
        {{}, {200, 300}, 0.0f, 305.0f},
        {{}, {}, 0.0f, 5.0f},
        {{150, 250}, {}, 145.0f, 255.0f},
    };
    for (const Case& c : cases) {
        MassRecord m(c.data, c.refs);
        GraphLayout layout{};
        CalInitGraphRanges(&m.rec, &layout);
        EXPECT_EQ(std::tie(layout.fMassLow, layout.fMassHigh, layout.fDefaultMassLow, layout.fDefaultMassHigh),
                  std::tie(c.lo, c.hi, c.lo, c.hi));
    }
}

// (low, high) of the spectrum, reference and residual graphs.
std::vector<float> value_ranges(const GraphLayout& l) {
    return {l.fValueLow[0], l.fValueHigh[0], l.fValueLow[1], l.fValueHigh[1], l.fValueLow[2], l.fValueHigh[2]};
}

TEST(GraphRanges, ValueRangesOfTheMassWindow) {
    MassRecord m({100, 200, 300}, {150, 250, 350});  // intensities 10, 20, 30
    GraphLayout layout{};
    CalInitGraphRanges(&m.rec, &layout);
    // No matches: residuals 0 .. 0.01.
    EXPECT_EQ(value_ranges(layout), (std::vector<float>{0, 30, 0, 30, 0, 0.01f}));
    struct Case {
        float lo, hi, spectrum, reference;
    } cases[] = {
        {400, 500, 0.01f, 0.01f},  // above all peaks
        {260, 340, 30, 30},        // between two peaks: the one above
        {120, 140, 20, 0.01f},     // below all reference peaks
    };
    for (const Case& c : cases) {
        layout.fMassLow = c.lo;
        layout.fMassHigh = c.hi;
        CalUpdateGraphRanges(&m.rec, &layout);
        EXPECT_EQ(value_ranges(layout), (std::vector<float>{0, c.spectrum, 0, c.reference, 0, 0.01f})) << c.lo;
    }
}

// The residual graph spans the residuals of the mass window and their error
// bars, two widths either way, in amu or ppm.
TEST(GraphRanges, ResidualRangeHoldsTheErrorBarsInAmuAndPpm) {
    AmuUnitGuard guard;
    GraphScene s;
    CalRecord& rec = *s.rec;
    const float* mass = s.f(rec.MatchPeaks.Mass);
    float* res = s.f(rec.Residuals);
    float* width = s.f(rec.MatchPeaks.Width);
    std::fill(res, res + rec.MatchPeaks.nCount, 0.0f);
    res[5] = 0.05f, res[10] = -0.05f;
    width[5] = width[10] = 0.01f;
    const double reach = 0.05f + 2.0 * 0.01f;
    for (const bool ppm : {false, true}) {
        CalSetResidualUnitAmu(ppm ? 0 : 1);
        CalUpdateGraphRanges(&rec, &s.layout);
        EXPECT_FLOAT_EQ(s.layout.fValueLow[2], static_cast<float>(-reach * (ppm ? 1e6 / mass[10] : 1.0))) << ppm;
        EXPECT_FLOAT_EQ(s.layout.fValueHigh[2], static_cast<float>(reach * (ppm ? 1e6 / mass[5] : 1.0))) << ppm;
    }
    // A peak outside the mass window does not count.
    CalSetResidualUnitAmu(1);
    s.layout.fMassLow = mass[5] + 1.0f;
    CalUpdateGraphRanges(&rec, &s.layout);
    EXPECT_FLOAT_EQ(s.layout.fValueLow[2], static_cast<float>(-reach));
    EXPECT_LT(s.layout.fValueHigh[2], 0.05f);
}

TEST(GraphRanges, ConfidenceBandFollowsTheCovarianceAndTheUnit) {
    AmuUnitGuard guard;
    GraphScene s;
    CalRecord& rec = *s.rec;
    std::vector<float> want(CAL_BAND_POINTS);
    const float lo = s.layout.fMassLow;
    const float step = (s.layout.fMassHigh - lo) / 500.0f;
    ASSERT_EQ(GetVariances(0, rec.ErrorFunc.dCovar, rec.ErrorFunc.nOrder, lo, step, 500, want.data()), 0);
    for (int i = 0; i < CAL_BAND_POINTS; i += 37) {
        EXPECT_FLOAT_EQ(s.f(rec.BandUpper)[i], want[static_cast<std::size_t>(i)]);
        EXPECT_FLOAT_EQ(s.f(rec.BandLower)[i], -want[static_cast<std::size_t>(i)]);
    }
    EXPECT_GT(want[250], 0.0f);
    CalSetResidualUnitAmu(0);
    CalUpdateGraphRanges(&rec, &s.layout);
    for (int i = 1; i < CAL_BAND_POINTS; i += 37) {
        const float m = lo + static_cast<float>(i) * step;
        EXPECT_NEAR(s.f(rec.BandUpper)[i], want[static_cast<std::size_t>(i)] / m * 1e6f, 1e-3f);
    }
}

TEST(GraphRanges, BandAtMassZeroIsLeftOutInPpm) {
    AmuUnitGuard guard;
    GraphScene s;
    CalSetResidualUnitAmu(0);
    s.layout.fMassLow = 0;
    CalUpdateGraphRanges(s.rec.get(), &s.layout);
    EXPECT_FALSE(std::isfinite(s.f(s.rec->BandUpper)[0]));
    EXPECT_TRUE(std::isfinite(s.layout.fValueHigh[2]));
    EXPECT_TRUE(std::isfinite(s.layout.fValueLow[2]));
}

TEST(GraphRanges, CalibrationCurve) {
    GraphScene s;
    CalRecord& rec = *s.rec;
    const float* curve = s.f(s.layout.Curve);
    for (int i : {0, 100, 799}) {
        const double m = s.layout.fMassLow + i * (s.layout.fMassHigh - s.layout.fMassLow) / 800.0;
        const RawCalibCoEffs& e = rec.ErrorFunc;
        EXPECT_NEAR(curve[i], e.dCoeffs[0] + e.dCoeffs[1] * m + e.dCoeffs[2] * m * m, 1e-6) << i;
    }
    // Root-mass calibrations use the mass function: m - p(sqrt m)^2.
    rec.ErrorFunc.nType = 1;
    rec.MassFunc = RawCalibCoEffs{};
    rec.MassFunc.nOrder = 1;
    rec.MassFunc.dCoeffs[0] = 0.01;
    rec.MassFunc.dCoeffs[1] = 1.0;
    CalUpdateGraphRanges(&rec, &s.layout);
    const double m = s.layout.fMassLow + 400 * (s.layout.fMassHigh - s.layout.fMassLow) / 800.0;
    EXPECT_NEAR(curve[400], m - std::pow(0.01 + std::sqrt(m), 2), 1e-4);
}

TEST(GraphRanges, VerifyModeLeavesTheCurveAndResidualsAlone) {
    GraphScene s;
    std::fill(s.f(s.layout.Curve), s.f(s.layout.Curve) + 800, 0.0f);
    s.rec->bCheckOnly = 1;
    CalUpdateGraphRanges(s.rec.get(), &s.layout);
    EXPECT_EQ(s.f(s.layout.Curve)[400], 0.0f);
    EXPECT_FLOAT_EQ(s.layout.fValueLow[2], 0);
    EXPECT_FLOAT_EQ(s.layout.fValueHigh[2], 0.01f);
}

}  // namespace
