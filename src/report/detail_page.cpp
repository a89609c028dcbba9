#include "report/detail_page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "graphs/graph_internal.hpp"
#include "masscal/quality.h"
#include "platform/c_locale.hpp"
#include "platform/gdi/device_context.hpp"
#include "report/error_graph.hpp"
#include "suite/utility/file_ref_path.hpp"

#ifndef MASSCAL_VERSION
#define MASSCAL_VERSION "unknown"
#endif

using namespace masscal::platform;
using masscal::graphs::capacity_of;
using masscal::core::allocated_data;

namespace masscal::report {
namespace {

std::string num(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string num(const char* fmt, ...) {
    char buf[128];
    va_list ap;
    va_start(ap, fmt);
    c_vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

Line title(const char* text) { return Line{{Cell{text, 0, false}}, true}; }
// Characters of running text on a line: narrower than the page's cells of
// the bold font, so a line never runs off the page.
constexpr std::size_t kWrap = 96;

// Text from column 2, wrapped at spaces (paths and long words are cut).
void add_text(std::vector<Line>& out, const std::string& text) {
    std::size_t at = 0;
    do {
        std::size_t end = std::min(text.size(), at + kWrap);
        if (end < text.size()) {
            const std::size_t space = text.rfind(' ', end);
            if (space != std::string::npos && space > at) end = space;
        }
        out.push_back(Line{{Cell{text.substr(at, end - at), 2, false}}, false});
        at = end;
        while (at < text.size() && text[at] == ' ') ++at;
    } while (at < text.size());
}

// Right edges of the table's columns, in characters.
constexpr int kColNumber = 4;
constexpr int kColReference = 18;
constexpr int kColMeasured = 32;
constexpr int kColErrorMda = 44;
constexpr int kColErrorPpm = 56;
constexpr int kColResidualMda = 70;
constexpr int kColResidualPpm = 84;
constexpr int kColFlags = 86;  // left edge

Line table_row(const std::string& n, const std::string& ref, const std::string& meas, const std::string& emda,
               const std::string& eppm, const std::string& rmda, const std::string& rppm, const std::string& flags,
               bool bold = false) {
    return Line{{Cell{n, kColNumber, true}, Cell{ref, kColReference, true}, Cell{meas, kColMeasured, true},
                 Cell{emda, kColErrorMda, true}, Cell{eppm, kColErrorPpm, true}, Cell{rmda, kColResidualMda, true},
                 Cell{rppm, kColResidualPpm, true}, Cell{flags, kColFlags, false}},
                bold};
}

// The coefficients one per row, a column for each function.
void functions(std::vector<Line>& out, const CalRecord* rec) {
    const RawCalibCoEffs& shown = rec->bCheckOnly && rec->pCheckCalib ? *rec->pCheckCalib : rec->ErrorFunc;
    const bool root = shown.nType == 1;
    out.push_back(title("Functions"));
    add_text(out, num("order %d, in x = %s; calibrated mass = %s", shown.nOrder,
                      root ? "square root of the measured mass" : "measured mass",
                      root ? "(c0 + c1 x + ...)^2" : "c0 + c1 x + ..."));
    std::vector<std::pair<const char*, const RawCalibCoEffs*>> cols;
    if (rec->bCheckOnly)
        cols.push_back({"stored mass function", rec->pCheckCalib ? rec->pCheckCalib : &rec->MassFunc});
    else
        cols = {{"mass function", &rec->MassFunc}, {"error function", &rec->ErrorFunc}};
    constexpr int kFirstCol = 30, kColWidth = 24;
    Line head{{}, true};
    for (std::size_t k = 0; k < cols.size(); ++k)
        head.cells.push_back(Cell{cols[k].first, kFirstCol + kColWidth * static_cast<int>(k), true});
    out.push_back(head);
    int order = 0;
    for (const auto& c : cols) order = std::max(order, std::clamp(c.second->nOrder, 0, 5));
    for (int i = 0; i <= order; ++i) {
        Line row{{Cell{num("c%d", i), 4, false}}, false};
        for (std::size_t k = 0; k < cols.size(); ++k)
            if (i <= cols[k].second->nOrder)
                row.cells.push_back(
                    Cell{num("%.12g", cols[k].second->dCoeffs[i]), kFirstCol + kColWidth * static_cast<int>(k), true});
        out.push_back(row);
    }
}

void statistics(std::vector<Line>& out, const CalRecord* rec) {
    out.push_back(title("Statistics"));
    add_text(out, num("%d matches of %d tested references", rec->MatchPeaks.nCount, rec->RefPeaks.nCount));
    add_text(out, num("mean residual %.6f amu, RMS residual %.6f amu, RMS %.3f ppm", rec->dMeanResidual,
                      rec->dRmsResidual, rec->dRmsResidualPpm));
    double band = 0;
    if (!rec->bCheckOnly) {
        add_text(out, CalConfidenceBandPpm(rec, &band)
                          ? num("95 %% confidence band of the fitted curve: %.3f ppm", band)
                          : std::string("95 % confidence band: n/a (no covariance of the fit)"));
    }
}

void settings(std::vector<Line>& out, const CalRecord* rec, const CalReportNotes* notes) {
    const CalParams& p = rec->Params;
    out.push_back(title("Settings"));
    add_text(out, num("peak window %g amu, initial error %g amu, threshold %g %% of the most intense peak",
                      p.PeakWindow, p.InitialError, p.Threshold));
    // The restraint needs the peaks' mass uncertainties; without them the
    // order is fitted as set.
    const bool restrained = p.AutoPolyOrder && rec->MatchPeaks.bDetail && !rec->bCheckOnly;
    add_text(out, num("polynomial order %d%s, intensity weighting %s, %s",
                      rec->bCheckOnly ? p.PolyOrder : rec->ErrorFunc.nOrder,
                      restrained ? " restrained by a roughness penalty" : "", p.IntensityWeight ? "on" : "off",
                      rec->ErrorFunc.nType == 1 ? "fitted on square roots of mass" : "fitted on mass"));
    if (notes && notes->ppszSettings)
        for (int i = 0; i < notes->nSettings; ++i)
            if (notes->ppszSettings[i]) add_text(out, notes->ppszSettings[i]);
}

void files(std::vector<Line>& out, const CalRecord* rec, const CalReportNotes* notes) {
    out.push_back(title("Files"));
    char path[1024] = "";
    if (notes && notes->pszDataPath)
        std::snprintf(path, sizeof path, "%s", notes->pszDataPath);
    else
        ConvertQBFileToPath(path, sizeof path, &rec->DataFile);
    add_text(out, std::string("data: ") + path);
    char ref[CAL_REF_NAME_BYTES + 1] = "";
    CalGetRefName(rec, ref, sizeof ref);
    add_text(out, std::string("reference: ") + (notes && notes->pszRefPath ? notes->pszRefPath : ref));
    add_text(out, std::string("software: ") +
                      (notes && notes->pszSoftware ? notes->pszSoftware : "masscal library " MASSCAL_VERSION));
}

void key(std::vector<Line>& out) {
    out.push_back(title("Key to the graphs"));
    add_text(out,
             "Spectrum: grey sticks are its peaks, red sticks those matched to a reference; a mark above a label "
             "gives the peak's flags: * 1, ? 2, ! 16 (2 and 16 keep a peak out of the matching). Reference: red "
             "sticks are the masses tested. Residuals: crosses with 95 % error bars from the peaks' mass "
             "uncertainties; dashed lines: the 95 % band of the fitted curve.");
}

void matches(std::vector<Line>& out, const CalRecord* rec, const CalReportNotes* notes) {
    const bool check = rec->bCheckOnly != 0;
    // In verify mode the masses are those of the stored calibration, so the
    // error is the residual.
    out.push_back(title(check ? "Matches after the stored calibration" : "Matches"));
    if (check)
        out.push_back(table_row("#", "reference", "calibrated", "", "", "residual mDa", "residual ppm", "flags", true));
    else
        out.push_back(table_row("#", "reference", "measured", "error mDa", "error ppm", "residual mDa", "residual ppm",
                                "flags", true));
    out.back().heading = true;
    const std::size_t firstRow = out.size();
    const float* mass = allocated_data<float>(rec->MatchPeaks.Mass);
    const float* err = allocated_data<float>(rec->Errors);
    const float* res = allocated_data<float>(rec->Residuals);
    const std::uint8_t* flags = allocated_data<std::uint8_t>(rec->MatchPeaks.Flags);
    int n = rec->MatchPeaks.nCount;
    if (!mass || !err) n = 0;
    n = std::min<int>(
        n, static_cast<int>(std::min(capacity_of<float>(rec->MatchPeaks.Mass), capacity_of<float>(rec->Errors))));
    const int nres = res ? static_cast<int>(capacity_of<float>(rec->Residuals)) : 0;
    const int nflags = flags ? static_cast<int>(capacity_of<std::uint8_t>(rec->MatchPeaks.Flags)) : 0;
    for (int i = 0; i < n; ++i) {
        const double m = mass[i];
        const double e = err[i];
        const double ref = m - e;
        const double r = check ? e : (i < nres ? res[i] : NAN);
        const std::string emda = check ? "" : num("%.3f", e * 1e3);
        const std::string eppm = check ? "" : num("%.2f", ref != 0 ? e / ref * 1e6 : 0.0);
        out.push_back(table_row(num("%d", i + 1), num("%.5f", ref), num("%.5f", m), emda, eppm, num("%.3f", r * 1e3),
                                num("%.2f", ref != 0 ? r / ref * 1e6 : 0.0),
                                rec->MatchPeaks.bDetail && i < nflags ? graphs::flag_marks(flags[i]) : std::string()));
    }
    if (notes && notes->pDroppedRef && notes->pDroppedMeasured)
        for (int i = 0; i < notes->nDropped; ++i) {
            const double ref = notes->pDroppedRef[i];
            const double e = static_cast<double>(notes->pDroppedMeasured[i]) - ref;
            out.push_back(table_row("-", num("%.5f", ref), num("%.5f", notes->pDroppedMeasured[i]),
                                    num("%.3f", e * 1e3), num("%.2f", ref != 0 ? e / ref * 1e6 : 0.0), "", "",
                                    "dropped as an outlier"));
        }
    for (std::size_t i = firstRow; i < out.size(); ++i) out[i].row = true;
}

// The lines each detail page shows: [first, last), and the table's head line
// to repeat above them (-1: none).
struct PageSpan {
    int first = 0, last = 0, heading = -1;
};

// Lines of the error graph above the text of the first detail page.
int graph_lines(std::size_t textLines, const PageGrid& grid, int headerLines) {
    const int room = grid.linesPerPage - headerLines - 1 - static_cast<int>(textLines);
    return std::clamp(room, kErrorGraphMinLines, kErrorGraphMaxLines);
}

std::vector<PageSpan> paginate(const std::vector<Line>& lines, const PageGrid& grid, int headerLines) {
    std::vector<PageSpan> pages;
    int heading = -1;
    int next = 0;
    const int n = static_cast<int>(lines.size());
    do {
        PageSpan p;
        p.first = next;
        int room = grid.linesPerPage - headerLines;
        if (pages.empty()) room -= graph_lines(lines.size(), grid, headerLines) + 1;
        room = std::max(2, room);
        if (next < n && lines[next].row && heading >= 0) {
            p.heading = heading;
            --room;
        }
        p.last = std::min(n, next + std::max(1, room));
        for (int i = p.first; i < p.last; ++i)
            if (lines[i].heading) heading = i;
        next = p.last;
        pages.push_back(p);
    } while (next < n);
    return pages;
}

}  // namespace

std::vector<Line> detail_lines(const CalRecord* rec, const CalReportNotes* notes) {
    std::vector<Line> out;
    statistics(out, rec);
    out.push_back(Line{});
    functions(out, rec);
    out.push_back(Line{});
    matches(out, rec, notes);
    out.push_back(Line{});
    settings(out, rec, notes);
    out.push_back(Line{});
    files(out, rec, notes);
    out.push_back(Line{});
    key(out);
    return out;
}

int detail_page_count(const CalRecord* rec, const CalReportNotes* notes, const PageGrid& grid, int headerLines) {
    return static_cast<int>(paginate(detail_lines(rec, notes), grid, headerLines).size());
}

void draw_detail_page(CalDC dc, CalRecord* rec, const CalReportNotes* notes, const PageGrid& grid, HFont text,
                      HFont bold, int index, int firstLine) {
    const std::vector<Line> lines = detail_lines(rec, notes);
    const std::vector<PageSpan> pages = paginate(lines, grid, firstLine);
    if (index < 0 || index >= static_cast<int>(pages.size())) return;
    const PageSpan& span = pages[static_cast<std::size_t>(index)];
    int y = firstLine;
    if (index == 0) {
        const int graph = graph_lines(lines.size(), grid, firstLine);
        const CalRect r{0, y * grid.lineHeight, grid.charsPerLine * grid.charWidth, (y + graph) * grid.lineHeight};
        draw_error_graph(dc, rec, r);
        y += graph + 1;
    }
    dc->save();
    dc->set_text_colour(rgb(0, 0, 0));
    auto draw = [&](const Line& line) {
        dc->select_font(line.bold ? bold : text);
        for (const Cell& c : line.cells) {
            int x = c.col * grid.charWidth;
            if (c.right) x -= dc->text_extent(c.text.c_str()).cx;
            dc->text_out(x, y * grid.lineHeight, c.text.c_str());
        }
        ++y;
    };
    if (span.heading >= 0) draw(lines[static_cast<std::size_t>(span.heading)]);
    for (int i = span.first; i < span.last; ++i) draw(lines[static_cast<std::size_t>(i)]);
    dc->restore();
}

}  // namespace masscal::report
