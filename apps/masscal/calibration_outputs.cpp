#include "calibration_outputs.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>

#include "calfile/file_kind.hpp"
#include "masscal/calfile.hpp"
#include "masscal/render.h"
#include "output_files.hpp"
#include "suite/fileaccess/file_io.hpp"
#include "suite/fileaccess/file_lock.hpp"
#include "suite/fileaccess/profile.hpp"
#include "suite/fileaccess/profile_engine.hpp"

using masscal::calfile::CalFileKind;

namespace cli {
namespace {

struct VersionStamp : CCalFile {
    using CCalFile::SetVersion;
};

std::string write_failure() {
    const std::string& e = masscal::suite::profile::last_error();
    return e.empty() ? "cannot write the calibration file" : e;
}

bool write_tof(const CalRecord& rec, const std::string& path, std::string& why) {
    std::string text;
    const CalFileKind kind = masscal::calfile::cal_file_kind(path.c_str());
    // An old-format file is replaced; anything else without sections is
    // somebody's file that only looks that way to the library.
    if (kind == CalFileKind::OldText && (!masscal::suite::ReadFileContents(path.c_str(), &text) ||
                                         !masscal::calfile::looks_like_tof_text(text))) {
        why = "is neither a calibration file nor an older-format time-of-flight file; not replaced";
        return false;
    }
    if (kind == CalFileKind::Unreadable) {
        why = "its version cannot be read; not a calibration file this program can write";
        return false;
    }
    _TOFCALIBRATION tof;
    std::memcpy(&tof, &rec.TofCalib, sizeof tof);
    if (!CCalFile::WriteTofParameters(path.c_str(), &tof)) {
        why = write_failure();
        return false;
    }
    return true;
}

bool write_function(const CalRecord& rec, const std::string& path, int function, std::string& why) {
    if (function < 1 || function > CAL_MAX_FUNCTIONS) {
        why = "function out of range";
        return false;
    }
    switch (masscal::calfile::cal_file_kind(path.c_str())) {
        case CalFileKind::OldText:
            why = "is not a calibration file with sections (an older-format time-of-flight file?); not written";
            return false;
        case CalFileKind::Unreadable:
            why = "its version cannot be read; not a calibration file this program can write";
            return false;
        default: break;
    }
    CProfileWriteBatch batch(path.c_str());
    if (CCalFile::GetVersion(path.c_str()) < 1) VersionStamp::SetVersion(path.c_str());
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    CCalFile::ReadCalibrationFunctions(path.c_str(), info.get());
    // The functions sit at a 2-byte offset in the file record: copied, never bound.
    char* base = reinterpret_cast<char*>(info.get());
    char* f = base + offsetof(RawCalibInfo, Functions) + sizeof(tagRAWCALIBFUNC) * (function - 1);
    const int32_t one = 1;
    std::memcpy(f + offsetof(tagRAWCALIBFUNC, nSegments), &one, sizeof one);
    std::memcpy(f + offsetof(tagRAWCALIBFUNC, Segments), &rec.MassFunc, sizeof(RawCalibCoEffs));
    int32_t count;
    std::memcpy(&count, base + offsetof(RawCalibInfo, nFunctions), sizeof count);
    if (count < function) std::memcpy(base + offsetof(RawCalibInfo, nFunctions), &function, sizeof function);
    CCalFile::WriteCalibrationFunctions(path.c_str(), info.get());
    if (!batch.Commit()) {
        why = write_failure();
        return false;
    }
    return true;
}

// The calibration file as it was, to put back when a later output fails.
struct Previous {
    bool existed = false;
    std::string text;
};

}  // namespace

bool write_calibration(const CalRecord& rec, const std::string& path, int function, std::string& why) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        return false;
    }
    return rec.bTofFunction ? write_tof(rec, path, why) : write_function(rec, path, function, why);
}

bool write_run_outputs(const CalOptions& o, CalRecord* rec, const ReportRenderer& render, std::string& file,
                       std::string& why) {
    for (const std::string* p : {&o.out, &o.report, &o.png}) {
        if (p->empty()) continue;
        file = *p;
        why = path_too_long(*p);
        struct stat st;
        if (why.empty() && ::stat(p->c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            why = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        if (!why.empty()) return false;
    }
    file.clear();
    why = output_clash({o.data, o.ref, o.calFile}, {o.out, o.report, o.png});
    if (!why.empty()) return false;

    // The pictures go to temporary files first; the calibration file is
    // changed last, under its lock, and put back if a picture cannot be
    // renamed into place.
    PendingOutput report(o.report), graphs(o.png);
    if (!o.report.empty()) {
        file = o.report;
        if (!report.create(why)) return false;
        if (!render(report.temp())) {
            why = "cannot write the report";
            return false;
        }
    }
    if (!o.png.empty()) {
        file = o.png;
        if (!graphs.create(why)) return false;
        if (!CalRenderGraphs(rec, graphs.temp().c_str(), 1200, 900, CAL_RENDER_PPM)) {
            why = "cannot write the graphs";
            return false;
        }
    }
    std::optional<masscal::suite::fs::FileLock> lock;
    Previous previous;
    if (!o.out.empty()) {
        file = o.out;
        lock.emplace(o.out);
        if (!lock->locked()) {
            why = lock->error();
            return false;
        }
        previous.existed = ::access(o.out.c_str(), F_OK) == 0;
        if (previous.existed && !masscal::suite::ReadFileContents(o.out.c_str(), &previous.text)) {
            why = "cannot be read";
            return false;
        }
        if (!write_calibration(*rec, o.out, o.function, why)) {
            if (why.rfind(o.out + ":", 0) == 0) file.clear();  // the reason names the file already
            return false;
        }
    }
    for (PendingOutput* p : {&report, &graphs}) {
        if (p->target().empty()) continue;
        file = p->target();
        if (p->commit(why)) continue;
        if (!o.out.empty()) {
            if (previous.existed)
                masscal::suite::ReplaceFileContents(o.out.c_str(), previous.text.data(), previous.text.size());
            else
                ::unlink(o.out.c_str());
        }
        return false;
    }
    file.clear();
    return true;
}

}  // namespace cli
