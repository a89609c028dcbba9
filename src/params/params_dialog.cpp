// The "Calibration Parameters" dialog: edits a parameter block with range
// checks, offering the automatic restraint only for accurate-mass data.
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "axes/spin_ears.hpp"
#include "masscal/params.h"
#include "platform/c_locale.hpp"
#include "platform/ui.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/messages.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/utility/ftoa.hpp"

using namespace masscal::platform;

namespace {

enum : int {
    kPeakWindow = CAL_PARAMS_PEAK_WINDOW,
    kInitialError = CAL_PARAMS_INITIAL_ERROR,
    kIntensityWeight = CAL_PARAMS_INTENSITY_WEIGHT,
    kThreshold = CAL_PARAMS_THRESHOLD,
    kPolyOrder = CAL_PARAMS_POLY_ORDER,
    kAutoRestrain = CAL_PARAMS_AUTO_RESTRAIN,
    kAutoPeakMatch = CAL_PARAMS_AUTO_PEAK_MATCH,
    kCalibrateDisplay = CAL_PARAMS_CALIBRATE_DISPLAY,
    kLabel = -1
};

constexpr int kMaxPolyOrder = 5;
constexpr int kTextSize = 80;

constexpr ControlTemplate kControls[] = {
    {kLabel, ControlKind::group_box, "Peak Match", 6, 4, 208, 82, 0},
    {kAutoPeakMatch, ControlKind::check_box, "Perform &auto peak matching", 14, 16, 150, 10, kWsTabStop},
    {kLabel, ControlKind::text, "Peak &window (Da)      +/-", 14, 33, 110, 8, 0},
    {kPeakWindow, ControlKind::edit, "", 130, 31, 50, 12, kWsTabStop},
    {kLabel, ControlKind::text, "Initial &error (Da)", 14, 50, 110, 8, 0},
    {kInitialError, ControlKind::edit, "", 130, 48, 50, 12, kWsTabStop},
    {kLabel, ControlKind::text, "Intensity &threshold", 14, 67, 110, 8, 0},
    {kThreshold, ControlKind::edit, "", 130, 65, 50, 12, kWsTabStop},
    {kLabel, ControlKind::group_box, "Curve Fit", 6, 90, 208, 62, 0},
    {kAutoRestrain, ControlKind::check_box, "Automatically &restrain polynomial coefficients", 14, 102, 196, 10,
     kWsTabStop},
    {kLabel, ControlKind::text, "&Polynomial order", 14, 119, 110, 8, 0},
    {kPolyOrder, ControlKind::edit, "", 130, 117, 30, 12, kWsTabStop},
    {kIntensityWeight, ControlKind::check_box, "&Intensity weighting", 14, 136, 150, 10, kWsTabStop},
    {kLabel, ControlKind::group_box, "Display", 6, 156, 208, 26, 0},
    {kCalibrateDisplay, ControlKind::check_box, "&Calibrate display", 14, 167, 150, 10, kWsTabStop},
    {kIdOk, ControlKind::default_push_button, "OK", 46, 188, 50, 14, kWsTabStop},
    {kIdCancel, ControlKind::push_button, "Cancel", 124, 188, 50, 14, kWsTabStop},
};

constexpr DialogTemplate kCalParams{"CAL_PARAMS",
                                    nullptr,
                                    "Calibration Parameters",
                                    "Helv",
                                    8,
                                    kWsPopup | kWsVisible | kWsCaption | kWsSysMenu | kDsModalFrame,
                                    20,
                                    20,
                                    220,
                                    208,
                                    kControls,
                                    static_cast<int>(std::size(kControls))};

// The library-wide working copies, from one edit call to the next.
CalParams working{};
RawFileRef working_file{};

void show_real(CalWnd dlg, int id, float value) {
    char text[kFtoaBufferSize];
    SetDlgItemText(dlg, id, ftoa(value, text, 2));
}

// Accurate-mass data, or data whose acquisition word says it could be.
bool offers_restraint(const RawFileRef& file) {
    if (!file.szDirectory[0]) return false;
    std::uint16_t kind = 0;
    if (masscal::dm::DmRawIsAccurateMass(&file, &kind)) return true;
    if (kind == 0 || (kind & 0x0700) != 0) return false;
    const int low = kind & 0xFF;
    return low == 0 || low >= 6;
}

void add_ears(CalWnd dlg, int id, double step, double page, double max, double min, int decimals) {
    EarAddEars(GetDlgItem(dlg, id), 0, 0.1, step, page, max, min, decimals, 1, 1);
}

void focus_and_select(CalWnd dlg, int id) {
    CalWnd edit = GetDlgItem(dlg, id);
    SetFocus(edit);
    SendMessage(edit, kEmSetSel, 0, -1);
}

void initialise(CalWnd dlg) {
    show_real(dlg, kPeakWindow, working.PeakWindow);
    show_real(dlg, kInitialError, working.InitialError);
    show_real(dlg, kThreshold, working.Threshold);
    char text[16];
    c_snprintf(text, sizeof text, "%i", static_cast<int>(working.PolyOrder));
    SetDlgItemText(dlg, kPolyOrder, text);

    if (offers_restraint(working_file)) {
        CheckDlgButton(dlg, kAutoRestrain, working.AutoPolyOrder ? kChecked : kUnchecked);
        if (working.AutoPolyOrder) EnableWindow(GetDlgItem(dlg, kPolyOrder), false);
        EnableWindow(GetDlgItem(dlg, kIntensityWeight), false);
    } else {
        EnableWindow(GetDlgItem(dlg, kAutoRestrain), false);
    }
    CheckDlgButton(dlg, kIntensityWeight, working.IntensityWeight ? kChecked : kUnchecked);
    CheckDlgButton(dlg, kAutoPeakMatch, working.AutoPeakMatch ? kChecked : kUnchecked);
    CheckDlgButton(dlg, kCalibrateDisplay, working.CalibrateDisplay ? kChecked : kUnchecked);

    add_ears(dlg, kPeakWindow, 0.1, 0.1, 100.0, 0.0, 1);
    add_ears(dlg, kInitialError, 0.1, 0.1, 100.0, 0.0, 1);
    add_ears(dlg, kThreshold, 1.0, 1.0, 100.0, 0.0, 1);
    add_ears(dlg, kPolyOrder, 1.0, 1.0, 5.0, 1.0, 0);

    focus_and_select(dlg, kPeakWindow);
    focus_and_select(dlg, kPolyOrder);
}

float read_real(CalWnd dlg, int id) {
    char text[kTextSize] = "";
    GetDlgItemText(dlg, id, text, sizeof text);
    return static_cast<float>(c_atof(text));
}

bool complain(CalWnd dlg, const char* text) {
    MessageBox(dlg, text, "Calibrate", CAL_MB_ICONEXCLAMATION);
    return false;
}

// Takes the controls into the working copy; false (after saying why) when a
// value is out of range.
bool accept(CalWnd dlg) {
    working.PeakWindow = read_real(dlg, kPeakWindow);
    working.InitialError = read_real(dlg, kInitialError);
    working.Threshold = read_real(dlg, kThreshold);
    char text[kTextSize] = "";
    GetDlgItemText(dlg, kPolyOrder, text, sizeof text);
    working.PolyOrder = c_atoi(text);
    working.IntensityWeight = IsDlgButtonChecked(dlg, kIntensityWeight) ? 1 : 0;
    working.AutoPeakMatch = IsDlgButtonChecked(dlg, kAutoPeakMatch) ? 1 : 0;
    working.CalibrateDisplay = IsDlgButtonChecked(dlg, kCalibrateDisplay) ? 1 : 0;
    working.AutoPolyOrder = IsDlgButtonChecked(dlg, kAutoRestrain) ? 1 : 0;

    // Written so that NaN fails too.
    if (!(working.PeakWindow >= 0.0f && working.PeakWindow <= 100.0f))
        return complain(dlg, "Peak window must be between 0 and 100.");
    if (!(working.InitialError >= 0.0f && working.InitialError <= 100.0f))
        return complain(dlg, "Initial error must be between 0 and 100.");
    if (!(working.Threshold >= 0.0f && working.Threshold <= 100.0f))
        return complain(dlg, "Threshold must be between 0 and 100.");
    if (working.PolyOrder < 1 || working.PolyOrder > kMaxPolyOrder) {
        char message[64];
        c_snprintf(message, sizeof message, "Polynomial order must be between 1 and %d.", kMaxPolyOrder);
        return complain(dlg, message);
    }
    return true;
}

std::intptr_t params_proc(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t) {
    switch (msg) {
        case kMsgInitDialog:
            initialise(dlg);
            return 0;
        case kMsgCommand:
            switch (low_word(wParam)) {
                case kAutoRestrain: {
                    const bool restrained = IsDlgButtonChecked(dlg, kAutoRestrain) != 0;
                    EnableWindow(GetDlgItem(dlg, kPolyOrder), !restrained);
                    EnableWindow(GetDlgItem(dlg, kIntensityWeight), !restrained);
                    return 1;
                }
                case kIdOk:
                    if (accept(dlg)) EndDialog(dlg, 1);
                    return 1;
                case kIdCancel:
                    EndDialog(dlg, 2);
                    return 1;
                default:
                    return 0;
            }
        default:
            return 0;
    }
}

int edit_working_copy(CalWnd owner, CalParams* params) {
    working = *params;
    if (DialogBoxIndirectParam(kCalParams, owner, params_proc, 0) != 1) return 0;
    *params = working;
    return 1;
}

}  // namespace

extern "C" MASSCAL_API int32_t CalEditParams(CalWnd hwndOwner, CalParams* pParams) {
    if (!pParams) return 0;
    return edit_working_copy(hwndOwner, pParams);
}

extern "C" MASSCAL_API int32_t CalEditParamsExt(CalWnd hwndOwner, CalParams* pParams, RawFileRef* pFile) {
    if (!pParams) return 0;
    if (pFile) {
        working_file = *pFile;
        if (working_file.wFunction == 0) working_file.wFunction = 1;
    } else {
        working_file = RawFileRef{};
    }
    return edit_working_copy(hwndOwner, pParams);
}
