#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "axes/axes_object.hpp"
#include "platform/memory.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;

namespace masscal::axes {

int scaled(CalDC dc, int units96) {
    const int dpi = dc ? dc->dpi_y() : 96;
    return std::max(1, static_cast<int>(static_cast<long long>(units96) * dpi / 96));
}

int top_pad(const AxsAxes& a) { return (a.plot.bottom - a.plot.top) * 15 / 100; }

int bottom_pad(const AxsAxes& a) { return a.yLow == 0.0f ? 0 : (a.plot.bottom - a.plot.top) * 5 / 100; }

double x_to_pixel(const AxsAxes& a, double x) {
    const double w = std::max(1, a.plot.right - a.plot.left - 1);
    const double span = a.xHigh != a.xLow ? static_cast<double>(a.xHigh) - a.xLow : 1.0;
    return a.plot.left + (x - a.xLow) * w / span;
}

double y_to_pixel(const AxsAxes& a, double y) {
    const int bottom = a.plot.bottom - 1 - bottom_pad(a);
    const double h = std::max(1, bottom - a.plot.top - top_pad(a));
    const double span = a.yHigh != a.yLow ? static_cast<double>(a.yHigh) - a.yLow : 1.0;
    return bottom - (y - a.yLow) * h / span;
}

int clamp_pixel(double v) {
    if (!(v == v)) return -1000000;
    return static_cast<int>(std::floor(std::clamp(v, -1e6, 1e6) + 0.5));
}

bool intersects(const CalRect& a, const CalRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::vector<CalRect>& exclusions() {
    thread_local std::vector<CalRect> rects;
    return rects;
}

void reset_columns(AxsAxes& a) {
    a.colTop.assign(static_cast<std::size_t>(std::max(0, a.plot.right - a.plot.left)), a.plot.bottom);
    a.labels.clear();
}

}  // namespace masscal::axes

using namespace masscal::axes;

AxsHandle AxsCreate(int nXAxes, int, int nYAxes, int bFrame) {
    void* mem = heap_alloc(sizeof(AxsAxes));
    if (!mem) return nullptr;
    auto* a = new (mem) AxsAxes;
    a->nXAxes = nXAxes;
    a->nYAxes = nYAxes;
    a->bFrame = bFrame != 0;
    return a;
}

void AxsDelete(AxsHandle axes) {
    if (!axes) return;
    axes->~AxsAxes();
    heap_free(axes);
}

int AxsSize(AxsHandle axes, const CalRect* rect, const AxsBorder* border) {
    if (!axes || !rect) return 0;
    axes->rect = *rect;
    axes->border = border ? *border : AxsBorder{};
    axes->plot = CalRect{rect->left + axes->border.left, rect->top + axes->border.top,
                         rect->right - axes->border.right, rect->bottom - axes->border.bottom};
    if (axes->plot.right < axes->plot.left) axes->plot.right = axes->plot.left;
    if (axes->plot.bottom < axes->plot.top) axes->plot.bottom = axes->plot.top;
    axes->bSized = true;
    reset_columns(*axes);
    return 1;
}

int AxsSetRanges(AxsHandle axes, float xLow, float xHigh, float yLow, float yHigh) {
    if (!axes) return 0;
    axes->xLow = xLow;
    axes->xHigh = xHigh;
    axes->yLow = yLow;
    axes->yHigh = yHigh;
    axes->bRanged = true;
    reset_columns(*axes);
    return 1;
}

int AxsGetArea(AxsHandle axes, int area, CalRect* rect, int parts) {
    if (!axes || !rect || area != 0 || !axes->bSized) return 0;
    CalRect r = axes->plot;
    if (parts & kAxsAreaTop) r.top = axes->rect.top;
    if (parts & kAxsAreaRight) r.right = axes->rect.right;
    if (parts & kAxsAreaLeft) r.left = axes->rect.left;
    if (parts & kAxsAreaBottom) r.bottom = axes->rect.bottom;
    *rect = r;
    return 1;
}

int AxsTickSize(CalDC dc) { return scaled(dc, 4); }

int AxsGetBorder(CalDC dc, AxsBorder* border, const char*, const char* ySample, int) {
    if (!dc || !border) return 0;
    const GlobalResources& res = GetGlobalResources(dc);
    const int m = scaled(dc, 3);
    const int tick = AxsTickSize(dc);
    dc->save();
    dc->select_font(res.hAxisFont);
    const int tickLabelHeight = dc->text_metrics().tmHeight;
    // Room for a sign and a decimal point beyond the sample's digits.
    const int sampleWidth = dc->text_extent(ySample ? ySample : "00000").cx + dc->text_extent("-0.").cx;
    const int halfLabel = dc->text_extent("0000").cx / 2;
    dc->select_font(res.hAxisLabelFont);
    const int titleHeight = dc->text_metrics().tmHeight;
    dc->restore();
    border->left = m + titleHeight + m + sampleWidth + m + tick;
    border->top = m;
    border->right = halfLabel + m;
    border->bottom = tick + m + tickLabelHeight + m;
    return 1;
}

int AxsGetSystem(AxsHandle axes, AxsSystem* system) {
    if (!axes || !system || !axes->bSized || !axes->bRanged) return 0;
    system->fXLow = axes->xLow;
    system->fXHigh = axes->xHigh;
    system->fYLow = axes->yLow;
    system->fYHigh = axes->yHigh;
    system->rcPlot = axes->plot;
    system->rcAxes = axes->rect;
    return 1;
}

void AxsAnnoExcludeRect(int bAdd, const CalRect* rect) {
    auto& list = exclusions();
    if (!bAdd) {
        list.clear();
        return;
    }
    if (rect) list.push_back(*rect);
}

AxsPen AxsGetDataPenExt(int nDataSet, int, AxsPen* details, int nVariant) {
    // Sets 0 and 1 carry sticks (variant 1: highlighted), 2 the band, 3 markers.
    static const Colour plain[] = {rgb(0x55, 0x5b, 0x66), rgb(0x1f, 0x5f, 0xa8), rgb(0x2e, 0x8b, 0x3e),
                                   rgb(0x10, 0x4e, 0xb0)};
    static const Colour highlight[] = {rgb(0xd0, 0x1c, 0x1c), rgb(0xd0, 0x1c, 0x1c), rgb(0x2e, 0x8b, 0x3e),
                                       rgb(0xd0, 0x1c, 0x1c)};
    const int set = ((nDataSet % 4) + 4) % 4;
    AxsPen pen;
    pen.colour = nVariant ? highlight[set] : plain[set];
    pen.width = nVariant ? 2 : 1;
    if (nDataSet == 2) pen.style = PenStyle::dash;
    if (details) *details = pen;
    return pen;
}

AxsPen AxsGetDataPen(int nDataSet, int a, int b) { return AxsGetDataPenExt(nDataSet, a, nullptr, b); }

int AxsSelectAxis(AxsHandle axes, int x, int y, int) {
    if (!axes || !axes->bSized) return -1;
    const CalRect& r = axes->rect;
    return (x >= r.left && x < r.right && y >= r.top && y < r.bottom) ? 0 : -1;
}

float AxsGetValue(AxsHandle axes, int, int pixel, int bVertical, int) {
    if (!axes) return 0.0f;
    const AxsAxes& a = *axes;
    if (!bVertical) {
        const double w = std::max(1, a.plot.right - a.plot.left - 1);
        return static_cast<float>(a.xLow + (pixel - a.plot.left) * (static_cast<double>(a.xHigh) - a.xLow) / w);
    }
    const int bottom = a.plot.bottom - 1 - bottom_pad(a);
    const double h = std::max(1, bottom - a.plot.top - top_pad(a));
    const double span = a.yHigh != a.yLow ? static_cast<double>(a.yHigh) - a.yLow : 1.0;
    return static_cast<float>(a.yLow + (bottom - pixel) * span / h);
}

int AxsXToPixel(AxsHandle axes, float x) { return axes ? clamp_pixel(x_to_pixel(*axes, x)) : 0; }
int AxsYToPixel(AxsHandle axes, float y) { return axes ? clamp_pixel(y_to_pixel(*axes, y)) : 0; }

namespace {

bool ascending(const float* x, int n) {
    for (int i = 1; i < n; ++i)
        if (x[i] < x[i - 1]) return false;
    return true;
}

int nearest_value(const float* x, int n, float v) {
    int best = -1;
    if (ascending(x, n)) {
        const float* it = std::lower_bound(x, x + n, v);
        const int i = static_cast<int>(it - x);
        if (i < n) best = i;
        if (i > 0 && (best < 0 || std::fabs(x[i - 1] - v) <= std::fabs(x[i] - v))) best = i - 1;
        return best;
    }
    double bestDist = std::numeric_limits<double>::infinity();
    for (int i = 0; i < n; ++i) {
        const double d = std::fabs(static_cast<double>(x[i]) - v);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

}  // namespace

int AxsSearch(AxsHandle axes, const AxsSeries* series, float x, int, float* foundX, float* foundY) {
    if (!series || series->nCount <= 0 || !series->pX) return -1;
    const int n = series->nCount;
    int best = -1;
    if (!axes) {
        best = nearest_value(series->pX, n, x);
    } else {
        const double px = x_to_pixel(*axes, x);
        const double tolerance = std::max(3, (axes->plot.right - axes->plot.left) / 200);
        double bestScore = std::numeric_limits<double>::infinity();
        for (int i = 0; i < n; ++i) {
            const double d = std::fabs(x_to_pixel(*axes, series->pX[i]) - px);
            if (d > tolerance) continue;
            const bool reaches = !series->pY || series->pY[i] >= series->fValue;
            const double score = d + (reaches ? 0.0 : tolerance + 1);
            if (score < bestScore) {
                bestScore = score;
                best = i;
            }
        }
    }
    if (best >= 0) {
        if (foundX) *foundX = series->pX[best];
        if (foundY) *foundY = series->pY ? series->pY[best] : 0.0f;
    }
    return best;
}
