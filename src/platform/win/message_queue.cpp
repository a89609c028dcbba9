#include "platform/win/message_queue.hpp"

#include <deque>
#include <thread>

#include "platform/win/backend.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform {
namespace {

struct Posted {
    CalWnd wnd;
    std::uint64_t serial;
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

thread_local std::deque<Posted> t_queue;

void paint_invalid_windows() {
    const auto me = std::this_thread::get_id();
    for (CalWindow* w : detail::top_level_snapshot())
        if (detail::live_window(w) && w->thread == me && w->visible && detail::tree_invalid(w)) detail::update_tree(w);
}

}  // namespace

bool PostMessage(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    const std::uint64_t serial = detail::serial_of(wnd);
    if (!serial) return false;
    try {
        t_queue.push_back(Posted{wnd, serial, msg, wParam, lParam});
    } catch (...) {
        return false;
    }
    window_backend().posted();
    return true;
}

int PumpMessages() {
    int dispatched = 0;
    while (!t_queue.empty()) {
        const Posted m = t_queue.front();
        t_queue.pop_front();
        // A window destroyed since, or a new one at its address, gets nothing.
        if (detail::serial_of(m.wnd) != m.serial) continue;
        SendMessage(m.wnd, m.msg, m.wParam, m.lParam);
        ++dispatched;
    }
    paint_invalid_windows();
    return dispatched;
}

int PendingMessages() { return static_cast<int>(t_queue.size()); }

}  // namespace masscal::platform
