#include "calibration_outputs.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "masscal/calfile.h"
#include "masscal/render.h"
#include "output_files.hpp"

namespace cli {
namespace {

// The calibration file as it was, to put back when a later output fails.
struct Previous {
    bool existed = false;
    std::string text;
};

}  // namespace

bool write_calibration(const CalRecord& rec, const std::string& path, int function, std::string& why) {
    char reason[1024];
    const int32_t ok = rec.bTofFunction
                           ? CalWriteTofSection(path.c_str(), &rec.TofCalib, reason, sizeof reason)
                           : CalWriteFunctionCalibration(path.c_str(), function, &rec.MassFunc, reason, sizeof reason);
    if (!ok) why = reason;
    return ok != 0;
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
    std::unique_ptr<CalFileLock, void (*)(CalFileLock*)> lock(nullptr, CalUnlockFile);
    Previous previous;
    if (!o.out.empty()) {
        file = o.out;
        char reason[1024];
        lock.reset(CalLockFile(o.out.c_str(), reason, sizeof reason));
        if (!lock) {
            why = reason;
            return false;
        }
        previous.existed = ::access(o.out.c_str(), F_OK) == 0;
        if (previous.existed && !read_file(o.out, previous.text)) {
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
                replace_file(o.out, previous.text);
            else
                ::unlink(o.out.c_str());
        }
        return false;
    }
    file.clear();
    return true;
}

}  // namespace cli
