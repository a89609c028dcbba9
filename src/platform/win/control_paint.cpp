#include "platform/win/control_paint.hpp"

#include <algorithm>

namespace masscal::platform::paint {
namespace {

constexpr Colour kText = rgb(0, 0, 0);
constexpr Colour kGreyText = rgb(128, 128, 128);
constexpr Colour kShadow = rgb(160, 160, 160);
constexpr Colour kLight = rgb(255, 255, 255);
constexpr Colour kEditBack = rgb(255, 255, 255);

void line(CalDC dc, int x0, int y0, int x1, int y1, Colour c) {
    dc->select_pen(Pen{c, 1, PenStyle::solid});
    dc->move_to(x0, y0);
    dc->line_to(x1, y1);
}

// Text vertically centred in r, from x, or centred horizontally.
void text_in(CalDC dc, const CalRect& r, const std::string& s, bool centred, bool enabled, int x = -1) {
    const std::string t = without_mnemonic(s);
    if (t.empty()) return;
    dc->select_font(dialog_font());
    dc->set_text_colour(enabled ? kText : kGreyText);
    const TextSize ext = dc->text_extent(t.c_str());
    const int tx = centred ? r.left + (r.right - r.left - ext.cx) / 2 : (x >= 0 ? x : r.left + 2);
    const int ty = r.top + (r.bottom - r.top - ext.cy) / 2;
    dc->text_out(tx, ty, t.c_str());
}

void raised(CalDC dc, const CalRect& r) {
    dc->fill_rect(r, detail::kFaceColour);
    line(dc, r.left, r.top, r.right - 1, r.top, kLight);
    line(dc, r.left, r.top, r.left, r.bottom - 1, kLight);
    line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, kShadow);
    line(dc, r.right - 1, r.top, r.right - 1, r.bottom, kShadow);
}

void sunken(CalDC dc, const CalRect& r, Colour back) {
    dc->fill_rect(r, back);
    line(dc, r.left, r.top, r.right - 1, r.top, kShadow);
    line(dc, r.left, r.top, r.left, r.bottom - 1, kShadow);
    line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, kLight);
    line(dc, r.right - 1, r.top, r.right - 1, r.bottom, kLight);
}

}  // namespace

HFont dialog_font() {
    static HFont font = [] {
        LogFont lf;
        lf.lfHeight = 11;
        return CreateFontIndirect(lf);
    }();
    return font;
}

std::string without_mnemonic(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            out += text[++i];
            continue;
        }
        out += text[i];
    }
    return out;
}

void frame(CalDC dc, const CalRect& r, Colour c) {
    line(dc, r.left, r.top, r.right - 1, r.top, c);
    line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, c);
    line(dc, r.right - 1, r.bottom - 1, r.left, r.bottom - 1, c);
    line(dc, r.left, r.bottom - 1, r.left, r.top, c);
}

void control(CalDC dc, const CalWindow& w) {
    if (!w.control) return;
    const CalRect r{0, 0, detail::width_of(w.rect), detail::height_of(w.rect)};
    const ControlData& c = *w.control;
    switch (c.kind) {
        case ControlKind::push_button:
        case ControlKind::default_push_button:
            raised(dc, r);
            if (c.kind == ControlKind::default_push_button) frame(dc, r, kText);
            text_in(dc, r, w.text, true, w.enabled);
            break;
        case ControlKind::check_box: {
            const int box = std::min(13, r.bottom - r.top);
            const CalRect b{0, (r.bottom - box) / 2, box, (r.bottom - box) / 2 + box};
            sunken(dc, b, w.enabled ? kEditBack : detail::kFaceColour);
            if (c.check) {
                line(dc, b.left + 3, b.top + 6, b.left + 5, b.top + 9, kText);
                line(dc, b.left + 5, b.top + 9, b.left + 10, b.top + 3, kText);
            }
            text_in(dc, r, w.text, false, w.enabled, box + 4);
            break;
        }
        case ControlKind::edit:
            sunken(dc, r, w.enabled ? kEditBack : detail::kFaceColour);
            text_in(dc, r, w.text, false, w.enabled, 3);
            break;
        case ControlKind::combo_box: {
            sunken(dc, r, kEditBack);
            const int arrow = std::min(16, r.right - r.left);
            raised(dc, CalRect{r.right - arrow - 1, r.top + 1, r.right - 1, r.bottom - 1});
            const int cx = r.right - arrow / 2 - 1, cy = (r.top + r.bottom) / 2;
            for (int i = 0; i < 4; ++i) line(dc, cx - 3 + i, cy - 2 + i, cx + 4 - i, cy - 2 + i, kText);
            if (c.current >= 0 && c.current < static_cast<int>(c.items.size()))
                text_in(dc, CalRect{r.left, r.top, r.right - arrow, r.bottom}, c.items[static_cast<std::size_t>(c.current)],
                        false, w.enabled, 3);
            break;
        }
        case ControlKind::text: text_in(dc, r, w.text, false, w.enabled, 0); break;
        case ControlKind::black_frame: frame(dc, r, kText); break;
        case ControlKind::group_box: {
            const CalRect box{r.left, r.top + 6, r.right, r.bottom};
            frame(dc, box, kShadow);
            const std::string t = without_mnemonic(w.text);
            if (!t.empty()) {
                dc->select_font(dialog_font());
                const TextSize ext = dc->text_extent(t.c_str());
                dc->fill_rect(CalRect{6, 0, 10 + ext.cx, ext.cy}, w.background);
                text_in(dc, CalRect{6, 0, 10 + ext.cx, ext.cy}, t, false, w.enabled, 8);
            }
            break;
        }
        case ControlKind::plain: break;
    }
}

}  // namespace masscal::platform::paint
