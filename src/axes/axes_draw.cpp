// Axes, ticks, tick labels, axis titles and header lines.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "axes/axes_object.hpp"
#include "axes/ticks.hpp"
#include "suite/print/global_resources.hpp"

using namespace masscal::platform;
using namespace masscal::axes;

namespace {

Pen line_pen(CalDC dc, Colour c, PenStyle style = PenStyle::solid) {
    return Pen{c, std::max(1, dc->dpi_y() / 120), style};
}

// The values at the bottom row and at the top of the data part of the plot.
void visible_y(const AxsAxes& a, double* low, double* high) {
    *low = AxsGetValue(const_cast<AxsAxes*>(&a), 0, a.plot.bottom - 1, 1, 1);
    *high = a.yHigh;
}

void draw_x_axis(CalDC dc, const AxsAxes& a, const AxsAxisDesc& d, int parts) {
    const GlobalResources& res = GetGlobalResources(dc);
    const int m = scaled(dc, 3);
    const int tick = d.nTickSize > 0 ? d.nTickSize : AxsTickSize(dc);
    const int y = a.plot.bottom;
    dc->select_pen(line_pen(dc, d.crLine));
    if (parts & kAxsPartLine) {
        dc->move_to(a.plot.left - 1, y);
        dc->line_to(a.plot.right, y);
    }
    dc->select_font(d.hTickFont ? d.hTickFont : res.hAxisFont);
    dc->set_text_colour(d.crText);
    const double lo = a.xLow, hi = a.xHigh;
    if (!(hi > lo)) return;
    const int width = a.plot.right - a.plot.left;
    char buf[64];
    // Widen the step until the labels have room.
    TickStep t = nice_step(hi - lo, 10);
    for (int maxTicks = std::max(1, width / std::max(1, dc->text_extent("00000").cx)); maxTicks >= 1; --maxTicks) {
        t = nice_step(hi - lo, maxTicks);
        tick_label(buf, sizeof buf, std::fabs(lo) > std::fabs(hi) ? lo : hi, t.decimals);
        const int labelWidth = dc->text_extent(buf).cx + dc->text_extent("00").cx;
        if (static_cast<double>(labelWidth) * (hi - lo) / t.step <= width) break;
    }
    CalRect title{0, 0, 0, 0};
    const bool showTitle = (parts & kAxsPartTitle) && d.bShowLabel && d.szLabel[0];
    const int labelTop = y + tick + m / 2;
    if (showTitle) {
        dc->select_font(d.hTitleFont ? d.hTitleFont : res.hAxisLabelFont);
        const TextSize ts = dc->text_extent(d.szLabel);
        title = CalRect{a.plot.right - ts.cx, labelTop, a.plot.right, labelTop + ts.cy};
        dc->text_out(title.left, title.top, d.szLabel);
        dc->select_font(d.hTickFont ? d.hTickFont : res.hAxisFont);
    }
    if (parts & kAxsPartTicks) {
        std::vector<CalPoint> seg;
        const int minorCount = static_cast<int>((hi - lo) / t.minor) + 2;
        if (minorCount < 4 * width) {
            for (double v = first_tick(lo, t.minor); v <= hi + t.minor * 1e-6; v += t.minor) {
                const int px = clamp_pixel(x_to_pixel(a, v));
                const bool major = std::fabs(v / t.step - std::round(v / t.step)) < 1e-6;
                seg.push_back(CalPoint{px, y + 1});
                seg.push_back(CalPoint{px, y + 1 + (major ? tick : tick / 2)});
            }
        }
        dc->segments(seg.data(), static_cast<int>(seg.size() / 2));
    }
    if (parts & kAxsPartTickLabels) {
        int lastRight = -1000000;
        const int gap = dc->text_extent("0").cx;
        for (double v = first_tick(lo, t.step); v <= hi + t.step * 1e-6; v += t.step) {
            tick_label(buf, sizeof buf, v, t.decimals);
            const TextSize ts = dc->text_extent(buf);
            const int px = clamp_pixel(x_to_pixel(a, v));
            CalRect r{px - ts.cx / 2, labelTop, px - ts.cx / 2 + ts.cx, labelTop + ts.cy};
            if (r.left < a.rect.left || r.right > a.rect.right || r.left < lastRight + gap) continue;
            if (showTitle && r.right + gap > title.left) continue;
            dc->text_out(r.left, r.top, buf);
            lastRight = r.right;
        }
    }
}

// Ticks and labels of a value axis; percent gives labels in percent of the
// value range instead of values.
void draw_y_axis(CalDC dc, const AxsAxes& a, const AxsAxisDesc& d, int parts, bool percent) {
    const GlobalResources& res = GetGlobalResources(dc);
    const int m = scaled(dc, 3);
    const int tick = d.nTickSize > 0 ? d.nTickSize : AxsTickSize(dc);
    const int x = a.plot.left - 1;
    dc->select_pen(line_pen(dc, d.crLine));
    if (parts & kAxsPartLine) {
        dc->move_to(x, a.plot.top + top_pad(a) / 2);
        dc->line_to(x, a.plot.bottom + 1);
    }
    dc->select_font(d.hTickFont ? d.hTickFont : res.hAxisFont);
    dc->set_text_colour(d.crText);
    double lo, hi;
    visible_y(a, &lo, &hi);
    const double range = static_cast<double>(a.yHigh) - a.yLow;
    if (!(hi > lo) || !(range > 0)) return;
    // In percent, a value v reads (v - yLow) / range * 100.
    const double vlo = percent ? (lo - a.yLow) / range * 100 : lo;
    const double vhi = percent ? 100.0 : hi;
    const int labelHeight = dc->text_metrics().tmHeight;
    const int height = clamp_pixel(y_to_pixel(a, lo) - y_to_pixel(a, hi));
    const int maxTicks = std::max(1, height / std::max(1, 2 * labelHeight));
    TickStep t = nice_step(vhi - vlo, maxTicks);
    // A short axis (the residual graph of a small window) still gets two
    // labels when a finer step leaves room between them.
    auto labelled = [&](const TickStep& s) {
        int n = 0;
        for (double v = first_tick(vlo, s.step); v <= vhi + s.step * 1e-6 && n < 3; v += s.step) ++n;
        return n;
    };
    const double pixelsPerValue = height / (vhi - vlo);
    for (int k = maxTicks + 1; labelled(t) < 2 && k <= 4 * maxTicks + 4; ++k) {
        const TickStep finer = nice_step(vhi - vlo, k);
        if (finer.step >= t.step) continue;
        if (finer.step * pixelsPerValue < labelHeight * 1.2) break;
        t = finer;
    }
    auto to_value = [&](double v) { return percent ? a.yLow + v / 100 * range : v; };
    if (parts & kAxsPartTicks) {
        std::vector<CalPoint> seg;
        const int count = static_cast<int>((vhi - vlo) / t.minor) + 2;
        if (count < 4 * std::max(1, height)) {
            for (double v = first_tick(vlo, t.minor); v <= vhi + t.minor * 1e-6; v += t.minor) {
                const int py = clamp_pixel(y_to_pixel(a, to_value(v)));
                const bool major = std::fabs(v / t.step - std::round(v / t.step)) < 1e-6;
                seg.push_back(CalPoint{x - 1, py});
                seg.push_back(CalPoint{x - 1 - (major ? tick : tick / 2), py});
            }
        }
        dc->segments(seg.data(), static_cast<int>(seg.size() / 2));
    }
    if (parts & kAxsPartTickLabels) {
        char buf[64];
        int lastTop = 1000000;
        for (double v = first_tick(vlo, t.step); v <= vhi + t.step * 1e-6; v += t.step) {
            tick_label(buf, sizeof buf, v, t.decimals);
            const TextSize ts = dc->text_extent(buf);
            const int py = clamp_pixel(y_to_pixel(a, to_value(v)));
            const int top = py - ts.cy / 2;
            if (top + ts.cy > lastTop || top < a.rect.top) continue;
            dc->text_out(x - 1 - tick - m - ts.cx, top, buf);
            lastTop = top;
        }
    }
    const bool showTitle = (parts & kAxsPartTitle) && d.bShowLabel && d.szLabel[0];
    if (showTitle) {
        dc->select_font(d.hTitleFont ? d.hTitleFont : res.hAxisLabelFont);
        const TextSize ts = dc->text_extent(d.szLabel);
        const int mid = (clamp_pixel(y_to_pixel(a, lo)) + clamp_pixel(y_to_pixel(a, hi))) / 2;
        int top = mid - ts.cx / 2;
        top = std::max(a.rect.top, std::min(top, a.rect.bottom - ts.cx));
        dc->text_out_vertical(a.rect.left + m, top, d.szLabel);
    }
}

void draw_zero_line(CalDC dc, const AxsAxes& a, const AxsAxisDesc& d, int parts) {
    if (!(parts & kAxsPartLine) || !(a.yLow < 0.0f && 0.0f < a.yHigh)) return;
    const int py = clamp_pixel(y_to_pixel(a, 0.0));
    dc->select_pen(line_pen(dc, d.crLine, PenStyle::dash));
    dc->move_to(a.plot.left, py);
    dc->line_to(a.plot.right, py);
}

}  // namespace

int AxsDisplayAxis(CalDC dc, AxsHandle axes, const AxsAxisDesc* desc, int parts, int) {
    if (!dc || !axes || !desc || !axes->bSized || !axes->bRanged) return 0;
    dc->save();
    switch (desc->nKind) {
        case kAxsKindX: draw_x_axis(dc, *axes, *desc, parts); break;
        case kAxsKindZeroLine: draw_zero_line(dc, *axes, *desc, parts); break;
        default: draw_y_axis(dc, *axes, *desc, parts, false); break;
    }
    dc->restore();
    return 1;
}

int AxsDisplayDefaultAxes(CalDC dc, AxsHandle axes, const char* xLabel, int, int, int) {
    if (!dc || !axes || !axes->bSized || !axes->bRanged) return 0;
    const GlobalResources& res = GetGlobalResources(dc);
    AxsAxisDesc d;
    d.crLine = res.crAxis;
    d.crText = res.crAxisText;
    d.nTickSize = AxsTickSize(dc);
    d.nKind = kAxsKindX;
    if (xLabel && xLabel[0]) {
        std::strncpy(d.szLabel, xLabel, sizeof d.szLabel - 1);
        d.bShowLabel = 1;
    }
    dc->save();
    draw_x_axis(dc, *axes, d, kAxsPartLine | kAxsPartTicks | kAxsPartTickLabels | kAxsPartTitle);
    d.nKind = kAxsKindY;
    d.nLabelPos = kAxsLabelLeft;
    d.bShowLabel = 1;
    dc->select_font(res.hAxisLabelFont);
    const int room = axes->plot.bottom - axes->plot.top;
    std::strcpy(d.szLabel, dc->text_extent("Intensity %").cx <= room ? "Intensity %" : "%");
    draw_y_axis(dc, *axes, d, kAxsPartLine | kAxsPartTicks | kAxsPartTickLabels | kAxsPartTitle, true);
    dc->restore();
    return 1;
}

int AxsDisplayHeader(CalDC dc, AxsHandle axes, HFont font, Colour colour, int slot, const char* text) {
    if (!dc || !axes || !text || !axes->bSized) return 0;
    CalRect area;
    AxsGetArea(axes, 0, &area, kAxsAreaTop | kAxsAreaLeft | kAxsAreaBottom);
    const int m = scaled(dc, 3);
    dc->save();
    if (font) dc->select_font(font);
    dc->set_text_colour(colour);
    TextSize ts = dc->text_extent(text);
    int x = slot == 2 ? area.right - m - ts.cx : area.left + m;
    const int y = area.top + 1;
    auto collides = [&] {
        const CalRect r{x - m, y, x + ts.cx + m, y + ts.cy};
        for (const CalRect& h : axes->headers)
            if (intersects(r, h)) return true;
        return false;
    };
    // Two long headers on a narrow graph: the later one is written smaller
    // rather than over the other.
    HFont smaller = nullptr;
    LogFont lf;
    for (int percent = 90; collides() && percent >= 60 && GetFontDesc(dc->font(), &lf) && lf.lfHeight; percent -= 10) {
        HFont base = smaller;
        lf.lfHeight = lf.lfHeight * percent / (percent + 10);
        smaller = CreateFontIndirect(lf);
        if (!smaller) {
            smaller = base;
            break;
        }
        dc->select_font(smaller);
        DeleteFont(base);
        ts = dc->text_extent(text);
        x = slot == 2 ? area.right - m - ts.cx : area.left + m;
    }
    dc->text_out(x, y, text);
    dc->restore();
    DeleteFont(smaller);
    axes->headers.push_back(CalRect{x, y, x + ts.cx, y + ts.cy});
    // Labels keep clear of what was really written, whatever the caller
    // excludes besides.
    exclusions().push_back(CalRect{x - m, y, x + ts.cx + m, y + ts.cy + m});
    return ts.cy;
}
