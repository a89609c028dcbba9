// Data on the axes: sticks with their labels, lines, point markers and
// error bars. Only what falls in the plot area is drawn, and of sticks that
// share a pixel column only the tallest.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "axes/axes_object.hpp"
#include "platform/c_locale.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;
using namespace masscal::axes;

namespace {

Pen device_pen(CalDC dc, const AxsPen& p) {
    const int w = std::max(1, p.width) * std::max(1, dc->dpi_y()) / 120;
    return Pen{p.colour, std::max(1, w), p.style};
}

bool finite(float v) { return std::isfinite(v); }

float x_at(const AxsPlotDesc& d, int i) { return d.pX ? d.pX[i] : d.fFirstX + d.fStepX * static_cast<float>(i); }

struct Candidate {
    int column;
    int index;
    float value;
};

// One peak label: its lines, measured, and where it would go.
struct Label {
    char text[128];
    int prefixLen = 0;  // characters of the lines above the last, with the break
    TextSize prefix;
    TextSize main;
    int width() const { return std::max(prefix.cx, main.cx); }
    int height() const { return prefix.cy + main.cy; }
};

void measure(CalDC dc, const AxsPlotDesc& d, HFont font1, Label& l) {
    const char* lastBreak = std::strrchr(l.text, '\n');
    l.prefixLen = lastBreak ? static_cast<int>(lastBreak - l.text) + 1 : 0;
    int shown = l.prefixLen;
    while (shown > 0 && (l.text[shown - 1] == '\n' || l.text[shown - 1] == '\r')) --shown;
    dc->select_font(d.hLabelFont2 ? d.hLabelFont2 : font1);
    l.prefix = shown > 0 ? dc->text_extent(l.text, shown) : TextSize{};
    dc->select_font(font1);
    l.main = dc->text_extent(l.text + l.prefixLen);
}

// A label over a stick near an end of the plot moves inward to stay over
// the plot; it still covers its stick.
CalRect inside(CalRect r, const CalRect& area) {
    int shift = 0;
    if (r.left < area.left) shift = area.left - r.left;
    else if (r.right > area.right) shift = area.right - r.right;
    r.left += shift;
    r.right += shift;
    return r;
}

bool fits(const AxsAxes& a, const CalRect& r, const CalRect& area, int gap) {
    if (r.left < area.left || r.right > area.right || r.top < area.top) return false;
    const CalRect padded{r.left - gap, r.top - gap, r.right + gap, r.bottom + gap};
    for (const CalRect& e : exclusions())
        if (intersects(r, e)) return false;
    for (const CalRect& e : a.labels)
        if (intersects(padded, e)) return false;
    // A label does not hide a stick.
    for (int x = std::max(r.left, a.plot.left); x < std::min(r.right, a.plot.right); ++x)
        if (a.colTop[static_cast<std::size_t>(x - a.plot.left)] < r.bottom) return false;
    return true;
}

void label_sticks(CalDC dc, AxsAxes& a, const AxsPlotDesc& d, std::vector<Candidate>& cands) {
    const GlobalResources& res = GetGlobalResources(dc);
    HFont font1 = d.hLabelFont ? d.hLabelFont : res.hLabelFont;
    std::sort(cands.begin(), cands.end(), [](const Candidate& p, const Candidate& q) {
        return p.value != q.value ? p.value > q.value : p.index < q.index;
    });
    CalRect area;
    // Labels stay over the plot (not over the value axis) and inside the
    // graph's band, which includes its header line.
    AxsGetArea(&a, 0, &area, kAxsAreaTop | kAxsAreaRight);
    area.bottom = a.plot.bottom;
    const int gap = scaled(dc, std::max(0, d.nLabelGap));
    const int lift = scaled(dc, 2);
    dc->select_font(font1);
    const TextMetrics tm = dc->text_metrics();
    dc->set_text_colour(res.crAxisText);
    const int decimals = std::clamp(d.nLabelDecimals, 0, 9);
    for (const Candidate& c : cands) {
        Label l;
        const float x = x_at(d, c.index);
        c_snprintf(l.text, sizeof l.text, "%.*f", decimals, static_cast<double>(x));
        if (d.pfnLabel && !d.pfnLabel(dc, x, c.value, c.index, l.text, static_cast<int32_t>(sizeof l.text), &a,
                                      d.pLabelData))
            continue;
        l.text[sizeof l.text - 1] = '\0';
        if (!l.text[0]) continue;
        const int px = a.plot.left + c.column;
        const int bottom = a.colTop[static_cast<std::size_t>(c.column)] - lift;
        // A first guess from the average character width saves measuring
        // labels that cannot fit anyway.
        const int lines = 1 + static_cast<int>(std::count(l.text, l.text + std::strlen(l.text), '\n'));
        const int guessW = static_cast<int>(std::strlen(l.text + (std::strrchr(l.text, '\n')
                                                                      ? std::strrchr(l.text, '\n') - l.text + 1
                                                                      : 0))) *
                           tm.tmAveCharWidth * 3 / 4;
        const CalRect guess = inside(CalRect{px - guessW / 2, bottom - lines * tm.tmHeight * 3 / 4, px + guessW / 2,
                                             bottom},
                                     area);
        // The tallest peak reaches into the header line on a short graph: its
        // label may sit beside the top of its stick instead.
        const bool tallest = &c == &cands.front();
        if (!tallest && !fits(a, guess, area, 0)) continue;
        measure(dc, d, font1, l);
        CalRect r = inside(CalRect{px - l.width() / 2, bottom - l.height(), px - l.width() / 2 + l.width(), bottom},
                           area);
        if (!fits(a, r, area, gap)) {
            if (!tallest) continue;
            const int top = bottom + lift;
            const CalRect right{px + gap, top, px + gap + l.width(), top + l.height()};
            const CalRect left{px - gap - l.width(), top, px - gap, top + l.height()};
            if (fits(a, right, area, gap))
                r = right;
            else if (fits(a, left, area, gap))
                r = left;
            else
                continue;
        }
        const int centre = (r.left + r.right) / 2;
        if (l.prefixLen > 0) {
            int shown = l.prefixLen;
            while (shown > 0 && (l.text[shown - 1] == '\n' || l.text[shown - 1] == '\r')) --shown;
            dc->select_font(d.hLabelFont2 ? d.hLabelFont2 : font1);
            dc->text_out(centre - l.prefix.cx / 2, r.top, l.text, shown);
            dc->select_font(font1);
        }
        dc->text_out(centre - l.main.cx / 2, r.top + l.prefix.cy, l.text + l.prefixLen);
        a.labels.push_back(r);
    }
}

void plot_sticks(CalDC dc, AxsAxes& a, const AxsPlotDesc& d) {
    const int width = a.plot.right - a.plot.left;
    if (width <= 0 || !d.pY || d.nPoints <= 0) return;
    // Tallest stick of each column.
    std::vector<int> best(static_cast<std::size_t>(width), -1);
    for (int i = 0; i < d.nPoints; ++i) {
        const float x = x_at(d, i);
        const float y = d.pY[i];
        if (!finite(x) || !finite(y) || x < a.xLow || x > a.xHigh) continue;
        const int col = clamp_pixel(x_to_pixel(a, x)) - a.plot.left;
        if (col < 0 || col >= width) continue;
        int& b = best[static_cast<std::size_t>(col)];
        if (b < 0 || y > d.pY[b]) b = i;
    }
    const double base = std::clamp(0.0, static_cast<double>(a.yLow), static_cast<double>(a.yHigh));
    const int basePx = std::clamp(clamp_pixel(y_to_pixel(a, base)), a.plot.top, a.plot.bottom - 1);
    std::vector<CalPoint> seg;
    std::vector<Candidate> cands;
    seg.reserve(static_cast<std::size_t>(width) * 2);
    for (int col = 0; col < width; ++col) {
        const int i = best[static_cast<std::size_t>(col)];
        if (i < 0) continue;
        const int top = std::clamp(clamp_pixel(y_to_pixel(a, d.pY[i])), a.plot.top, basePx);
        const int x = a.plot.left + col;
        seg.push_back(CalPoint{x, top});
        seg.push_back(CalPoint{x, basePx + 1});
        int& ct = a.colTop[static_cast<std::size_t>(col)];
        ct = std::min(ct, top);
        cands.push_back(Candidate{col, i, d.pY[i]});
    }
    dc->save();
    dc->intersect_clip(a.plot);
    dc->select_pen(device_pen(dc, d.pen));
    dc->segments(seg.data(), static_cast<int>(seg.size() / 2));
    dc->restore();
    if (d.bOptions & kAxsOptLabels) {
        dc->save();
        label_sticks(dc, a, d, cands);
        dc->restore();
    }
}

void plot_line(CalDC dc, const AxsAxes& a, const AxsPlotDesc& d) {
    if (!d.pY || d.nPoints < 2) return;
    std::vector<CalPoint> pts;
    pts.reserve(static_cast<std::size_t>(d.nPoints));
    dc->save();
    dc->intersect_clip(a.plot);
    dc->select_pen(device_pen(dc, d.pen));
    auto flush = [&] {
        if (pts.size() >= 2) dc->polyline(pts.data(), static_cast<int>(pts.size()));
        pts.clear();
    };
    for (int i = 0; i < d.nPoints; ++i) {
        const float x = x_at(d, i);
        if (!finite(x) || !finite(d.pY[i])) {
            flush();
            continue;
        }
        pts.push_back(CalPoint{clamp_pixel(x_to_pixel(a, x)), clamp_pixel(y_to_pixel(a, d.pY[i]))});
    }
    flush();
    dc->restore();
}

bool visible(const AxsAxes& a, float x, float y) {
    return finite(x) && finite(y) && x >= a.xLow && x <= a.xHigh;
}

void plot_points(CalDC dc, const AxsAxes& a, const AxsPlotDesc& d) {
    if (!d.pY || d.nPoints <= 0) return;
    dc->save();
    dc->intersect_clip(a.plot);
    dc->select_pen(device_pen(dc, d.pen));
    const int half = scaled(dc, 2);
    for (int i = 0; i < d.nPoints; ++i) {
        const float x = x_at(d, i);
        if (!visible(a, x, d.pY[i])) continue;
        const CalPoint p{clamp_pixel(x_to_pixel(a, x)), clamp_pixel(y_to_pixel(a, d.pY[i]))};
        if (d.pfnMarker) {
            d.pfnMarker(dc, p, i, d.pLabelData);
        } else {
            dc->fill_rect(CalRect{p.x - half, p.y - half, p.x + half + 1, p.y + half + 1}, d.pen.colour);
        }
    }
    dc->restore();
}

void plot_error_bars(CalDC dc, const AxsAxes& a, const AxsPlotDesc& d) {
    if (!d.pY || !d.pErrors || d.nPoints <= 0) return;
    std::vector<CalPoint> seg;
    const int cap = scaled(dc, 3);
    for (int i = 0; i < d.nPoints; ++i) {
        const float x = x_at(d, i);
        const float h = d.pErrors[i];
        if (!visible(a, x, d.pY[i]) || !finite(h)) continue;
        const int px = clamp_pixel(x_to_pixel(a, x));
        const int top = clamp_pixel(y_to_pixel(a, static_cast<double>(d.pY[i]) + std::fabs(h)));
        const int bottom = clamp_pixel(y_to_pixel(a, static_cast<double>(d.pY[i]) - std::fabs(h)));
        seg.push_back(CalPoint{px, top});
        seg.push_back(CalPoint{px, bottom + 1});
        for (int y : {top, bottom}) {
            seg.push_back(CalPoint{px - cap, y});
            seg.push_back(CalPoint{px + cap + 1, y});
        }
    }
    dc->save();
    dc->intersect_clip(a.plot);
    dc->select_pen(device_pen(dc, d.pen));
    dc->segments(seg.data(), static_cast<int>(seg.size() / 2));
    dc->restore();
}

}  // namespace

int AxsPlotData(CalDC dc, AxsHandle axes, const AxsPlotDesc* desc) {
    if (!dc || !axes || !desc || !axes->bSized || !axes->bRanged) return 0;
    if (axes->colTop.size() != static_cast<std::size_t>(std::max(0, axes->plot.right - axes->plot.left)))
        reset_columns(*axes);
    switch (desc->nMode) {
        case kAxsModeSticks: plot_sticks(dc, *axes, *desc); break;
        case kAxsModeLine: plot_line(dc, *axes, *desc); break;
        case kAxsModePoints: plot_points(dc, *axes, *desc); break;
        case kAxsModeErrorBars: plot_error_bars(dc, *axes, *desc); break;
        default: return 0;
    }
    return 1;
}
