// What the graph files share: typed access to the record's arrays, the
// residual unit, the calibration curve and the confidence band.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/arrays.hpp"
#include "masscal/graphs.h"
#include "platform/memory.hpp"

namespace masscal::graphs {

using core::allocated_data;

// Number of T elements the array holds (0 when not allocated).
template <class T>
std::size_t capacity_of(const CalArray& a) {
    return a.hMem ? platform::mem_size(a.hMem) / sizeof(T) : 0;
}

inline constexpr int kBandPoints = CAL_BAND_POINTS;
inline constexpr int kCurvePoints = CAL_CURVE_POINTS;

bool residual_unit_amu();

// The marks a peak's flags put above its label: "*" for 1, "?" for 2, "!"
// for 16, in that order ("" for none).
std::string flag_marks(std::uint8_t flags);

// The detail flag: the matched peaks carry flags and mass uncertainties.
inline bool has_detail(const CalRecord* rec) { return rec->MatchPeaks.bDetail != 0; }

// Fills the layout's curve buffer with the fitted correction over the
// layout's mass range.
void compute_calibration_curve(const CalRecord* rec, GraphLayout* layout);
// Fills BandUpper and BandLower with the 95 % band over the layout's mass
// range, in the residual unit.
void compute_confidence_band(CalRecord* rec, const GraphLayout* layout);

// The axes of graph g of the layout, as the residual graph draws them: the
// layout's mass range and value range, a zero line, the titles given (an
// empty x title draws the axis without tick labels, as between graphs).
bool draw_value_axes(CalDC dc, GraphLayout* layout, int g, bool screen, const char* xTitle, const char* yTitle);

// The header texts of a graph (slot 1 and slot 2), translated and
// formatted, into buffers of size bytes.
void header_texts(const CalRecord* rec, int graph, char* slot1, char* slot2, std::size_t size);

}  // namespace masscal::graphs
