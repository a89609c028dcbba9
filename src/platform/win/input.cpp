#include "platform/win/input.hpp"

#include "platform/win/backend.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform {
namespace {

thread_local CalWindow* t_capture = nullptr;

}  // namespace

namespace detail {
void forget_capture(CalWindow* w) {
    if (t_capture == w) t_capture = nullptr;
}
}  // namespace detail

CalWnd SetCapture(CalWnd wnd) {
    CalWnd previous = GetCapture();
    t_capture = detail::live_window(wnd);
    if (t_capture != previous) window_backend().capture_changed(t_capture);
    return previous;
}

bool ReleaseCapture() {
    const bool held = GetCapture() != nullptr;
    t_capture = nullptr;
    if (held) window_backend().capture_changed(nullptr);
    return true;
}

CalWnd GetCapture() { return detail::live_window(t_capture); }

std::intptr_t DeliverMouse(CalWnd wnd, std::uint32_t msg, int x, int y) {
    CalWnd target = GetCapture();
    if (!target || target == wnd) return SendMessage(wnd, msg, 0, make_lparam(x, y));
    CalPoint pt{x, y};
    ClientToScreen(wnd, &pt);
    ScreenToClient(target, &pt);
    return SendMessage(target, msg, 0, make_lparam(pt.x, pt.y));
}

}  // namespace masscal::platform
