// What the calibration window keeps besides the record: one instance per
// process, as only one window exists at a time.
#pragma once

#include <vector>

#include "masscal/calib.h"
#include "masscal/graphs.h"
#include "axes/axes.hpp"

namespace masscal::window {

struct PendingPick {
    float mass = -1.0f;
    float intensity = 0.0f;
};

// The pairs as they were before a right click changed them.
struct PairsSnapshot {
    float mass = 0.0f;  // the data peak the click was on
    int count = 0;
    std::vector<std::vector<unsigned char>> arrays;  // the first `count` elements of each pair array
    bool operator==(const PairsSnapshot&) const = default;
};

// What the last right click did to the pairs: shown on the graphs.
struct LastEdit {
    float mass = -1.0f;  // none below 0
    bool paired = false;
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
    std::vector<PairsSnapshot> undo;  // Edit > Undo Pairing, newest last; for this window
    LastEdit last_edit;
    int new_counter = 1;          // "SCL<n>" of the next New; never reset
};

// The one window state of the process (the window lives on the UI thread).
inline WindowState& state() {
    static WindowState s;
    return s;
}

}  // namespace masscal::window
