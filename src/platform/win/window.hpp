// Windows of the library's own window layer: handles with a parent, a
// window procedure that receives messages, client rectangles and coordinate
// conversion, device contexts to paint with, invalidation and update. This
// backend is headless: a top-level window paints into an image of its size,
// and a child paints into its top-level's image at its place.
#pragma once

#include <cstdint>

#include "masscal/graphs.h"
#include "platform/win/messages.hpp"

namespace masscal::platform {

using WndProc = std::intptr_t (*)(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// A window at rect: in the parent's client coordinates, or on the screen
// for a window without parent. proc may be null (messages answer 0). Sends
// kMsgCreate. Null when memory is short or the parent is not a window.
CalWnd CreateHeadlessWindow(CalWnd parent, const CalRect& rect, WndProc proc, void* user);
// A top-level window owned by owner (null: none) at rect on the screen, with
// a title; otherwise as CreateHeadlessWindow.
CalWnd CreateOwnedWindow(CalWnd owner, const CalRect& rect, const char* title, WndProc proc, void* user);
// Destroys the window and its children (children first), each after a
// kMsgDestroy; device contexts still held become invalid.
bool DestroyWindow(CalWnd wnd);
bool IsWindow(CalWnd wnd);
// Tells a window from any later one made at the same address: a number no
// other window gets, 0 for no window.
std::uint64_t GetWindowSerial(CalWnd wnd);
// A child's parent; for a top-level window its owner (null for none), as
// painting from an owned dialog expects.
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
// Paints the window if marked, then its marked children, as a window system
// does before it shows the window.
bool UpdateWindowTree(CalWnd wnd);

// Title of a top-level window, text of a control (kMsgSetText/kMsgGetText
// through the window's procedure; DefWindowProc keeps it).
bool SetWindowText(CalWnd wnd, const char* text);
// Copies at most size - 1 characters and a terminator; returns the length.
int GetWindowText(CalWnd wnd, char* buffer, int size);
int GetWindowTextLength(CalWnd wnd);

// The owner of a top-level window (a dialog's owner); null for none.
CalWnd GetOwner(CalWnd wnd);
// The top-level window a window belongs to (itself for a top-level one).
CalWnd GetAncestor(CalWnd wnd);
// The window's class name ("" for a window made without a class).
const char* GetClassName(CalWnd wnd);
// Top-level windows of the calling thread, in order of creation; count is
// returned, at most max written.
int EnumTopLevelWindows(CalWnd* out, int max);
// Children in order of creation; count returned, at most max written.
int EnumChildWindows(CalWnd wnd, CalWnd* out, int max);

// A disabled window gets no clicks, typing or menu commands from the user
// functions (controls.hpp, menu.hpp); messages sent still arrive.
bool EnableWindow(CalWnd wnd, bool enable);  // returns whether it was disabled
bool IsWindowEnabled(CalWnd wnd);

enum : int {
    kSwHide = 0,
    kSwShowNormal = 1,
    kSwShowMinimized = 2,
    kSwShow = 5,
    kSwMinimize = 6,
    kSwRestore = 9
};
// Returns whether the window was visible before.
bool ShowWindow(CalWnd wnd, int cmd);
bool IsWindowVisible(CalWnd wnd);
bool IsIconic(CalWnd wnd);
// Restores a minimised window.
bool OpenIcon(CalWnd wnd);

// The keyboard focus of the calling thread; SetFocus returns the previous.
CalWnd SetFocus(CalWnd wnd);
CalWnd GetFocus();

// Placement in z-order and position. insertAfter kHwndTopMost makes the
// window top-most; flags may keep position or size.
inline CalWnd const kHwndTopMost = reinterpret_cast<CalWnd>(static_cast<std::intptr_t>(-1));
enum : std::uint32_t { kSwpNoSize = 0x0001, kSwpNoMove = 0x0002, kSwpNoZOrder = 0x0004, kSwpShowWindow = 0x0040 };
bool SetWindowPos(CalWnd wnd, CalWnd insertAfter, int x, int y, int cx, int cy, std::uint32_t flags);
bool IsTopMost(CalWnd wnd);

// The handling a window gets for what its procedure leaves: kMsgClose
// destroys it, kMsgSetText / kMsgGetText keep its text.
std::intptr_t DefWindowProc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// Calls the window's procedure and returns its answer; 0 for no window.
std::intptr_t SendMessage(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace masscal::platform
