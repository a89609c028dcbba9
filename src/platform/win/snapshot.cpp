#include "platform/win/snapshot.hpp"

#include <string>

#include "platform/win/control_paint.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform {
namespace {

constexpr int kBorder = 4;
constexpr int kCaption = 22;
constexpr int kMenuBar = 20;
constexpr Colour kCaptionColour = rgb(0, 84, 153);
constexpr Colour kFrameColour = rgb(96, 96, 96);

void draw_menu_bar(CalDC dc, const Menu& bar, int left, int top, int width) {
    dc->fill_rect(CalRect{left, top, left + width, top + kMenuBar}, detail::kFaceColour);
    dc->select_font(paint::dialog_font());
    dc->set_text_colour(rgb(0, 0, 0));
    // Left-aligned popups from the left, right-aligned ones end at the right.
    int x = left + 6;
    int rightWidth = 0;
    for (const auto& p : bar.popups)
        if (p->right_aligned) rightWidth += dc->text_extent(paint::without_mnemonic(p->text).c_str()).cx + 14;
    int rx = left + width - rightWidth;
    for (const auto& p : bar.popups) {
        const std::string t = paint::without_mnemonic(p->text);
        const TextSize ext = dc->text_extent(t.c_str());
        int& at = p->right_aligned ? rx : x;
        dc->text_out(at + 4, top + (kMenuBar - ext.cy) / 2, t.c_str());
        at += ext.cx + 14;
    }
}

}  // namespace

bool WriteWindowPng(CalWnd wnd, const char* path) {
    CalWindow* w = detail::live_window(wnd);
    if (!w || w->parent || !path) return false;
    if (detail::tree_invalid(w)) detail::update_tree(w);
    CalDC client = GetWindowSurface(w);
    if (!client) return false;
    const int cw = detail::width_of(w->rect), ch = detail::height_of(w->rect);
    const int bar = w->menu ? kMenuBar : 0;
    auto img = CalDeviceContext::create_image(cw + 2 * kBorder, ch + kCaption + bar + 2 * kBorder);
    if (!img) return false;
    const int W = img->width(), H = img->height();
    img->fill_rect(CalRect{0, 0, W, H}, detail::kFaceColour);
    paint::frame(img.get(), CalRect{0, 0, W, H}, kFrameColour);
    img->fill_rect(CalRect{kBorder, kBorder, W - kBorder, kBorder + kCaption}, kCaptionColour);
    img->select_font(paint::dialog_font());
    img->set_text_colour(rgb(255, 255, 255));
    const TextSize ext = img->text_extent(w->text.c_str());
    img->text_out(kBorder + 8, kBorder + (kCaption - ext.cy) / 2, w->text.c_str());
    if (w->menu) draw_menu_bar(img.get(), *w->menu, kBorder, kBorder + kCaption, cw);
    img->draw_image(*client, kBorder, kBorder + kCaption + bar);
    return img->write_png(path);
}

}  // namespace masscal::platform
