// The calling thread's message queue. Posted messages wait here until the
// host pumps; sent messages (SendMessage in window.hpp) bypass it. After the
// posted messages, a pump paints every window that was invalidated, as a
// window system does when its queue runs empty.
#pragma once

#include <cstdint>

#include "masscal/ui.h"

namespace masscal::platform {

// Queues the message for wnd on the calling thread. False for no window or
// when memory is short.
bool PostMessage(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
// Dispatches every queued message (also those posted while pumping), then
// paints the invalidated windows; returns the number of messages dispatched.
// Messages of a window destroyed meanwhile are dropped.
int PumpMessages();
// Number of queued messages.
int PendingMessages();

}  // namespace masscal::platform
