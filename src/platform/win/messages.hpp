// Message numbers and the packing of message parameters. They keep their
// Windows values: hosts, settings and the window's own protocol (user
// messages such as the finished notification) know them by number.
#pragma once

#include <cstdint>

namespace masscal::platform {

enum : std::uint32_t {
    kMsgCreate = 0x0001,
    kMsgDestroy = 0x0002,
    kMsgSize = 0x0005,      // lParam: client width | height << 16
    kMsgSetFocus = 0x0007,
    kMsgSetText = 0x000C,   // lParam: const char*
    kMsgGetText = 0x000D,   // wParam: buffer size, lParam: char*; returns the length copied
    kMsgGetTextLength = 0x000E,
    kMsgPaint = 0x000F,
    kMsgClose = 0x0010,
    kMsgInitDialog = 0x0110,     // wParam: control to get the focus, lParam: creation parameter
    kMsgCommand = 0x0111,        // wParam: id | notification << 16, lParam: control (or 0)
    kMsgInitMenuPopup = 0x0117,  // wParam: HMenu of the popup, lParam: popup index
    kMsgMouseMove = 0x0200,      // lParam: x | y << 16 (client coordinates, signed 16 bit)
    kMsgLButtonDown = 0x0201,
    kMsgLButtonUp = 0x0202,
    kMsgRButtonDown = 0x0204,
    kMsgRButtonUp = 0x0205,
    kMsgUser = 0x0400
};

// Control messages.
enum : std::uint32_t {
    kEmSetSel = 0x00B1,       // wParam: first, lParam: last (-1: to the end)
    kBmGetCheck = 0x00F0,
    kBmSetCheck = 0x00F1,     // wParam: kChecked / kUnchecked
    kCbAddString = 0x0143,    // lParam: const char*; returns the index
    kCbDir = 0x0145,          // wParam: attributes, lParam: pattern; returns the last index added or kCbErr
    kCbGetCount = 0x0146,
    kCbGetCurSel = 0x0147,
    kCbGetLbText = 0x0148,    // wParam: index, lParam: char* (large enough); returns the length
    kCbGetLbTextLen = 0x0149,
    kCbResetContent = 0x014B,
    kCbSetCurSel = 0x014E,
    kCbSelectString = 0x014D  // wParam: index to start after (-1: from the start), lParam: prefix
};

enum : int { kCbErr = -1 };
enum : int { kUnchecked = 0, kChecked = 1 };

// Notification codes in the high word of a command's wParam.
enum : std::uint16_t { kBnClicked = 0, kEnChange = 0x0300, kCbnSelChange = 1 };

// Command ids of the standard buttons.
enum : int { kIdOk = 1, kIdCancel = 2 };

constexpr std::intptr_t make_lparam(int lo, int hi) {
    return static_cast<std::intptr_t>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr std::uintptr_t make_wparam(int lo, int hi) {
    return static_cast<std::uintptr_t>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
// Signed coordinates of a mouse message's lParam.
constexpr int lparam_x(std::intptr_t lp) { return static_cast<std::int16_t>(lp & 0xFFFF); }
constexpr int lparam_y(std::intptr_t lp) { return static_cast<std::int16_t>((lp >> 16) & 0xFFFF); }
constexpr int low_word(std::uintptr_t v) { return static_cast<int>(v & 0xFFFF); }
constexpr int high_word(std::uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }

}  // namespace masscal::platform
