// What the calibration window keeps besides the record: one instance per
// process, as only one window exists at a time.
#pragma once

#include "masscal/calib.h"
#include "masscal/graphs.h"
#include "axes/axes.hpp"

namespace masscal::window {

struct PendingPick {
    float mass = -1.0f;
    float intensity = 0.0f;
};

struct WindowState {
    CalWnd dialog = nullptr;
    CalRecord* record = nullptr;
    GraphLayout layout{};
    // Set by Accept/Reject Calibration; cleared for each new window, so a
    // later window's Exit asks again.
    int finished_by_menu = 0;
    int accepted_by_menu = 0;
    std::uintptr_t close_param = 0;
    PendingPick pending;          // survives from one window to the next
    AxsHandle zoom_graph = nullptr;
    int new_counter = 1;          // "SCL<n>" of the next New; never reset
};

// The one window state of the process (the window lives on the UI thread).
inline WindowState& state() {
    static WindowState s;
    return s;
}

}  // namespace masscal::window
