// Spectrum calibrations of a time-of-flight window: start a new one, open a
// saved one, save the current one under a new name (*.scl files).
#pragma once

#include "masscal/calib.h"

namespace masscal::window {

int new_spectrum_calibration(CalWnd wnd, CalRecord* rec);
int open_spectrum_calibration(CalWnd wnd, CalRecord* rec);
int save_spectrum_calibration(CalWnd wnd, CalRecord* rec);

// What the signature library calls back with once a request is granted;
// data is the record.
int open_callback(const char* path, void* data);
int save_callback(const char* path, void* data);

}  // namespace masscal::window
