// The process-wide registry of the suite's single-instance windows: each
// kind of window keeps its handle in a numbered slot so a second request
// brings up the window already open.
#pragma once

#include "masscal/ui.h"

constexpr int kDialogSlots = 64;

// The window in slot (0..63); null for an empty slot, a slot out of range or
// a window destroyed since it was stored.
CalWnd GetGlobalDialogWnd(int slot);
// Stores wnd (null empties the slot); out-of-range slots are ignored.
void SetGlobalDialogWnd(int slot, CalWnd wnd);
