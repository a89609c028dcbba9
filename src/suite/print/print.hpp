// Printing: a report goes to a PDF document. The print set-up names the
// file and the paper; PrnReport makes the document and asks the window for
// each page (kPrnPageRequest), and the window asks back for its graphs to be
// drawn into part of the page with PrnReportWindow (kPrnPaintRequest).
#pragma once

#include <cstdint>

#include "masscal/graphs.h"
#include "platform/gdi/font.hpp"
#include "platform/win/window.hpp"

struct PrnSetup {
    char szOutputFile[4096];
    double dPageWidthIn;   // paper, inches
    double dPageHeightIn;
    double dMarginIn;      // on every side
    std::int32_t nDpi;     // device units per inch
};

// What a page request carries in lParam: the third and fourth words are the
// printable width and height in device units.
struct PrnPage {
    std::int32_t nPage;
    std::int32_t nPages;
    std::int32_t nWidth;
    std::int32_t nHeight;
};

enum : std::uint32_t {
    kPrnPageRequest = masscal::platform::kMsgUser + 17,   // wParam dc, lParam PrnPage*
    kPrnPaintRequest = masscal::platform::kMsgUser + 18,  // wParam dc, lParam CalRect*
    kPrnPageDone = masscal::platform::kMsgUser + 19       // wParam dc, lParam PrnPage*
};

// Copies the current print set-up (A4, half-inch margins, 600 per inch,
// "calibration-report.pdf" until set otherwise); non-zero when it names a
// file to print to.
int PrnPrintGCV(PrnSetup* setup);
// Lets the user choose the PDF file to print to (a save dialog of the UI
// provider). Cancelled, or without a dialog to show, the set-up stays as it
// is; returns non-zero when it names a file.
int PrnPrintSetup(CalWnd owner);
// Changes the current set-up's file (null or "" for none: printing is then
// declined) and returns non-zero when the name fit.
int PrnSetOutputFile(const char* path);

// Prints nPages pages of wnd into the set-up's file. For each page the
// window gets kPrnPageRequest with the page's context, whose origin is the
// top-left of the printable area, and then kPrnPageDone. The file is
// replaced whole once every page is drawn. Returns 1 when the document was
// written, 0 (the file untouched) when it could not be made or written or
// when a page request answered 0.
int PrnReport(CalWnd wnd, const PrnSetup* setup, int nPages, int flags);
// One page of wnd drawn on dc (a page of the set-up's paper at dc's
// resolution): the same requests as PrnReport sends for page nPage of
// nPages. Returns the page request's answer.
int PrnReportPage(CalWnd wnd, CalDC dc, const PrnSetup* setup, int nPage, int nPages);
// Sends wnd kPrnPaintRequest to draw into rect of the page: the origin is
// moved to rect's top-left, drawing is clipped to it, and the rectangle the
// window receives is (0, 0, width, height). Returns the window's answer.
int PrnReportWindow(CalDC dc, CalWnd wnd, const CalRect* rect, int flags);
// A bold font like the one selected in dc; delete it with DeleteFont.
masscal::platform::HFont PrnCreateBoldFont(CalDC dc);
