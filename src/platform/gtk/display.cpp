// The exported face of the display: opening it and running its loop.
#include "masscal/display.h"

#include "platform/gtk/gtk_backend.hpp"

namespace {

// A quit asked for before the loop runs ends the next run at once.
bool g_quit_pending = false;

}  // namespace

extern "C" {

MASSCAL_API int32_t CalOpenDisplay(void) { return masscal::platform::gtk::open_display() ? 1 : 0; }

MASSCAL_API void CalRunMessageLoop(void) {
    if (!masscal::platform::gtk::display_open()) return;
    if (!g_quit_pending) gtk_main();
    g_quit_pending = false;
}

MASSCAL_API void CalQuitMessageLoop(void) {
    if (!masscal::platform::gtk::display_open()) return;
    if (gtk_main_level() > 0)
        gtk_main_quit();
    else
        g_quit_pending = true;
}

}  // extern "C"
