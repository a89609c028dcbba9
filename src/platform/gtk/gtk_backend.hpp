// The window layer on a screen through GTK 3: top-level windows become
// GtkWindows with their menu bars, controls become widgets, the client area
// shows the window's image, and the user's input comes back as messages.
#pragma once

#include <gtk/gtk.h>

#include "masscal/ui.h"

namespace masscal::platform::gtk {

// Opens the display (once per process; later calls answer as the first)
// and installs the backend and the GTK UI provider as the default. False
// when there is no display to open.
bool open_display();
bool display_open();

// The GtkWindow showing wnd's top-level window; null when it has none.
GtkWindow* gtk_window_of(CalWnd wnd);

// The UI provider of message boxes and file choosers (gtk_ui.cpp).
void install_ui_provider();

}  // namespace masscal::platform::gtk
