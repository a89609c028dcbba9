// Mouse capture and delivery of mouse events. A host (or a test) hands a
// user's mouse event to the window under the pointer with DeliverMouse; while
// a window holds the capture, the event goes there instead.
#pragma once

#include <cstdint>

#include "platform/win/window.hpp"

namespace masscal::platform {

// Per thread. SetCapture returns the previous holder.
CalWnd SetCapture(CalWnd wnd);
bool ReleaseCapture();
CalWnd GetCapture();

// Sends msg (a mouse message) with x, y in wnd's client coordinates, or,
// when another window holds the capture, to that window with the point in
// its client coordinates. Returns the procedure's answer.
std::intptr_t DeliverMouse(CalWnd wnd, std::uint32_t msg, int x, int y);

}  // namespace masscal::platform
