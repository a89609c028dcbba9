// The PDF report as a reader sees it: rendered by poppler, it must look like
// the same page drawn as a picture, and its texts must sit where a page
// puts them.
#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "support/synthetic_calibration.hpp"
#include "masscal/render.h"
#include "masscal/report.h"
#include "report/page_header.hpp"
#include "support/pdf_pages.hpp"

using namespace masscal::testing;

namespace {

std::time_t fixed_time() { return 1760000000; }

struct ClockGuard {
    ClockGuard() { masscal::report::set_report_clock(fixed_time); }
    ~ClockGuard() { masscal::report::set_report_clock(nullptr); }
};

// Rows and columns of a page that carry ink.
struct Ink {
    std::vector<bool> rows, cols;
};

template <class Dark>
Ink ink(int w, int h, Dark dark) {
    Ink k{std::vector<bool>(h), std::vector<bool>(w)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (dark(x, y)) k.rows[y] = k.cols[x] = true;
    return k;
}

// Share of the lines with ink in one profile that have ink within slack
// lines in the other, and the other way round: glyphs may land a pixel or
// two apart on the two devices.
double agreement(const std::vector<bool>& a, const std::vector<bool>& b, int slack = 3) {
    if (a.size() != b.size() || a.empty()) return 0;
    const int n = static_cast<int>(a.size());
    auto near = [&](const std::vector<bool>& v, int i) {
        for (int j = std::max(0, i - slack); j <= std::min(n - 1, i + slack); ++j)
            if (v[j]) return true;
        return false;
    };
    int inked = 0, matched = 0;
    for (int i = 0; i < n; ++i) {
        inked += a[i] + b[i];
        matched += (a[i] && near(b, i)) + (b[i] && near(a, i));
    }
    return inked ? static_cast<double>(matched) / inked : 0;
}

const PdfWord* word(const std::vector<PdfWord>& words, const std::string& text) {
    for (const auto& w : words)
        if (w.text == text) return &w;
    return nullptr;
}

TEST(ReportPdf, FirstPageLooksLikeItsPicture) {
    ClockGuard clock;
    RecordPtr rec = make_synthetic_calibration();
    const std::string dir = ::testing::TempDir() + std::to_string(::getpid()) + "-";  // runs may overlap
    const std::string pdf = dir + "masscal_pdf_report.pdf", png = dir + "masscal_pdf_report.png";
    ASSERT_EQ(CalRenderReport(rec.get(), pdf.c_str(), CAL_RENDER_PPM), 1);
    ASSERT_EQ(CalRenderReport(rec.get(), png.c_str(), CAL_RENDER_PPM), 1);  // 150 per inch

    const GreyImage page = pdf_page_image(pdf, 1, 150, dir + "masscal_pdf_page");
    ASSERT_GT(page.width, 0) << "pdftoppm (poppler-utils) must be installed";
    cairo_surface_t* pic = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(pic), CAIRO_STATUS_SUCCESS);
    // Both A4 at 150 per inch; they may round the last pixel differently.
    const int w = std::min(page.width, cairo_image_surface_get_width(pic));
    const int h = std::min(page.height, cairo_image_surface_get_height(pic));
    ASSERT_GT(w, 1200);
    ASSERT_GT(h, 1700);
    const unsigned char* data = cairo_image_surface_get_data(pic);
    const int stride = cairo_image_surface_get_stride(pic);
    const Ink fromPdf = ink(w, h, [&](int x, int y) { return page.at(x, y) < 160; });
    const Ink fromPng = ink(w, h, [&](int x, int y) {
        const unsigned char* p = data + static_cast<std::size_t>(y) * stride + 4 * x;
        return (p[0] + p[1] + p[2]) / 3 < 160;
    });
    cairo_surface_destroy(pic);
    // The same header lines, graph bands, axes and sticks; only glyph edges
    // may differ.
    EXPECT_GT(agreement(fromPdf.rows, fromPng.rows), 0.99);
    EXPECT_GT(agreement(fromPdf.cols, fromPng.cols), 0.99);
    std::remove(png.c_str());
    std::remove(pdf.c_str());
}

TEST(ReportPdf, TextsSitWhereThePageSaysAndEveryMatchIsListed) {
    ClockGuard clock;
    RecordPtr rec = make_synthetic_calibration();
    const std::string pdf = ::testing::TempDir() + std::to_string(::getpid()) + "-masscal_pdf_texts.pdf";
    ASSERT_EQ(CalRenderReport(rec.get(), pdf.c_str(), 0), 1);
    const int pages = pdf_page_count(pdf);
    ASSERT_GE(pages, 2);

    const auto first = pdf_words(pdf, 1);
    const PdfWord* title = word(first, "Calibration");
    const PdfWord* printed = word(first, "Printed:");
    const PdfWord* matches = word(first, "matches");
    const PdfWord* mz = word(first, "M/z");
    ASSERT_TRUE(title && printed && matches && mz);
    // Header lines two lines of a 9-point font apart, the graphs below the
    // header and down to the foot of the page.
    EXPECT_GT(printed->yMin - title->yMin, 15.0);
    EXPECT_LT(printed->yMin - title->yMin, 40.0);
    EXPECT_GT(matches->yMin, printed->yMax + 10.0);
    EXPECT_GT(mz->yMin, 700.0);
    EXPECT_TRUE(word(first, "Page") && word(first, std::to_string(pages)));

    // Every match in the table, by its reference and measured mass.
    std::set<std::string> texts;
    for (int p = 2; p <= pages; ++p)
        for (const auto& w : pdf_words(pdf, p)) texts.insert(w.text);
    const float* mass = static_cast<const float*>(rec->MatchPeaks.Mass.pData);
    const float* err = static_cast<const float*>(rec->Errors.pData);
    for (int i = 0; i < rec->MatchPeaks.nCount; ++i) {
        char ref[32], measured[32];
        std::snprintf(ref, sizeof ref, "%.5f", static_cast<double>(mass[i]) - err[i]);
        std::snprintf(measured, sizeof measured, "%.5f", static_cast<double>(mass[i]));
        EXPECT_TRUE(texts.count(ref) && texts.count(measured)) << ref << " " << measured;
    }
    for (const char* t : {"Functions", "Statistics", "Settings", "Files", "Matches"}) EXPECT_TRUE(texts.count(t)) << t;
    std::remove(pdf.c_str());
}

TEST(ReportPdf, ALongTableContinuesUnderItsHeadAndPagesCountOnFromTheHost) {
    ClockGuard clock;
    RecordPtr rec = make_synthetic_calibration();
    std::vector<float> ref, measured;
    for (int i = 0; i < 90; ++i) {
        ref.push_back(1000.0f + i);
        measured.push_back(1000.0625f + i);
    }
    CalReportNotes notes{};
    notes.pDroppedRef = ref.data();
    notes.pDroppedMeasured = measured.data();
    notes.nDropped = static_cast<int32_t>(ref.size());
    SetCalReportPageNumber(3);
    SetCalReportPageTotal(9);
    const std::string pdf = ::testing::TempDir() + std::to_string(::getpid()) + "-masscal_pdf_long.pdf";
    ASSERT_EQ(CalRenderReportExt(rec.get(), pdf.c_str(), 0, &notes, 1), 1);
    SetCalReportPageNumber(1);
    SetCalReportPageTotal(1);
    const int pages = pdf_page_count(pdf);
    ASSERT_GE(pages, 3);
    bool droppedRow = false;
    for (int p = 1; p <= pages; ++p) {
        const auto words = pdf_words(pdf, p);
        std::string text;
        for (const auto& w : words) text += w.text + " ";
        EXPECT_NE(text.find("Page " + std::to_string(p + 2) + " of 9"), std::string::npos) << p;
        if (p == 3) {
            // The continued table repeats its head line before its rows.
            const PdfWord* head = word(words, "measured");
            const PdfWord* row = nullptr;
            for (const auto& w : words)
                if (w.text.size() == 10 && w.text.compare(0, 2, "10") == 0 && !row) row = &w;
            ASSERT_TRUE(head && row);
            EXPECT_LT(head->yMin, row->yMin);
        }
        // A dropped match is a row of its own: masses, error, the note.
        const PdfWord* ref = word(words, "1000.00000");
        if (!ref) continue;
        int same = 0;
        for (const auto& w : words)
            if (std::fabs(w.yMin - ref->yMin) < 1 &&
                (w.text == "1000.06250" || w.text == "62.500" || w.text == "dropped"))
                ++same;
        droppedRow = same == 3;
    }
    EXPECT_TRUE(droppedRow);
    std::remove(pdf.c_str());
}

}  // namespace
