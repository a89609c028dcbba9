#include "engine/reference_file.hpp"

#include <algorithm>
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

// Calls line(first non-blank character, line end, line number from 1) for
// every line that is not blank; stops when it answers false. A line ends at
// LF, with or without CR before it, or at the end of the text.
template <typename Line>
void for_each_line(const char* text, std::size_t size, Line line) {
    std::size_t pos = 0;
    for (int number = 1; pos < size; ++number) {
        const void* lf = std::memchr(text + pos, '\n', size - pos);
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text) : size;
        std::size_t p = pos;
        pos = lf ? end + 1 : size;
        while (p < end && is_space(text[p])) ++p;
        if (p < end && !line(text + p, text + end, number)) break;
    }
}

// A number of the text; false when it is not finite as a float ("inf",
// "nan", 1e39), which no reference peak can be.
bool read_number(const char* p, double* out) {
    const double d = masscal::platform::c_atof(p);
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return false;
    *out = d;
    return true;
}

// The peak of a reference-file line: a mass, then after blanks an intensity
// (0 when missing or not a number); the rest of the line is ignored. False
// for a comment (';') or a first token that is not a number.
bool reference_line(const char* p, const char* end, double& mass, double& intensity) {
    if (*p == ';' || !read_number(p, &mass)) return false;
    while (p < end && !is_space(*p)) ++p;
    while (p < end && is_space(*p)) ++p;
    if (p >= end || !read_number(p, &intensity)) intensity = 0.0;
    return true;
}

// The mass of a lock-mass list line, "m/z,MS level,charge"; false for a
// comment ('#', ';') or a title line ("m/z,ms level,charge"). Every mass
// counts alike (intensity 100); the MS level and charge are not used: the
// first column is already m/z.
bool lock_csv_line(const char* p, const char* end, double& mass, double& intensity) {
    if (*p == '#' || *p == ';') return false;
    const std::string_view line(p, static_cast<std::size_t>(end - p));
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || !read_number(std::string(line.substr(0, comma)).c_str(), &mass) ||
        !(mass > 0.0))
        return false;
    intensity = 100.0;
    return true;
}

// Inserts the peak that peak_of reads from each line into the list (as
// floats), when it is in range; lines whose mass reads as 0 are skipped.
template <typename PeakOf>
int32_t parse_lines(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                    int32_t* count, float low, float high, PeakOf peak_of) {
    const bool ranged = !(low == 0.0f && high == 0.0f);
    for_each_line(text, size, [&](const char* p, const char* end, int) {
        double m = 0.0, i = 0.0;
        if (!peak_of(p, end, m, i)) return true;
        const auto mass = static_cast<float>(m), intensity = static_cast<float>(i);
        if (mass == 0.0f || (ranged && !(low <= mass && mass <= high))) return true;
        if (!CalInsertPeak(masses, intensities, count, mass, intensity)) {
            show_too_many_peaks(owner);
            return false;
        }
        return true;
    });
    return 1;
}

}  // namespace

// One peak per line: a mass, then after blanks an intensity (0 when missing
// or not a number); the rest of the line is ignored, and so are blank lines,
// lines whose first non-blank character is ';', and lines whose first token
// reads as 0.
int32_t masscal::engine::parse_reference_text(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                              int32_t* count, float low, float high) {
    return parse_lines(owner, text, size, masses, intensities, count, low, high, reference_line);
}

int32_t masscal::engine::parse_lock_mass_csv(CalWnd owner, const char* text, std::size_t size, float* masses, float* intensities,
                            int32_t* count, float low, float high) {
    return parse_lines(owner, text, size, masses, intensities, count, low, high, lock_csv_line);
}

bool masscal::engine::parse_lock_masses(const char* text, std::size_t size, bool csv, std::vector<double>& masses,
                                        std::string& why) {
    masses.clear();
    why.clear();
    for_each_line(text, size, [&](const char* p, const char* end, int number) {
        double mass = 0.0, intensity = 0.0;
        // A first token that reads as 0 (as a float) is a title, as in a reference file.
        if (!(csv ? lock_csv_line : reference_line)(p, end, mass, intensity) || static_cast<float>(mass) == 0.0f)
            return true;
        if (!(mass > 0.0)) {
            why = "line " + std::to_string(number) + ": a lock mass must be a positive m/z";
            return false;
        }
        masses.push_back(mass);
        return true;
    });
    if (!why.empty()) return false;
    std::sort(masses.begin(), masses.end());
    masses.erase(std::unique(masses.begin(), masses.end()), masses.end());
    if (masses.empty()) why = "no lock mass in the file";
    else if (masses.size() > static_cast<std::size_t>(CAL_REF_CAPACITY))
        why = std::to_string(masses.size()) + " lock masses; at most " + std::to_string(CAL_REF_CAPACITY) + " are used";
    return why.empty();
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
