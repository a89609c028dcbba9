// How the built-in controls, a caption and a menu bar look when painted.
#pragma once

#include <string>

#include "platform/gdi/device_context.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform::paint {

// The font of dialogs and menus (DejaVu Sans at 8 points on a 96 dpi screen).
HFont dialog_font();
// The text without its mnemonic markers ("&File" -> "File", "&&" -> "&").
std::string without_mnemonic(const std::string& text);
void control(CalDC dc, const CalWindow& w);
// A flat box outline.
void frame(CalDC dc, const CalRect& r, Colour c);

}  // namespace masscal::platform::paint
