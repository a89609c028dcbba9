#include "suite/print/print.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "masscal/ui_provider.h"
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

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
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

// Printer Setup asks the host for the file: a save dialog starting from the
// file in force; a name chosen without an extension gets ".pdf".
TEST(Print, SetupChoosesTheFileThroughTheHostProvider) {
    OutputGuard guard;
    struct Host {
        std::vector<std::string> asked;  // save, title, filter, extension, flags, path
        const char* answer = nullptr;
    } host;
    CalUiProvider provider{};
    provider.pUser = &host;
    provider.pfnChooseFile = [](void* user, CalWnd, CalFileChoice* c) -> int32_t {
        auto* h = static_cast<Host*>(user);
        h->asked = {std::to_string(c->bSave), c->pszTitle, c->pszFilter, c->pszDefaultExt, std::to_string(c->nFlags),
                    c->szPath};
        if (!h->answer) return 0;
        std::snprintf(c->szPath, sizeof c->szPath, "%s", h->answer);
        return 1;
    };
    CalSetUiProvider(&provider);
    PrnSetOutputFile("/reports/run 7.pdf");
    const int cancelled = PrnPrintSetup(nullptr);
    const std::vector<std::string> asked = host.asked;
    PrnSetup s;
    PrnPrintGCV(&s);
    const std::string kept = s.szOutputFile;
    host.answer = "/tmp/reports/night";
    const int chosen = PrnPrintSetup(nullptr);
    PrnPrintGCV(&s);
    CalSetUiProvider(nullptr);

    EXPECT_EQ(asked, (std::vector<std::string>{"1", "Print to File", "PDF Document (*.pdf)|*.pdf||", "pdf",
                                               std::to_string(CAL_FILE_OVERWRITE_PROMPT), "/reports/run 7.pdf"}));
    EXPECT_EQ(std::make_pair(cancelled, kept), std::make_pair(1, std::string("/reports/run 7.pdf")));
    EXPECT_EQ(chosen, 1);
    EXPECT_STREQ(s.szOutputFile, "/tmp/reports/night.pdf");
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

    // A page that failed fails the print, and the file stays as it was.
    const std::string printed = slurp(path);
    seen.answer = 0;
    EXPECT_EQ(PrnReport(w, &s, 1, 256), 0);
    EXPECT_EQ(slurp(path), printed);
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
