// The reference-file combo box of the host's calibration dialogs: lists the
// .ref files of the reference's folder and selects the current one; with
// none there, the user is asked for another file until one is found. Only a
// chosen .ref file moves the listing to its folder, so the message always
// names the folder that was listed.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "core/cal_error.hpp"
#include "masscal/input.h"
#include "platform/c_locale.hpp"
#include "platform/ui.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/messages.hpp"
#include "suite/utility/normal_file.hpp"

using namespace masscal::platform;

namespace {

constexpr std::size_t kPatternSize = 255;

std::string directory_of(const RawFileRef& ref) {
    return std::string(ref.szDirectory, strnlen(ref.szDirectory, sizeof ref.szDirectory));
}

std::string pattern_of(const std::string& directory) {
    std::string pattern = directory;
    if (pattern.empty() || (pattern.back() != '/' && pattern.back() != '\\')) pattern += '/';
    pattern += "*.ref";
    if (pattern.size() > kPatternSize) pattern.resize(kPatternSize);
    return pattern;
}

template <std::size_t N>
void copy_field(char (&dst)[N], const char* src, std::size_t srcSize) {
    std::snprintf(dst, N, "%.*s", static_cast<int>(strnlen(src, srcSize)), src);
}

// Asks for a reference file; false when the user cancels. A .ref file makes
// its folder the one listed.
bool ask_for_file(CalWnd dlg, RawFileRef* ref, std::string* listed) {
    NormalFileRequest request{};
    copy_field(request.szDirectory, ref->szDirectory, sizeof ref->szDirectory);
    copy_field(request.szName, ref->szName, sizeof ref->szName);
    copy_field(request.szExtension, ref->szExtension, sizeof ref->szExtension);
    request.dFunction = ref->nFunction;
    request.dSelector = ref->nIndex;
    if (!GenGetNormalFile(nullptr, dlg, &request)) return false;
    copy_field(ref->szDirectory, request.szDirectory, sizeof request.szDirectory);
    copy_field(ref->szName, request.szName, sizeof request.szName);
    copy_field(ref->szExtension, request.szExtension, sizeof request.szExtension);
    ref->nFunction = 1;
    // Out-of-range selectors are clamped rather than converted out of range.
    const double index = std::trunc(request.dSelector);
    ref->nIndex = std::isnan(index) ? 0 : static_cast<int32_t>(std::fmax(-2147483648.0, std::fmin(index, 2147483647.0)));
    if (strcasecmp(ref->szExtension, "ref") == 0) {
        ref->wKind = CAL_FILEREF_KIND_PLAIN;
        *listed = directory_of(*ref);
    }
    return true;
}

}  // namespace

extern "C" MASSCAL_API int32_t CalFillReferenceCombo(CalWnd hDlg, int32_t nComboId, RawFileRef* pRef) {
    if (!pRef) return 0;
    CalWnd combo = GetDlgItem(hDlg, nComboId);
    if (!combo) return 0;
    std::string listed = directory_of(*pRef);
    while (SendMessage(combo, kCbDir, 0, reinterpret_cast<std::intptr_t>(pattern_of(listed).c_str())) < 0) {
        char* text = masscal::core::error_buffer();
        c_snprintf(text, kCalErrorBufferSize, "Unable to find any reference files in the directory %s.", listed.c_str());
        MessageBox(hDlg, text, "Instrument Calibration", CAL_MB_ICONEXCLAMATION);
        if (!ask_for_file(hDlg, pRef, &listed)) return 0;
    }
    const std::string name(pRef->szName, strnlen(pRef->szName, sizeof pRef->szName));
    SendMessage(combo, kCbSelectString, static_cast<std::uintptr_t>(-1), reinterpret_cast<std::intptr_t>(name.c_str()));
    return 1;
}
