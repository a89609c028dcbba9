// Windows of the library's own window layer: handles with a parent, a
// window procedure that receives messages, client rectangles and coordinate
// conversion, device contexts to paint with, invalidation and update. This
// backend is headless: a top-level window paints into an image of its size,
// and a child paints into its top-level's image at its place.
#pragma once

#include <cstdint>

#include "masscal/graphs.h"

namespace masscal::platform {

using WndProc = std::intptr_t (*)(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// Message numbers keep their Windows values: hosts and stored settings know
// them (user messages are offsets from kMsgUser).
enum : std::uint32_t {
    kMsgCreate = 0x0001,
    kMsgDestroy = 0x0002,
    kMsgSize = 0x0005,
    kMsgPaint = 0x000F,
    kMsgClose = 0x0010,
    kMsgUser = 0x0400
};

// A window at rect: in the parent's client coordinates, or on the screen
// for a window without parent. proc may be null (messages answer 0). Sends
// kMsgCreate. Null when memory is short or the parent is not a window.
CalWnd CreateHeadlessWindow(CalWnd parent, const CalRect& rect, WndProc proc, void* user);
// Destroys the window and its children (children first), each after a
// kMsgDestroy; device contexts still held become invalid.
bool DestroyWindow(CalWnd wnd);
bool IsWindow(CalWnd wnd);
CalWnd GetParent(CalWnd wnd);
void* GetWindowUserData(CalWnd wnd);
void SetWindowUserData(CalWnd wnd, void* user);

// (0, 0, width, height).
bool GetClientRect(CalWnd wnd, CalRect* rect);
// The window's rectangle on the screen.
bool GetWindowRect(CalWnd wnd, CalRect* rect);
bool ClientToScreen(CalWnd wnd, CalPoint* pt);
bool ScreenToClient(CalWnd wnd, CalPoint* pt);
// Moves and sizes the window (parent's client coordinates); sends kMsgSize
// with the new client width and height in lParam's low and high words.
bool MoveWindow(CalWnd wnd, int x, int y, int width, int height, bool repaint);

// A device context over the window's client area: origin at its top-left,
// clipped to it. Release it with ReleaseDC. Null for no window.
CalDC GetDC(CalWnd wnd);
int ReleaseDC(CalWnd wnd, CalDC dc);
// The image a top-level window paints into (that of its top-level for a
// child); null for no window.
CalDC GetWindowSurface(CalWnd wnd);

// Marks the window for painting (the rectangle is not tracked: the whole
// client area is repainted); erase fills it with the window colour first.
bool InvalidateRect(CalWnd wnd, const CalRect* rect, bool erase);
// Paints a marked window now: erases if asked, then sends kMsgPaint.
bool UpdateWindow(CalWnd wnd);

// Calls the window's procedure and returns its answer; 0 for no window.
std::intptr_t SendMessage(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace masscal::platform
