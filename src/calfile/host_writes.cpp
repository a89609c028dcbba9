// The calibration file writes a host makes: one function's calibration, the
// TOF section, each refused before it starts when the file is not one this
// library may change.
#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "calfile/file_kind.hpp"
#include "masscal/calfile.h"
#include "masscal/calfile.hpp"
#include "suite/fileaccess/file_io.hpp"
#include "suite/fileaccess/file_lock.hpp"
#include "suite/fileaccess/profile.hpp"
#include "suite/fileaccess/profile_engine.hpp"
#include "suite/utility/packed_fields.hpp"

using masscal::calfile::CalFileKind;
using masscal::suite::load_field;
using masscal::suite::store_field;

struct CalFileLock {
    explicit CalFileLock(const char* file) : lock(file) {}
    masscal::suite::fs::FileLock lock;
};

namespace {

const char kUnreadableVersion[] = "its version cannot be read; ";
const char kNotTof[] = "not a time-of-flight calibration (neither a calibration file with a [TOF] section nor "
                       "the older time-of-flight text format)";

int32_t refuse(char* why, int32_t size, const std::string& text) {
    if (why && size > 0) std::snprintf(why, static_cast<size_t>(size), "%s", text.c_str());
    return 0;
}

int32_t done(char* why, int32_t size) {
    if (why && size > 0) why[0] = '\0';
    return 1;
}

std::string write_failure() {
    const std::string& e = masscal::suite::profile::last_error();
    return e.empty() ? "cannot write the calibration file" : e;
}

// Empty when file is missing or a regular file.
std::string not_regular(const char* file) {
    struct stat st;
    if (::stat(file, &st) != 0 || S_ISREG(st.st_mode)) return "";
    return S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
}

}  // namespace

extern "C" MASSCAL_API int32_t CalWriteFunctionCalibration(const char* file, int32_t function,
                                                           const RawCalibCoEffs* coeffs, char* why, int32_t size) {
    if (!file || !*file || !coeffs) return refuse(why, size, "no file or no calibration");
    if (auto e = not_regular(file); !e.empty()) return refuse(why, size, e);
    if (function < 1 || function > CAL_MAX_FUNCTIONS) return refuse(why, size, "function out of range");
    switch (masscal::calfile::cal_file_kind(file)) {
        case CalFileKind::OldText:
            return refuse(why, size,
                          "is not a calibration file with sections (an older-format time-of-flight file?); "
                          "not written");
        case CalFileKind::Unreadable:
            return refuse(why, size, std::string(kUnreadableVersion) +
                                         "not a calibration file this program can write");
        default: break;
    }
    CProfileWriteBatch batch(file);
    if (CCalFile::GetVersion(file) < 1) masscal::calfile::stamp_version(file);
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    CCalFile::ReadCalibrationFunctions(file, info.get());
    // The functions sit at a 2-byte offset in the file record: copied, never bound.
    const std::size_t at = offsetof(RawCalibInfo, Functions) + sizeof(tagRAWCALIBFUNC) * (function - 1);
    auto entry = load_field<tagRAWCALIBFUNC>(info.get(), at);
    entry.nSegments = 1;
    entry.Segments[0] = *coeffs;
    store_field(info.get(), at, entry);
    if (load_field<int32_t>(info.get(), offsetof(RawCalibInfo, nFunctions)) < function)
        store_field<int32_t>(info.get(), offsetof(RawCalibInfo, nFunctions), function);
    CCalFile::WriteCalibrationFunctions(file, info.get());
    if (!batch.Commit()) return refuse(why, size, write_failure());
    return done(why, size);
}

extern "C" MASSCAL_API int32_t CalWriteTofSection(const char* file, const _TOFCALIBRATION* tof, char* why,
                                                  int32_t size) {
    if (!file || !*file || !tof) return refuse(why, size, "no file or no calibration");
    if (auto e = not_regular(file); !e.empty()) return refuse(why, size, e);
    const CalFileKind kind = masscal::calfile::cal_file_kind(file);
    // An old-format file is replaced; anything else without sections is
    // somebody's file that only looks that way to the library.
    std::string text;
    if (kind == CalFileKind::OldText &&
        (!masscal::suite::ReadFileContents(file, &text) || !masscal::calfile::looks_like_tof_text(text)))
        return refuse(why, size,
                      "is neither a calibration file nor an older-format time-of-flight file; not replaced");
    if (kind == CalFileKind::Unreadable)
        return refuse(why, size, std::string(kUnreadableVersion) + "not a calibration file this program can write");
    auto copy = std::make_unique<_TOFCALIBRATION>();
    std::memcpy(copy.get(), tof, sizeof *copy);
    if (!CCalFile::WriteTofParameters(file, copy.get())) return refuse(why, size, write_failure());
    return done(why, size);
}

extern "C" MASSCAL_API int32_t CalCheckTofCalibrationFile(const char* file, char* why, int32_t size) {
    if (!file || !*file) return refuse(why, size, "no file");
    switch (masscal::calfile::cal_file_kind(file)) {
        case CalFileKind::Sections: {
            char keys[4] = {};
            CFileAccess::GetPrivateProfileStringSA("TOF", nullptr, "", keys, sizeof keys, file);
            return keys[0] ? done(why, size) : refuse(why, size, kNotTof);
        }
        case CalFileKind::OldText: {
            std::string text;
            if (!masscal::suite::ReadFileContents(file, &text)) return refuse(why, size, "cannot be read");
            return masscal::calfile::looks_like_tof_text(text) ? done(why, size) : refuse(why, size, kNotTof);
        }
        case CalFileKind::Unreadable: return refuse(why, size, std::string(kUnreadableVersion) + kNotTof);
        default: return refuse(why, size, kNotTof);
    }
}

extern "C" MASSCAL_API CalFileLock* CalLockFile(const char* file, char* why, int32_t size) {
    if (!file || !*file) {
        refuse(why, size, "no file");
        return nullptr;
    }
    auto lock = std::make_unique<CalFileLock>(file);
    if (!lock->lock.locked()) {
        refuse(why, size, lock->lock.error());
        return nullptr;
    }
    done(why, size);
    return lock.release();
}

extern "C" MASSCAL_API void CalUnlockFile(CalFileLock* lock) { delete lock; }

extern "C" MASSCAL_API const char* CalGetWriteError(void) { return masscal::suite::profile::last_error().c_str(); }
