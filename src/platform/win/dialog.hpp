// Dialogs built from templates held as data: positions and sizes in dialog
// units, controls by id and kind. A modeless dialog lives until it is
// destroyed; a modal one runs until its procedure calls EndDialog, while the
// UI provider plays the user (UiProvider::run_modal).
#pragma once

#include <cstdint>

#include "platform/win/window.hpp"

namespace masscal::platform {

// A dialog procedure answers non-zero for a message it handled (and for
// kMsgInitDialog: zero when it set the focus itself). What it leaves, the
// window's default handling does.
using DlgProc = std::intptr_t (*)(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

enum class ControlKind {
    push_button,
    default_push_button,
    check_box,  // automatic: a click toggles it
    edit,
    text,         // static text, left-aligned
    black_frame,  // static drawn as a black outline
    plain,        // static that draws nothing (an area for the owner to paint)
    group_box,
    combo_box     // drop-down list
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::text;
    const char* text = "";
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::uint32_t style = 0;           // kWsDisabled, kWsTabStop ... passed through
};

// Window styles a template may give.
enum : std::uint32_t {
    kWsPopup = 0x80000000u,
    kWsVisible = 0x10000000u,
    kWsDisabled = 0x08000000u,
    kWsCaption = 0x00C00000u,
    kWsSysMenu = 0x00080000u,
    kWsThickFrame = 0x00040000u,
    kWsMinimizeBox = 0x00020000u,
    kWsMaximizeBox = 0x00010000u,
    kWsTabStop = 0x00010000u,
    kDsModalFrame = 0x00000080u
};

struct DialogTemplate {
    const char* name = "";        // the resource name, for messages
    const char* class_name = nullptr;  // null: the standard dialog class
    const char* title = "";
    const char* font = "MS Sans Serif";  // drawn with a metric-compatible face
    int point_size = 8;
    std::uint32_t style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    const ControlTemplate* controls = nullptr;
    int control_count = 0;
};

// Pixels per dialog unit follow the template font's average character:
// x pixels = units * base_x / 4, y pixels = units * base_y / 8.
struct DialogBaseUnits {
    int base_x = 6;
    int base_y = 13;
};
DialogBaseUnits GetDialogBaseUnits(const DialogTemplate& tmpl);
// Converts rect from the dialog's units into pixels.
bool MapDialogRect(CalWnd dlg, CalRect* rect);

// Creates the dialog (owned by owner, which may be null) with its controls,
// sends kMsgInitDialog with param, gives the focus as the procedure asks and
// shows the dialog when the template is visible. Null when the class is not
// registered, memory is short or the owner is not a window.
CalWnd CreateDialogIndirectParam(const DialogTemplate& tmpl, CalWnd owner, DlgProc proc, std::intptr_t param);
// Modal: creates the dialog disabled-owner style, lets the UI provider run
// it and returns the EndDialog result; when the provider returns without an
// end, the dialog gets kIdCancel as a command, and ends with kIdCancel if it
// still has not. -1 when the dialog could not be created.
std::intptr_t DialogBoxIndirectParam(const DialogTemplate& tmpl, CalWnd owner, DlgProc proc, std::intptr_t param);
// Ends a modal dialog with result (destroys it when its run returns).
bool EndDialog(CalWnd dlg, std::intptr_t result);
// Whether EndDialog was called for dlg, and with what.
bool IsDialogEnded(CalWnd dlg, std::intptr_t* result);

// The default handling of a dialog's messages (the procedure of the
// standard dialog class, which every dialog class procedure forwards to):
// calls the dialog procedure, and for what it leaves: kMsgClose becomes a
// kIdCancel command, the rest goes to DefWindowProc.
std::intptr_t DefDlgProc(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
DlgProc GetDialogProc(CalWnd dlg);
std::intptr_t GetDialogParam(CalWnd dlg);
const DialogTemplate* GetDialogTemplate(CalWnd dlg);

CalWnd GetDlgItem(CalWnd dlg, int id);
int GetDlgCtrlID(CalWnd ctrl);
std::intptr_t SendDlgItemMessage(CalWnd dlg, int id, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
bool SetDlgItemText(CalWnd dlg, int id, const char* text);
// Copies at most size - 1 characters and a terminator; returns the length.
int GetDlgItemText(CalWnd dlg, int id, char* buffer, int size);
bool CheckDlgButton(CalWnd dlg, int id, int check);
int IsDlgButtonChecked(CalWnd dlg, int id);

}  // namespace masscal::platform
