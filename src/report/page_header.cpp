#include "report/page_header.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/gdi/device_context.hpp"
#include "report/report_text.hpp"
#include "suite/print/global_resources.hpp"

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

int draw_page_header(CalDC dc, const CalRecord* rec, int charWidth, int lineHeight, int charsPerLine) {
    char text[512];
    rule(dc, 0, charWidth, lineHeight, charsPerLine);

    translate(text, sizeof text, rec->bCheckOnly ? kCalibrationVerificationReport : kCalibrationReport);
    std::string title = text;
    const std::string name(rec->szDataName, strnlen(rec->szDataName, sizeof rec->szDataName));
    if (!name.empty()) title += " - " + name;
    dc->text_out(0, 2 * lineHeight, title.c_str());

    char fmt[256];
    format(text, sizeof text, translate(fmt, sizeof fmt, kPagesText), page_number(), page_total());
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

int page_request(CalWnd wnd, CalDC dc, const PrnPage* page, const CalRecord* rec) {
    if (!dc || !page || !rec) return 0;
    const GlobalResources& screen = GetGlobalResources();
    LogFont lf;
    GetFontDesc(screen.hTextFont, &lf);
    if (CalDC sdc = GetDC(wnd)) {
        lf.lfHeight = static_cast<int>(lf.lfHeight * (static_cast<double>(dc->dpi_y()) / sdc->dpi_y()) + 0.5);
        lf.lfWidth = 0;
        ReleaseDC(wnd, sdc);
    }
    HFont font = CreateFontIndirect(lf);
    HFont previous = dc->select_font(font);
    HFont bold = PrnCreateBoldFont(dc);
    if (bold) dc->select_font(bold);
    const TextMetrics tm = dc->text_metrics();
    const int charWidth = std::max(1, tm.tmAveCharWidth);
    const int lineHeight = std::max(1, tm.tmHeight + tm.tmExternalLeading);
    const int charsPerLine = page->nWidth / charWidth;
    const int linesPerPage = page->nHeight / lineHeight;
    const Colour oldText = dc->set_text_colour(rgb(0, 0, 0));
    const int used = draw_page_header(dc, rec, charWidth, lineHeight, charsPerLine);
    dc->set_text_colour(oldText);
    dc->select_font(previous);
    const CalRect graphs{0, used * lineHeight, charsPerLine * charWidth, linesPerPage * lineHeight};
    PrnReportWindow(dc, wnd, &graphs, 8);
    DeleteFont(bold);
    DeleteFont(font);
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
