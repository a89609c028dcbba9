#include "suite/print/print.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gdi/device_context.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;

namespace {

struct Seen {
    std::vector<std::uint32_t> msgs;
    std::vector<PrnPage> pages;
    CalRect paintRect{};
    CalPoint paintOrigin{};
    int answer = 1;
};

std::intptr_t proc(CalWnd w, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp) {
    auto* s = static_cast<Seen*>(GetWindowUserData(w));
    if (!s) return 0;
    s->msgs.push_back(msg);
    auto* dc = reinterpret_cast<CalDC>(wp);
    if (msg == kPrnPageRequest) {
        s->pages.push_back(*reinterpret_cast<const PrnPage*>(lp));
        const CalRect r{100, 200, 1100, 900};
        PrnReportWindow(dc, w, &r, 8);
        return s->answer;
    }
    if (msg == kPrnPaintRequest) {
        s->paintRect = *reinterpret_cast<const CalRect*>(lp);
        s->paintOrigin = dc->origin();
        return 1;
    }
    return 1;
}

std::string head(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    char b[5] = {};
    f.read(b, 5);
    return std::string(b, static_cast<std::size_t>(f.gcount()));
}

struct OutputGuard {
    PrnSetup saved{};
    OutputGuard() { PrnPrintGCV(&saved); }
    ~OutputGuard() { PrnSetOutputFile(saved.szOutputFile); }
};

TEST(Print, SetupDefaultsAndOutputFile) {
    OutputGuard guard;
    PrnSetup s;
    EXPECT_TRUE(PrnPrintGCV(&s));
    EXPECT_STREQ(s.szOutputFile, "calibration-report.pdf");
    EXPECT_NEAR(s.dPageWidthIn, 8.27, 0.01);
    EXPECT_EQ(s.nDpi, 600);
    EXPECT_TRUE(PrnSetOutputFile(""));
    EXPECT_FALSE(PrnPrintGCV(&s));  // nowhere to print: the command stops
    EXPECT_FALSE(PrnPrintSetup(nullptr));
    EXPECT_TRUE(PrnSetOutputFile("out.pdf"));
    EXPECT_TRUE(PrnPrintGCV(&s));
    EXPECT_STREQ(s.szOutputFile, "out.pdf");
    EXPECT_FALSE(PrnSetOutputFile(std::string(5000, 'a').c_str()));
}

TEST(Print, ReportSendsPageAndPaintRequests) {
    Seen seen;
    CalWnd w = CreateHeadlessWindow(nullptr, CalRect{0, 0, 100, 100}, proc, &seen);
    seen.msgs.clear();  // the creation message
    PrnSetup s;
    PrnPrintGCV(&s);
    const std::string path = std::string(::testing::TempDir()) + "masscal_print_test.pdf";
    std::snprintf(s.szOutputFile, sizeof s.szOutputFile, "%s", path.c_str());
    ASSERT_EQ(PrnReport(w, &s, 2, 256), 1);
    EXPECT_EQ(head(path), "%PDF-");
    ASSERT_EQ(seen.pages.size(), 2u);
    const int width = static_cast<int>((s.dPageWidthIn - 1.0) * 600);
    const int height = static_cast<int>((s.dPageHeightIn - 1.0) * 600);
    for (int i = 0; i < 2; ++i) {
        const PrnPage& p = seen.pages[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::tuple(p.nPage, p.nPages, p.nWidth, p.nHeight), std::tuple(i + 1, 2, width, height));
    }
    const std::vector<std::uint32_t> want{kPrnPageRequest, kPrnPaintRequest, kPrnPageDone,
                                          kPrnPageRequest, kPrnPaintRequest, kPrnPageDone};
    EXPECT_EQ(seen.msgs, want);
    // The paint request gets its rectangle at the origin, moved to the place.
    const CalRect& r = seen.paintRect;
    EXPECT_EQ(std::tuple(r.left, r.top, r.right, r.bottom), std::tuple(0, 0, 1000, 700));
    EXPECT_EQ(std::pair(seen.paintOrigin.x, seen.paintOrigin.y), std::pair(300 + 100, 300 + 200));

    seen.answer = 0;
    EXPECT_EQ(PrnReport(w, &s, 1, 256), 0);  // a page that failed fails the print
    std::snprintf(s.szOutputFile, sizeof s.szOutputFile, "/nonexistent-dir/x.pdf");
    seen.answer = 1;
    EXPECT_EQ(PrnReport(w, &s, 1, 256), 0);
    EXPECT_EQ(PrnReport(nullptr, &s, 1, 256), 0);
    DestroyWindow(w);
    std::remove(path.c_str());
}

TEST(Print, BoldFontOfTheSelectedOne) {
    auto dc = CalDeviceContext::create_image(10, 10);
    LogFont lf;
    lf.lfHeight = -40;
    HFont f = CreateFontIndirect(lf);
    dc->select_font(f);
    HFont bold = PrnCreateBoldFont(dc.get());
    LogFont got;
    ASSERT_TRUE(GetFontDesc(bold, &got));
    EXPECT_EQ(got.lfHeight, -40);
    EXPECT_EQ(got.lfWeight, kFontWeightBold);
    dc->select_font(nullptr);
    DeleteFont(bold);
    DeleteFont(f);
}

TEST(GlobalResources, SamePhysicalSizeOnEveryDevice) {
    const GlobalResources& screen = GetGlobalResources(96);
    const GlobalResources& paper = GetGlobalResources(600);
    LogFont a, b;
    GetFontDesc(screen.hTextFont, &a);
    GetFontDesc(paper.hTextFont, &b);
    EXPECT_NEAR(b.lfHeight, a.lfHeight * 600.0 / 96.0, 3.5);
    EXPECT_EQ(&GetGlobalResources(96), &screen);  // made once
    EXPECT_EQ(&GetGlobalResources(0), &screen);
}

}  // namespace
