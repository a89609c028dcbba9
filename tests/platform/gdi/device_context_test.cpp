#include "platform/gdi/device_context.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

#include "platform/gdi/cursor.hpp"

using namespace masscal::platform;

namespace {

const Colour kBlack = rgb(0, 0, 0);
const Colour kWhite = rgb(255, 255, 255);

std::string read_head(const std::string& path, std::size_t n) {
    std::ifstream f(path, std::ios::binary);
    std::string s(n, '\0');
    f.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<std::size_t>(f.gcount()));
    return s;
}

std::string temp_path(const char* name) {
    return std::string(::testing::TempDir()) + std::to_string(::getpid()) + name;  // runs may overlap
}

TEST(DeviceContext, ImageStartsWhiteAndKnowsItsSize) {
    auto dc = CalDeviceContext::create_image(40, 30);
    ASSERT_TRUE(dc);
    EXPECT_EQ(std::make_tuple(dc->width(), dc->height(), dc->dpi_x()), std::make_tuple(40, 30, 96));
    EXPECT_EQ(std::make_tuple(dc->pixel(0, 0), dc->pixel(39, 29), dc->pixel(40, 0)),
              std::make_tuple(kWhite, kWhite, Colour{0xFFFFFFFFu}));  // outside: no colour
    EXPECT_FALSE(CalDeviceContext::create_image(0, 10));
}

TEST(DeviceContext, LinesCoverTheirPixelsAndExcludeTheEndPoint) {
    auto dc = CalDeviceContext::create_image(20, 20);
    dc->select_pen(Pen{kBlack, 1, PenStyle::solid});
    dc->move_to(5, 2);
    dc->line_to(5, 10);  // rows 2..9 of column 5
    for (int y = 2; y < 10; ++y) EXPECT_EQ(dc->pixel(5, y), kBlack) << y;
    for (auto [x, y] : {std::pair{5, 1}, {5, 10}, {4, 5}, {6, 5}}) EXPECT_EQ(dc->pixel(x, y), kWhite) << x << "," << y;

    dc->move_to(15, 12);
    dc->line_to(8, 12);  // leftwards: columns 15 down to 9
    EXPECT_EQ(std::make_tuple(dc->pixel(15, 12), dc->pixel(9, 12), dc->pixel(8, 12), dc->pixel(12, 11)),
              std::make_tuple(kBlack, kBlack, kWhite, kWhite));
}

TEST(DeviceContext, FillRectExcludesRightAndBottom) {
    auto dc = CalDeviceContext::create_image(20, 20);
    dc->fill_rect(CalRect{2, 3, 6, 8}, rgb(10, 20, 30));
    EXPECT_EQ(std::make_tuple(dc->pixel(2, 3), dc->pixel(5, 7), dc->pixel(6, 7), dc->pixel(5, 8)),
              std::make_tuple(rgb(10, 20, 30), rgb(10, 20, 30), kWhite, kWhite));
}

TEST(DeviceContext, OriginClipAndStateStack) {
    auto dc = CalDeviceContext::create_image(20, 20);
    dc->save();
    dc->set_origin(10, 10);
    dc->intersect_clip(CalRect{0, 0, 2, 2});
    dc->fill_rect(CalRect{0, 0, 5, 5}, kBlack);
    dc->restore();
    EXPECT_EQ(std::make_tuple(dc->pixel(10, 10), dc->pixel(11, 11), dc->pixel(12, 12)),
              std::make_tuple(kBlack, kBlack, kWhite));  // clipped
    EXPECT_EQ(dc->origin().x, 0);
    dc->fill_rect(CalRect{0, 0, 1, 1}, kBlack);
    EXPECT_EQ(dc->pixel(0, 0), kBlack);
}

TEST(DeviceContext, TextMetricsFollowTheFontSize) {
    auto dc = CalDeviceContext::create_image(200, 50);
    LogFont lf;
    lf.lfHeight = -13;
    HFont small = CreateFontIndirect(lf);
    lf.lfHeight = -26;
    HFont big = CreateFontIndirect(lf);
    ASSERT_TRUE(small && big);
    dc->select_font(small);
    const TextMetrics a = dc->text_metrics();
    const TextSize wa = dc->text_extent("00000");
    dc->select_font(big);
    const TextMetrics b = dc->text_metrics();
    const TextSize wb = dc->text_extent("00000");
    EXPECT_TRUE(a.tmHeight > 12 && a.tmHeight < 20 && a.tmAveCharWidth > 4 && a.tmAveCharWidth < 11)
        << a.tmHeight << " " << a.tmAveCharWidth;
    EXPECT_NEAR(b.tmHeight, 2 * a.tmHeight, 2);
    EXPECT_NEAR(wb.cx, 2 * wa.cx, 2);
    EXPECT_GE(a.tmExternalLeading, 0);
    EXPECT_GT(dc->text_extent("0000000000").cx, wa.cx);
    // Two lines are about twice as high as one.
    EXPECT_NEAR(dc->text_extent("a\r\nb").cy, 2 * dc->text_extent("a").cy, 3);
    LogFont back;
    ASSERT_TRUE(GetFontDesc(big, &back));
    EXPECT_EQ(back.lfHeight, -26);
    dc->select_font(nullptr);
    DeleteFont(small);
    DeleteFont(big);
}

TEST(DeviceContext, TextIsDrawnAndRecorded) {
    auto dc = CalDeviceContext::create_image(120, 40);
    std::vector<TextRecord> log;
    dc->record_text(&log);
    dc->set_text_colour(kBlack);
    dc->set_origin(3, 4);
    dc->text_out(10, 5, "M/z 500");
    dc->text_out_vertical(0, 0, "amu");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(std::tie(log[0].x, log[0].y, log[0].text), std::make_tuple(13, 9, "M/z 500"));
    EXPECT_TRUE(log[1].vertical);
    EXPECT_GT(log[1].cy, log[1].cx);  // turned: taller than wide
    int dark = 0;
    for (int y = 9; y < 9 + log[0].cy; ++y)
        for (int x = 13; x < 13 + log[0].cx; ++x) dark += dc->pixel(x, y) != kWhite;
    EXPECT_GT(dark, 20);
}

TEST(DeviceContext, PdfPagesAreWritten) {
    const std::string path = temp_path("masscal_dc_test.pdf");
    {
        auto dc = CalDeviceContext::create_pdf(path.c_str(), 8.27, 11.69, 600);
        ASSERT_TRUE(dc);
        EXPECT_EQ(std::make_pair(dc->dpi_y(), dc->width()), std::make_pair(600, 4962));
        dc->text_out(600, 600, "Calibration Report");
        EXPECT_TRUE(dc->end_page());
        EXPECT_TRUE(dc->finish());
    }
    EXPECT_EQ(read_head(path, 5), "%PDF-");
    std::remove(path.c_str());
    EXPECT_FALSE(CalDeviceContext::create_pdf("/nonexistent-dir/x.pdf", 8, 11, 600));
}

TEST(DeviceContext, SvgIsWritten) {
    const std::string path = temp_path("masscal_dc_test.svg");
    {
        auto dc = CalDeviceContext::create_svg(path.c_str(), 300, 200);
        ASSERT_TRUE(dc);
        dc->move_to(0, 0);
        dc->line_to(100, 100);
        EXPECT_TRUE(dc->finish());
    }
    EXPECT_NE(read_head(path, 200).find("<svg"), std::string::npos);
    std::remove(path.c_str());
}

TEST(Cursor, SettingReturnsThePrevious) {
    const Cursor old = SetCursor(Cursor::wait);
    EXPECT_EQ(SetCursor(old), Cursor::wait);
}

}  // namespace
