#include "engine/reference_file.hpp"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/cal_error.hpp"
#include "platform/c_locale.hpp"
#include "platform/memory.hpp"
#include "platform/ui.hpp"
#include "suite/fileaccess/file_checksum.hpp"
#include "suite/fileaccess/file_io.hpp"
#include "suite/settings/settings.hpp"
#include "suite/utility/normal_file.hpp"

namespace {

constexpr std::size_t kPathLimit = 260;  // with the terminator
constexpr const char* kCaption = "Calibration";
constexpr std::uint32_t kMessageType = CAL_MB_OK | CAL_MB_ICONEXCLAMATION;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A number of the text as a float; false when it is not finite as a float
// ("inf", "nan", 1e39), which no reference peak can be.
bool read_float(const char* p, float* out) {
    const double d = masscal::platform::c_atof(p);
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return false;
    *out = static_cast<float>(d);
    return true;
}

std::string_view field(const char* text, std::size_t size) { return std::string_view(text, strnlen(text, size)); }

bool equal_ignoring_case(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        const char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        const char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

void copy_field(char* out, std::size_t out_size, const char* in, std::size_t in_size) {
    const std::string_view v = field(in, in_size);
    const std::size_t n = v.size() < out_size ? v.size() : out_size - 1;
    std::memset(out, 0, out_size);
    std::memcpy(out, v.data(), n);
}

// The dialog's second selector as the reference's index, toward zero; a
// value no 32-bit index can hold gives 0.
int32_t selector_index(double v) {
    if (!std::isfinite(v) || v <= -2147483649.0 || v >= 2147483648.0) return 0;
    return static_cast<int32_t>(v);
}

void show_too_many_peaks(CalWnd owner) {
    char text[256];
    std::snprintf(text, sizeof text, "%s%s%d%s%s%s", "There are too many peaks in the reference file. ",
                  "Current limit is ", static_cast<int>(CAL_REF_CAPACITY), " peaks. ",
                  "For further information, please contact ", "Software Support.");
    masscal::core::set_error_text(text);
    masscal::platform::MessageBox(owner, masscal::core::error_buffer(), kCaption, kMessageType);
}

}  // namespace

bool masscal::engine::reference_path(const RawFileRef* ref, char* out, std::size_t size) {
    if (!ref || !out || size == 0) return false;
    out[0] = '\0';
    if (ref->wKind != CAL_FILEREF_KIND_PLAIN) return false;
    const std::string_view dir = field(ref->szDirectory, sizeof ref->szDirectory);
    const std::string_view name = field(ref->szName, sizeof ref->szName);
    const std::string_view ext = field(ref->szExtension, sizeof ref->szExtension);
    const bool has_separator = !dir.empty() && (dir.back() == '/' || dir.back() == '\\');
    // Without an extension there is no dot: Windows opened "air." as "air".
    const std::size_t len = dir.size() + (has_separator ? 0 : 1) + name.size() + (ext.empty() ? 0 : 1 + ext.size());
    // A path cut to fit would name another file.
    if (len + 1 > kPathLimit || len + 1 > size) return false;
    char* p = out;
    std::memcpy(p, dir.data(), dir.size());
    p += dir.size();
    if (!has_separator) *p++ = '/';
    std::memcpy(p, name.data(), name.size());
    p += name.size();
    if (!ext.empty()) {
        *p++ = '.';
        std::memcpy(p, ext.data(), ext.size());
        p += ext.size();
    }
    *p = '\0';
    return true;
}

int32_t CalInsertPeak(float* masses, float* intensities, int32_t* count, float mass, float intensity) {
    const int32_t n = *count;
    if (n < 0 || n >= CAL_REF_CAPACITY) return 0;
    int32_t i = 0;
    while (i < n && !(masses[i] > mass)) ++i;
    const std::size_t tail = static_cast<std::size_t>(n - i) * sizeof(float);
    std::memmove(masses + i + 1, masses + i, tail);
    masses[i] = mass;
    if (intensities) {
        std::memmove(intensities + i + 1, intensities + i, tail);
        intensities[i] = intensity;
    }
    *count = n + 1;
    return 1;
}

namespace {

// Inserts the peak that peak_of reads from each line's text (from its first
// non-blank character to the line end) into the list, when it is in range.
// A line ends at LF, with or without CR before it, or at the end of the
// text; blank lines are skipped.
template <typename PeakOf>
int32_t parse_lines(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                    int32_t* count, float low, float high, PeakOf peak_of) {
    const bool ranged = !(low == 0.0f && high == 0.0f);
    std::size_t pos = 0;
    while (pos < size) {
        const void* lf = std::memchr(text + pos, '\n', size - pos);
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text) : size;
        std::size_t p = pos;
        pos = lf ? end + 1 : size;
        while (p < end && is_space(text[p])) ++p;
        float mass = 0.0f, intensity = 0.0f;
        if (p == end || !peak_of(text + p, text + end, mass, intensity)) continue;
        if (ranged && !(low <= mass && mass <= high)) continue;
        if (!CalInsertPeak(masses, intensities, count, mass, intensity)) {
            show_too_many_peaks(owner);
            break;
        }
    }
    return 1;
}

}  // namespace

// One peak per line: a mass, then after blanks an intensity (0 when missing
// or not a number); the rest of the line is ignored, and so are blank lines,
// lines whose first non-blank character is ';', and lines whose first token
// reads as 0.
int32_t masscal::engine::parse_reference_text(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                              int32_t* count, float low, float high) {
    return parse_lines(owner, text, size, masses, intensities, count, low, high,
                       [](const char* p, const char* end, float& mass, float& intensity) {
                           if (*p == ';' || !read_float(p, &mass) || mass == 0.0f) return false;
                           while (p < end && !is_space(*p)) ++p;
                           while (p < end && is_space(*p)) ++p;
                           if (p < end && !read_float(p, &intensity)) intensity = 0.0f;
                           return true;
                       });
}

// The lock-mass list format: "m/z,MS level,charge" per line, an optional
// title line, '#' comments. Every mass counts alike (intensity 100); the MS
// level and charge are not used: the first column is already m/z.
int32_t masscal::engine::parse_lock_mass_csv(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                            int32_t* count, float low, float high) {
    return parse_lines(owner, text, size, masses, intensities, count, low, high,
                       [](const char* p, const char* end, float& mass, float& intensity) {
                           if (*p == '#' || *p == ';') return false;
                           const std::string_view line(p, static_cast<std::size_t>(end - p));
                           const std::size_t comma = line.find(',');
                           // A title line ("m/z,ms level,charge") is no lock mass.
                           if (comma == std::string_view::npos ||
                               !read_float(std::string(line.substr(0, comma)).c_str(), &mass) || !(mass > 0.0f))
                               return false;
                           intensity = 100.0f;
                           return true;
                       });
}

extern "C" MASSCAL_API int32_t CalReadReferenceFile(CalWnd hwndOwner, RawFileRef* pFile, float* pMasses,
                                                    float* pIntensities, int32_t* pnCount, float fLow, float fHigh) {
    if (!pFile || !pMasses || !pnCount) return 0;
    if (*pnCount < 0 || *pnCount > CAL_REF_CAPACITY) return 0;
    char path[kPathLimit];
    if (!masscal::engine::reference_path(pFile, path, sizeof path)) return 0;

    const FileHandleS h = CreateFileS(path);
    if (h == kInvalidFileHandleS) return 0;
    int32_t result = 0;
    if (!UsesSecurityLight() || CheckFileChecksum(path)) {
        const std::int64_t size = GetFileSizeS(h);
        if (size > 0) {
            const auto bytes = static_cast<std::size_t>(size);
            if (CalMemHandle mem = masscal::platform::mem_alloc(bytes + 1)) {
                if (auto* buf = static_cast<char*>(masscal::platform::mem_lock(mem))) {
                    std::size_t got = 0;
                    if (ReadFileS(h, buf, bytes, &got)) {
                        buf[got] = '\0';
                        const bool csv = equal_ignoring_case(pFile->szExtension, "csv");
                        result = (csv ? masscal::engine::parse_lock_mass_csv : masscal::engine::parse_reference_text)(
                            hwndOwner, buf, got, pMasses, pIntensities, pnCount, fLow, fHigh);
                    }
                    masscal::platform::mem_unlock(mem);
                }
                masscal::platform::mem_free(mem);
            }
        }
    }
    CloseHandleS(h);
    return result;
}

extern "C" MASSCAL_API int32_t CalReadReferencePeaks(CalWnd hwndOwner, RawFileRef* pRefFile,
                                                     RawFileRef* pAirRefFile, float* pMasses, float* pIntensities,
                                                     int32_t* pnCount, float fLow, float fHigh) {
    if (!pnCount) return 0;
    *pnCount = 0;
    if (!CalReadReferenceFile(hwndOwner, pRefFile, pMasses, pIntensities, pnCount, fLow, fHigh)) {
        masscal::platform::MessageBox(hwndOwner,
                                      "Unable to read the selected reference file. Possible reasons include "
                                      "incorrect format of the file, or too many peaks in the file. Please "
                                      "contact Software Support for further information. ",
                                      kCaption, kMessageType);
        return 0;
    }
    if (!pAirRefFile) return 1;
    for (;;) {
        if (CalReadReferenceFile(hwndOwner, pAirRefFile, pMasses, pIntensities, pnCount, fLow, fHigh)) return 1;
        masscal::platform::MessageBox(hwndOwner, "Unable to read the air reference file air.ref. ", kCaption,
                                      kMessageType);
        NormalFileRequest request{};
        copy_field(request.szDirectory, sizeof request.szDirectory, pAirRefFile->szDirectory,
                   sizeof pAirRefFile->szDirectory);
        copy_field(request.szName, sizeof request.szName, pAirRefFile->szName, sizeof pAirRefFile->szName);
        copy_field(request.szExtension, sizeof request.szExtension, pAirRefFile->szExtension,
                   sizeof pAirRefFile->szExtension);
        request.dFunction = pAirRefFile->nFunction;
        request.dSelector = pAirRefFile->nIndex;
        if (!GenGetNormalFile(nullptr, hwndOwner, &request)) return 0;
        copy_field(pAirRefFile->szDirectory, sizeof pAirRefFile->szDirectory, request.szDirectory,
                   sizeof request.szDirectory);
        copy_field(pAirRefFile->szName, sizeof pAirRefFile->szName, request.szName, sizeof request.szName);
        copy_field(pAirRefFile->szExtension, sizeof pAirRefFile->szExtension, request.szExtension,
                   sizeof request.szExtension);
        pAirRefFile->nFunction = 1;
        pAirRefFile->nIndex = selector_index(request.dSelector);
        if (equal_ignoring_case(pAirRefFile->szName, "air") && equal_ignoring_case(pAirRefFile->szExtension, "ref"))
            pAirRefFile->wKind = CAL_FILEREF_KIND_PLAIN;
    }
}
