#include "platform/win/dialog.hpp"

#include <algorithm>
#include <cstring>

#include "platform/win/backend.hpp"
#include "platform/win/message_queue.hpp"
#include "platform/win/window_class.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform {

std::intptr_t control_proc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

namespace {

CalRect to_pixels(const DialogBaseUnits& u, int x, int y, int cx, int cy) {
    const int left = x * u.base_x / 4;
    const int top = y * u.base_y / 8;
    return CalRect{left, top, left + cx * u.base_x / 4, top + cy * u.base_y / 8};
}

DialogData* dialog_of(CalWnd dlg) {
    CalWindow* w = detail::live_window(dlg);
    return w ? w->dialog.get() : nullptr;
}

CalWnd first_tab_stop(CalWindow* dlg) {
    for (CalWindow* c : dlg->children)
        if ((c->style & kWsTabStop) && c->enabled && c->visible) return c;
    return dlg->children.empty() ? nullptr : dlg->children.front();
}

bool add_control(CalWindow* dlg, const DialogBaseUnits& u, const ControlTemplate& ct) {
    CalWindow* c = detail::new_window(dlg, nullptr, to_pixels(u, ct.x, ct.y, ct.cx, ct.cy), control_proc, nullptr);
    if (!c) return false;
    try {
        c->control = std::make_unique<ControlData>();
        c->text = ct.text ? ct.text : "";
    } catch (...) {
        DestroyWindow(c);
        return false;
    }
    c->control->kind = ct.kind;
    c->id = ct.id;
    c->style = ct.style;
    c->enabled = !(ct.style & kWsDisabled);
    c->background = dlg->background;
    c->hollow = ct.kind == ControlKind::black_frame || ct.kind == ControlKind::group_box;
    return true;
}

}  // namespace

DialogBaseUnits GetDialogBaseUnits(const DialogTemplate&) {
    // The average character of an 8-point dialog font on a 96-per-inch screen.
    return DialogBaseUnits{};
}

bool MapDialogRect(CalWnd dlg, CalRect* rect) {
    DialogData* d = dialog_of(dlg);
    if (!d || !rect) return false;
    *rect = to_pixels(d->units, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    return true;
}

CalWnd CreateDialogIndirectParam(const DialogTemplate& tmpl, CalWnd owner, DlgProc proc, std::intptr_t param) {
    if (owner && !detail::live_window(owner)) return nullptr;
    const WindowClass* cls = nullptr;
    if (tmpl.class_name) {
        cls = FindWindowClass(tmpl.class_name);
        if (!cls) return nullptr;
    }
    const DialogBaseUnits units = GetDialogBaseUnits(tmpl);
    // A popup dialog is placed relative to its owner's client area.
    CalPoint origin{0, 0};
    if (owner) ClientToScreen(owner, &origin);
    CalRect r = to_pixels(units, tmpl.x, tmpl.y, tmpl.cx, tmpl.cy);
    r.left += origin.x;
    r.right += origin.x;
    r.top += origin.y;
    r.bottom += origin.y;
    CalWindow* w = detail::new_window(nullptr, owner, r, cls ? cls->proc : DefDlgProc, nullptr);
    if (!w) return nullptr;
    try {
        w->dialog = std::make_unique<DialogData>();
        w->text = tmpl.title ? tmpl.title : "";
        w->class_name = cls ? cls->name : "#32770";
        if (cls && cls->menu) w->menu = Menu::from_template(*cls->menu);
    } catch (...) {
        DestroyWindow(w);
        return nullptr;
    }
    w->dialog->proc = proc;
    w->dialog->param = param;
    w->dialog->tmpl = &tmpl;
    w->dialog->units = units;
    w->style = tmpl.style;
    w->visible = false;
    // A class brings its own background (the window colour); the standard
    // dialog class paints the face colour.
    w->background = cls && cls->background ? system_window_colour() : detail::kFaceColour;
    for (int i = 0; i < tmpl.control_count; ++i)
        if (!add_control(w, units, tmpl.controls[i])) {
            DestroyWindow(w);
            return nullptr;
        }
    const std::uint64_t serial = w->serial;
    CalWnd focus = first_tab_stop(w);
    SendMessage(w, kMsgCreate, 0, 0);
    const std::intptr_t setDefaultFocus =
        serial == detail::serial_of(w)
            ? SendMessage(w, kMsgInitDialog, reinterpret_cast<std::uintptr_t>(focus), param)
            : 0;
    if (serial != detail::serial_of(w)) return nullptr;
    if (setDefaultFocus && focus) SetFocus(focus);
    if (tmpl.style & kWsVisible) ShowWindow(w, kSwShow);
    InvalidateRect(w, nullptr, true);
    return w;
}

std::intptr_t DialogBoxIndirectParam(const DialogTemplate& tmpl, CalWnd owner, DlgProc proc, std::intptr_t param) {
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, false);
    CalWnd dlg = CreateDialogIndirectParam(tmpl, owner, proc, param);
    std::intptr_t result = -1;
    if (dlg) {
        const std::uint64_t serial = detail::serial_of(dlg);
        auto alive = [&] { return detail::serial_of(dlg) == serial; };
        std::intptr_t r = 0;
        if (!IsDialogEnded(dlg, &r)) ShowWindow(dlg, kSwShow);
        if (alive() && !IsDialogEnded(dlg, &r)) window_backend().run_modal(dlg);
        if (alive() && !IsDialogEnded(dlg, &r)) SendMessage(dlg, kMsgCommand, make_wparam(kIdCancel, kBnClicked), 0);
        if (alive() && !IsDialogEnded(dlg, &r)) r = kIdCancel;
        result = alive() ? r : static_cast<std::intptr_t>(kIdCancel);
        if (alive()) DestroyWindow(dlg);
    }
    if (ownerWasEnabled) EnableWindow(owner, true);
    return result;
}

bool EndDialog(CalWnd dlg, std::intptr_t result) {
    DialogData* d = dialog_of(dlg);
    if (!d) return false;
    d->ended = true;
    d->result = result;
    return true;
}

bool IsDialogEnded(CalWnd dlg, std::intptr_t* result) {
    DialogData* d = dialog_of(dlg);
    if (!d || !d->ended) return false;
    if (result) *result = d->result;
    return true;
}

std::intptr_t DefDlgProc(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    DialogData* d = dialog_of(dlg);
    if (!d) return DefWindowProc(dlg, msg, wParam, lParam);
    if (d->proc) {
        const std::intptr_t r = d->proc(dlg, msg, wParam, lParam);
        if (r || msg == kMsgInitDialog) return r;
    }
    switch (msg) {
        case kMsgClose: SendMessage(dlg, kMsgCommand, make_wparam(kIdCancel, kBnClicked), 0); return 0;
        case kMsgCommand: return 0;
        default: return DefWindowProc(dlg, msg, wParam, lParam);
    }
}

DlgProc GetDialogProc(CalWnd dlg) {
    DialogData* d = dialog_of(dlg);
    return d ? d->proc : nullptr;
}

std::intptr_t GetDialogParam(CalWnd dlg) {
    DialogData* d = dialog_of(dlg);
    return d ? d->param : 0;
}

const DialogTemplate* GetDialogTemplate(CalWnd dlg) {
    DialogData* d = dialog_of(dlg);
    return d ? d->tmpl : nullptr;
}

CalWnd GetDlgItem(CalWnd dlg, int id) {
    CalWindow* w = detail::live_window(dlg);
    if (!w) return nullptr;
    for (CalWindow* c : w->children)
        if (c->id == id) return c;
    return nullptr;
}

int GetDlgCtrlID(CalWnd ctrl) {
    CalWindow* w = detail::live_window(ctrl);
    return w ? w->id : 0;
}

std::intptr_t SendDlgItemMessage(CalWnd dlg, int id, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return SendMessage(GetDlgItem(dlg, id), msg, wParam, lParam);
}

bool SetDlgItemText(CalWnd dlg, int id, const char* text) { return SetWindowText(GetDlgItem(dlg, id), text); }

int GetDlgItemText(CalWnd dlg, int id, char* buffer, int size) { return GetWindowText(GetDlgItem(dlg, id), buffer, size); }

bool CheckDlgButton(CalWnd dlg, int id, int check) {
    CalWnd c = GetDlgItem(dlg, id);
    if (!c) return false;
    SendMessage(c, kBmSetCheck, static_cast<std::uintptr_t>(check), 0);
    return true;
}

int IsDlgButtonChecked(CalWnd dlg, int id) {
    return static_cast<int>(SendDlgItemMessage(dlg, id, kBmGetCheck, 0, 0));
}

}  // namespace masscal::platform
