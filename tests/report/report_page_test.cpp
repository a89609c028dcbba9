#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/graph_scene.hpp"
#include "masscal/render.h"
#include "masscal/report.h"
#include "report/page_header.hpp"
#include "suite/print/global_resources.hpp"
#include "suite/print/print.hpp"
#include "suite/utility/ftoa.hpp"

using namespace masscal::platform;
using namespace masscal::testing;

namespace {

std::time_t fixed_time() { return 1760000000; }

struct ClockGuard {
    ClockGuard() { masscal::report::set_report_clock(fixed_time); }
    ~ClockGuard() {
        masscal::report::set_report_clock(nullptr);
        SetCalReportPageNumber(1);
        SetCalReportPageTotal(1);
    }
};

std::string head(const std::string& path, std::size_t n) {
    std::ifstream f(path, std::ios::binary);
    std::string s(n, '\0');
    f.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<std::size_t>(f.gcount()));
    return s;
}

TEST(PageHeader, LinesWithAndWithoutSubtitle) {
    ClockGuard guard;
    CalRecord rec{};
    auto dc = CalDeviceContext::create_image(1000, 400);
    std::vector<TextRecord> log;
    dc->record_text(&log);
    const int cw = 10, lh = 20, cpl = 60;
    EXPECT_EQ(masscal::report::draw_page_header(dc.get(), &rec, cw, lh, cpl), 7);
    // Where each text starts; the page number's last character ends in the last cell.
    auto at = [&](const std::string& t) {
        const TextRecord* r = find_text(log, t);
        return r ? std::make_pair(r->x, r->y) : std::make_pair(-1, -1);
    };
    EXPECT_EQ(at("Calibration Report").second, 2 * lh);  // no " - " without a name
    EXPECT_EQ(at("Page 1 of 1"), std::make_pair((cpl - 11) * cw, 2 * lh));
    EXPECT_EQ(at("Printed:").second, 4 * lh);
    char when[64];
    const std::time_t t = fixed_time();
    ctime_r(&t, when);
    when[std::strcspn(when, "\n")] = '\0';
    EXPECT_EQ(at(when).first, 16 * cw);
    // Rules of one character a cell above and below the header.
    std::vector<int> rules;
    for (const auto& r : log)
        if (r.text == "_") rules.push_back(r.y);
    EXPECT_EQ(rules.size(), 2u * cpl);
    EXPECT_EQ(std::count(rules.begin(), rules.end(), 5 * lh), cpl);

    log.clear();
    std::strcpy(rec.szDataName, "Run 7");
    std::strcpy(rec.szSubtitle, "Second analyser");
    rec.bCheckOnly = 1;
    EXPECT_EQ(SetCalReportPageNumber(2), 2);
    EXPECT_EQ(SetCalReportPageTotal(10), 10);
    EXPECT_EQ(masscal::report::draw_page_header(dc.get(), &rec, cw, lh, cpl), 9);
    EXPECT_TRUE(find_text(log, "Calibration Verification Report - Run 7"));
    EXPECT_EQ(at("Second analyser").second, 4 * lh);
    EXPECT_EQ(at("Printed:").second, 6 * lh);
    EXPECT_EQ(at("Page 2 of 10").first, (cpl - 12) * cw);
}

// A window that answers the printing's requests as the calibration window
// does, and remembers the graph rectangle it was given.
struct PrintWindow {
    RecordPtr rec = make_synthetic_calibration();
    GraphLayout layout{};
    CalWnd parent = CreateHeadlessWindow(nullptr, CalRect{0, 0, 900, 700}, nullptr, nullptr);
    CalWnd wnd = nullptr;
    CalRect graphs{};
    CalPoint origin{};
    int paints = 0;

    PrintWindow() {
        wnd = CreateHeadlessWindow(parent, CalRect{0, 0, 880, 680}, proc, this);
        CalInitGraphRanges(rec.get(), &layout);
    }
    ~PrintWindow() {
        CalDeleteGraphs(&layout);
        DestroyWindow(parent);
    }
    static std::intptr_t proc(CalWnd w, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp) {
        auto* self = static_cast<PrintWindow*>(GetWindowUserData(w));
        if (!self) return 0;
        auto* dc = reinterpret_cast<CalDC>(wp);
        if (msg == kPrnPageRequest)
            return masscal::report::page_request(w, dc, reinterpret_cast<const PrnPage*>(lp), self->rec.get());
        if (msg == kPrnPaintRequest) {
            self->graphs = *reinterpret_cast<const CalRect*>(lp);
            self->origin = dc->origin();
            ++self->paints;
            CalRect r = self->graphs;
            CalPaintGraphs(w, &r, dc, self->rec.get(), &self->layout, 1);
            return 1;
        }
        return msg == kPrnPageDone ? 1 : 0;
    }
};

TEST(PageRequest, GraphsStartRightBelowTheHeader) {
    ClockGuard guard;
    for (bool subtitle : {false, true}) {
        PrintWindow pw;
        if (subtitle) std::strcpy(pw.rec->szSubtitle, "sub");
        PrnSetup setup;
        ASSERT_TRUE(PrnPrintGCV(&setup));
        auto dc = CalDeviceContext::create_image(static_cast<int>(setup.dPageWidthIn * 150),
                                                 static_cast<int>(setup.dPageHeightIn * 150), 150);
        std::vector<TextRecord> log;
        dc->record_text(&log);
        ASSERT_EQ(PrnReportPage(pw.wnd, dc.get(), &setup, 1, 1), 1);
        ASSERT_EQ(pw.paints, 1);
        // The header's font: the screen text font scaled to 150 per inch, bold.
        LogFont lf;
        GetFontDesc(GetGlobalResources().hTextFont, &lf);
        lf.lfHeight = static_cast<int>(lf.lfHeight * (150.0 / 96.0) + 0.5);
        lf.lfWeight = kFontWeightBold;
        HFont bold = CreateFontIndirect(lf);
        dc->select_font(bold);
        const TextMetrics tm = dc->text_metrics();
        DeleteFont(bold);
        const int lh = tm.tmHeight + tm.tmExternalLeading;
        const int cw = tm.tmAveCharWidth;
        const int margin = static_cast<int>(setup.dMarginIn * 150 + 0.5);
        const int pageW = static_cast<int>((setup.dPageWidthIn - 2 * setup.dMarginIn) * 150);
        const int pageH = static_cast<int>((setup.dPageHeightIn - 2 * setup.dMarginIn) * 150);
        const int lines = subtitle ? 9 : 7;
        EXPECT_EQ(std::make_pair(pw.origin.x, pw.origin.y), std::make_pair(margin, margin + lines * lh));
        EXPECT_EQ(std::tie(pw.graphs.left, pw.graphs.top, pw.graphs.right, pw.graphs.bottom),
                  std::make_tuple(0, 0, pageW / cw * cw, pageH / lh * lh - lines * lh));
        // Header texts land in device units from the page's top-left.
        const TextRecord* page = find_text(log, "Page 1 of 1");
        ASSERT_TRUE(page);
        EXPECT_EQ(std::make_pair(page->x, page->y), std::make_pair(margin + (pageW / cw - 11) * cw, margin + 2 * lh));
        EXPECT_TRUE(find_text(log, "Calibration Report - PEG 200-1000 in MeOH, ESI+"));
        // The graphs were drawn below the header.
        const TextRecord* matches = find_text(log, "22 matches of 23 tested references");
        ASSERT_TRUE(matches);
        EXPECT_GE(matches->y, margin + lines * lh);
    }
}

// A page whose margins leave no room still counts as one page.
TEST(PageCount, APageWithoutRoomIsOnePage) {
    RecordPtr rec = make_synthetic_calibration();
    PrnSetup setup;
    ASSERT_TRUE(PrnPrintGCV(&setup));
    EXPECT_GT(masscal::report::report_page_count(nullptr, setup, rec.get(), nullptr), 1);
    setup.dPageHeightIn = 2 * setup.dMarginIn;
    EXPECT_EQ(masscal::report::report_page_count(nullptr, setup, rec.get(), nullptr), 1);
}

TEST(PrintReport, ResidualGraphOfAVerification) {
    ClockGuard guard;
    RecordPtr rec = make_synthetic_calibration();
    SyntheticOptions opt;
    opt.seed = 7;
    RecordPtr verify = make_synthetic_calibration(opt);
    float* errors = static_cast<float*>(verify->Errors.pData);
    auto dc = CalDeviceContext::create_image(800, 1300);
    std::vector<TextRecord> log;
    dc->record_text(&log);
    CalRect r{0, 100, 800, 1300};
    ASSERT_EQ(CalPrintReport(dc.get(), &r, rec.get(), 0, verify.get(), "Verification of run 7", 100, 1100), 1);
    // The first record's residuals now hold the verification's errors.
    EXPECT_EQ(std::memcmp(rec->Residuals.pData, errors, sizeof(float) * verify->MatchPeaks.nCount), 0);
    const int band = 1200 / 12;
    const TextRecord* h1 = find_text(log, "Verification of run 7");
    ASSERT_TRUE(h1);
    char sd[64];
    std::snprintf(sd, sizeof sd, "SD = %s", ftoa(verify->dRmsResidual, sd + 40, 4));
    const TextRecord* h2 = find_text(log, sd);
    ASSERT_TRUE(h2) << sd;
    EXPECT_EQ(h1->y, 100 + band + 1);
    EXPECT_EQ(h1->x, 800 / 40 + 3);
    EXPECT_LE(h2->x + h2->cx, 800 - 800 / 40);
    for (const TextRecord& t : log) {
        EXPECT_GE(t.y, 100 + band) << t.text;
        EXPECT_LE(t.y + (t.vertical ? t.cy : t.cy), 100 + 11 * band) << t.text;
        EXPECT_GE(t.x, 800 / 40) << t.text;
    }
    // Nothing is drawn without a verification record, and it still succeeds.
    auto blank = CalDeviceContext::create_image(200, 200);
    CalRect r2{0, 0, 200, 200};
    EXPECT_EQ(CalPrintReport(blank.get(), &r2, rec.get(), 0, nullptr, "x", 100, 1100), 1);
    for (int y = 0; y < 200; y += 4)
        for (int x = 0; x < 200; x += 4) ASSERT_EQ(blank->pixel(x, y), rgb(255, 255, 255));
}

TEST(PrintReport, TooManyMatchesAreCutToTheResiduals) {
    RecordPtr rec = make_synthetic_calibration();
    SyntheticOptions opt;
    opt.noisePeaks = 400;
    RecordPtr verify = make_synthetic_calibration(opt);
    verify->MatchPeaks.nCount = 5000;  // more than Errors or Residuals hold
    auto dc = CalDeviceContext::create_image(300, 300);
    CalRect r{0, 0, 300, 300};
    EXPECT_EQ(CalPrintReport(dc.get(), &r, rec.get(), 0, verify.get(), "", 100, 1100), 1);
    verify->MatchPeaks.nCount = 20;
}

TEST(PrintReport, FailsWhenTheAxesCannotBeMade) {
    RecordPtr rec = make_synthetic_calibration();
    auto dc = CalDeviceContext::create_image(300, 300);
    CalRect r{0, 0, 300, 300};
    set_alloc_failure(1);
    EXPECT_EQ(CalPrintReport(dc.get(), &r, rec.get(), 0, rec.get(), "", 100, 1100), 0);
    set_alloc_failure(0);
}

TEST(Render, GraphsAndReportFiles) {
    ClockGuard guard;
    RecordPtr rec = make_synthetic_calibration();
    const std::string dir = ::testing::TempDir() + std::to_string(::getpid()) + "-";  // runs may overlap
    const std::string png = dir + "masscal_graphs.png", svg = dir + "masscal_graphs.svg";
    const std::string pdf = dir + "masscal_report.pdf", page = dir + "masscal_report.png";
    EXPECT_EQ(CalRenderGraphs(rec.get(), png.c_str(), 800, 600, 0), 1);
    EXPECT_EQ(head(png, 4), "\x89PNG");
    EXPECT_EQ(CalRenderGraphs(rec.get(), svg.c_str(), 800, 600, CAL_RENDER_PPM), 1);
    EXPECT_NE(head(svg, 300).find("<svg"), std::string::npos);
    EXPECT_EQ(CalGetResidualUnitAmu(), 1);  // restored
    EXPECT_EQ(CalRenderReportExt(rec.get(), page.c_str(), 0, nullptr, 2), 1);  // a detail page
    EXPECT_EQ(CalRenderReportExt(rec.get(), page.c_str(), 0, nullptr, 9), 0);  // no such page
    EXPECT_EQ(CalRenderGraphs(rec.get(), "/nonexistent-dir/x.png", 800, 600, 0), 0);
    EXPECT_EQ(CalRenderReport(rec.get(), "/nonexistent-dir/x.pdf", 0), 0);
    EXPECT_EQ(CalRenderGraphs(rec.get(), png.c_str(), 0, 600, 0), 0);
    EXPECT_EQ(CalRenderGraphs(nullptr, png.c_str(), 800, 600, 0), 0);
    for (const std::string& p : {png, svg, pdf, page}) std::remove(p.c_str());
}

}  // namespace
