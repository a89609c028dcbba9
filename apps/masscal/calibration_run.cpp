#include "calibration_run.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "calibration_outputs.hpp"
#include "cli_support.hpp"
#include "data_selection.hpp"
#include "masscal/calfile.hpp"
#include "masscal/calibrate.h"
#include "masscal/input.h"
#include "masscal/params.h"
#include "masscal/polynomial.hpp"
#include "masscal/quality.h"
#include "masscal/reference.h"
#include "masscal/render.h"
#include "masscal/tofcal.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::vector<Match> matches(const CalRecord& rec) {
    // In verify mode the errors are those left by the stored calibration.
    const bool check = rec.bCheckOnly != 0;
    std::vector<Match> out;
    const int n = rec.MatchPeaks.nCount;
    if (n <= 0 || !rec.MatchPeaks.Mass.pData || !rec.Errors.pData) return out;
    const float* mass = static_cast<const float*>(rec.MatchPeaks.Mass.pData);
    const float* err = static_cast<const float*>(rec.Errors.pData);
    const float* res = rec.Residuals.pData ? static_cast<const float*>(rec.Residuals.pData) : nullptr;
    for (int i = 0; i < n; ++i) {
        Match m{};
        m.measured = mass[i];
        m.reference = static_cast<double>(mass[i]) - err[i];
        m.errorMda = err[i] * 1000.0;
        m.errorPpm = m.reference != 0 ? err[i] / m.reference * 1e6 : 0.0;
        m.residual = check ? err[i] : (res ? res[i] : 0.0);
        out.push_back(m);
    }
    return out;
}

CalQualityLimits gate_limits(const CalOptions& o, const CalRecord& rec) {
    CalQualityLimits l;
    CalDefaultQualityLimits(CalIsAccurateMass(&rec.DataFile), &l);
    if (o.minMatches >= 0) l.nMinMatches = o.minMatches;
    if (o.maxRmsPpm >= 0) l.dMaxRmsPpm = o.maxRmsPpm;
    if (o.outlierSigmas >= 0) l.dOutlierSigmas = o.outlierSigmas;
    return l;
}

// What the program adds to Calibrate's run: windows from a tolerance, the
// root-mass switch (Calibrate resets it) and outlier rejection, each a re-run
// of the driver on the record already read.
int refine(const CalOptions& o, CalRecord& rec, RunResult& r, std::string& why) {
    const bool given = o.window >= 0 || o.initialError >= 0;
    double tolerance = o.tolerancePpm;
    if (tolerance < 0 && !given && CalIsAccurateMass(&rec.DataFile)) tolerance = kDefaultTolerancePpm;
    if (tolerance > 0 && !CalApplyTolerancePpm(&rec, tolerance)) tolerance = 0;
    if (tolerance <= 0 && !o.rootMass && !o.rejectOutliers) return kOk;
    auto& said = messages();
    if (tolerance > 0 || o.rootMass) {
        // The first run's messages belonged to windows or a mode no longer in force.
        said.clear();
        CalUseRootMassCali(o.rootMass ? 1 : 0);
        const int32_t ok = CalRecalibrate(nullptr, &rec, 1);
        CalUseRootMassCali(0);
        if (!ok) {
            why = "cannot read the function information";
            return kBadInput;
        }
        r.tolerancePpm = tolerance > 0 ? tolerance : 0;
    }
    if (o.rejectOutliers) {
        float ref[CAL_MATCH_CAPACITY], measured[CAL_MATCH_CAPACITY];
        CalUseRootMassCali(o.rootMass ? 1 : 0);
        // Never below what the gate asks for: the coefficients + 1.
        const CalQualityLimits limits = gate_limits(o, rec);
        const int32_t keep = limits.nMinMatches > 0       ? limits.nMinMatches
                             : rec.Params.AutoPolyOrder ? 3
                                                        : rec.Params.PolyOrder + 2;
        const int32_t n = CalRejectOutliers(&rec, o.rejectSigmas, limits.dScatterFloorPpm, keep, ref, measured,
                                            CAL_MATCH_CAPACITY);
        CalUseRootMassCali(0);
        if (n < 0) {
            why = "cannot refit without the outliers";
            return kCalFailed;
        }
        for (int32_t i = 0; i < n && i < CAL_MATCH_CAPACITY; ++i) {
            const double e = static_cast<double>(measured[i]) - ref[i];
            r.dropped.push_back({ref[i], measured[i], e * 1000.0, ref[i] != 0 ? e / ref[i] * 1e6 : 0.0, 0.0});
        }
    }
    return kOk;
}

// The report with what only the program knows: the files as named, the
// program's own settings and the matches it dropped.
bool render_report(const CalOptions& o, const RunResult& r, CalRecord& rec, const std::string& path) {
    std::vector<std::string> lines;
    if (r.tolerancePpm > 0) lines.push_back("matched within " + number(r.tolerancePpm) + " ppm of the reference range");
    if (o.rootMass) lines.push_back("fitted on square roots of mass (--root-mass)");
    if (o.verify) {
        lines.push_back("stored calibration: " + (o.polyText.empty() ? o.calFile : o.polyText));
    } else if (o.noGate) {
        lines.push_back("quality gate off");
    } else {
        const CalQualityLimits l = gate_limits(o, rec);
        lines.push_back("quality gate: at least " +
                        (l.nMinMatches > 0 ? std::to_string(l.nMinMatches) : std::string("order + 2")) +
                        " matches, " + (l.dMaxRmsPpm > 0 ? "RMS at most " + number(l.dMaxRmsPpm) + " ppm" : "any RMS") +
                        ", " + (l.dOutlierSigmas > 0 ? "no match beyond " + number(l.dOutlierSigmas) +
                                                           " robust standard deviations"
                                                     : "no outlier test"));
    }
    if (o.rejectOutliers)
        lines.push_back("outliers beyond " + number(o.rejectSigmas) + " robust standard deviations dropped");
    std::vector<const char*> texts;
    for (const auto& l : lines) texts.push_back(l.c_str());
    std::vector<float> ref, measured;
    for (const auto& m : r.dropped) {
        ref.push_back(static_cast<float>(m.reference));
        measured.push_back(static_cast<float>(m.measured));
    }
    const std::string software = "masscal " MASSCAL_VERSION;
    CalReportNotes notes{};
    notes.pszSoftware = software.c_str();
    notes.pszDataPath = o.data.c_str();
    notes.pszRefPath = o.ref.c_str();
    notes.ppszSettings = texts.data();
    notes.nSettings = static_cast<int32_t>(texts.size());
    notes.pDroppedRef = ref.data();
    notes.pDroppedMeasured = measured.data();
    notes.nDropped = static_cast<int32_t>(ref.size());
    return CalRenderReportExt(&rec, path.c_str(), CAL_RENDER_PPM, &notes, 1) != 0;
}

RunResult failed(int code, const std::string& file, const std::string& what) {
    RunResult r;
    r.code = code;
    r.error = failure_text(file, what);
    return r;
}

struct RecordArrays {
    CalRecord* r;
    ~RecordArrays() { CalAllocArrays(r, 1); }
};

}  // namespace

CalParams parameters_for(const CalOptions& o) {
    CalParams p{};
    CalParamsGetIniFile("Calibration", &p);
    if (o.order >= 0) {
        p.PolyOrder = o.order;
        p.AutoPolyOrder = 0;
    }
    if (o.window >= 0) p.PeakWindow = static_cast<float>(o.window);
    if (o.initialError >= 0) p.InitialError = static_cast<float>(o.initialError);
    if (o.threshold >= 0) p.Threshold = static_cast<float>(o.threshold);
    if (o.intensityWeight) p.IntensityWeight = 1;
    if (o.noIntensityWeight) p.IntensityWeight = 0;
    if (o.restrain) p.AutoPolyOrder = 1;
    if (o.noRestrain) p.AutoPolyOrder = 0;
    p.bSinglePoint = 0;
    return p;
}

RunResult run_calibration(const CalOptions& given, const CalParams& params, const Review& review) {
    if (auto why = unreadable(given.data); !why.empty()) return failed(kBadInput, given.data, why);
    if (auto why = unreadable(given.ref); !why.empty()) return failed(kBadInput, given.ref, why);
    CalOptions o = given;
    Resolved chosen;
    const Selection wanted{given.function, given.msLevel, given.firstScan, given.lastScan, given.rt, given.scans};
    if (auto why = resolve(o.data, wanted, chosen); !why.empty()) return failed(kBadInput, o.data, why);
    o.function = chosen.function;
    o.firstScan = chosen.first;
    o.lastScan = chosen.last;

    auto rec = std::make_unique<CalRecord>();
    std::memset(rec.get(), 0, sizeof(CalRecord));
    rec->Params = params;
    rec->DataFile = ref_to(o.data, o.function);
    rec->RefFile = ref_to(o.ref, 1);
    // The reference's name text shares its bytes with the function fields.
    CalSetRefName(rec.get(), fs::path(o.ref).stem().string().c_str());
    const std::string title = o.title.empty() ? fs::path(o.data).filename().string() : o.title;
    std::snprintf(rec->szDataName, sizeof rec->szDataName, "%s", title.c_str());
    std::snprintf(rec->szSubtitle, sizeof rec->szSubtitle, "%s", o.subtitle.c_str());
    rec->nFirstScan = o.firstScan;
    rec->nLastScan = o.lastScan > 0 ? o.lastScan : o.firstScan;

    RawCalibCoEffs check{};
    if (o.verify) {
        std::string why;
        if (!o.polyText.empty()) {
            CCalibPolynomial poly(o.polyText.c_str());
            if (!poly) return failed(kBadInput, "", "'" + o.polyText + "' is not a calibration polynomial");
            std::memcpy(&check, static_cast<RawCalibCoEffs*>(poly), sizeof check);
        } else if (!stored_calibration(o.calFile, o.function, check, why)) {
            return failed(kBadInput, o.calFile, why);
        }
        rec->bCheckOnly = 1;
        rec->pCheckCalib = &check;
    }
    CalUseRootMassCali(o.rootMass ? 1 : 0);
    auto& said = messages();
    said.clear();
    const int32_t ok = o.deisotope >= 0 ? CalibrateDeisotope(nullptr, rec.get(), static_cast<float>(o.deisotope))
                                        : Calibrate(nullptr, rec.get());
    RecordArrays release{rec.get()};

    if (!ok) {
        const char* dataError = CalGetDataError();
        if (dataError && *dataError) {
            // Some data errors name the file themselves, some only the scan or function.
            const bool named = std::strstr(dataError, fs::path(o.data).filename().c_str()) != nullptr;
            return failed(kBadInput, named ? "" : o.data, dataError);
        }
        return failed(kBadInput, o.data, said.empty() ? "cannot be read" : said.back());
    }
    RunResult r;
    if (!o.verify) {
        std::string why;
        const int code = refine(o, *rec, r, why);
        if (code != kOk) return failed(code, o.data, why);
    }
    if (review && !review(*rec)) return failed(kCalFailed, o.data, "calibration rejected");
    r.matches = matches(*rec);
    std::memcpy(&r.errorFunc, &rec->ErrorFunc, sizeof r.errorFunc);
    bool zero = true;
    for (double c : coeffs(r.errorFunc)) zero = zero && c == 0.0;
    const bool tooFew = o.verify ? r.matches.empty()
                                 : static_cast<int>(r.matches.size()) < rec->Params.PolyOrder + 1 ||
                                       (zero && !said.empty());
    if (tooFew)
        return failed(kCalFailed, o.data,
                      said.empty() ? "too few matches (" + std::to_string(r.matches.size()) + ")" : said.back());
    if (!o.verify && !o.noGate) {
        CalQualityVerdict verdict;
        const CalQualityLimits limits = gate_limits(o, *rec);
        if (!CalCheckQuality(rec.get(), &limits, &verdict))
            return failed(kCalFailed, o.data, std::string("calibration refused: ") + verdict.szMessage);
    }

    const auto report = [&](const std::string& path) { return render_report(o, r, *rec, path); };
    if (std::string file, why; !write_run_outputs(o, rec.get(), report, file, why)) return failed(kBadInput, file, why);

    if (o.verify)
        r.massFunc = check;
    else
        std::memcpy(&r.massFunc, &rec->MassFunc, sizeof r.massFunc);
    r.meanResidual = rec->dMeanResidual;
    r.rmsResidual = rec->dRmsResidual;
    r.rmsResidualPpm = rec->dRmsResidualPpm;
    r.hasBand = CalConfidenceBandPpm(rec.get(), &r.confBandPpm) != 0;
    r.massLow = rec->fMassLow;
    r.massHigh = rec->fMassHigh;
    r.timeOfFlight = rec->bTofFunction != 0;
    r.function = o.function;
    r.selection = chosen.note;
    r.messages = said;
    return r;
}

nlohmann::json to_json(const CalOptions& o, const RunResult& r) {
    nlohmann::json j;
    j["data"] = o.data;
    j["reference"] = o.ref;
    j["function"] = r.function;
    j["spectra"] = r.selection;
    j["order"] = r.errorFunc.nOrder;
    j["verify"] = o.verify;
    j["mass_function"] = {{"text", poly_text(r.massFunc)}, {"coefficients", coeffs(r.massFunc)}};
    j["error_function"] = {{"text", poly_text(r.errorFunc)}, {"coefficients", coeffs(r.errorFunc)}};
    j["matches"] = nlohmann::json::array();
    for (const auto& m : r.matches)
        j["matches"].push_back({{"reference", m.reference},
                                {"measured", m.measured},
                                {"error_mda", m.errorMda},
                                {"error_ppm", m.errorPpm},
                                {"residual", m.residual}});
    j["statistics"] = {{"matches", r.matches.size()},
                       {"mean_residual", r.meanResidual},
                       {"rms_residual", r.rmsResidual},
                       {"rms_residual_ppm", r.rmsResidualPpm},
                       {"confidence_band_ppm", r.hasBand ? nlohmann::json(r.confBandPpm) : nlohmann::json()},
                       {"mass_low", r.massLow},
                       {"mass_high", r.massHigh}};
    j["dropped"] = nlohmann::json::array();
    for (const auto& m : r.dropped)
        j["dropped"].push_back({{"reference", m.reference}, {"measured", m.measured}, {"error_ppm", m.errorPpm}});
    j["tolerance_ppm"] = r.tolerancePpm > 0 ? nlohmann::json(r.tolerancePpm) : nlohmann::json();
    j["time_of_flight"] = r.timeOfFlight;
    j["messages"] = r.messages;
    return j;
}

int print_result(const CalOptions& o, const RunResult& r) {
    if (r.code != kOk) {
        std::fprintf(stderr, "masscal: %s\n", r.error.c_str());
        return r.code;
    }
    for (const auto& m : r.messages) std::fprintf(stderr, "masscal: %s\n", m.c_str());
    if (o.json)
        std::printf("%s\n", to_json(o, r).dump(2).c_str());
    else
        print_table(o, r);
    return kOk;
}

void print_table(const CalOptions& o, const RunResult& r) {
    std::printf("%s against %s: %zu matches\n", o.data.c_str(), o.ref.c_str(), r.matches.size());
    if (!r.selection.empty()) std::printf("calibrated %s\n", r.selection.c_str());
    std::printf("\n");
    std::printf("%14s %14s %11s %10s %12s\n", "reference", "measured", "error mDa", "error ppm", "residual");
    for (const auto& m : r.matches)
        std::printf("%14.5f %14.5f %11.3f %10.2f %12.6f\n", m.reference, m.measured, m.errorMda, m.errorPpm,
                    m.residual);
    std::printf("\n%s (order %d): %s\n", o.verify ? "stored mass function" : "mass function", r.massFunc.nOrder,
                poly_text(r.massFunc).c_str());
    for (const auto& m : r.dropped)
        std::printf("dropped as an outlier: %.5f measured %.5f (error %.2f ppm)\n", m.reference, m.measured,
                    m.errorPpm);
    char band[32] = "n/a";
    if (r.hasBand) std::snprintf(band, sizeof band, "%.3f ppm", r.confBandPpm);
    std::printf("mean residual %.6f amu, RMS residual %.6f amu, RMS %.3f ppm, confidence band %s\n",
                r.meanResidual, r.rmsResidual, r.rmsResidualPpm, band);
    if (r.tolerancePpm > 0) std::printf("matched within %g ppm\n", r.tolerancePpm);
    if (!o.out.empty()) std::printf("calibration written to %s\n", o.out.c_str());
    if (!o.report.empty()) std::printf("report written to %s\n", o.report.c_str());
    if (!o.png.empty()) std::printf("graphs written to %s\n", o.png.c_str());
}

}  // namespace cli
