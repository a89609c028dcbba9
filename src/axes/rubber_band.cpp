// The rubber band of a zoom drag: followed, drawn over the graphs as an
// inverted frame (drawn again to take it away), and its rectangle reported.
#include <algorithm>
#include <cstdlib>

#include "axes/axes_object.hpp"
#include "platform/gdi/device_context.hpp"
#include "platform/win/window.hpp"

namespace {

struct Band {
    bool active = false;
    CalWnd wnd = nullptr;
    AxsHandle axes = nullptr;
    int minDx = 0;
    int minDy = 0;
    CalPoint start{};
    CalPoint now{};
    bool drawn = false;
};

thread_local Band t_band;

// The zoom is horizontal: the band spans the plot area's height.
void invert(const Band& b) {
    if (b.now.x == b.start.x) return;
    CalDC dc = masscal::platform::GetDC(b.wnd);
    if (!dc) return;
    const CalRect& p = b.axes->plot;
    dc->invert_frame(CalRect{std::min(b.start.x, b.now.x), p.top, std::max(b.start.x, b.now.x) + 1, p.bottom}, 1);
    masscal::platform::ReleaseDC(b.wnd, dc);
}

void take_away(Band& b) {
    if (b.drawn) invert(b);
    b.drawn = false;
}

}  // namespace

int RubberBandInit(CalWnd wnd, AxsHandle axes, int minDx, int minDy, int x, int y) {
    if (!axes || !axes->bSized) return 0;
    const CalRect& p = axes->plot;
    if (x < p.left || x >= p.right || y < p.top || y >= p.bottom) return 0;
    t_band = Band{true, wnd, axes, minDx, minDy, CalPoint{x, y}, CalPoint{x, y}};
    return 1;
}

int RubberBandMove(int x, int y, int) {
    if (!t_band.active) return 0;
    const CalRect& p = t_band.axes->plot;
    take_away(t_band);
    t_band.now = CalPoint{std::clamp(x, p.left, p.right - 1), std::clamp(y, p.top, p.bottom - 1)};
    invert(t_band);
    t_band.drawn = true;
    return 1;
}

std::uint16_t RubberBandEnd(CalRect* rect) {
    if (!t_band.active) return 0;
    t_band.active = false;
    take_away(t_band);
    const CalRect& p = t_band.axes->plot;
    const int x0 = std::min(t_band.start.x, t_band.now.x);
    const int x1 = std::max(t_band.start.x, t_band.now.x);
    if (x1 - x0 < t_band.minDx) return 1;
    // The zoom is horizontal: the band spans the plot area's height.
    if (rect) *rect = CalRect{x0, p.top, x1, p.bottom - 1};
    return 3;
}
