#include "window/dialog_proc.hpp"

#include <cstring>
#include <string>

#include "engine/driver.hpp"
#include "masscal/graphs.h"
#include "masscal/params.h"
#include "masscal/tofcal.h"
#include "masscal/window.h"
#include "platform/ui.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/menu.hpp"
#include "platform/win/message_queue.hpp"
#include "report/page_header.hpp"
#include "suite/print/print.hpp"
#include "suite/settings/window_position.hpp"
#include "window/peak_editing.hpp"
#include "window/saved_calibrations.hpp"
#include "window/window_resources.hpp"
#include "window/window_state.hpp"

using namespace masscal::platform;

namespace masscal::window {
namespace {

constexpr const char* kPositionSection = "Calibrate";
constexpr const char* kPositionKey = "Position";
constexpr std::uint32_t kRepaintRequestA = kMsgUser + 6;
constexpr std::uint32_t kRepaintRequestB = kMsgUser + 7;

CalWnd graph_area(CalWnd dlg) { return GetDlgItem(dlg, kGraphArea); }

void repaint_graphs(CalWnd dlg) {
    WindowState& st = state();
    CalPaint(graph_area(dlg), st.record, &st.layout);
    paint_marks(graph_area(dlg), st.record, &st.layout);
}

std::string with_data_name(const char* head, const CalRecord* rec) {
    std::string t = head;
    if (rec->szDataName[0]) t += std::string(" - ") + std::string(rec->szDataName, strnlen(rec->szDataName, sizeof rec->szDataName));
    return t;
}

void set_title(CalWnd dlg, const CalRecord* rec) {
    if (rec->bCheckOnly) {
        SetWindowText(dlg, with_data_name("Verify", rec).c_str());
        EnableMenuItem(GetMenu(dlg), kCmdParameters, kMfByCommand | kMfDisabled | kMfGrayed);
    } else if (rec->bExternalFunction) {
        RawFileRef ref{};
        if (GetTofCalFile(rec->bSavedCalib ? "SavedCalibration" : "SavedPPCalibration", &ref)) {
            const std::string title = std::string("Calibration - [") + ref.szName + "." + ref.szExtension + "]";
            SetWindowText(dlg, title.c_str());
        }
    } else {
        SetWindowText(dlg, with_data_name("Calibrate", rec).c_str());
    }
}

std::intptr_t init_dialog(CalWnd dlg, CalRecord* rec) {
    WindowState& st = state();
    st.dialog = dlg;
    st.record = rec;
    st.layout = GraphLayout{};
    st.finished_by_menu = 0;
    st.accepted_by_menu = 0;
    forget_pairing_edits();
    CalAlloc(&st.layout.Curve, CAL_CURVE_POINTS, 4);
    st.layout.nCurvePoints = CAL_CURVE_POINTS;
    CalInitGraphRanges(rec, &st.layout);
    CalRect saved{};
    if (GetIniWindPos(kPositionSection, kPositionKey, 0, &saved))
        SetWindowPos(dlg, kHwndTopMost, saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top,
                     kSwpShowWindow);
    set_title(dlg, rec);
    CalResizeChild(graph_area(dlg), 1);
    CalResizeChild(GetDlgItem(dlg, kGraphFrame), 0);
    if (rec->bExternalFunction && !rec->bTofCalibLoaded) new_spectrum_calibration(dlg, rec);
    return 1;
}

void close_request(CalWnd dlg, std::uintptr_t wParam) {
    WindowState& st = state();
    st.close_param = wParam;
    const CalRecord* rec = st.record;
    if (!rec) return;
    const auto param = static_cast<std::intptr_t>(st.close_param);
    if (rec->bCheckOnly) {
        notify_finished(rec, 0, 0);
    } else if (st.finished_by_menu == 1) {
        notify_finished(rec, st.accepted_by_menu, param);
    } else {
        const int answer =
            MessageBox(dlg, "Accept this calibration ?", "Calibration", CAL_MB_YESNO | CAL_MB_ICONQUESTION);
        notify_finished(rec, answer == CAL_IDYES ? 1 : 0, param);
    }
}

void destroy(CalWnd dlg) {
    WindowState& st = state();
    WindowPlacement placement{};
    if (ObtainWindPos(dlg, &placement)) SetIniWindPos(kPositionSection, kPositionKey, &placement, 1);
    CalDeleteGraphs(&st.layout);
    CalFree(&st.layout.Curve);
    if (st.dialog == dlg) st.dialog = nullptr;
}

void print(CalWnd dlg) {
    PrnSetup setup;
    if (!PrnPrintGCV(&setup)) return;
    PrnReport(dlg, &setup, report::report_page_count(dlg, setup, state().record, nullptr), 256);
}

void finish_by_menu(CalWnd dlg, int accepted) {
    WindowState& st = state();
    st.finished_by_menu = 1;
    st.accepted_by_menu = accepted;
    PostMessage(dlg, kMsgClose, 0, 0);
}

std::intptr_t command(CalWnd dlg, int id) {
    WindowState& st = state();
    CalRecord* rec = st.record;
    switch (id) {
        case kCmdOk: notify_finished(rec, 1, 0); return 1;
        case kCmdCancel: notify_finished(rec, 0, 0); return 1;
        case kCmdDefaultButton:
        case kCmdDefault:
            st.layout.fMassLow = st.layout.fDefaultMassLow;
            st.layout.fMassHigh = st.layout.fDefaultMassHigh;
            CalUpdateGraphRanges(rec, &st.layout);
            repaint_graphs(dlg);
            return 1;
        case kCmdPrint: print(dlg); return 0;
        case kCmdPrinterSetup: PrnPrintSetup(dlg); return 0;
        case kCmdExit: PostMessage(dlg, kMsgClose, 0, 0); return 1;
        case kCmdParameters:
            if (CalEditParamsExt(dlg, &rec->Params, &rec->DataFile)) {
                forget_pairing_edits();
                CalRunCalibration(dlg, rec, 1);
                CalUpdateGraphRanges(rec, &st.layout);
                repaint_graphs(dlg);
            }
            return 1;
        case kCmdOpen: open_spectrum_calibration(dlg, rec); return 1;
        case kCmdSaveAs: save_spectrum_calibration(dlg, rec); return 1;
        case kCmdNew: new_spectrum_calibration(dlg, rec); return 1;
        case kCmdAccept: finish_by_menu(dlg, 1); return 1;
        case kCmdReject: finish_by_menu(dlg, 0); return 1;
        case kCmdUndoPairing: undo_pairing(dlg, rec, &st.layout); return 1;
        case kCmdSwitchAxis:
            CalSetResidualUnitAmu(CalGetResidualUnitAmu() ? 0 : 1);
            CalUpdateGraphRanges(rec, &st.layout);
            InvalidateRect(dlg, nullptr, true);
            return 1;
        default: return 0;
    }
}

void init_menu_popup(CalWnd dlg) {
    HMenu menu = GetMenu(dlg);
    const char* text = CalGetResidualUnitAmu() ? "&Switch Residuals Graph Axis to PPM"
                                               : "&Switch Residuals Graph Axis to amu";
    ModifyMenu(menu, kCmdSwitchAxis, kMfByCommand | kMfString, kCmdSwitchAxis, text);
    const bool verify = state().record && state().record->bCheckOnly;
    EnableMenuItem(menu, kCmdSwitchAxis, kMfByCommand | (verify ? kMfGrayed : kMfEnabled));
    EnableMenuItem(menu, kCmdUndoPairing, kMfByCommand | (verify || state().undo.empty() ? kMfGrayed : kMfEnabled));
}

}  // namespace

void notify_finished(const CalRecord* rec, int accepted, std::intptr_t closeParam) {
    if (!rec) return;
    SendMessage(rec->hOwnerWnd, CAL_MSG_FINISHED, static_cast<std::uintptr_t>(accepted), closeParam);
}

std::intptr_t calibration_dialog_proc(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    WindowState& st = state();
    if (msg == kMsgInitDialog) return init_dialog(dlg, reinterpret_cast<CalRecord*>(lParam));
    // Until the initialisation has run there is no record to work on.
    if (!st.record || st.dialog != dlg) return 0;
    CalRecord* rec = st.record;
    switch (msg) {
        case kMsgSize:
            CalResizeChild(graph_area(dlg), 1);
            CalResizeChild(GetDlgItem(dlg, kGraphFrame), 0);
            return 1;
        case kMsgPaint: repaint_graphs(dlg); return 0;
        case kMsgClose: close_request(dlg, wParam); return 1;
        case kMsgDestroy: destroy(dlg); return 0;
        case kMsgCommand: return command(dlg, low_word(wParam));
        case kMsgInitMenuPopup: init_menu_popup(dlg); return 1;
        case kMsgMouseMove:
        case kMsgLButtonDown:
        case kMsgLButtonUp: zoom_handler(graph_area(dlg), &st.layout, rec, msg, lParam); return 0;
        case kMsgRButtonUp: right_click(dlg, graph_area(dlg), rec, &st.layout, lParam); return 0;
        case kRepaintRequestA:
        case kRepaintRequestB: repaint_graphs(dlg); return 0;
        case kPrnPageRequest:
            report::page_request(dlg, reinterpret_cast<CalDC>(wParam), reinterpret_cast<const PrnPage*>(lParam), rec);
            return 1;
        case kPrnPaintRequest:
            if (wParam && lParam)
                CalPaintGraphs(dlg, reinterpret_cast<CalRect*>(lParam), reinterpret_cast<CalDC>(wParam), rec,
                               &st.layout, 1);
            return 1;
        case kPrnPageDone: return 1;
        default: return 0;
    }
}

}  // namespace masscal::window
