// A picture of a top-level window as a user sees it: caption with the
// title, the menu bar, and the client area with its controls as painted.
#pragma once

#include "platform/win/window.hpp"

namespace masscal::platform {

// Paints what is invalid, then writes the picture as PNG. False when the
// window is not a top-level window or the file cannot be written.
bool WriteWindowPng(CalWnd wnd, const char* path);

}  // namespace masscal::platform
