#include "platform/win/window.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/gdi/device_context.hpp"
#include "platform/win/backend.hpp"
#include "platform/win/window_internal.hpp"

using namespace masscal::platform;

namespace masscal::platform {
namespace detail {
namespace {

std::mutex& registry_mutex() {
    static std::mutex m;
    return m;
}
// Live windows by address, with their serial numbers.
std::unordered_map<CalWindow*, std::uint64_t>& live() {
    static std::unordered_map<CalWindow*, std::uint64_t> windows;
    return windows;
}
std::vector<CalWindow*>& top_levels() {
    static std::vector<CalWindow*> tops;
    return tops;
}
std::atomic<std::uint64_t> g_serial{0};

thread_local CalWindow* t_focus = nullptr;

}  // namespace

CalWindow* live_window(CalWnd wnd) {
    if (!wnd) return nullptr;
    std::lock_guard<std::mutex> lock(registry_mutex());
    return live().count(wnd) ? wnd : nullptr;
}

std::uint64_t serial_of(CalWnd wnd) {
    if (!wnd) return 0;
    std::lock_guard<std::mutex> lock(registry_mutex());
    auto it = live().find(wnd);
    return it == live().end() ? 0 : it->second;
}

CalWindow* new_window(CalWindow* parent, CalWindow* owner, const CalRect& rect, WndProc proc, void* user) {
    auto* w = new (std::nothrow) CalWindow;
    if (!w) return nullptr;
    w->serial = ++g_serial;
    w->thread = std::this_thread::get_id();
    w->parent = parent;
    w->owner = owner;
    w->rect = rect;
    w->proc = proc;
    w->user = user;
    w->background = system_window_colour();
    try {
        if (parent) parent->children.push_back(w);
        std::lock_guard<std::mutex> lock(registry_mutex());
        live().emplace(w, w->serial);
        if (!parent) top_levels().push_back(w);
    } catch (...) {
        if (parent) {
            auto& sib = parent->children;
            sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
        }
        delete w;
        return nullptr;
    }
    return w;
}

void forget_focus(CalWindow* w) {
    if (t_focus == w) t_focus = nullptr;
}

int width_of(const CalRect& r) { return std::max(0, r.right - r.left); }
int height_of(const CalRect& r) { return std::max(0, r.bottom - r.top); }

bool tree_invalid(const CalWindow* w) {
    if (w->invalid) return true;
    return std::any_of(w->children.begin(), w->children.end(), [](const CalWindow* c) { return tree_invalid(c); });
}

void update_tree(CalWindow* w) {
    const std::uint64_t serial = w->serial;
    UpdateWindow(w);
    if (serial_of(w) != serial) return;
    // A child may go while its siblings paint: walk a copy, checking each.
    const std::vector<CalWindow*> kids = w->children;
    for (CalWindow* c : kids)
        if (live_window(c) && tree_invalid(c)) update_tree(c);
}

CalWnd focus() { return t_focus; }
void set_focus(CalWindow* w) { t_focus = w; }

std::vector<CalWindow*> top_level_snapshot() {
    std::lock_guard<std::mutex> lock(registry_mutex());
    return top_levels();
}

}  // namespace detail

namespace {

using detail::height_of;
using detail::live_window;
using detail::width_of;

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
    if (!top->surface || top->surface->width() != cx || top->surface->height() != cy) {
        auto fresh = CalDeviceContext::create_image(cx, cy);
        // What was painted stays where it was when the window grows.
        if (fresh && top->surface) fresh->draw_image(*top->surface, 0, 0);
        top->surface = std::move(fresh);
    }
    return top->surface.get();
}

void unregister(CalWindow* w) {
    std::lock_guard<std::mutex> lock(detail::registry_mutex());
    detail::live().erase(w);
    auto& tops = detail::top_levels();
    tops.erase(std::remove(tops.begin(), tops.end(), w), tops.end());
}

void destroy_tree(CalWindow* w) {
    // Owned windows go first, as with any window system.
    for (CalWindow* t : detail::top_level_snapshot())
        if (t->owner == w && live_window(t)) destroy_tree(t);
    while (!w->children.empty()) destroy_tree(w->children.back());
    if (w->proc) w->proc(w, kMsgDestroy, 0, 0);
    window_backend().destroying(w);
    if (w->parent) {
        auto& sib = w->parent->children;
        sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
    }
    detail::forget_focus(w);
    detail::forget_capture(w);
    unregister(w);
    delete w;
}

}  // namespace

CalWnd CreateHeadlessWindow(CalWnd parent, const CalRect& rect, WndProc proc, void* user) {
    if (parent && !live_window(parent)) return nullptr;
    CalWindow* w = detail::new_window(parent, nullptr, rect, proc, user);
    if (!w) return nullptr;
    if (proc) proc(w, kMsgCreate, 0, 0);
    return w;
}

CalWnd CreateOwnedWindow(CalWnd owner, const CalRect& rect, const char* title, WndProc proc, void* user) {
    if (owner && !live_window(owner)) return nullptr;
    CalWindow* w = detail::new_window(nullptr, owner, rect, proc, user);
    if (!w) return nullptr;
    try {
        w->text = title ? title : "";
    } catch (...) {
    }
    if (proc) proc(w, kMsgCreate, 0, 0);
    return w;
}

bool DestroyWindow(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    destroy_tree(w);
    return true;
}

bool IsWindow(CalWnd wnd) { return live_window(wnd) != nullptr; }

std::uint64_t GetWindowSerial(CalWnd wnd) { return detail::serial_of(wnd); }

CalWnd GetParent(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    if (!w) return nullptr;
    if (w->parent) return w->parent;
    return live_window(w->owner) ? w->owner : nullptr;
}

CalWnd GetOwner(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w && live_window(w->owner) ? w->owner : nullptr;
}

CalWnd GetAncestor(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w ? top_level(w) : nullptr;
}

const char* GetClassName(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w ? w->class_name.c_str() : "";
}

int EnumTopLevelWindows(CalWnd* out, int max) {
    const auto tops = detail::top_level_snapshot();
    const int n = static_cast<int>(tops.size());
    for (int i = 0; i < n && i < max; ++i) out[i] = tops[static_cast<std::size_t>(i)];
    return n;
}

int EnumChildWindows(CalWnd wnd, CalWnd* out, int max) {
    CalWindow* w = live_window(wnd);
    if (!w) return 0;
    const int n = static_cast<int>(w->children.size());
    for (int i = 0; i < n && i < max; ++i) out[i] = w->children[static_cast<std::size_t>(i)];
    return n;
}

void* GetWindowUserData(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w ? w->user : nullptr;
}

void SetWindowUserData(CalWnd wnd, void* user) {
    if (CalWindow* w = live_window(wnd)) w->user = user;
}

bool GetClientRect(CalWnd wnd, CalRect* rect) {
    CalWindow* w = live_window(wnd);
    if (!w || !rect) return false;
    *rect = CalRect{0, 0, width_of(w->rect), height_of(w->rect)};
    return true;
}

bool GetWindowRect(CalWnd wnd, CalRect* rect) {
    CalWindow* w = live_window(wnd);
    if (!w || !rect) return false;
    CalPoint p{0, 0};
    ClientToScreen(w, &p);
    *rect = CalRect{p.x, p.y, p.x + width_of(w->rect), p.y + height_of(w->rect)};
    return true;
}

bool ClientToScreen(CalWnd wnd, CalPoint* pt) {
    CalWindow* w = live_window(wnd);
    if (!w || !pt) return false;
    for (; w; w = w->parent) {
        pt->x += w->rect.left;
        pt->y += w->rect.top;
    }
    return true;
}

bool ScreenToClient(CalWnd wnd, CalPoint* pt) {
    CalWindow* w = live_window(wnd);
    if (!w || !pt) return false;
    for (; w; w = w->parent) {
        pt->x -= w->rect.left;
        pt->y -= w->rect.top;
    }
    return true;
}

bool MoveWindow(CalWnd wnd, int x, int y, int width, int height, bool repaint) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    w->rect = CalRect{x, y, x + std::max(0, width), y + std::max(0, height)};
    window_backend().moved(w);
    if (w->proc) w->proc(w, kMsgSize, 0, make_lparam(std::max(0, width), std::max(0, height)));
    if (repaint && live_window(wnd)) InvalidateRect(w, nullptr, true);
    return true;
}

bool SetWindowText(CalWnd wnd, const char* text) {
    if (!live_window(wnd)) return false;
    return SendMessage(wnd, kMsgSetText, 0, reinterpret_cast<std::intptr_t>(text ? text : "")) != 0;
}

int GetWindowText(CalWnd wnd, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    if (!live_window(wnd)) return 0;
    return static_cast<int>(SendMessage(wnd, kMsgGetText, static_cast<std::uintptr_t>(size),
                                        reinterpret_cast<std::intptr_t>(buffer)));
}

int GetWindowTextLength(CalWnd wnd) {
    if (!live_window(wnd)) return 0;
    return static_cast<int>(SendMessage(wnd, kMsgGetTextLength, 0, 0));
}

bool EnableWindow(CalWnd wnd, bool enable) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    const bool wasDisabled = !w->enabled;
    if (w->enabled != enable) {
        w->enabled = enable;
        InvalidateRect(w, nullptr, true);
    }
    return wasDisabled;
}

bool IsWindowEnabled(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w && w->enabled;
}

bool ShowWindow(CalWnd wnd, int cmd) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    const bool was = w->visible;
    switch (cmd) {
        case kSwHide: w->visible = false; break;
        case kSwShowMinimized:
        case kSwMinimize:
            w->visible = true;
            w->iconic = true;
            break;
        case kSwRestore:
        case kSwShowNormal:
            w->visible = true;
            w->iconic = false;
            break;
        default: w->visible = true; break;
    }
    if (w->visible != was || cmd == kSwRestore || cmd == kSwMinimize || cmd == kSwShowMinimized)
        window_backend().shown(w, w->visible);
    if (w->visible) InvalidateRect(w, nullptr, true);
    return was;
}

bool IsWindowVisible(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w && w->visible;
}

bool IsIconic(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w && w->iconic;
}

bool OpenIcon(CalWnd wnd) { return live_window(wnd) && (ShowWindow(wnd, kSwRestore), true); }

CalWnd SetFocus(CalWnd wnd) {
    CalWnd previous = detail::focus();
    CalWindow* w = live_window(wnd);
    if (!w && wnd) return previous;
    detail::set_focus(w);
    if (w && w->proc) w->proc(w, kMsgSetFocus, reinterpret_cast<std::uintptr_t>(previous), 0);
    return previous;
}

CalWnd GetFocus() { return live_window(detail::focus()); }

bool SetWindowPos(CalWnd wnd, CalWnd insertAfter, int x, int y, int cx, int cy, std::uint32_t flags) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    if (!(flags & kSwpNoZOrder) && insertAfter == kHwndTopMost) w->topmost = true;
    if (flags & kSwpShowWindow) ShowWindow(wnd, kSwShow);
    if ((flags & kSwpNoMove) && (flags & kSwpNoSize)) return true;
    const int nx = (flags & kSwpNoMove) ? w->rect.left : x;
    const int ny = (flags & kSwpNoMove) ? w->rect.top : y;
    const int ncx = (flags & kSwpNoSize) ? width_of(w->rect) : cx;
    const int ncy = (flags & kSwpNoSize) ? height_of(w->rect) : cy;
    return MoveWindow(wnd, nx, ny, ncx, ncy, true);
}

bool IsTopMost(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w && w->topmost;
}

std::intptr_t DefWindowProc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    CalWindow* w = live_window(wnd);
    if (!w) return 0;
    switch (msg) {
        case kMsgClose: DestroyWindow(wnd); return 0;
        case kMsgSetText:
            try {
                w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            } catch (...) {
                return 0;
            }
            InvalidateRect(w, nullptr, true);
            return 1;
        case kMsgGetText: {
            auto* buf = reinterpret_cast<char*>(lParam);
            const auto size = static_cast<std::size_t>(wParam);
            if (!buf || size == 0) return 0;
            const std::size_t n = std::min(size - 1, w->text.size());
            std::memcpy(buf, w->text.data(), n);
            buf[n] = '\0';
            return static_cast<std::intptr_t>(n);
        }
        case kMsgGetTextLength: return static_cast<std::intptr_t>(w->text.size());
        default: return 0;
    }
}

CalDC GetDC(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
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
    CalWindow* w = live_window(wnd);
    if (!w || !dc) return 0;
    auto it = std::find_if(w->dcs.begin(), w->dcs.end(), [dc](const auto& p) { return p.get() == dc; });
    if (it == w->dcs.end()) return 0;
    w->dcs.erase(it);
    // What was drawn must reach the screen.
    window_backend().changed(w);
    return 1;
}

CalDC GetWindowSurface(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    return w ? surface_of(w) : nullptr;
}

bool InvalidateRect(CalWnd wnd, const CalRect*, bool erase) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    w->invalid = true;
    w->erase = w->erase || erase;
    window_backend().changed(w);
    for (CalWindow* c : w->children) InvalidateRect(c, nullptr, erase);
    return true;
}

bool UpdateWindow(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    if (!w->invalid) return true;
    if (w->erase && !w->hollow) {
        if (CalDC dc = GetDC(w)) {
            dc->fill_rect(CalRect{0, 0, width_of(w->rect), height_of(w->rect)}, w->background);
            ReleaseDC(w, dc);
        }
    }
    w->invalid = false;
    w->erase = false;
    if (w->proc) w->proc(w, kMsgPaint, 0, 0);
    return true;
}

bool UpdateWindowTree(CalWnd wnd) {
    CalWindow* w = live_window(wnd);
    if (!w) return false;
    if (detail::tree_invalid(w)) detail::update_tree(w);
    return true;
}

std::intptr_t SendMessage(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    CalWindow* w = live_window(wnd);
    if (!w) return 0;
    if (!w->proc) return DefWindowProc(w, msg, wParam, lParam);
    return w->proc(w, msg, wParam, lParam);
}

}  // namespace masscal::platform
