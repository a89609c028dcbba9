#include "platform/win/window.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/gdi/device_context.hpp"

using namespace masscal::platform;

struct CalWindow {
    CalWindow* parent = nullptr;
    std::vector<CalWindow*> children;
    CalRect rect{};  // parent's client coordinates, or screen for a top-level
    WndProc proc = nullptr;
    void* user = nullptr;
    bool invalid = false;
    bool erase = false;
    std::unique_ptr<CalDeviceContext> surface;  // top-level only
    std::vector<std::unique_ptr<CalDeviceContext>> dcs;
};

namespace masscal::platform {
namespace {

std::mutex g_mutex;
std::unordered_set<CalWindow*>& live() {
    static std::unordered_set<CalWindow*> windows;
    return windows;
}

CalWindow* valid(CalWnd wnd) {
    if (!wnd) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    return live().count(wnd) ? wnd : nullptr;
}

int width_of(const CalRect& r) { return std::max(0, r.right - r.left); }
int height_of(const CalRect& r) { return std::max(0, r.bottom - r.top); }

CalWindow* top_level(CalWindow* w) {
    while (w->parent) w = w->parent;
    return w;
}

// Offset of the window's client area from its top-level's.
CalPoint offset_in_top(const CalWindow* w) {
    CalPoint p{0, 0};
    for (; w->parent; w = w->parent) {
        p.x += w->rect.left;
        p.y += w->rect.top;
    }
    return p;
}

CalDeviceContext* surface_of(CalWindow* w) {
    CalWindow* top = top_level(w);
    const int cx = std::max(1, width_of(top->rect));
    const int cy = std::max(1, height_of(top->rect));
    if (!top->surface || top->surface->width() != cx || top->surface->height() != cy)
        top->surface = CalDeviceContext::create_image(cx, cy);
    return top->surface.get();
}

void destroy_tree(CalWindow* w) {
    while (!w->children.empty()) destroy_tree(w->children.back());
    if (w->proc) w->proc(w, kMsgDestroy, 0, 0);
    if (w->parent) {
        auto& sib = w->parent->children;
        sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        live().erase(w);
    }
    delete w;
}

}  // namespace

CalWnd CreateHeadlessWindow(CalWnd parent, const CalRect& rect, WndProc proc, void* user) {
    if (parent && !valid(parent)) return nullptr;
    auto* w = new (std::nothrow) CalWindow;
    if (!w) return nullptr;
    w->parent = parent;
    w->rect = rect;
    w->proc = proc;
    w->user = user;
    if (parent) parent->children.push_back(w);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        live().insert(w);
    }
    if (proc) proc(w, kMsgCreate, 0, 0);
    return w;
}

bool DestroyWindow(CalWnd wnd) {
    CalWindow* w = valid(wnd);
    if (!w) return false;
    destroy_tree(w);
    return true;
}

bool IsWindow(CalWnd wnd) { return valid(wnd) != nullptr; }

CalWnd GetParent(CalWnd wnd) {
    CalWindow* w = valid(wnd);
    return w ? w->parent : nullptr;
}

void* GetWindowUserData(CalWnd wnd) {
    CalWindow* w = valid(wnd);
    return w ? w->user : nullptr;
}

void SetWindowUserData(CalWnd wnd, void* user) {
    if (CalWindow* w = valid(wnd)) w->user = user;
}

bool GetClientRect(CalWnd wnd, CalRect* rect) {
    CalWindow* w = valid(wnd);
    if (!w || !rect) return false;
    *rect = CalRect{0, 0, width_of(w->rect), height_of(w->rect)};
    return true;
}

bool GetWindowRect(CalWnd wnd, CalRect* rect) {
    CalWindow* w = valid(wnd);
    if (!w || !rect) return false;
    CalPoint p{0, 0};
    ClientToScreen(w, &p);
    *rect = CalRect{p.x, p.y, p.x + width_of(w->rect), p.y + height_of(w->rect)};
    return true;
}

bool ClientToScreen(CalWnd wnd, CalPoint* pt) {
    CalWindow* w = valid(wnd);
    if (!w || !pt) return false;
    for (; w; w = w->parent) {
        pt->x += w->rect.left;
        pt->y += w->rect.top;
    }
    return true;
}

bool ScreenToClient(CalWnd wnd, CalPoint* pt) {
    CalWindow* w = valid(wnd);
    if (!w || !pt) return false;
    for (; w; w = w->parent) {
        pt->x -= w->rect.left;
        pt->y -= w->rect.top;
    }
    return true;
}

bool MoveWindow(CalWnd wnd, int x, int y, int width, int height, bool repaint) {
    CalWindow* w = valid(wnd);
    if (!w) return false;
    w->rect = CalRect{x, y, x + std::max(0, width), y + std::max(0, height)};
    if (w->proc) {
        const auto size = static_cast<std::intptr_t>((std::max(0, width) & 0xFFFF) |
                                                     ((std::max(0, height) & 0xFFFF) << 16));
        w->proc(w, kMsgSize, 0, size);
    }
    if (repaint) InvalidateRect(w, nullptr, true);
    return true;
}

CalDC GetDC(CalWnd wnd) {
    CalWindow* w = valid(wnd);
    if (!w) return nullptr;
    CalDeviceContext* surface = surface_of(w);
    if (!surface) return nullptr;
    auto dc = CalDeviceContext::create_view(*surface);
    if (!dc) return nullptr;
    const CalPoint at = offset_in_top(w);
    dc->set_origin(at.x, at.y);
    dc->intersect_clip(CalRect{0, 0, width_of(w->rect), height_of(w->rect)});
    CalDC raw = dc.get();
    try {
        w->dcs.push_back(std::move(dc));
    } catch (...) {
        return nullptr;
    }
    return raw;
}

int ReleaseDC(CalWnd wnd, CalDC dc) {
    CalWindow* w = valid(wnd);
    if (!w || !dc) return 0;
    auto it = std::find_if(w->dcs.begin(), w->dcs.end(), [dc](const auto& p) { return p.get() == dc; });
    if (it == w->dcs.end()) return 0;
    w->dcs.erase(it);
    return 1;
}

CalDC GetWindowSurface(CalWnd wnd) {
    CalWindow* w = valid(wnd);
    return w ? surface_of(w) : nullptr;
}

bool InvalidateRect(CalWnd wnd, const CalRect*, bool erase) {
    CalWindow* w = valid(wnd);
    if (!w) return false;
    w->invalid = true;
    w->erase = w->erase || erase;
    return true;
}

bool UpdateWindow(CalWnd wnd) {
    CalWindow* w = valid(wnd);
    if (!w) return false;
    if (!w->invalid) return true;
    if (w->erase) {
        if (CalDC dc = GetDC(w)) {
            dc->fill_rect(CalRect{0, 0, width_of(w->rect), height_of(w->rect)}, system_window_colour());
            ReleaseDC(w, dc);
        }
    }
    w->invalid = false;
    w->erase = false;
    if (w->proc) w->proc(w, kMsgPaint, 0, 0);
    return true;
}

std::intptr_t SendMessage(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    CalWindow* w = valid(wnd);
    if (!w || !w->proc) return 0;
    return w->proc(w, msg, wParam, lParam);
}

}  // namespace masscal::platform
