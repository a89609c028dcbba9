#include "report/page_header.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/gdi/device_context.hpp"
#include "report/detail_page.hpp"
#include "suite/print/global_resources.hpp"
#include "texts/report_text.hpp"

using namespace masscal::platform;

namespace masscal::report {
namespace {

std::atomic<int> g_page{1};
std::atomic<int> g_total{1};
std::atomic<Clock> g_clock{nullptr};

void rule(CalDC dc, int line, int charWidth, int lineHeight, int charsPerLine) {
    for (int i = 0; i < charsPerLine; ++i) dc->text_out(i * charWidth, line * lineHeight, "_");
}

}  // namespace

int page_number() { return g_page.load(); }
int page_total() { return g_total.load(); }
void set_report_clock(Clock clock) { g_clock.store(clock); }

int page_header_lines(const CalRecord* rec) { return rec->szSubtitle[0] ? 9 : 7; }

int draw_page_header(CalDC dc, const CalRecord* rec, int charWidth, int lineHeight, int charsPerLine) {
    return draw_page_header(dc, rec, charWidth, lineHeight, charsPerLine, page_number(), page_total());
}

int draw_page_header(CalDC dc, const CalRecord* rec, int charWidth, int lineHeight, int charsPerLine, int page,
                     int total) {
    char text[512];
    rule(dc, 0, charWidth, lineHeight, charsPerLine);

    translate(text, sizeof text, rec->bCheckOnly ? kCalibrationVerificationReport : kCalibrationReport);
    std::string title = text;
    const std::string name(rec->szDataName, strnlen(rec->szDataName, sizeof rec->szDataName));
    if (!name.empty()) title += " - " + name;
    dc->text_out(0, 2 * lineHeight, title.c_str());

    char fmt[256];
    format(text, sizeof text, translate(fmt, sizeof fmt, kPagesText), page, total);
    const int len = static_cast<int>(std::strlen(text));
    dc->text_out((charsPerLine - len) * charWidth, 2 * lineHeight, text);

    int line = 4;
    const std::string subtitle(rec->szSubtitle, strnlen(rec->szSubtitle, sizeof rec->szSubtitle));
    if (!subtitle.empty()) {
        dc->text_out(0, line * lineHeight, subtitle.c_str());
        line += 2;
    }
    dc->text_out(0, line * lineHeight, translate(text, sizeof text, kPrintedText));
    const Clock clock = g_clock.load();
    const std::time_t now = clock ? clock() : std::time(nullptr);
    char when[64] = "";
    if (ctime_r(&now, when)) {
        when[strcspn(when, "\n")] = '\0';
        dc->text_out(16 * charWidth, line * lineHeight, when);
    }
    ++line;
    rule(dc, line, charWidth, lineHeight, charsPerLine);
    return line + 2;
}

PageFonts::PageFonts(CalWnd wnd, CalDC dc) : dc_(dc) {
    const GlobalResources& screen = GetGlobalResources();
    LogFont lf;
    GetFontDesc(screen.hTextFont, &lf);
    if (CalDC sdc = GetDC(wnd)) {
        lf.lfHeight = static_cast<int>(lf.lfHeight * (static_cast<double>(dc->dpi_y()) / sdc->dpi_y()) + 0.5);
        lf.lfWidth = 0;
        ReleaseDC(wnd, sdc);
    }
    text_ = CreateFontIndirect(lf);
    previous_ = dc->select_font(text_);
    bold_ = PrnCreateBoldFont(dc);
    if (bold_) dc->select_font(bold_);
}

PageFonts::~PageFonts() {
    dc_->select_font(previous_);
    DeleteFont(bold_);
    DeleteFont(text_);
}

PageGrid PageFonts::grid(int width, int height) const {
    const TextMetrics tm = dc_->text_metrics();
    PageGrid g;
    g.charWidth = std::max(1, tm.tmAveCharWidth);
    g.lineHeight = std::max(1, tm.tmHeight + tm.tmExternalLeading);
    g.charsPerLine = width / g.charWidth;
    g.linesPerPage = height / g.lineHeight;
    return g;
}

int report_page_count(CalWnd wnd, const PrnSetup& setup, const CalRecord* rec, const CalReportNotes* notes) {
    const double w = setup.dPageWidthIn - 2 * setup.dMarginIn;
    const double h = setup.dPageHeightIn - 2 * setup.dMarginIn;
    if (!rec || w <= 0 || h <= 0) return 1;
    auto dc = CalDeviceContext::create_image(1, 1, std::max(1, setup.nDpi));
    if (!dc) return 1;
    PageFonts fonts(wnd, dc.get());
    const PageGrid grid = fonts.grid(static_cast<int>(w * setup.nDpi), static_cast<int>(h * setup.nDpi));
    return 1 + detail_page_count(rec, notes, grid, page_header_lines(rec));
}

int page_request(CalWnd wnd, CalDC dc, const PrnPage* page, CalRecord* rec, const CalReportNotes* notes) {
    if (!dc || !page || !rec) return 0;
    // A host that numbers its own pages gets this report's pages counted on
    // from the number it set.
    const int number = page_number() + std::max(0, page->nPage - 1);
    const int total = std::max(page_total(), page_number() + std::max(1, page->nPages) - 1);
    PageFonts fonts(wnd, dc);
    const PageGrid grid = fonts.grid(page->nWidth, page->nHeight);
    const Colour oldText = dc->set_text_colour(rgb(0, 0, 0));
    const int used =
        draw_page_header(dc, rec, grid.charWidth, grid.lineHeight, grid.charsPerLine, number, total);
    dc->set_text_colour(oldText);
    if (page->nPage > 1) {
        draw_detail_page(dc, rec, notes, grid, fonts.text(), fonts.bold(), page->nPage - 2, used);
        return 1;
    }
    dc->select_font(fonts.previous());
    const CalRect graphs{0, used * grid.lineHeight, grid.charsPerLine * grid.charWidth,
                         grid.linesPerPage * grid.lineHeight};
    PrnReportWindow(dc, wnd, &graphs, 8);
    return 1;
}

}  // namespace masscal::report

extern "C" {

MASSCAL_API int32_t SetCalReportPageNumber(int32_t nPage) {
    masscal::report::g_page.store(nPage);
    return nPage;
}

MASSCAL_API int32_t SetCalReportPageTotal(int32_t nTotal) {
    masscal::report::g_total.store(nTotal);
    return nTotal;
}

}  // extern "C"
