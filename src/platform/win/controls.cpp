// The built-in controls' procedure (texts, check state, selection, the
// combo box's list and its directory listing) and the user's hands on them.
#include "platform/win/controls.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fnmatch.h>
#include <string>
#include <strings.h>
#include <vector>

#include "platform/win/backend.hpp"
#include "platform/win/control_paint.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/window_internal.hpp"

namespace masscal::platform {
namespace {

ControlData* control_of(CalWnd wnd) {
    CalWindow* w = detail::live_window(wnd);
    return w ? w->control.get() : nullptr;
}

void notify_parent(CalWindow* w, std::uint16_t code) {
    SendMessage(w->parent, kMsgCommand, make_wparam(w->id, code), reinterpret_cast<std::intptr_t>(w));
}

// "dir/*.ref" -> the files of dir that match, sorted by name: a directory
// listing has no order of its own, and a sorted list reads well.
bool list_directory(std::string pattern, std::vector<std::string>& out) {
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    const std::filesystem::path p(pattern);
    const std::string spec = p.filename().string();
    std::filesystem::path dir = p.parent_path();
    if (dir.empty()) dir = ".";
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec);
    if (ec) return false;
    for (const auto& entry : it) {
        std::error_code fe;
        if (!entry.is_regular_file(fe)) continue;
        const std::string name = entry.path().filename().string();
        if (fnmatch(spec.c_str(), name.c_str(), FNM_CASEFOLD) == 0) out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return true;
}

std::intptr_t combo_message(CalWindow* w, ControlData& c, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    const int count = static_cast<int>(c.items.size());
    switch (msg) {
        case kCbAddString:
            try {
                c.items.emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
            } catch (...) {
                return kCbErr;
            }
            InvalidateRect(w, nullptr, true);
            return count;
        case kCbDir: {
            if (!lParam) return kCbErr;
            std::vector<std::string> names;
            try {
                if (!list_directory(reinterpret_cast<const char*>(lParam), names) || names.empty()) return kCbErr;
                c.items.insert(c.items.end(), names.begin(), names.end());
            } catch (...) {
                return kCbErr;
            }
            InvalidateRect(w, nullptr, true);
            return static_cast<std::intptr_t>(c.items.size()) - 1;
        }
        case kCbGetCount: return count;
        case kCbGetCurSel: return c.current;
        case kCbGetLbText:
        case kCbGetLbTextLen: {
            const auto i = static_cast<int>(wParam);
            if (i < 0 || i >= count) return kCbErr;
            const std::string& s = c.items[static_cast<std::size_t>(i)];
            if (msg == kCbGetLbText && lParam) std::memcpy(reinterpret_cast<char*>(lParam), s.c_str(), s.size() + 1);
            return static_cast<std::intptr_t>(s.size());
        }
        case kCbResetContent:
            c.items.clear();
            c.current = kCbErr;
            InvalidateRect(w, nullptr, true);
            return 0;
        case kCbSetCurSel: {
            const auto i = static_cast<int>(static_cast<std::intptr_t>(wParam));
            c.current = i >= 0 && i < count ? i : kCbErr;
            InvalidateRect(w, nullptr, true);
            return c.current;
        }
        case kCbSelectString: {
            const char* prefix = lParam ? reinterpret_cast<const char*>(lParam) : "";
            const std::size_t n = std::strlen(prefix);
            const int start = static_cast<int>(static_cast<std::intptr_t>(wParam));
            for (int k = 1; k <= count; ++k) {
                const int i = ((start < 0 ? -1 : start) + k) % count;
                if (strncasecmp(c.items[static_cast<std::size_t>(i)].c_str(), prefix, n) == 0) {
                    c.current = i;
                    InvalidateRect(w, nullptr, true);
                    return i;
                }
            }
            return kCbErr;
        }
        default: return -2;  // not a combo box message
    }
}

}  // namespace

std::intptr_t control_proc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    CalWindow* w = detail::live_window(wnd);
    if (!w || !w->control) return DefWindowProc(wnd, msg, wParam, lParam);
    ControlData& c = *w->control;
    switch (msg) {
        case kMsgPaint:
            if (window_backend().draws_control(w)) return 0;
            if (CalDC dc = GetDC(w)) {
                paint::control(dc, *w);
                ReleaseDC(w, dc);
            }
            return 0;
        case kBmGetCheck: return c.check;
        case kBmSetCheck:
            c.check = static_cast<int>(wParam) ? kChecked : kUnchecked;
            InvalidateRect(w, nullptr, true);
            return 0;
        case kEmSetSel: {
            const int len = static_cast<int>(w->text.size());
            const auto first = static_cast<int>(static_cast<std::intptr_t>(wParam));
            const auto last = static_cast<int>(lParam);
            c.sel_first = std::clamp(first, 0, len);
            c.sel_last = last < 0 ? len : std::clamp(last, 0, len);
            return 1;
        }
        case kMsgClose: return 0;  // a control is closed with its dialog
        default:
            if (c.kind == ControlKind::combo_box) {
                const std::intptr_t r = combo_message(w, c, msg, wParam, lParam);
                if (r != -2) return r;
            }
            return DefWindowProc(wnd, msg, wParam, lParam);
    }
}

bool ClickControl(CalWnd ctrl) {
    CalWindow* w = detail::live_window(ctrl);
    if (!w || !w->control || !w->enabled || !w->parent || !w->parent->enabled) return false;
    if (w->control->kind == ControlKind::check_box)
        SendMessage(w, kBmSetCheck, w->control->check ? kUnchecked : kChecked, 0);
    notify_parent(w, kBnClicked);
    return true;
}

bool ClickDlgItem(CalWnd dlg, int id) { return ClickControl(GetDlgItem(dlg, id)); }

bool TypeText(CalWnd edit, const char* text) {
    CalWindow* w = detail::live_window(edit);
    if (!w || !w->control || !w->enabled) return false;
    if (!SetWindowText(w, text)) return false;
    if (detail::live_window(edit)) notify_parent(w, kEnChange);
    return true;
}

bool ChooseComboEntry(CalWnd combo, int index) {
    ControlData* c = control_of(combo);
    CalWindow* w = detail::live_window(combo);
    if (!c || c->kind != ControlKind::combo_box || !w->enabled) return false;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return false;
    SendMessage(combo, kCbSetCurSel, static_cast<std::uintptr_t>(index), 0);
    notify_parent(w, kCbnSelChange);
    return true;
}

bool GetControlKind(CalWnd ctrl, ControlKind* kind) {
    ControlData* c = control_of(ctrl);
    if (!c || !kind) return false;
    *kind = c->kind;
    return true;
}

bool GetEditSelection(CalWnd edit, int* first, int* last) {
    ControlData* c = control_of(edit);
    if (!c) return false;
    if (first) *first = c->sel_first;
    if (last) *last = c->sel_last;
    return true;
}

}  // namespace masscal::platform
