// Window placements kept in the settings store, so a window opens where the
// user last left it. A placement is stored as one value,
// "showCmd,left,top,right,bottom" (screen pixels).
#pragma once

#include <cstdint>

#include "masscal/graphs.h"

struct WindowPlacement {
    std::int32_t showCmd;  // 1 shown normally, 2 minimised
    CalRect rcNormal;      // the window's rectangle when not minimised
};

// The placement of wnd; 0 when wnd is not a window.
int ObtainWindPos(CalWnd wnd, WindowPlacement* out);
// Stores the placement under section/key; with save non-zero the settings
// file is written now even when the settings are loaded. Non-zero on success.
int SetIniWindPos(const char* section, const char* key, const WindowPlacement* placement, int save);
// Reads the rectangle stored under section/key (flags: reserved, 0). 0 when
// none is stored or what is stored is not a placement with a positive size.
int GetIniWindPos(const char* section, const char* key, int flags, CalRect* rect);
