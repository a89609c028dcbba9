// Menus as data. A menu bar holds popups; a popup holds items and
// separators. A window gets its own copy of its class's menu, so enabling,
// greying and renaming items by command number touches only that window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/window.hpp"

namespace masscal::platform {

struct MenuItemTemplate {
    int id = 0;              // 0 with an empty text: a separator
    const char* text = "";
    std::uint32_t flags = 0; // kMfGrayed ...
};

struct MenuPopupTemplate {
    const char* text = "";
    const MenuItemTemplate* items = nullptr;
    int item_count = 0;
    bool right_aligned = false;  // this and the popups after it sit at the right end
};

struct MenuTemplate {
    const char* name = "";
    const MenuPopupTemplate* popups = nullptr;
    int popup_count = 0;
};

class Menu;
using HMenu = Menu*;

enum : std::uint32_t {
    kMfByCommand = 0x0000,
    kMfEnabled = 0x0000,
    kMfGrayed = 0x0001,
    kMfDisabled = 0x0002,
    kMfString = 0x0000,
    kMfByPosition = 0x0400,
    kMfPopup = 0x0010,
    kMfRightJustify = 0x4000,
    kMfSeparator = 0x0800
};
enum : std::uint32_t { kMenuNoItem = 0xFFFFFFFFu };

// The window's menu bar; null when it has none.
HMenu GetMenu(CalWnd wnd);
// Popup index of the menu bar; null beyond the last.
HMenu GetSubMenu(HMenu menu, int index);
int GetMenuItemCount(HMenu menu);
// Sets kMfGrayed / kMfDisabled of the item with command id (in any popup);
// returns the previous state, or kMenuNoItem when there is no such item.
std::uint32_t EnableMenuItem(HMenu menu, int id, std::uint32_t flags);
// Replaces the text of the item with command id, keeping its command number
// when newId equals it. False for no such item.
bool ModifyMenu(HMenu menu, int id, std::uint32_t flags, int newId, const char* text);
// The item's state flags, or kMenuNoItem. With kMfByPosition in flags, item
// is a position: in a menu bar a popup's (kMfPopup, and kMfRightJustify
// when it sits at the right end), else an item's.
std::uint32_t GetMenuState(HMenu menu, int item, std::uint32_t flags);
// The item's text ("" for none); by position as GetMenuState.
std::string GetMenuString(HMenu menu, int item, std::uint32_t flags = kMfByCommand);
// The command number of the item at position pos of a popup: 0 for a
// separator, -1 for a popup of a menu bar or no such item.
int GetMenuItemID(HMenu menu, int pos);

// The user opens the popup holding command id and chooses the item: the
// window gets kMsgInitMenuPopup for that popup, then, if the item is enabled
// after it, kMsgCommand (id, 0, 0). False when there is no such item or it
// is greyed or disabled (no command then).
bool ChooseMenuItem(CalWnd wnd, int id);

}  // namespace masscal::platform
