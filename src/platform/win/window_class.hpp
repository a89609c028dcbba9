// Window classes: a named procedure with the attributes its windows share.
// A window made from a dialog template of a class gets the class's
// procedure and a copy of the class's menu.
#pragma once

#include <cstdint>

#include "platform/gdi/cursor.hpp"
#include "platform/win/window.hpp"

namespace masscal::platform {

struct MenuTemplate;

enum : std::uint32_t { kCsVRedraw = 0x0001, kCsHRedraw = 0x0002 };

struct WindowClass {
    const char* name = nullptr;  // compared without regard to case
    std::uint32_t style = 0;
    WndProc proc = nullptr;
    int class_extra = 0;
    int window_extra = 0;
    int icon = 0;                        // resource number of the icon
    Cursor cursor = Cursor::arrow;
    int background = 0;                  // system colour index + 1
    const MenuTemplate* menu = nullptr;  // null: no menu
    const char* menu_name = nullptr;
};

// Registers a copy of cls (name and menu pointers are kept: give them static
// storage). False when the name is empty or taken, or memory is short.
bool RegisterWindowClass(const WindowClass& cls);
bool UnregisterWindowClass(const char* name);
// Null when no class of that name is registered.
const WindowClass* FindWindowClass(const char* name);

}  // namespace masscal::platform
