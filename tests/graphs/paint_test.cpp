// The graphs as drawn: pixels of rendered records and the texts written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "support/graph_scene.hpp"
#include "masscal/report.h"
#include "core/calib_eval.hpp"
#include "axes/axes.hpp"
#include "suite/utility/ftoa.hpp"

using namespace masscal::testing;
using namespace masscal::platform;

namespace {

const Colour kWhite = rgb(255, 255, 255);

bool reddish(Colour c) { return colour_red(c) > 150 && colour_green(c) < 90 && colour_blue(c) < 90; }
bool bluish(Colour c) { return colour_blue(c) > colour_red(c) + 40; }

std::vector<TextRecord> paint_and_record(GraphScene& s, CalDC dc) {
    std::vector<TextRecord> log;
    dc->record_text(&log);
    EXPECT_EQ(s.paint(dc), 1);
    dc->record_text(nullptr);
    return log;
}

bool has_text(const std::vector<TextRecord>& log, const std::string& t) { return find_text(log, t) != nullptr; }

TEST(GraphPaint, MatchedSticksStandAtTheColumnsOfTheirMasses) {
    GraphScene s(1000, 750);
    auto dc = CalDeviceContext::create_image(1000, 750);
    ASSERT_EQ(s.paint(dc.get()), 1);
    AxsHandle g1 = s.layout.hAxes[0];
    ASSERT_NE(g1, nullptr);
    const int base = AxsYToPixel(g1, 0);
    const float* mass = s.f(s.rec->MatchPeaks.Mass);
    const float* inten = s.f(s.rec->MatchPeaks.Intensity);
    for (int i = 0; i < s.rec->MatchPeaks.nCount; ++i) {
        const int col = AxsXToPixel(g1, mass[i]);
        const int top = AxsYToPixel(g1, inten[i]);
        EXPECT_TRUE(reddish(dc->pixel(col, base - 1))) << mass[i];
        EXPECT_TRUE(reddish(dc->pixel(col, (base + top) / 2))) << mass[i];
        EXPECT_FALSE(reddish(dc->pixel(col, top - 3))) << mass[i];  // ends at its height
    }
    // The flagged peak at index 15 of the references is not matched: grey.
    AxsHandle g2 = s.layout.hAxes[1];
    const float* ref = s.f(s.rec->RefPeaks.Mass);
    EXPECT_TRUE(reddish(dc->pixel(AxsXToPixel(g2, ref[0]), AxsYToPixel(g2, 0) - 1)));
}

TEST(GraphPaint, ResidualGraphZeroLineMarkersAndErrorBars) {
    AmuUnitGuard unit;
    GraphScene s(1000, 750);
    auto dc = CalDeviceContext::create_image(1000, 750);
    ASSERT_EQ(s.paint(dc.get()), 1);
    AxsHandle g3 = s.layout.hAxes[2];
    ASSERT_NE(g3, nullptr);
    AxsSystem sys;
    ASSERT_TRUE(AxsGetSystem(g3, &sys));
    const int zero = AxsYToPixel(g3, 0);
    auto grey_run = [&](int y) {
        int n = 0;
        for (int x = sys.rcPlot.left; x < sys.rcPlot.right; ++x) {
            const Colour c = dc->pixel(x, y);
            n += colour_red(c) == 0x80 && colour_green(c) == 0x80 && colour_blue(c) == 0x80;
        }
        return n;
    };
    const int width = sys.rcPlot.right - sys.rcPlot.left;
    EXPECT_GT(grey_run(zero), width / 3);
    EXPECT_LT(grey_run(zero - 2), width / 20);
    EXPECT_LT(grey_run(zero + 2), width / 20);
    const float* mass = s.f(s.rec->MatchPeaks.Mass);
    const float* res = s.f(s.rec->Residuals);
    const float* err = s.f(s.rec->MatchPeaks.Width);
    for (int i = 0; i < s.rec->MatchPeaks.nCount; i += 3) {
        const int x = AxsXToPixel(g3, mass[i]);
        const int y = AxsYToPixel(g3, res[i]);
        EXPECT_TRUE(bluish(dc->pixel(x - 2, y - 2)) || bluish(dc->pixel(x + 2, y + 2))) << mass[i];
        // The bar reaches 2 errors either way and stops there.
        const int top = AxsYToPixel(g3, res[i] + 2 * err[i]);
        const int bottom = AxsYToPixel(g3, res[i] - 2 * err[i]);
        EXPECT_NE(dc->pixel(x, top), kWhite) << mass[i];
        EXPECT_NE(dc->pixel(x, bottom), kWhite) << mass[i];
        EXPECT_EQ(dc->pixel(x, top - 2), kWhite) << mass[i];
    }
    // Nothing without errors or points.
    auto blank = CalDeviceContext::create_image(1000, 750);
    CalPlotErrorBars(blank.get(), g3, mass, res, nullptr, s.rec->MatchPeaks.nCount, 0);
    CalPlotErrorBars(blank.get(), g3, mass, res, err, 0, 0);
    const int x0 = AxsXToPixel(g3, mass[0]);
    for (int y = 0; y < 750; ++y) ASSERT_EQ(blank->pixel(x0, y), kWhite) << y;
}

TEST(GraphPaint, CrossIsASixteenthOfAnInch) {
    for (int dpi : {96, 600}) {
        auto dc = CalDeviceContext::create_image(200, 200, dpi);
        dc->select_pen(Pen{rgb(0, 0, 0), 1, PenStyle::solid});
        ASSERT_EQ(CalPlotCross(dc.get(), CalPoint{100, 100}, 0, nullptr), 1);
        int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const Colour c = dc->pixel(x, y);
                if (colour_red(c) + colour_green(c) + colour_blue(c) > 3 * 128) continue;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        const int h = dpi / 32;  // 7 pixels across at 96 per inch, 37 at 600
        EXPECT_EQ(std::make_tuple(minX, minY, maxX, maxY), std::make_tuple(100 - h, 100 - h, 100 + h, 100 + h)) << dpi;
    }
}

TEST(GraphPaint, HeaderTextsInAmuWithDetail) {
    AmuUnitGuard unit;
    GraphScene s;
    auto dc = CalDeviceContext::create_image(900, 660);
    const auto log = paint_and_record(s, dc.get());
    EXPECT_TRUE(has_text(log, "22 matches of 23 tested references"));
    EXPECT_TRUE(has_text(log, "Data file: PEG_calibrant_0142 - Uncalibrated"));
    EXPECT_TRUE(has_text(log, "Reference: peg_na_pos.ref"));
    char want[256];
    std::snprintf(want, sizeof want, "Mean residual = %.3g amu", s.rec->dMeanResidual);
    const TextRecord* mean = find_text(log, want);
    ASSERT_TRUE(mean) << want;
    EXPECT_GT(mean->x, 900 / 2);  // the right-hand header
    EXPECT_TRUE(has_text(log, "Residual       Polynomial order = 2\r\nErrors displayed represent 95% confidence interval"));
    char band[64];
    std::snprintf(want, sizeof want, "RMS residual = %.3g amu\r\n<95%% confidence band> = %s ppm", s.rec->dRmsResidual,
                  ftoa(s.rec->dConfBandPpm, band, 6));
    EXPECT_TRUE(has_text(log, want)) << want;
    // The lowest graph alone carries the mass title; the residual axis is amu.
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const TextRecord& r) { return r.text == "M/z"; }), 1);
    EXPECT_TRUE(has_text(log, "amu"));
    EXPECT_FALSE(has_text(log, "ppm"));
}

TEST(GraphPaint, PpmChangesValuesRangeTextAndAxisLabel) {
    AmuUnitGuard unit;
    GraphScene s;
    const float amuHigh = s.layout.fValueHigh[2];
    CalSetResidualUnitAmu(0);
    CalUpdateGraphRanges(s.rec.get(), &s.layout);
    EXPECT_GT(s.layout.fValueHigh[2], 100 * amuHigh);
    auto dc = CalDeviceContext::create_image(900, 660);
    const auto log = paint_and_record(s, dc.get());
    EXPECT_TRUE(has_text(log, "ppm"));
    char want[256], band[64];
    std::snprintf(want, sizeof want, "RMS residual = %.3g ppm\r\n<95%% confidence band> = %s ppm",
                  s.rec->dRmsResidualPpm, ftoa(s.rec->dConfBandPpm, band, 6));
    EXPECT_TRUE(has_text(log, want)) << want;
    // A point plotted in ppm sits where its ppm value maps.
    AxsHandle g3 = s.layout.hAxes[2];
    const float m = s.f(s.rec->MatchPeaks.Mass)[5];
    const float ppm = s.f(s.rec->Residuals)[5] / m * 1e6f;
    const int x = AxsXToPixel(g3, m), y = AxsYToPixel(g3, ppm);
    EXPECT_TRUE(bluish(dc->pixel(x - 2, y - 2)) || bluish(dc->pixel(x + 2, y + 2)));
}

TEST(GraphPaint, WithoutDetailNoFlagsNoBarsNoBand) {
    SyntheticOptions opt;
    opt.detail = false;
    GraphScene s(900, 660, opt);
    auto dc = CalDeviceContext::create_image(900, 660);
    const auto log = paint_and_record(s, dc.get());
    EXPECT_TRUE(has_text(log, "Residual       Polynomial order = 2"));
    for (const TextRecord& r : log) {
        EXPECT_EQ(r.text.find("95%"), std::string::npos) << r.text;
        EXPECT_NE(r.text, "*");  // data peaks carry no labels without detail
    }
    // No green band anywhere in the residual graph.
    AxsSystem sys;
    AxsGetSystem(s.layout.hAxes[2], &sys);
    for (int y = sys.rcPlot.top; y < sys.rcPlot.bottom; ++y)
        for (int x = sys.rcPlot.left; x < sys.rcPlot.right; x += 3) {
            const Colour c = dc->pixel(x, y);
            ASSERT_FALSE(colour_green(c) > colour_red(c) + 40 && colour_green(c) > colour_blue(c) + 40);
        }
}

TEST(GraphPaint, FlaggedPeaksGetTheirPrefixes) {
    // Peak 1 flagged 1 | 16 (not matched), peak 2 flagged 2.
    CalRecord rec{};
    CalAllocArrays(&rec, 0);
    CalAllocPeakList(&rec.DataPeaks, 3, 0);
    const float mass[] = {200, 400, 600};
    const std::uint8_t flags[] = {0, 1 | 16, 2};
    for (int i = 0; i < 3; ++i) {
        static_cast<float*>(rec.DataPeaks.Mass.pData)[i] = mass[i];
        static_cast<float*>(rec.DataPeaks.Intensity.pData)[i] = 100;
        static_cast<std::uint8_t*>(rec.DataPeaks.Flags.pData)[i] = flags[i];
    }
    rec.DataPeaks.nCount = 3;
    auto dc = CalDeviceContext::create_image(600, 300);
    AxsHandle axes = AxsCreate(1, 0, 1, 1);
    CalRect r{0, 0, 600, 300};
    AxsBorder b;
    AxsGetBorder(dc.get(), &b, "M/z", "00000", 0);
    AxsSize(axes, &r, &b);
    AxsSetRanges(axes, 100, 700, 0, 100);
    std::vector<TextRecord> log;
    dc->record_text(&log);
    EXPECT_EQ(CalPlotStickDataFlagAnno(dc.get(), axes, &rec.DataPeaks, 0, nullptr, 0, 1), 1);
    std::vector<std::string> texts;
    for (auto& t : log) texts.push_back(t.text);
    for (const char* t : {"*!", "?", "400.00", "200.00"}) EXPECT_EQ(std::count(texts.begin(), texts.end(), t), 1) << t;
    // The prefix line stands above its mass.
    EXPECT_LT(find_text(log, "*!")->y, find_text(log, "400.00")->y);
    // Without flag annotation, plain labels.
    log.clear();
    AxsSetRanges(axes, 100, 700, 0, 100);
    auto dc2 = CalDeviceContext::create_image(600, 300);
    dc2->record_text(&log);
    CalPlotStickData(dc2.get(), axes, &rec.DataPeaks, 0, nullptr, 0, 1);
    for (auto& t : log) EXPECT_EQ(t.text.find_first_of("*?!"), std::string::npos);
    AxsDelete(axes);
    CalAllocArrays(&rec, 1);
    CalAllocPeakList(&rec.DataPeaks, 0, 1);
}

TEST(GraphPaint, DisplayCalibrationMovesTheSticks) {
    GraphScene s;
    CalRecord& rec = *s.rec;
    rec.Params.CalibrateDisplay = 1;
    auto dc = CalDeviceContext::create_image(900, 660);
    const auto log = paint_and_record(s, dc.get());
    EXPECT_TRUE(has_text(log, "Data file: PEG_calibrant_0142 - Calibrated"));
    // CalMass holds the mass function applied to every data peak.
    const float m = s.f(rec.DataPeaks.Mass)[10];
    EXPECT_FLOAT_EQ(s.f(rec.DataPeaks.CalMass)[10], static_cast<float>(masscal::core::eval_coeffs(&rec.MassFunc, m)));
    // Calibrated matched masses are close to the reference masses, so the
    // matched and reference sticks line up.
    AxsHandle g1 = s.layout.hAxes[0], g2 = s.layout.hAxes[1];
    const int base = AxsYToPixel(g1, 0);
    const float* cal = s.f(rec.MatchPeaks.CalMass);
    for (int i = 0; i < rec.MatchPeaks.nCount; i += 4)
        EXPECT_TRUE(reddish(dc->pixel(AxsXToPixel(g1, cal[i]), base - 1))) << cal[i];
    EXPECT_EQ(AxsXToPixel(g1, cal[0]), AxsXToPixel(g2, s.f(rec.RefPeaks.Mass)[0]));
}

TEST(GraphPaint, VerifyModeShowsTwoGraphs) {
    GraphScene s(900, 660);
    s.rec->bCheckOnly = 1;
    auto dc = CalDeviceContext::create_image(900, 660);
    const auto log = paint_and_record(s, dc.get());
    EXPECT_EQ(s.layout.nGraphs, 2);
    EXPECT_EQ(s.layout.hAxes[2], nullptr);
    EXPECT_TRUE(has_text(log, "Data file: PEG_calibrant_0142 - Calibrated"));
    for (const TextRecord& r : log) EXPECT_EQ(r.text.find("RMS residual"), std::string::npos);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const TextRecord& r) { return r.text == "M/z"; }), 1);
}

TEST(GraphPaint, TooSmallForAnyGraphDrawsNothing) {
    GraphScene s(400, 80);
    auto dc = CalDeviceContext::create_image(400, 80);
    ASSERT_EQ(s.paint(dc.get()), 1);
    EXPECT_EQ(s.layout.nGraphs, 0);
    for (int y = 0; y < 80; y += 5)
        for (int x = 0; x < 400; x += 5) ASSERT_EQ(dc->pixel(x, y), kWhite);
}

TEST(GraphPaint, NeedsAWindowWithAParent) {
    GraphScene s(400, 300);
    CalRect r{0, 0, 400, 300};
    auto dc = CalDeviceContext::create_image(400, 300);
    EXPECT_EQ(CalPaintGraphs(s.parent, &r, dc.get(), s.rec.get(), &s.layout, 0), 0);  // top-level
    r = CalRect{0, 0, 400, 300};
    EXPECT_EQ(CalPaintGraphs(nullptr, &r, nullptr, s.rec.get(), &s.layout, 0), 0);      // no DC
}

TEST(GraphPaint, OwnDeviceContextPaintsTheWindowAndItsMargin) {
    GraphScene s(400, 300);
    CalDC surface = GetWindowSurface(s.area);
    surface->fill_rect(CalRect{0, 0, 420, 320}, rgb(0, 0, 0));
    ASSERT_EQ(s.paint(), 1);
    // The margin (left offset 10: h = 5) is window colour in the parent.
    EXPECT_EQ(surface->pixel(10 - 6, 10 - 8), kWhite);
    EXPECT_EQ(surface->pixel(10 - 7, 100), rgb(0, 0, 0));
    // The graphs were drawn inside the graph area.
    AxsHandle g1 = s.layout.hAxes[0];
    const float m = s.f(s.rec->MatchPeaks.Mass)[8];
    EXPECT_TRUE(reddish(surface->pixel(10 + AxsXToPixel(g1, m), 10 + AxsYToPixel(g1, 0) - 1)));
}

TEST(GraphAxes, AbsoluteAxesNeedAxes) {
    GraphLayout layout{};
    layout.rcGraph[2] = CalRect{0, 0, 300, 200};
    layout.fMassHigh = 100;
    layout.fValueLow[2] = -1;
    layout.fValueHigh[2] = 1;
    auto dc = CalDeviceContext::create_image(300, 200);
    dc->fill_rect(CalRect{0, 0, 300, 200}, rgb(0, 0, 0));
    EXPECT_EQ(CalDrawAbsoluteAxes(dc.get(), &layout, 2, 1, 1), 0);
    EXPECT_EQ(dc->pixel(150, 100), kWhite);  // the rectangle was filled first
}

TEST(GraphAxes, PrintingShrinksTheRectangleToTheAxesArea) {
    GraphLayout layout{};
    layout.hAxes[0] = AxsCreate(1, 0, 1, 1);
    layout.nGraphs = 1;
    layout.rcGraph[0] = CalRect{0, 0, 600, 300};
    layout.fMassHigh = 100;
    layout.fValueHigh[0] = 1;
    auto dc = CalDeviceContext::create_image(600, 300);
    CalDrawPercentileAxes(dc.get(), &layout, 0, 0);
    AxsSystem sys;
    AxsGetSystem(layout.hAxes[0], &sys);
    EXPECT_EQ(layout.rcGraph[0].right, sys.rcPlot.right);  // area 26 leaves the right border out
    EXPECT_EQ(layout.rcGraph[0].left, 0);
    CalDeleteGraphs(&layout);
}

TEST(GraphPrimitives, AnnotateResidualWritesTheValue) {
    char label[16] = "old";
    EXPECT_EQ(CalAnnotateResidual(nullptr, 0.5f, 0, 0, label, sizeof label, nullptr, nullptr), 1);
    EXPECT_STREQ(label, "0.50");
    char tiny[3];
    CalAnnotateResidual(nullptr, 123.456f, 0, 0, tiny, sizeof tiny, nullptr, nullptr);
    EXPECT_STREQ(tiny, "12");
}

TEST(GraphPrimitives, EmptySeriesDrawNothing) {
    CalPeakList empty{};
    auto dc = CalDeviceContext::create_image(50, 50);
    EXPECT_EQ(CalPlotStickData(dc.get(), nullptr, &empty, 0, nullptr, 0, 1), 1);
    EXPECT_EQ(CalPlotStickDataFlagAnno(dc.get(), nullptr, &empty, 0, nullptr, 0, 1), 1);
    CalPlotPoints(dc.get(), nullptr, nullptr, nullptr, 3, 0);
    EXPECT_EQ(dc->pixel(25, 25), kWhite);
}

}  // namespace
