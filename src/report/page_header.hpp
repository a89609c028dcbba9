// The report page: page numbers, the text header and the page request that
// the calibration window answers while printing.
#pragma once

#include <ctime>

#include "masscal/calib.h"
#include "masscal/graphs.h"
#include "masscal/render.h"
#include "suite/print/print.hpp"

namespace masscal::report {

int page_number();
int page_total();

// The clock of the "Printed:" line; tests pin it (null: the real clock).
using Clock = std::time_t (*)();
void set_report_clock(Clock clock);

// Draws the header in the selected font, line n at y = n * lineHeight, and
// returns the number of lines it takes (7, or 9 with a subtitle). The page
// number and total are the host's unless given.
int draw_page_header(CalDC dc, const CalRecord* rec, int charWidth, int lineHeight, int charsPerLine);
int draw_page_header(CalDC dc, const CalRecord* rec, int charWidth, int lineHeight, int charsPerLine, int page,
                     int total);
// Lines the header takes for rec.
int page_header_lines(const CalRecord* rec);

// The character grid of a page: cells of the header's bold font.
struct PageGrid {
    int charWidth = 1;
    int lineHeight = 1;
    int charsPerLine = 0;
    int linesPerPage = 0;
};

// The text font of the screen scaled to dc's resolution, and its bold
// variant, selected into dc for as long as this lives.
class PageFonts {
public:
    PageFonts(CalWnd wnd, CalDC dc);
    ~PageFonts();
    PageFonts(const PageFonts&) = delete;
    PageFonts& operator=(const PageFonts&) = delete;
    platform::HFont text() const { return text_; }
    platform::HFont bold() const { return bold_; }
    // The font dc had before.
    platform::HFont previous() const { return previous_; }
    PageGrid grid(int width, int height) const;

private:
    CalDC dc_;
    platform::HFont text_ = nullptr;
    platform::HFont bold_ = nullptr;
    platform::HFont previous_ = nullptr;
};

// Pages of rec's report on the set-up's paper: the graphs and the detail
// pages.
int report_page_count(CalWnd wnd, const PrnSetup& setup, const CalRecord* rec, const CalReportNotes* notes);

// What the window does for a page request: on page 1 the header in the text
// font scaled to the page, then the graphs (through PrnReportWindow) in the
// rest; later pages are detail pages. Page numbers count on from the
// host's. Returns 1.
int page_request(CalWnd wnd, CalDC dc, const PrnPage* page, CalRecord* rec, const CalReportNotes* notes = nullptr);

}  // namespace masscal::report
