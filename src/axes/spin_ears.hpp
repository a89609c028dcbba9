// Spin ears: up/down steps attached to an edit control that holds a number,
// for hosts and keyboards to nudge the value within its limits.
#pragma once

#include "masscal/ui.h"

// Attaches ears to edit: a step changes the value by step, a page by page,
// and the value is shown with decimals digits. With clamp non-zero the value
// stays within min..max; with notify non-zero each change is announced to the
// edit's parent as typing would. style and acceleration are kept for hosts
// that draw the ears. Attaching again replaces the settings. 0 when edit is
// not a window.
int EarAddEars(CalWnd edit, int style, double acceleration, double step, double page, double max, double min,
               int decimals, int clamp, int notify);
// Moves the value of edit by count steps (pages when page is non-zero);
// negative counts go down. 0 when edit has no ears.
int EarSpin(CalWnd edit, int count, int page);
// Whether edit has ears, and their settings.
struct EarSettings {
    int style;
    double acceleration, step, page, max, min;
    int decimals, clamp, notify;
};
int EarGetSettings(CalWnd edit, EarSettings* out);
