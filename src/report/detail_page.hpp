// The pages after the graphs: the error graph, the functions, statistics,
// settings and files, and the table of matches, continued on as many pages
// as it needs.
#pragma once

#include <string>
#include <vector>

#include "masscal/calib.h"
#include "masscal/render.h"
#include "platform/gdi/font.hpp"
#include "report/page_header.hpp"

namespace masscal::report {

// One cell of a text line: it starts at character column col, or ends there
// when right is set.
struct Cell {
    std::string text;
    int col = 0;
    bool right = false;
};

struct Line {
    std::vector<Cell> cells;
    bool bold = false;
    // A row of the table of matches: a page that starts with one repeats
    // the table's head line (heading) first.
    bool row = false;
    bool heading = false;
};

// The text of the detail pages, top to bottom.
std::vector<Line> detail_lines(const CalRecord* rec, const CalReportNotes* notes);

// Lines of the page grid the error graph takes on the first detail page: as
// many as leave the text on that page, within these bounds.
inline constexpr int kErrorGraphMinLines = 12;
inline constexpr int kErrorGraphMaxLines = 16;

int detail_page_count(const CalRecord* rec, const CalReportNotes* notes, const PageGrid& grid, int headerLines);

// Detail page index (0 = the first) below a header of firstLine lines.
void draw_detail_page(CalDC dc, CalRecord* rec, const CalReportNotes* notes, const PageGrid& grid, platform::HFont text,
                      platform::HFont bold, int index, int firstLine);

}  // namespace masscal::report
