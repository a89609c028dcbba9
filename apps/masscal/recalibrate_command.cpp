#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli_support.hpp"
#include "commands.hpp"
#include "data_selection.hpp"
#include "output_files.hpp"
#include "masscal/input.h"
#include "masscal/lockmass.h"

namespace cli {
namespace {

int model_of(const std::string& name) {
    if (name == "offset") return CAL_LOCK_MODEL_OFFSET;
    if (name == "linear") return CAL_LOCK_MODEL_LINEAR;
    if (name == "quadratic") return CAL_LOCK_MODEL_QUADRATIC;
    if (name.size() == 5 && name.compare(0, 4, "poly") == 0 && name[4] >= '0' && name[4] <= '5')
        return CAL_LOCK_MODEL_POLY0 + (name[4] - '0');
    return -1;
}

std::string data_error(const std::string& data) {
    const std::string e = CalGetDataError() ? CalGetDataError() : "";
    if (e.empty()) return failure_text(data, "cannot be recalibrated");
    return e.find(data) == std::string::npos ? failure_text(data, e) : e;
}

std::string ppm_text(double v) {
    char t[32];
    std::snprintf(t, sizeof t, std::isfinite(v) ? "%.3g ppm" : "-", v);
    return t;
}

struct RunDeleter {
    void operator()(CalLockMassRun* r) const { CalLockMassFree(r); }
};

}  // namespace

int run_recalibrate(const RecalibrateOptions& r) {
    if (auto why = unreadable(r.data); !why.empty()) return fail(kBadInput, r.data, why);
    if (auto why = unreadable(r.locks); !why.empty()) return fail(kBadInput, r.locks, why);
    const std::string ext = lower_extension(r.data);
    if (ext != ".mzml" && ext != ".gz") return fail(kBadInput, r.data, "recalibrate reads mzML files (also .mzML.gz) only");
    if (!r.driftPng.empty() && lower_extension(r.driftPng) != ".png")
        return fail(kBadInput, r.driftPng, "--drift-png writes a file whose name ends in .png");
    if (!r.driftSvg.empty() && lower_extension(r.driftSvg) != ".svg")
        return fail(kBadInput, r.driftSvg, "--drift-svg writes a file whose name ends in .svg");
    if (auto why = output_clash({r.data, r.locks}, {r.out, r.qcCsv, r.qcJson, r.driftPng, r.driftSvg}); !why.empty())
        return fail(kBadInput, "", why);

    CalLockMassOptions o;
    CalLockMassDefaults(&o);
    o.nModel = model_of(r.model);
    if (o.nModel < 0)
        return fail(kBadInput, "", "--model " + r.model + ": offset, linear, quadratic or poly0 to poly5");
    o.dTolerancePpm = r.tolerancePpm;
    o.dMinIntensity = r.minIntensity;
    o.dRtWindow = r.rtWindow;
    o.nScanWindow = r.scansWindow;
    o.nMsLevel = r.msLevel;
    o.bFollowHigherLevels = r.ms2Follow;
    o.bIntensityWeight = r.intensityWeight;
    o.bGate = !r.noGate;
    o.Limits.nMinMatches = r.minLocks;
    if (r.maxRmsPpm >= 0) o.Limits.dMaxRmsPpm = r.maxRmsPpm;
    if (r.outlierSigmas >= 0) o.Limits.dOutlierSigmas = r.outlierSigmas;
    if (!r.rt.empty()) {
        if (auto why = parse_range(r.rt, true, o.dRtFrom, o.dRtTo); !why.empty())
            return fail(kBadInput, "", "--rt " + r.rt + ": " + why);
        o.bRtRange = 1;
    }
    if (!r.scans.empty()) {
        double from = 0, to = 0;
        if (auto why = parse_range(r.scans, false, from, to); !why.empty())
            return fail(kBadInput, "", "--scans " + r.scans + ": " + why);
        o.bScanRange = 1;
        o.nScanFrom = static_cast<std::int64_t>(std::ceil(from));
        o.nScanTo = static_cast<std::int64_t>(std::floor(to));
    }

    std::vector<double> locks(CAL_REF_CAPACITY);
    const int32_t n = CalReadLockMasses(r.locks.c_str(), locks.data(), static_cast<int32_t>(locks.size()));
    if (n < 0) return fail(kBadInput, "", data_error(r.locks));
    locks.resize(static_cast<std::size_t>(n));

    // Everything goes to temporary files; they take their names only when
    // the whole run has succeeded.
    PendingOutput out(r.out), csv(r.qcCsv), json(r.qcJson), png(r.driftPng), svg(r.driftSvg);
    std::string why;
    for (PendingOutput* p : {&out, &csv, &json, &png, &svg})
        if (!p->target().empty() && !p->create(why)) return fail(kBadInput, p->target(), why);
    const std::unique_ptr<CalLockMassRun, RunDeleter> run(
        CalLockMassRecalibrate(r.data.c_str(), out.temp().c_str(), locks.data(), n, &o));
    if (!run) return fail(kBadInput, "", data_error(r.data));
    CalLockMassSummary s;
    CalLockMassSummaryOf(run.get(), &s);
    if (s.nRewritten == 0) return fail(kCalFailed, r.data, std::string("no spectrum could be recalibrated: ") + s.szGlobalNote);

    if (!r.qcCsv.empty() && !CalLockMassWriteTable(run.get(), csv.temp().c_str(), 0))
        return fail(kBadInput, r.qcCsv, "cannot be written");
    if (!r.qcJson.empty() && !CalLockMassWriteTable(run.get(), json.temp().c_str(), 1))
        return fail(kBadInput, r.qcJson, "cannot be written");
    if (!r.driftPng.empty() && !CalLockMassRenderDrift(run.get(), png.temp().c_str(), 1200, 800))
        return fail(kBadInput, r.driftPng, "cannot be written");
    if (!r.driftSvg.empty() && !CalLockMassRenderDrift(run.get(), svg.temp().c_str(), 1200, 800))
        return fail(kBadInput, r.driftSvg, "cannot be written");
    for (PendingOutput* p : {&csv, &json, &png, &svg, &out})
        if (!p->target().empty() && !p->commit(why)) return fail(kBadInput, p->target(), why);

    std::printf("%d of %d spectra recalibrated into %s: %d from their own window, %d from the nearest window, "
                "%d from the whole run; %d left unchanged\n",
                s.nRewritten, s.nSpectra, r.out.c_str(), s.nFromWindow, s.nFromNearest, s.nFromGlobal, s.nUnchanged);
    std::printf("%d lock %s found %d times in %d MS%d spectra; lock-mass error (RMS) %s before, %s after\n", s.nLocks,
                s.nLocks == 1 ? "mass" : "masses", s.nObservations, s.nLockSpectra, r.msLevel,
                ppm_text(s.dRmsBeforePpm).c_str(), ppm_text(s.dRmsAfterPpm).c_str());
    if (!s.bGlobalModel && s.nFromWindow < s.nSpectra)
        std::printf("no model of the whole run: %s\n", s.szGlobalNote);
    return kOk;
}

}  // namespace cli
