// The report page: page numbers, the text header and the page request that
// the calibration window answers while printing.
#pragma once

#include <ctime>

#include "masscal/calib.h"
#include "masscal/graphs.h"
#include "suite/print/print.hpp"

namespace masscal::report {

int page_number();
int page_total();

// The clock of the "Printed:" line; tests pin it (null: the real clock).
using Clock = std::time_t (*)();
void set_report_clock(Clock clock);

// Draws the header in the selected font, line n at y = n * lineHeight, and
// returns the number of lines it takes (7, or 9 with a subtitle).
int draw_page_header(CalDC dc, const CalRecord* rec, int charWidth, int lineHeight, int charsPerLine);

// What the window does for a page request: the header in the text font
// scaled to the page, then the graphs (through PrnReportWindow) in the rest.
// Returns 1.
int page_request(CalWnd wnd, CalDC dc, const PrnPage* page, const CalRecord* rec);

}  // namespace masscal::report
