// The inside of an axes object and the helpers its drawing files share.
#pragma once

#include <vector>

#include "axes/axes.hpp"

struct AxsAxes {
    int nXAxes = 1;
    int nYAxes = 1;
    bool bFrame = true;
    bool bSized = false;
    bool bRanged = false;
    CalRect rect{};
    AxsBorder border;
    CalRect plot{};
    float xLow = 0, xHigh = 1, yLow = 0, yHigh = 1;
    // Topmost stick pixel of every plot column so far (plot.bottom when none)
    // and the labels placed, so later series keep clear of both.
    std::vector<int> colTop;
    std::vector<CalRect> labels;
    // Header texts written so far, so that a later one keeps clear of them.
    std::vector<CalRect> headers;
};

namespace masscal::axes {

// Device units for a length given in 96-per-inch units (at least 1).
int scaled(CalDC dc, int units96);
// Margins of the plot area kept free of data.
int top_pad(const AxsAxes& a);
int bottom_pad(const AxsAxes& a);
double x_to_pixel(const AxsAxes& a, double x);
double y_to_pixel(const AxsAxes& a, double y);
// A pixel coordinate safe to hand to the device.
int clamp_pixel(double v);
bool intersects(const CalRect& a, const CalRect& b);
// Per-thread exclusion rectangles of peak labels.
std::vector<CalRect>& exclusions();
void reset_columns(AxsAxes& a);

}  // namespace masscal::axes
