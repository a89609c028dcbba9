#include "platform/win/backend.hpp"

#include <atomic>

#include "platform/ui.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform {
namespace {

WindowBackend g_headless;
std::atomic<WindowBackend*> g_backend{nullptr};

}  // namespace

void WindowBackend::shown(CalWnd, bool) {}
void WindowBackend::changed(CalWnd) {}
void WindowBackend::moved(CalWnd) {}
void WindowBackend::destroying(CalWnd) {}
void WindowBackend::capture_changed(CalWnd) {}
void WindowBackend::posted() {}
void WindowBackend::run_modal(CalWnd dialog) { ui_provider().run_modal(dialog); }
bool WindowBackend::draws_control(CalWnd) { return false; }

WindowBackend* set_window_backend(WindowBackend* b) { return g_backend.exchange(b); }

WindowBackend& window_backend() {
    WindowBackend* b = g_backend.load();
    return b ? *b : g_headless;
}

void NoteWindowRect(CalWnd wnd, const CalRect& rect) {
    CalWindow* w = detail::live_window(wnd);
    if (!w || w->parent) return;
    const bool sized = detail::width_of(rect) != detail::width_of(w->rect) ||
                       detail::height_of(rect) != detail::height_of(w->rect);
    w->rect = rect;
    if (!sized) return;
    if (w->proc) w->proc(w, kMsgSize, 0, make_lparam(detail::width_of(rect), detail::height_of(rect)));
    if (detail::live_window(wnd)) InvalidateRect(wnd, nullptr, true);
}

}  // namespace masscal::platform
