// The window record behind a handle, shared by the files of the window
// layer (and nothing outside it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/device_context.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/menu.hpp"
#include "platform/win/window.hpp"

namespace masscal::platform {

class Menu {
public:
    struct Item {
        int id = 0;
        std::string text;
        std::uint32_t flags = 0;
    };
    std::string text;
    bool right_aligned = false;
    std::vector<Item> items;               // a popup's items
    std::vector<std::unique_ptr<Menu>> popups;  // a menu bar's popups

    static std::unique_ptr<Menu> from_template(const MenuTemplate& t);
    Item* find(int id, int* popupIndex = nullptr);
};

struct DialogData {
    DlgProc proc = nullptr;
    std::intptr_t param = 0;
    const DialogTemplate* tmpl = nullptr;
    DialogBaseUnits units;
    bool ended = false;
    std::intptr_t result = 0;
};

struct ControlData {
    ControlKind kind = ControlKind::text;
    int check = kUnchecked;
    int sel_first = 0, sel_last = 0;
    std::vector<std::string> items;  // combo box entries
    int current = kCbErr;
};

}  // namespace masscal::platform

struct CalWindow {
    std::uint64_t serial = 0;
    std::thread::id thread;
    CalWindow* parent = nullptr;
    CalWindow* owner = nullptr;
    std::vector<CalWindow*> children;
    CalRect rect{};  // parent's client coordinates, or screen for a top-level
    masscal::platform::WndProc proc = nullptr;
    void* user = nullptr;
    bool invalid = false;
    bool erase = false;
    bool enabled = true;
    bool visible = true;
    bool iconic = false;
    bool topmost = false;
    bool hollow = false;  // a frame: erasing it would wipe the siblings it surrounds
    int id = 0;
    std::uint32_t style = 0;
    masscal::platform::Colour background = 0xFFFFFF;
    std::string text;
    std::string class_name;
    std::unique_ptr<masscal::platform::Menu> menu;
    std::unique_ptr<masscal::platform::DialogData> dialog;
    std::unique_ptr<masscal::platform::ControlData> control;
    std::unique_ptr<CalDeviceContext> surface;  // top-level only
    std::vector<std::unique_ptr<CalDeviceContext>> dcs;
};

namespace masscal::platform::detail {

// The window of a live handle, or null.
CalWindow* live_window(CalWnd wnd);
// A window in the making: registered and linked, no message sent yet.
CalWindow* new_window(CalWindow* parent, CalWindow* owner, const CalRect& rect, WndProc proc, void* user);
// Serial number of a live handle (0 for none), to tell a handle from a later
// window at the same address.
std::uint64_t serial_of(CalWnd wnd);
// Called when a window goes: focus, capture and queued messages forget it.
void forget_focus(CalWindow* w);
void forget_capture(CalWindow* w);
int width_of(const CalRect& r);
int height_of(const CalRect& r);
// Paints a window and what of its children is still invalid.
void update_tree(CalWindow* w);
bool tree_invalid(const CalWindow* w);
CalWnd focus();
void set_focus(CalWindow* w);
// The top-level windows of every thread, in order of creation.
std::vector<CalWindow*> top_level_snapshot();
// Light grey of dialog faces and buttons.
constexpr Colour kFaceColour = 0xF0F0F0;

}  // namespace masscal::platform::detail
