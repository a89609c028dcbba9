#include "axes/axes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "axes/ticks.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;
using masscal::axes::nice_step;
using masscal::axes::tick_label;

namespace {

const Colour kWhite = rgb(255, 255, 255);

// A plain description of data to plot.
AxsPlotDesc desc(const float* x, const float* y, int n, std::uint8_t options = kAxsOptOn) {
    AxsPlotDesc d;
    d.bOptions = options;
    d.nPoints = n;
    d.pX = x;
    d.pY = y;
    return d;
}

// Axes over an image of w x h pixels; headerLines widens the top border by
// that many lines of the text font.
struct Fixture {
    std::unique_ptr<CalDeviceContext> dc;
    AxsHandle axes = AxsCreate(1, 0, 1, 1);
    AxsBorder border;
    CalRect rect;
    std::vector<TextRecord> log;
    Fixture(float xlo, float xhi, float ylo, float yhi, int w = 600, int h = 300, int headerLines = 0)
        : dc(CalDeviceContext::create_image(w, h)), rect{0, 0, w, h} {
        AxsGetBorder(dc.get(), &border, "M/z", "00000", 0);
        if (headerLines) {
            dc->select_font(GetGlobalResources(dc.get()).hTextFont);
            border.top += headerLines * dc->text_metrics().tmHeight;
        }
        AxsSize(axes, &rect, &border);
        AxsSetRanges(axes, xlo, xhi, ylo, yhi);
        AxsAnnoExcludeRect(0, nullptr);
    }
    ~Fixture() {
        AxsAnnoExcludeRect(0, nullptr);
        AxsDelete(axes);
    }
    void record() { dc->record_text(&log); }
    CalRect plot() {
        AxsSystem s;
        AxsGetSystem(axes, &s);
        return s.rcPlot;
    }
    // Dark pixels of a column within the plot area.
    int dark_in_column(int x) {
        int n = 0;
        const CalRect p = plot();
        for (int y = p.top; y < p.bottom; ++y) n += dc->pixel(x, y) != kWhite;
        return n;
    }
    // The texts of sticks drawn with labels.
    std::vector<TextRecord> labels(const float* x, const float* y, int32_t n) {
        log.clear();
        record();
        AxsPlotDesc d = desc(x, y, n, kAxsOptOn | kAxsOptLabels);
        AxsPlotData(dc.get(), axes, &d);
        dc->record_text(nullptr);
        return log;
    }
};

TEST(Ticks, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
    struct Case {
        double span;
        int maxTicks;
        double step;
        int decimals;
    } cases[] = {
        {1000, 10, 100, 0}, {1000, 4, 500, 0}, {1011, 10, 200, 0}, {0.0043, 5, 0.001, 3},
        {7, 3, 5, 0},       {7, 7, 1, 0},      {100, 5, 20, 0},    {0.37, 4, 0.1, 1},
    };
    for (const Case& c : cases) {
        const auto t = nice_step(c.span, c.maxTicks);
        EXPECT_NEAR(t.step, c.step, c.step * 1e-9) << c.span << " " << c.maxTicks;
        EXPECT_EQ(t.decimals, c.decimals) << c.span;
        EXPECT_LE(c.span / t.step, c.maxTicks + 1e-9);
    }
    EXPECT_DOUBLE_EQ(nice_step(-1, 5).step, 1.0);
    char buf[32];
    tick_label(buf, sizeof buf, -1e-17, 3);
    EXPECT_STREQ(buf, "0.000");
    tick_label(buf, sizeof buf, -0.002, 3);
    EXPECT_STREQ(buf, "-0.002");
}

TEST(Axes, PixelsAndValuesMapBothWays) {
    Fixture f(100, 1100, 0, 50);
    const CalRect p = f.plot();
    EXPECT_EQ(p.left, f.border.left);
    EXPECT_EQ(p.bottom, 300 - f.border.bottom);
    EXPECT_EQ(AxsXToPixel(f.axes, 100), p.left);
    EXPECT_EQ(AxsXToPixel(f.axes, 1100), p.right - 1);
    EXPECT_EQ(AxsYToPixel(f.axes, 0), p.bottom - 1);  // a range from 0 sits on the axis
    // The top 15 % stay free for labels.
    EXPECT_EQ(AxsYToPixel(f.axes, 50), p.top + (p.bottom - p.top) * 15 / 100);
    for (int px : {p.left, p.left + 37, p.right - 1})
        EXPECT_EQ(AxsXToPixel(f.axes, AxsGetValue(f.axes, 0, px, 0, 1)), px);
    EXPECT_NEAR(AxsGetValue(f.axes, 0, AxsYToPixel(f.axes, 25), 1, 1), 25, 0.3);
    // Below the plot the value keeps falling (not clamped).
    EXPECT_LT(AxsGetValue(f.axes, 0, 299, 1, 1), 0);
}

TEST(Axes, AreaPartsAndSelection) {
    Fixture f(0, 10, -1, 1);
    CalRect r;
    ASSERT_TRUE(AxsGetArea(f.axes, 0, &r, 26));
    const CalRect p = f.plot();
    EXPECT_EQ((std::tuple{r.left, r.top, r.right, r.bottom}), (std::tuple{0, 0, p.right, 300}));
    ASSERT_TRUE(AxsGetArea(f.axes, 0, &r, 0));
    EXPECT_EQ(r.left, p.left);
    EXPECT_FALSE(AxsGetArea(f.axes, 1, &r, 0));
    EXPECT_EQ(AxsSelectAxis(f.axes, 5, 5, 0), 0);
    EXPECT_EQ(AxsSelectAxis(f.axes, 5, 300, 0), -1);
    // A range not starting at 0 keeps a margin below.
    EXPECT_LT(AxsYToPixel(f.axes, -1), p.bottom - 1);
}

TEST(Axes, SticksAppearAtTheirColumnsAndOnlyTheTallestPerColumn) {
    Fixture f(0, 1000, 0, 100);
    const float x[] = {100, 100.01f, 500, 900};
    const float y[] = {30, 100, 50, 10};
    AxsPlotDesc d = desc(x, y, 4);
    d.bSticks = 1;
    d.pen = AxsGetDataPen(0, 0, 0);
    ASSERT_TRUE(AxsPlotData(f.dc.get(), f.axes, &d));
    const int c100 = AxsXToPixel(f.axes, 100);
    const int c500 = AxsXToPixel(f.axes, 500);
    EXPECT_EQ(AxsXToPixel(f.axes, 100.01f), c100);
    const int base = AxsYToPixel(f.axes, 0);
    const int top100 = AxsYToPixel(f.axes, 100);
    EXPECT_EQ(f.dark_in_column(c100), base - top100 + 1);
    EXPECT_EQ(f.dark_in_column(c500), base - AxsYToPixel(f.axes, 50) + 1);
    EXPECT_EQ(f.dark_in_column(c500 + 1), 0);
    EXPECT_EQ(f.dark_in_column(c500 - 1), 0);
    EXPECT_GT(f.dark_in_column(AxsXToPixel(f.axes, 900)), 0);

    // Sticks outside the range are not drawn.
    Fixture g(200, 300, 0, 10);
    const float outside[] = {150, 350}, tall[] = {10, 10};
    d = desc(outside, tall, 2, 0);
    AxsPlotData(g.dc.get(), g.axes, &d);
    for (int c = g.plot().left; c < g.plot().right; ++c) ASSERT_EQ(g.dark_in_column(c), 0) << c;
}

struct LabelLog {
    std::vector<float> seen;
};

int32_t prefix_callback(CalDC, float fX, float, int32_t, char* label, int32_t size, CalAxesHandle, void* data) {
    static_cast<LabelLog*>(data)->seen.push_back(fX);
    if (fX > 700) return 0;  // dropped
    std::string s = "*\n" + std::string(label);
    std::strncpy(label, s.c_str(), static_cast<std::size_t>(size) - 1);
    return 1;
}

TEST(Axes, LabelsNeitherOverlapEachOtherNorTheExclusions) {
    Fixture f(100, 1000, 0, 100);
    std::vector<float> x, y;
    for (int i = 0; i < 400; ++i) {
        x.push_back(100.0f + i * 2.2f);
        y.push_back(static_cast<float>(20 + (i * 37) % 80));
    }
    const CalRect p = f.plot();
    const CalRect excluded{p.left, 0, p.left + 200, p.top + 60};
    AxsAnnoExcludeRect(1, &excluded);
    f.record();
    const std::vector<TextRecord>& log = f.log;
    LabelLog calls;
    AxsPlotDesc d = desc(x.data(), y.data(), static_cast<int>(x.size()), kAxsOptOn | kAxsOptLabels);
    d.pfnLabel = prefix_callback;
    d.pLabelData = &calls;
    ASSERT_TRUE(AxsPlotData(f.dc.get(), f.axes, &d));
    f.dc->record_text(nullptr);
    ASSERT_GT(log.size(), 4u);
    EXPECT_FALSE(calls.seen.empty());
    for (std::size_t i = 0; i < log.size(); ++i) {
        const TextRecord& a = log[i];
        const CalRect ra{a.x, a.y, a.x + a.cx, a.y + a.cy};
        EXPECT_FALSE(ra.left < excluded.right && excluded.left < ra.right && ra.top < excluded.bottom &&
                     excluded.top < ra.bottom)
            << a.text;
        for (std::size_t j = i + 1; j < log.size(); ++j) {
            const TextRecord& b = log[j];
            const bool overlap = a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
            EXPECT_FALSE(overlap) << a.text << " / " << b.text;
        }
    }
    // Prefix lines are drawn above the mass; dropped labels do not appear.
    bool sawPrefix = false;
    for (const TextRecord& r : log) {
        sawPrefix = sawPrefix || r.text == "*";
        if (r.text != "*") {
            EXPECT_LE(std::stof(r.text), 700.0f) << r.text;
        }
    }
    EXPECT_TRUE(sawPrefix);
}

TEST(Axes, TheTallestPeakAndPeaksAtTheEndsGetTheirLabels) {
    Fixture f(100, 200, 0, 100);
    const float x[] = {150.0f, 150.3f, 150.6f};
    const float y[] = {40, 100, 60};
    std::vector<TextRecord> log = f.labels(x, y, 3);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].text, "150.30");
    EXPECT_LT(log[0].y + log[0].cy, AxsYToPixel(f.axes, 100));

    const float ends[] = {100.2f, 199.8f};
    log = f.labels(ends, y + 1, 2);
    ASSERT_EQ(log.size(), 2u);
    for (const TextRecord& r : log) {
        EXPECT_GE(r.x, f.plot().left) << r.text;
        EXPECT_LE(r.x + r.cx, f.rect.right) << r.text;
        const int stick = AxsXToPixel(f.axes, r.text == "100.20" ? 100.2f : 199.8f);
        EXPECT_TRUE(r.x <= stick && stick <= r.x + r.cx) << r.text;  // still over its stick
    }
}

struct Marks {
    std::vector<CalPoint> pts;
};

int32_t mark(CalDC, CalPoint pt, int32_t, void* data) {
    static_cast<Marks*>(data)->pts.push_back(pt);
    return 1;
}

TEST(Axes, MarkersAndLines) {
    Fixture f(0, 10, -1, 1);
    const float x[] = {2, 5, 20};
    const float y[] = {0.5f, -0.5f, 0};
    Marks marks;
    AxsPlotDesc d = desc(x, y, 3, 0);
    d.nMode = kAxsModePoints;
    d.pfnMarker = mark;
    d.pLabelData = &marks;
    AxsPlotData(f.dc.get(), f.axes, &d);
    ASSERT_EQ(marks.pts.size(), 2u);  // the point at 20 is outside
    EXPECT_EQ((std::pair{marks.pts[0].x, marks.pts[0].y}),
              (std::pair{AxsXToPixel(f.axes, 2), AxsYToPixel(f.axes, 0.5f)}));
    // Without a marker function, a square five pixels across.
    const float one[] = {5}, zero[] = {0};
    AxsPlotDesc sq = desc(one, zero, 1, 0);
    sq.nMode = kAxsModePoints;
    sq.pen = AxsGetDataPen(0, 0, 0);
    AxsPlotData(f.dc.get(), f.axes, &sq);
    const int px = AxsXToPixel(f.axes, 5), py = AxsYToPixel(f.axes, 0);
    std::string column, row;
    for (int k = -4; k <= 4; ++k) {
        column += f.dc->pixel(px, py + k) == kWhite ? '.' : '#';
        row += f.dc->pixel(px + k, py) == kWhite ? '.' : '#';
    }
    EXPECT_EQ(column + " " + row, "..#####.. ..#####..");

    // An evenly spaced line.
    const float band[] = {0.9f, 0.9f, 0.9f};
    AxsPlotDesc l = desc(nullptr, band, 3, 0);
    l.nMode = kAxsModeLine;
    l.fFirstX = 1;
    l.fStepX = 4;
    AxsPlotData(f.dc.get(), f.axes, &l);
    const int ly = AxsYToPixel(f.axes, 0.9f);
    EXPECT_NE(f.dc->pixel(AxsXToPixel(f.axes, 7), ly), kWhite);
    EXPECT_EQ(f.dc->pixel(AxsXToPixel(f.axes, 9.5f), ly), kWhite);
}

TEST(Axes, AxesDrawTicksAndLabels) {
    Fixture f(100, 1100, -0.004f, 0.003f);
    f.record();
    AxsAxisDesc d;
    d.nKind = kAxsKindX;
    d.nTickSize = AxsTickSize(f.dc.get());
    std::strcpy(d.szLabel, "M/z");
    d.bShowLabel = 1;
    ASSERT_TRUE(AxsDisplayAxis(f.dc.get(), f.axes, &d, 15, 0));
    d.nKind = kAxsKindY;
    std::strcpy(d.szLabel, "amu");
    ASSERT_TRUE(AxsDisplayAxis(f.dc.get(), f.axes, &d, 15, 1));
    std::vector<std::string> texts;
    for (auto& r : f.log) texts.push_back(r.text);
    auto has = [&](const char* s) { return std::find(texts.begin(), texts.end(), s) != texts.end(); };
    EXPECT_TRUE(has("M/z"));
    EXPECT_TRUE(has("amu"));
    EXPECT_TRUE(has("200") || has("500"));
    EXPECT_TRUE(has("0.000"));
    EXPECT_TRUE(has("-0.002"));
    // Tick labels of the mass axis sit under their ticks.
    for (auto& r : f.log)
        if (r.text == "600") {
            EXPECT_NEAR(r.x + r.cx / 2.0, AxsXToPixel(f.axes, 600), 1.0);
        }
    // The zero line crosses the plot where 0 maps.
    d.nKind = kAxsKindZeroLine;
    AxsDisplayAxis(f.dc.get(), f.axes, &d, 1, 0);
    const CalRect p = f.plot();
    EXPECT_NE(f.dc->pixel(p.left + 1, AxsYToPixel(f.axes, 0)), kWhite);
}

TEST(Axes, TheTallestPeakUnderAHeaderKeepsItsLabel) {
    // Graph 1 of a window at its default size: a band of about 95 pixels
    // whose header text lies over the base peak.
    for (int height : {95, 140}) {
        Fixture f(150, 1000, 0, 100, 560, height, 1);
        const GlobalResources& res = GetGlobalResources(f.dc.get());
        const char* head = "Data file: nai_tof - Uncalibrated";
        const int h = AxsDisplayHeader(f.dc.get(), f.axes, res.hHeaderFont, res.crHeader, 1, head);
        CalRect area;
        AxsGetArea(f.axes, 0, &area, 26);
        const CalRect excl{area.left, area.top,
                           area.left + static_cast<int>(std::strlen(head)) * f.dc->text_metrics().tmAveCharWidth,
                           area.top + h};
        AxsAnnoExcludeRect(1, &excl);
        const float x[] = {172.9f, 322.8f, 472.7f};
        const float y[] = {100, 75, 64};
        bool base = false;
        for (const TextRecord& r : f.labels(x, y, 3)) base = base || r.text == "172.90";
        EXPECT_TRUE(base) << height;
    }
}

TEST(Axes, AShortValueAxisStillShowsTwoLabels) {
    // The residual graph of a window at its default size: about 60 pixels.
    for (const auto& [low, high] : {std::pair{-3.0f, 3.5f}, std::pair{-0.004f, 0.0035f}, std::pair{-12.0f, 14.0f}}) {
        Fixture f(100, 1000, low, high, 500, 90);
        f.record();
        AxsAxisDesc d;
        d.nKind = kAxsKindY;
        ASSERT_TRUE(AxsDisplayAxis(f.dc.get(), f.axes, &d, 15, 1));
        int labels = 0;
        for (std::size_t i = 0; i < f.log.size(); ++i) {
            labels += !f.log[i].text.empty();
            if (i) {
                EXPECT_GE(f.log[i - 1].y, f.log[i].y + f.log[i].cy) << f.log[i].text;  // apart, upwards
            }
        }
        EXPECT_GE(labels, 2) << low << " " << high;
    }
}

TEST(Axes, HeaderSlotsAndTheirExclusion) {
    // The residual graph of the time-of-flight window at its default size:
    // its two headers do not collide.
    Fixture narrow(0, 10, 0, 10, 480, 120);
    narrow.record();
    const char* left = "Residual       Polynomial order = 2\r\nErrors displayed represent 95% confidence interval";
    const char* right = "RMS residual = 0.00169 amu\r\n<95% confidence band> = 4.131962 ppm";
    const HFont font = GetGlobalResources(narrow.dc.get()).hHeaderFont;
    AxsDisplayHeader(narrow.dc.get(), narrow.axes, font, 0, 1, left);
    AxsDisplayHeader(narrow.dc.get(), narrow.axes, font, 0, 2, right);
    ASSERT_EQ(narrow.log.size(), 2u);
    EXPECT_LE(narrow.log[0].x + narrow.log[0].cx, narrow.log[1].x);
    EXPECT_NEAR(narrow.log[1].x + narrow.log[1].cx, narrow.plot().right, 5);

    Fixture f(0, 10, 0, 10);
    f.record();
    const int h1 = AxsDisplayHeader(f.dc.get(), f.axes, nullptr, 0, 1, "left");
    const int h2 = AxsDisplayHeader(f.dc.get(), f.axes, nullptr, 0, 2, "two\r\nlines");
    ASSERT_EQ(f.log.size(), 2u);
    EXPECT_LT(f.log[0].x, 10);
    EXPECT_NEAR(f.log[1].x + f.log[1].cx, f.plot().right, 5);
    EXPECT_GT(h2, h1 * 3 / 2);
    // A stick right under the header gets no label over it.
    const float x[] = {9.5f};
    const float y[] = {10};
    for (auto& r : f.labels(x, y, 1)) EXPECT_GE(r.y, h2) << r.text;
}

TEST(Axes, SearchFindsTheNearestStick) {
    Fixture f(100, 200, 0, 100);
    const float x[] = {120, 150, 150.5f, 180};
    const float y[] = {10, 5, 80, 50};
    AxsSeries s;
    s.nCount = 4;
    s.pX = x;
    s.pY = y;
    float fx = 0, fy = 0;
    EXPECT_EQ(AxsSearch(nullptr, &s, 151, 1, &fx, &fy), 2);
    EXPECT_EQ((std::pair{fx, fy}), (std::pair{150.5f, 80.0f}));
    EXPECT_EQ(AxsSearch(nullptr, &s, 0, 1, nullptr, nullptr), 0);
    EXPECT_EQ(AxsSearch(nullptr, &s, 1000, 1, nullptr, nullptr), 3);
    // With axes: within a few pixels only, preferring a stick that reaches
    // the click.
    s.fValue = 50;
    EXPECT_EQ(AxsSearch(f.axes, &s, 150.2f, 1, nullptr, nullptr), 2);
    EXPECT_EQ(AxsSearch(f.axes, &s, 165, 1, nullptr, nullptr), -1);
    s.nCount = 0;
    EXPECT_EQ(AxsSearch(nullptr, &s, 150, 1, nullptr, nullptr), -1);
}

TEST(Axes, RubberBandReportsACompletedDrag) {
    Fixture f(0, 100, 0, 1);
    const CalRect p = f.plot();
    EXPECT_EQ(RubberBandEnd(nullptr), 0);
    EXPECT_FALSE(RubberBandInit(nullptr, f.axes, 10, 10, 0, 0));
    ASSERT_TRUE(RubberBandInit(nullptr, f.axes, 10, 10, p.left + 50, p.top + 5));
    EXPECT_TRUE(RubberBandMove(p.left + 20, p.top + 9, 0));
    CalRect r;
    EXPECT_EQ(RubberBandEnd(&r), 3);
    EXPECT_EQ((std::pair{r.left, r.right}), (std::pair{p.left + 20, p.left + 50}));
    EXPECT_FALSE(RubberBandMove(1, 1, 0));
    ASSERT_TRUE(RubberBandInit(nullptr, f.axes, 10, 10, p.left + 50, p.top + 5));
    RubberBandMove(p.left + 45, p.top + 5, 0);
    EXPECT_EQ(RubberBandEnd(&r), 1);
}

}  // namespace
