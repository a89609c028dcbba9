// The window system behind the window layer. The layer keeps every window's
// state, runs the procedures and paints into each top-level window's image;
// a backend shows that on a screen and turns the user's input back into
// messages. The headless backend (the default) shows nothing, and its modal
// dialogs are played by the UI provider.
#pragma once

#include "platform/win/window.hpp"

namespace masscal::platform {

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    // A top-level window was shown or hidden.
    virtual void shown(CalWnd wnd, bool visible);
    // The window's state changed (text, check, list, selection, enabled) or
    // it needs painting; for a top-level window also its image.
    virtual void changed(CalWnd wnd);
    // The program moved or sized the window (MoveWindow, SetWindowPos).
    virtual void moved(CalWnd wnd);
    // The window goes, after its children (still a window during the call).
    virtual void destroying(CalWnd wnd);
    // The calling thread's capture changed (null: released).
    virtual void capture_changed(CalWnd wnd);
    // A message was queued on the calling thread: the host's loop must pump.
    virtual void posted();
    // Runs a modal dialog until EndDialog (or its destruction). The headless
    // backend lets the UI provider play it.
    virtual void run_modal(CalWnd dialog);
    // True when the window system draws the control itself, so the layer
    // does not paint it into the image.
    virtual bool draws_control(CalWnd control);
};

// Installs b for the process (null restores the headless backend) and
// returns the previous one. Install before any window is made.
WindowBackend* set_window_backend(WindowBackend* b);
WindowBackend& window_backend();

// What the window system reports: the user moved or sized a top-level
// window. rect is the window's new rectangle (as GetWindowRect gives it);
// kMsgSize follows only when the size changed.
void NoteWindowRect(CalWnd wnd, const CalRect& rect);

}  // namespace masscal::platform
