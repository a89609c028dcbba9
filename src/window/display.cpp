// The exported face of the calibration window: opening it, closing it,
// painting its graphs and sizing its children.
#include <algorithm>

#include "masscal/window.h"
#include "platform/gdi/device_context.hpp"
#include "platform/win/dialog.hpp"
#include "suite/utility/dialog_registry.hpp"
#include "window/dialog_proc.hpp"
#include "window/window_classes.hpp"
#include "window/window_resources.hpp"

using namespace masscal::platform;
using namespace masscal::window;

namespace {

constexpr int kDialogSlot = 30;

Variant variant_of(const CalRecord* rec) {
    if (rec->bTof2) return Variant::tof2;
    if (rec->bExternalFunction) return Variant::tof;
    return Variant::quadrupole;
}

}  // namespace

extern "C" {

MASSCAL_API int32_t CalDisplayCalibration(CalWnd hParent, CalRecord* pRec) {
    if (CalWnd existing = GetGlobalDialogWnd(kDialogSlot)) {
        if (IsIconic(existing)) OpenIcon(existing);
        SetFocus(existing);
        return 0;
    }
    if (!pRec) return 0;
    if (!ensure_window_classes()) return 1;
    const DialogTemplate& tmpl = *resources(variant_of(pRec)).dialog;
    CalWnd dlg = CreateDialogIndirectParam(tmpl, hParent, calibration_dialog_proc, reinterpret_cast<std::intptr_t>(pRec));
    SetGlobalDialogWnd(kDialogSlot, dlg);
    return 1;
}

MASSCAL_API void CalDialogClosed(CalWnd, CalRecord* pRec) {
    SetGlobalDialogWnd(kDialogSlot, nullptr);
    if (!pRec) return;
    pRec->MassFunc = pRec->ErrorFunc;
    CalMassFunction(&pRec->MassFunc);
}

MASSCAL_API void CalResizeChild(CalWnd hChild, int32_t) {
    CalWnd parent = GetParent(hChild);
    if (!IsWindow(parent)) return;
    CalRect outer{}, client{};
    GetWindowRect(hChild, &outer);
    CalPoint at{outer.left, outer.top};
    ScreenToClient(parent, &at);
    GetClientRect(parent, &client);
    const int width = std::max(0, client.right - 2 * at.x);
    const int height = std::max(0, client.bottom - at.y - at.x);
    MoveWindow(hChild, at.x, at.y, width, height, true);
    if (CalDC dc = GetDC(hChild)) {
        dc->fill_rect(CalRect{1, 1, width, height}, system_window_colour());
        ReleaseDC(hChild, dc);
    }
}

MASSCAL_API int32_t CalPaint(CalWnd hArea, CalRecord* pRec, GraphLayout* pLayout) {
    InvalidateRect(hArea, nullptr, true);
    UpdateWindow(hArea);
    CalRect r{};
    GetClientRect(hArea, &r);
    return CalPaintGraphs(hArea, &r, nullptr, pRec, pLayout, 0);
}

}  // extern "C"
