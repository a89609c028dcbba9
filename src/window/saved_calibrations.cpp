#include "window/saved_calibrations.hpp"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "masscal/input.h"
#include "masscal/tofcal.h"
#include "platform/c_locale.hpp"
#include "platform/ui.hpp"
#include "platform/win/window.hpp"
#include "suite/fileaccess/file_dialog_s.hpp"
#include "suite/signature/signature.hpp"
#include "suite/utility/file_ref_path.hpp"
#include "suite/utility/global_files.hpp"
#include "window/window_state.hpp"

using namespace masscal::platform;

namespace masscal::window {
namespace {

constexpr const char* kFilter = "Spectrum Calibration (*.scl)|*.scl||";
constexpr const char* kSystemList = "SystemList";
constexpr const char* kRemembered = "SavedPPCalibration";
constexpr std::uint32_t kOpenFlags = 0x0100100C;
constexpr std::uint32_t kSaveFlags = 0x01010002;
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr int kPathSize = 260;

void copy_text(char* dst, std::size_t size, const char* src) { std::snprintf(dst, size, "%s", src); }

// The reference the dialogs start from: the remembered file, or the default.
RawFileRef start_reference() {
    RawFileRef ref{};
    copy_text(ref.szExtension, sizeof ref.szExtension, "SCL");
    copy_text(ref.szDirectory, sizeof ref.szDirectory, "\\korvelix\\scl");
    GetGlobalFile(kSystemList, kRemembered, &ref, &ref);
    if (!ref.szExtension[0]) copy_text(ref.szExtension, sizeof ref.szExtension, "SCL");
    if (!ref.szName[0]) copy_text(ref.szName, sizeof ref.szName, "DEFAULT");
    return ref;
}

std::string start_path() {
    const RawFileRef ref = start_reference();
    char path[kPathSize] = "";
    ConvertQBFileToPath(path, sizeof path, &ref);
    return path;
}

void set_file_title(CalWnd wnd, const std::string& fileName) {
    const std::string title = "Calibration - [" + fileName + "]";
    SetWindowText(wnd, title.c_str());
}

// The mass function made from the error function, and segment n of the
// time-of-flight calibration given it.
void rebuild_mass_function(CalRecord* rec) {
    rec->MassFunc = rec->ErrorFunc;
    CalMassFunction(&rec->MassFunc);
    const int n = CalReadDataParams(&rec->DataFile, &rec->TofCalib);
    if (n >= 1 && n <= CAL_MAX_SEGMENTS) rec->TofCalib.Segments[n - 1] = rec->MassFunc;
}

RawFileRef reference_of(const char* path) {
    RawFileRef ref{};
    ConvertPathToQBFile(&ref, path);
    return ref;
}

// Function n of the file's per-function calibrations becomes the mass
// function alone. The functions sit at 2-byte alignment: byte copies only.
void write_function_calibration(const RawFileRef& ref, CalRecord* rec, int n) {
    std::unique_ptr<unsigned char[]> storage(new (std::nothrow) unsigned char[sizeof(RawCalibInfo)]());
    if (!storage) return;
    auto* info = reinterpret_cast<RawCalibInfo*>(storage.get());
    ReadCalibrationFunctionsQB(&ref, info);
    const std::int32_t functions = n;
    std::memcpy(storage.get() + offsetof(RawCalibInfo, nFunctions), &functions, sizeof functions);
    unsigned char* fn = storage.get() + offsetof(RawCalibInfo, Functions) + (n - 1) * sizeof(tagRAWCALIBFUNC);
    std::memset(fn, 0, sizeof(tagRAWCALIBFUNC));
    const std::int32_t segments = 1;
    std::memcpy(fn + offsetof(tagRAWCALIBFUNC, nSegments), &segments, sizeof segments);
    std::memcpy(fn + offsetof(tagRAWCALIBFUNC, Segments), &rec->MassFunc, sizeof(RawCalibCoEffs));
    WriteCalibrationFunctionsQB(&ref, info);
}

}  // namespace

int new_spectrum_calibration(CalWnd wnd, CalRecord* rec) {
    RawFileRef ref = start_reference();
    WindowState& st = state();
    copy_text(ref.szExtension, sizeof ref.szExtension, "SCL");
    char name[32];
    c_snprintf(name, sizeof name, "SCL%d", st.new_counter++);
    copy_text(ref.szName, sizeof ref.szName, name);

    std::memset(&rec->TofCalib, 0, sizeof rec->TofCalib);
    for (RawCalibCoEffs& s : rec->TofCalib.Segments) {
        s = RawCalibCoEffs{};
        s.nOrder = 1;
        s.dCoeffs[1] = 1.0;
    }
    if (!rec->bTof2)
        set_file_title(wnd, std::string(ref.szName) + "." + ref.szExtension);
    else
        set_file_title(wnd, "Graph.");
    rebuild_mass_function(rec);
    return 1;
}

int open_spectrum_calibration(CalWnd wnd, CalRecord* rec) {
    const std::string path = start_path();
    CFileDialogS dialog(1, "scl", path.c_str(), kOpenFlags, kFilter, wnd);
    if (dialog.DoModal() != 1) return 0;
    // The record travels with the request, as it does for saving.
    if (!RequestOpen(dialog.GetPathName().c_str(), open_callback, rec, kGenericRead, wnd)) return 0;
    set_file_title(wnd, dialog.GetFileName());
    return 1;
}

int save_spectrum_calibration(CalWnd wnd, CalRecord* rec) {
    const std::string path = start_path();
    CFileDialogS dialog(0, "scl", path.c_str(), kSaveFlags, kFilter, wnd);
    if (dialog.DoModal() != 1) return 0;
    if (!RequestSave(15005, 4009, 4008, dialog.GetPathName().c_str(), 0, save_callback, rec, wnd)) return 0;
    set_file_title(wnd, dialog.GetFileName());
    return 1;
}

int open_callback(const char* path, void* data) {
    auto* rec = static_cast<CalRecord*>(data);
    if (!rec || !path) return 1;
    const RawFileRef ref = reference_of(path);
    const int ok = rec->bTof2 ? ReadModeDependantTofCalibrationQB(&ref, &rec->TofCalib,
                                                                  static_cast<tagHASCALTYPE>(rec->bTof2))
                              : ReadTofCalibrationQB(&ref, &rec->TofCalib);
    if (ok) SetGlobalFile(kSystemList, kRemembered, &ref);
    rebuild_mass_function(rec);
    return 1;
}

int save_callback(const char* path, void* data) {
    auto* rec = static_cast<CalRecord*>(data);
    if (!rec || !path) return 1;
    const int n = rec->DataFile.wFunction;
    if (n > CAL_MAX_FUNCTIONS) {
        char text[160];
        c_snprintf(text, sizeof text,
                   "Function %d cannot be saved: a calibration file holds at most %d functions.", n,
                   static_cast<int>(CAL_MAX_FUNCTIONS));
        MessageBox(state().dialog, text, "Calibration", CAL_MB_ICONEXCLAMATION);
        return 1;
    }
    const RawFileRef ref = reference_of(path);
    rec->MassFunc = rec->ErrorFunc;
    CalMassFunction(&rec->MassFunc);
    tagHASCALTYPE mode = static_cast<tagHASCALTYPE>(rec->bTof2);
    const int ok = rec->bTof2 ? WriteModeDependantTofCalibrationQB(&ref, &rec->TofCalib, &mode)
                              : WriteTofCalibrationQB(&ref, &rec->TofCalib);
    if (ok) SetGlobalFile(kSystemList, kRemembered, &ref);
    if (n != 0) write_function_calibration(ref, rec, n);
    return 1;
}

}  // namespace masscal::window
