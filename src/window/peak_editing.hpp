// The mouse on the graphs: a left drag zooms the mass range of all graphs,
// a right click pairs or unpairs a spectrum peak with a reference peak, and
// the calibration is then fitted again on the edited pairs.
#pragma once

#include <cstdint>

#include "masscal/calib.h"
#include "masscal/graphs.h"

namespace masscal::window {

// Nearest value to t in an ascending list of n values a[i] (or a[i] - b[i]
// with b): nearest index and the first index whose value exceeds t (-1 for
// none). True when the nearest lies within 1/16 amu.
bool find_nearest(const float* a, const float* b, int n, float t, int* nearest, int* insert);

// Mouse move and left button messages; point in the dialog's client
// coordinates. 1 when handled.
int zoom_handler(CalWnd area, GraphLayout* layout, CalRecord* rec, std::uint32_t msg, std::intptr_t lParam);

struct PeakHit {
    float mass = 0.0f;
    float intensity = 0.0f;
    int which = -1;  // 0 spectrum, 1 reference, -1 neither
    float mass_error = 0.0f;
    float second = 0.0f;
    bool excluded = false;
    bool found = false;  // false: nothing under the pointer
};
PeakHit hit_test(CalWnd area, const CalRecord* rec, const GraphLayout* layout, std::intptr_t lParam);

// Pairs data peak m (intensity, uncertainty e, second value q) with the
// reference peak nearest `pending` (time-of-flight windows) or nearest m,
// or removes its pair when it has one.
void manual_assignment(CalRecord* rec, float m, float intensity, float pending, float e, float q);

// Right button up in the dialog. A reference peak becomes the pending pick;
// a change to the pairs can be undone.
void right_click(CalWnd dlg, CalWnd area, CalRecord* rec, GraphLayout* layout, std::intptr_t lParam);

// Puts the pairs back as they were before the last right click that changed
// them and fits again; false when there is nothing to undo.
bool undo_pairing(CalWnd dlg, CalRecord* rec, GraphLayout* layout);
// Forgets what can be undone (the pairs were made anew).
void forget_pairing_edits();

// Over the graphs on the screen: the pending reference peak of a
// time-of-flight window and the data peak of the last right click.
void paint_marks(CalWnd area, const CalRecord* rec, const GraphLayout* layout);

}  // namespace masscal::window
