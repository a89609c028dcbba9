// The detail page's graph: the error before calibration against mass with
// the fitted error curve and its 95 % band, or in verify mode the residuals
// the stored calibration leaves.
#pragma once

#include "masscal/calib.h"
#include "masscal/graphs.h"

namespace masscal::report {

// Draws into rect of dc in the residual unit. False when the axes could not
// be made.
bool draw_error_graph(CalDC dc, CalRecord* rec, const CalRect& rect);

}  // namespace masscal::report
