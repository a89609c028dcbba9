// What a host without a window system of its own needs: an owner window
// that turns the finished notification into a callback, the message pump,
// and the user's hands on the calibration window.
#include <new>

#include "masscal/ui_provider.h"
#include "masscal/window.h"
#include "platform/win/controls.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/input.hpp"
#include "platform/win/menu.hpp"
#include "platform/win/message_queue.hpp"
#include "platform/win/snapshot.hpp"
#include "suite/utility/dialog_registry.hpp"

using namespace masscal::platform;

namespace {

struct OwnerData {
    CalFinishedCallback callback;
    void* user;
};

std::intptr_t owner_proc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    auto* data = static_cast<OwnerData*>(GetWindowUserData(wnd));
    if (msg == CAL_MSG_FINISHED && data && data->callback) {
        data->callback(data->user, GetGlobalDialogWnd(30), static_cast<int32_t>(wParam), lParam);
        return 1;
    }
    if (msg == kMsgDestroy) {
        SetWindowUserData(wnd, nullptr);
        delete data;
        return 0;
    }
    // The owner stays until the host destroys it.
    if (msg == kMsgClose) return 0;
    return DefWindowProc(wnd, msg, wParam, lParam);
}

bool is_mouse_message(uint32_t msg) {
    return msg == CAL_MOUSE_MOVE || msg == CAL_MOUSE_LEFT_DOWN || msg == CAL_MOUSE_LEFT_UP ||
           msg == CAL_MOUSE_RIGHT_DOWN || msg == CAL_MOUSE_RIGHT_UP;
}

}  // namespace

extern "C" {

MASSCAL_API CalWnd CalCreateOwnerWindow(CalFinishedCallback pfn, void* pUser) {
    auto* data = new (std::nothrow) OwnerData{pfn, pUser};
    if (!data) return nullptr;
    CalWnd wnd = CreateOwnedWindow(nullptr, CalRect{0, 0, 1, 1}, "", owner_proc, data);
    if (!wnd) delete data;
    return wnd;
}

MASSCAL_API void CalDestroyOwnerWindow(CalWnd hOwner) { DestroyWindow(hOwner); }

MASSCAL_API int32_t CalPumpMessages(void) { return PumpMessages(); }

MASSCAL_API CalWnd CalGetCalibrationWindow(void) { return GetGlobalDialogWnd(30); }

MASSCAL_API void CalCloseCalibrationWindow(CalWnd hCalWnd, CalRecord* pRec) {
    DestroyWindow(hCalWnd);
    CalDialogClosed(hCalWnd, pRec);
}

MASSCAL_API int32_t CalWindowCommand(CalWnd hCalWnd, int32_t nCommand) {
    return ChooseMenuItem(hCalWnd, nCommand) ? 1 : 0;
}

MASSCAL_API int32_t CalWindowClick(CalWnd hCalWnd, int32_t nButtonId) {
    return ClickDlgItem(hCalWnd, nButtonId) ? 1 : 0;
}

MASSCAL_API int32_t CalWindowMouse(CalWnd hCalWnd, uint32_t nMouseMsg, int32_t x, int32_t y) {
    if (!IsWindow(hCalWnd) || !is_mouse_message(nMouseMsg)) return 0;
    DeliverMouse(hCalWnd, nMouseMsg, x, y);
    return 1;
}

MASSCAL_API int32_t CalDialogTypeText(CalWnd hDialog, int32_t nId, const char* pszText) {
    return TypeText(GetDlgItem(hDialog, nId), pszText ? pszText : "") ? 1 : 0;
}

MASSCAL_API int32_t CalDialogItemText(CalWnd hDialog, int32_t nId, char* pszBuf, int32_t nSize) {
    if (!pszBuf || nSize <= 0) return 0;
    pszBuf[0] = '\0';
    CalWnd item = GetDlgItem(hDialog, nId);
    return item ? GetWindowText(item, pszBuf, nSize) : 0;
}

MASSCAL_API int32_t CalDialogItemChecked(CalWnd hDialog, int32_t nId) {
    return GetDlgItem(hDialog, nId) && IsDlgButtonChecked(hDialog, nId) == kChecked ? 1 : 0;
}

MASSCAL_API int32_t CalWindowCloseBox(CalWnd hCalWnd) { return PostMessage(hCalWnd, kMsgClose, 0, 0) ? 1 : 0; }

MASSCAL_API int32_t CalWriteWindowPng(CalWnd hCalWnd, const char* pszPath) {
    if (!pszPath) return 0;
    return WriteWindowPng(hCalWnd, pszPath) ? 1 : 0;
}

}  // extern "C"
