/*
 * The library's windows on a screen. Until a display is opened the windows
 * are headless (they paint into images and a host drives them with the calls
 * of masscal/window.h). CalOpenDisplay shows them through GTK 3 from then
 * on: each top-level window (the calibration window, its dialogs) becomes a
 * window of the desktop with its menu bar and controls, and the mouse, the
 * keyboard and the menus drive it. Message boxes, file choosers and the
 * parameter dialog appear on the screen too, unless the host installed its
 * own UI provider (masscal/ui_provider.h).
 *
 * Call everything here and every window call on one thread, the one that
 * runs the main loop. A host with a GTK main loop of its own opens the
 * display and runs its loop as usual; others run CalRunMessageLoop.
 */
#ifndef MASSCAL_DISPLAY_H
#define MASSCAL_DISPLAY_H

#include <stdint.h>

#include "masscal/export.h"

MASSCAL_BEGIN_C

/* Opens the display named by the environment: an X11 display (DISPLAY)
 * first, as only there windows can be put back where they were, else the
 * desktop's own (WAYLAND_DISPLAY). 1 when open (also when it was already),
 * 0 when there is none; the windows then stay headless. Open it before
 * making windows. */
MASSCAL_API int32_t CalOpenDisplay(void);
/* Runs the main loop (posted messages, painting, input) until
 * CalQuitMessageLoop is called, typically by the finished callback of the
 * owner window. Returns at once when no display is open. */
MASSCAL_API void CalRunMessageLoop(void);
MASSCAL_API void CalQuitMessageLoop(void);

MASSCAL_END_C

#endif
