// The calibration window's dialog procedure: initialisation, painting,
// commands, the mouse, printing and the close protocol.
#pragma once

#include <cstdint>

#include "masscal/calib.h"

namespace masscal::window {

std::intptr_t calibration_dialog_proc(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// Sends the owner the finished notification.
void notify_finished(const CalRecord* rec, int accepted, std::intptr_t closeParam);

}  // namespace masscal::window
