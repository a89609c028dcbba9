// The older time-of-flight text format: one value or record per line, in a
// fixed order, lines ended by CR LF.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "calfile/tof_text.hpp"
#include "masscal/tofcal.h"
#include "platform/c_locale.hpp"
#include "platform/memory.hpp"
#include "suite/fileaccess/file_io.hpp"
#include "suite/rawfile/raw_file.hpp"

using masscal::platform::c_atof;
using masscal::platform::c_atoi;
using masscal::platform::c_snprintf;
using masscal::platform::mem_alloc;
using masscal::platform::mem_free;
using masscal::platform::mem_lock;
using masscal::platform::mem_unlock;
using namespace masscal::calfile;

namespace {

constexpr std::size_t kTextBytes = kTofTextBytes;
constexpr std::size_t kLineChars = kTofLineChars;
// Room for one polynomial line.
constexpr std::size_t kSegmentText = 4097;

const char kReal[] = "%10.7f";

// A locked movable block, released with the object.
class Block {
public:
    explicit Block(std::size_t bytes) : h_(mem_alloc(bytes)), p_(h_ ? static_cast<char*>(mem_lock(h_)) : nullptr) {}
    ~Block() {
        if (!h_) return;
        mem_unlock(h_);
        mem_free(h_);
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    char* get() const { return p_; }

private:
    CalMemHandle h_;
    char* p_;
};

// Walks the lines of the text. The first line must end in CR LF; the others
// end at LF (a CR before it stays in the line, where the conversions ignore
// it). A line without its terminator is not taken, and nothing after it.
class LineReader {
public:
    explicit LineReader(const char* text) : text_(text), len_(std::strlen(text)) {}

    bool first(char* line) {
        const char* cr = static_cast<const char*>(std::memchr(text_, '\r', len_));
        if (!cr) return fail();
        take(line, static_cast<std::size_t>(cr - text_));
        pos_ = static_cast<std::size_t>(cr - text_) + 2;
        if (pos_ > len_) pos_ = len_;
        return true;
    }

    bool next(char* line) {
        if (done_) return false;
        const char* lf = static_cast<const char*>(std::memchr(text_ + pos_, '\n', len_ - pos_));
        if (!lf) return fail();
        const std::size_t end = static_cast<std::size_t>(lf - text_);
        take(line, end - pos_);
        pos_ = end + 1;
        return true;
    }

private:
    bool fail() {
        done_ = true;
        return false;
    }
    void take(char* line, std::size_t n) {
        // Longer lines are cut, not overrun.
        if (n > kLineChars) n = kLineChars;
        std::memcpy(line, text_ + pos_, n);
        line[n] = '\0';
    }

    const char* text_;
    std::size_t len_;
    std::size_t pos_ = 0;
    bool done_ = false;
};

void read_reflectron_line(const char* line, float* values) {
    // Comma-separated; empty fields are no values.
    int n = 0;
    const char* p = line;
    while (n < CAL_MAX_SEGMENTS && *p) {
        const std::size_t field = std::strcspn(p, ",");
        if (field > 0) {
            char buf[kLineChars + 1];
            std::memcpy(buf, p, field);
            buf[field] = '\0';
            values[n++] = static_cast<float>(c_atof(buf));
        }
        p += field;
        if (*p == ',') ++p;
    }
}

// Line ends are written explicitly: the reader needs CR LF after the first
// line, which a text-mode write on this system would not give.
void put_line(std::string& out, const char* text) {
    out += text;
    out += "\r\n";
}

void put_real(std::string& out, float v) {
    char buf[64];
    c_snprintf(buf, sizeof buf, kReal, static_cast<double>(v));
    put_line(out, buf);
}

void put_int(std::string& out, int v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d", v);
    put_line(out, buf);
}

}  // namespace

namespace masscal::calfile {

void parse_tof_text(const char* text, char* line, _TOFCALIBRATION* tof) {
    LineReader lines(text);
    if (!lines.first(line)) return;
    tof->bPSDCalibration = std::strcmp(line, "FALSE") == 0 ? 0 : 1;
    for (int i = 0; i < CAL_MAX_SEGMENTS; ++i) {
        if (!lines.next(line)) return;
        RawParseCaliCoeffs(&tof->Segments[i], line);
    }
    if (!lines.next(line)) return;
    read_reflectron_line(line, tof->fReflectron);

    int* const ints[] = {&tof->nSegments, &tof->nInstrumentMode};
    for (int* v : ints) {
        if (!lines.next(line)) return;
        *v = c_atoi(line);
    }
    float* const voltages[] = {&tof->fSourceVoltage, &tof->fFocusVoltage, &tof->fExtractionVoltage,
                               &tof->fSamplingRate};
    for (float* v : voltages) {
        if (!lines.next(line)) return;
        *v = static_cast<float>(c_atof(line));
    }
    if (!lines.next(line)) return;
    tof->nIonisationMode = c_atoi(line);
    float* const masses[] = {&tof->fPrecursorMass, &tof->fLowMass, &tof->fHighMass};
    for (float* v : masses) {
        if (!lines.next(line)) return;
        *v = static_cast<float>(c_atof(line));
    }
}

}  // namespace masscal::calfile

extern "C" MASSCAL_API int32_t CalReadTofCalibration(const RawFileRef* ref, _TOFCALIBRATION* tof) {
    Block text(kTextBytes + 1);
    Block line(kLineChars + 1);
    if (!text.get() || !line.get()) return 0;

    char path[kTofPathSize];
    tof_ref_to_path(ref, path, sizeof path);
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    // A folder opens here too, and reads as nothing: it is no calibration.
    struct stat st;
    if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return 0;
    }
    const std::size_t n = std::fread(text.get(), 1, kTextBytes, f);
    const bool read = !std::ferror(f);
    std::fclose(f);
    if (!read) return 0;
    text.get()[n] = '\0';

    parse_tof_text(text.get(), line.get(), tof);
    return 1;
}

extern "C" MASSCAL_API int32_t CalWriteTofCalibration(const RawFileRef* ref, _TOFCALIBRATION* tof) {
    tof->nSegments = CAL_MAX_SEGMENTS;
    // Taken before the file is touched: a short of memory must not leave a
    // file with a segment line missing and every later line shifted.
    Block segment(kSegmentText);
    if (!segment.get()) return 0;

    std::string f;
    put_line(f, tof->bPSDCalibration ? "TRUE" : "FALSE");
    for (int i = 0; i < CAL_MAX_SEGMENTS; ++i) {
        RawFormatCaliCoeffs(&tof->Segments[i], segment.get(), kSegmentText);
        put_line(f, segment.get());
    }
    std::string reflectron;
    for (int i = 0; i < CAL_MAX_SEGMENTS; ++i) {
        char buf[64];
        c_snprintf(buf, sizeof buf, kReal, static_cast<double>(tof->fReflectron[i]));
        if (i > 0) reflectron += ',';
        reflectron += buf;
    }
    put_line(f, reflectron.c_str());
    put_int(f, tof->nSegments);
    put_int(f, tof->nInstrumentMode);
    put_real(f, tof->fSourceVoltage);
    put_real(f, tof->fFocusVoltage);
    put_real(f, tof->fExtractionVoltage);
    put_real(f, tof->fSamplingRate);
    put_int(f, tof->nIonisationMode);
    put_real(f, tof->fPrecursorMass);
    put_real(f, tof->fLowMass);
    put_real(f, tof->fHighMass);

    // Replaced whole, never written in place: a failed or interrupted write
    // leaves the old file, not a fragment that reads as a zero calibration.
    char path[kTofPathSize];
    tof_ref_to_path(ref, path, sizeof path);
    return masscal::suite::ReplaceFileContents(path, f.data(), f.size());
}

// ---- Paths as the format joins them

namespace masscal::calfile {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Copies n characters of src into a field of size bytes; false when they
// do not fit.
bool copy_field(char* field, std::size_t size, const char* src, std::size_t n) {
    if (n >= size) return false;
    std::memcpy(field, src, n);
    field[n] = '\0';
    return true;
}

void append(char* out, std::size_t size, std::size_t& used, const char* s, std::size_t n) {
    if (used + 1 >= size) return;
    if (n > size - 1 - used) n = size - 1 - used;
    std::memcpy(out + used, s, n);
    used += n;
    out[used] = '\0';
}

}  // namespace

void tof_ref_to_path(const RawFileRef* ref, char* out, std::size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    std::size_t used = 0;
    const std::size_t dir = strnlen(ref->szDirectory, sizeof ref->szDirectory);
    append(out, size, used, ref->szDirectory, dir);
    if (dir > 0 && !is_separator(ref->szDirectory[dir - 1])) append(out, size, used, "/", 1);
    append(out, size, used, ref->szName, strnlen(ref->szName, sizeof ref->szName));
    const std::size_t ext = strnlen(ref->szExtension, sizeof ref->szExtension);
    if (ext > 0) {
        if (ref->szExtension[0] != '.') append(out, size, used, ".", 1);
        append(out, size, used, ref->szExtension, ext);
    }
}

bool tof_path_to_ref(const char* path, RawFileRef* ref) {
    std::memset(ref, 0, sizeof *ref);
    ref->wKind = CAL_FILEREF_KIND_PLAIN;
    const std::size_t len = std::strlen(path);
    std::size_t name = len;
    while (name > 0 && !is_separator(path[name - 1])) --name;
    bool fits = copy_field(ref->szDirectory, sizeof ref->szDirectory, path, name);
    // A leading dot (a hidden file) or a trailing one is part of the name.
    const char* base = path + name;
    const std::size_t base_len = len - name;
    const char* last_dot = std::strrchr(base, '.');
    if (last_dot && last_dot != base && last_dot != base + base_len - 1) {
        fits = fits && copy_field(ref->szName, sizeof ref->szName, base, static_cast<std::size_t>(last_dot - base));
        fits = fits && copy_field(ref->szExtension, sizeof ref->szExtension, last_dot + 1,
                                  base + base_len - last_dot - 1);
    } else {
        fits = fits && copy_field(ref->szName, sizeof ref->szName, base, base_len);
    }
    if (!fits) {
        std::memset(ref, 0, sizeof *ref);
        ref->wKind = CAL_FILEREF_KIND_PLAIN;
    }
    return fits;
}

}  // namespace masscal::calfile
