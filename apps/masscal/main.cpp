// masscal: calibrate mass spectra against reference files from the command line.
#include <malloc.h>

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "batch.hpp"
#include "calibration_run.hpp"
#include "cli_support.hpp"
#include "commands.hpp"
#include "settings_check.hpp"
#include "masscal/calib.h"

using namespace cli;

namespace {

int run_calibrate(const CalOptions& o) { return print_result(o, run_calibration(o, parameters_for(o))); }

// The spectra to calibrate: by function, MS level, retention time, the
// file's scan numbers, or indices within the function.
void add_selection(CLI::App* app, CalOptions& o) {
    app->add_option("--function", o.function, "function of the data file (default 1; masscal info lists them)")
        ->check(CLI::Range(1, 65535));
    app->add_option("--ms-level", o.msLevel, "the function of this MS level")->check(CLI::Range(1, 100));
    auto* rt = app->add_option("--rt", o.rt, "retention times FROM:TO in seconds (FROM:TOmin in minutes)");
    auto* scans = app->add_option("--scans", o.scans, "the file's own scan numbers FROM:TO")->excludes(rt);
    app->add_option("--first-scan", o.firstScan, "first spectrum of the function, counted from 1")
        ->check(CLI::PositiveNumber)
        ->excludes(rt)
        ->excludes(scans);
    app->add_option("--last-scan", o.lastScan, "last spectrum of the function (default: the first)")
        ->check(CLI::PositiveNumber)
        ->excludes(rt)
        ->excludes(scans);
}

// The options of a calibration run, shared by calibrate and show (where the
// user judges the calibration, so the quality gate has no options).
void add_run_options(CLI::App* app, CalOptions& o, bool gate) {
    app->add_option("--order", o.order, "polynomial order (turns the automatic order off)")->check(CLI::Range(0, 5));
    auto* win = app->add_option("--window", o.window, "peak window, amu: a match lies within this of the mass "
                                                      "predicted from its neighbour")
                    ->check(CLI::NonNegativeNumber);
    auto* ie = app->add_option("--initial-error", o.initialError,
                               "initial error, amu: the largest error expected before calibration")
                   ->check(CLI::NonNegativeNumber);
    app->add_option("--tolerance-ppm", o.tolerancePpm,
                    "match within this many ppm (of the highest reference mass); accurate-mass data get 50 "
                    "unless --window or --initial-error is given")
        ->check(CLI::PositiveNumber)
        ->excludes(win)
        ->excludes(ie);
    app->add_option("--threshold", o.threshold, "intensity threshold, percent of the most intense peak")
        ->check(CLI::NonNegativeNumber);
    auto* iw = app->add_flag("--intensity-weight", o.intensityWeight, "weight the fit by intensity");
    app->add_flag("--no-intensity-weight", o.noIntensityWeight, "weight every match alike")->excludes(iw);
    auto* rs = app->add_flag("--restrain", o.restrain,
                             "fit order 5 restrained by a roughness penalty whose strength follows the scatter "
                             "(needs peak uncertainties; without them the order is fitted as given)");
    app->add_flag("--no-restrain", o.noRestrain, "fit the order as given")->excludes(rs);
    app->add_flag("--root-mass", o.rootMass, "calibrate on square roots of mass (time-of-flight error shapes)");
    if (gate) {
        app->add_flag("--no-gate", o.noGate, "accept the calibration whatever its quality");
        app->add_option("--min-matches", o.minMatches, "quality gate: fewest matches (default: fitted coefficients + 1)")
            ->check(CLI::PositiveNumber);
        app->add_option("--max-rms-ppm", o.maxRmsPpm, "quality gate: largest RMS residual, ppm (default 10 for "
                                                      "accurate-mass data, else 500; 0: none)")
            ->check(CLI::NonNegativeNumber);
        app->add_option("--max-outlier-sigmas", o.outlierSigmas,
                        "quality gate: largest distance of a residual from the median, robust standard deviations "
                        "(default 6; 0: none)")
            ->check(CLI::NonNegativeNumber);
    }
    app->add_flag("--reject-outliers", o.rejectOutliers, "drop matches beyond --reject-sigmas and refit");
    app->add_option("--reject-sigmas", o.rejectSigmas, "robust standard deviations for --reject-outliers (default 3.5)")
        ->check(CLI::PositiveNumber);
    add_selection(app, o);
    app->add_option("--deisotope", o.deisotope, "deisotope after removing intensities below THRESHOLD")
        ->check(CLI::NonNegativeNumber);
    app->add_option("--out", o.out, "write the calibration into this calibration file");
    app->add_option("--report", o.report, "write the report (.pdf, .png or .svg)");
    app->add_option("--title", o.title, "the report's title after \"Calibration Report - \" (default: the data "
                                        "file's name)")
        ->check(CLI::Validator([](std::string& t) { return t.size() < 200 ? "" : "at most 199 characters"; }, "TEXT"));
    app->add_option("--subtitle", o.subtitle, "a line under the report's title (instrument, operator, ...)")
        ->check(CLI::Validator([](std::string& t) { return t.size() < 280 ? "" : "at most 279 characters"; }, "TEXT"));
    app->add_option("--png", o.png, "write the graphs (.png or .svg)");
    app->add_flag("--json", o.json, "print a JSON object instead of the table");
}

}  // namespace

int main(int argc, char** argv) {
    // Spectra come and go one after another; handing each one's memory back
    // to the system only to ask for it again costs more than the decoding.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    collect_library_messages();
    CLI::App app{"masscal: mass-scale calibration of mass spectra"};
    app.require_subcommand(1);

    CalOptions o;
    auto* cal = app.add_subcommand("calibrate", "calibrate a spectrum against a reference file");
    std::vector<std::string> files;
    BatchOptions batch;
    bool batchMode = false;
    cal->add_option("DATA REF", files,
                    "peak list (.txt/.csv/.tsv) or mzML file, then the reference file (mass [intensity] per line); "
                    "with --batch: any number of data files, then the reference")
        ->required()
        ->expected(2, -1);
    add_run_options(cal, o, true);
    cal->add_flag("--batch", batchMode, "calibrate every data file against the one reference, on every core");
    cal->add_option("--jobs", batch.jobs, "worker threads for --batch (default: one per core)")
        ->check(CLI::Range(1, 1024));
    cal->add_flag("--jsonl", batch.jsonl, "with --batch: one JSON object per file, one per line");
    cal->add_flag("--no-progress", [&batch](std::int64_t) { batch.progress = false; },
                  "with --batch: no progress bar on a terminal");

    CalOptions so;
    so.noGate = true;
    auto* show = app.add_subcommand("show", "calibrate, then open the calibration window: zoom, pair peaks by hand, "
                                            "change the parameters, print; accepting writes --out (needs a display)");
    show->add_option("DATA", so.data, "peak list or mzML file")->required();
    show->add_option("REF", so.ref, "reference file")->required();
    add_run_options(show, so, false);

    CalOptions v;
    v.verify = true;
    auto* ver = app.add_subcommand("verify", "apply a stored calibration and report the residuals, without fitting");
    ver->add_option("DATA", v.data, "peak list or mzML file")->required();
    ver->add_option("REF", v.ref, "reference file")->required();
    auto* vCal = ver->add_option("--cal", v.calFile, "calibration file (its TOF section, else the function's)");
    ver->add_option("--poly", v.polyText, "calibration polynomial text instead of a file")->excludes(vCal);
    ver->add_option("--window", v.window, "peak window, amu")->check(CLI::NonNegativeNumber);
    ver->add_option("--initial-error", v.initialError, "initial error, amu")->check(CLI::NonNegativeNumber);
    add_selection(ver, v);
    ver->add_option("--report", v.report, "write the report (.pdf, .png or .svg)");
    ver->add_flag("--json", v.json, "print a JSON object instead of the table");

    std::string infoPath;
    bool infoJson = false;
    auto* info = app.add_subcommand("info", "list the functions of a data file and what each holds");
    info->add_option("DATA", infoPath, "peak list or mzML file")->required();
    info->add_flag("--json", infoJson, "print a JSON object instead of the table");

    std::string refPath;
    auto* ref = app.add_subcommand("ref", "reference files");
    ref->require_subcommand(1);
    auto* refCheck = ref->add_subcommand("check", "parse a reference file and list its peaks");
    refCheck->add_option("REF", refPath, "reference file")->required();

    std::string polyText;
    std::vector<double> polyArgs;
    double polyLow = 0, polyHigh = 1e5;
    auto* poly = app.add_subcommand("poly", "calibration polynomials in their text form");
    poly->require_subcommand(1);
    auto* pText = poly->add_subcommand("text", "print a polynomial's text");
    pText->add_option("POLY", polyText, "polynomial text")->required();
    auto* pEval = poly->add_subcommand("eval", "evaluate a polynomial at masses");
    pEval->add_option("POLY", polyText, "polynomial text")->required();
    pEval->add_option("MASS", polyArgs, "masses")->required();
    auto* pInv = poly->add_subcommand("inverse", "the masses a polynomial maps onto the given values");
    pInv->add_option("POLY", polyText, "polynomial text")->required();
    pInv->add_option("VALUE", polyArgs, "values")->required();
    pInv->add_option("--low", polyLow, "lowest mass searched");
    pInv->add_option("--high", polyHigh, "highest mass searched");

    std::string section = "Calibration";
    auto* params = app.add_subcommand("params", "calibration settings");
    params->require_subcommand(1);
    auto* pGet = params->add_subcommand("get", "print the settings of a section");
    pGet->add_option("--section", section, "settings section (default Calibration)");

    std::vector<std::string> assignments;
    auto* pSet = params->add_subcommand("set", "change settings of a section: KEY=VALUE ...");
    pSet->add_option("KEY=VALUE", assignments, "PolyOrder, PeakWindow, InitialError, IntensityWeight, Threshold, "
                                               "AutoPeakMatch, AutoPolyOrder, CalibrateDisplay")
        ->required();
    pSet->add_option("--section", section, "settings section (default Calibration)");

    std::string tofA, tofB;
    auto* tof = app.add_subcommand("tof", "time-of-flight calibrations");
    tof->require_subcommand(1);
    auto* tRead = tof->add_subcommand("read", "print a time-of-flight calibration (calibration file or old text file)");
    tRead->add_option("FILE", tofA, "calibration file")->required();
    auto* tWrite = tof->add_subcommand("write", "copy the TOF section of a calibration file into the old text format");
    tWrite->add_option("CALFILE", tofA, "calibration file")->required();
    tWrite->add_option("OUT", tofB, "old-format file to write")->required();
    auto* tCmp = tof->add_subcommand("compare", "whether a calibration made under FIRST's settings suits SECOND's");
    tCmp->add_option("FIRST", tofA, "calibration file")->required();
    tCmp->add_option("SECOND", tofB, "calibration file")->required();

    std::string applyCal, applyData, applyOut;
    int applyFunction = 1;
    auto* apply = app.add_subcommand("apply", "apply a stored calibration to every mass of a peak list or mzML file");
    apply->add_option("CALFILE", applyCal, "calibration file")->required();
    apply->add_option("DATA", applyData, "peak list (.txt, .csv, .tsv) or mzML file")->required();
    apply->add_option("-o,--output", applyOut, "the calibrated file to write (never the input)")->required();
    apply->add_option("--function", applyFunction, "which function's calibration (default 1)")
        ->check(CLI::Range(1, static_cast<int>(CAL_MAX_FUNCTIONS)));
    Selection applyTo;
    apply->add_option("--ms-level", applyTo.msLevel, "mzML: calibrate only the spectra of this MS level")
        ->check(CLI::Range(1, 100));
    auto* applyRt = apply->add_option("--rt", applyTo.rt, "mzML: only retention times FROM:TO (seconds; FROM:TOmin)");
    apply->add_option("--scans", applyTo.scans, "mzML: only the file's scan numbers FROM:TO")->excludes(applyRt);

    RecalibrateOptions rc;
    auto* recal = app.add_subcommand("recalibrate", "recalibrate every spectrum of an mzML run from the lock masses "
                                                    "found around it in time");
    recal->add_option("RUN", rc.data, "mzML file (also .mzML.gz)")->required();
    recal->add_option("LOCKS", rc.locks, "lock masses: m/z per line (a reference file), or a .csv lock-mass list")
        ->required();
    recal->add_option("-o,--output", rc.out, "the recalibrated mzML file to write (never the input)")->required();
    auto* rtWindow = recal->add_option("--rt-window", rc.rtWindow,
                                       "a spectrum's window: the lock spectra within this many seconds (default 60)")
                         ->check(CLI::PositiveNumber);
    recal->add_option("--scans-window", rc.scansWindow, "instead: this many lock spectra before and after it")
        ->check(CLI::PositiveNumber)
        ->excludes(rtWindow);
    recal->add_option("--tolerance-ppm", rc.tolerancePpm, "a lock's peak lies within this many ppm of it (default 10)")
        ->check(CLI::PositiveNumber);
    recal->add_option("--min-intensity", rc.minIntensity, "intensity floor of a lock's peak (default 0)")
        ->check(CLI::NonNegativeNumber);
    recal->add_option("--model", rc.model, "offset, linear or quadratic (error in ppm), or poly0 to poly5 (the "
                                           "calibration polynomial of that order); default offset");
    recal->add_option("--min-locks", rc.minLocks, "fewest lock masses a window needs (default: the model's "
                                                  "coefficients)")
        ->check(CLI::PositiveNumber);
    recal->add_flag("--intensity-weight", rc.intensityWeight, "weight each lock by its summed intensity");
    recal->add_option("--ms-level", rc.msLevel, "the spectra searched for locks and recalibrated (default 1)")
        ->check(CLI::Range(1, 100));
    recal->add_flag("--ms2-follow", rc.ms2Follow, "spectra of higher MS levels take the model of their time");
    auto* recalRt = recal->add_option("--rt", rc.rt, "rewrite only retention times FROM:TO (seconds; FROM:TOmin)");
    recal->add_option("--scans", rc.scans, "rewrite only the file's scan numbers FROM:TO")->excludes(recalRt);
    auto* recalNoGate = recal->add_flag("--no-gate", rc.noGate, "use every fit with enough locks, whatever its quality");
    recal->add_option("--max-rms-ppm", rc.maxRmsPpm, "quality gate: largest RMS residual of a window, ppm (default 10)")
        ->check(CLI::NonNegativeNumber)
        ->excludes(recalNoGate);
    recal->add_option("--max-outlier-sigmas", rc.outlierSigmas,
                      "quality gate: largest distance of a lock from the median, robust standard deviations "
                      "(default 6)")
        ->check(CLI::NonNegativeNumber)
        ->excludes(recalNoGate);
    recal->add_option("--qc-csv", rc.qcCsv, "write the table of spectra as CSV");
    recal->add_option("--qc-json", rc.qcJson, "write the table of spectra and their locks as JSON");
    recal->add_option("--drift-png", rc.driftPng, "write the drift picture (.png)");
    recal->add_option("--drift-svg", rc.driftSvg, "write the drift picture (.svg)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "masscal: %s\n", e.what());
        return kBadInput;
    }

    // The library reads settings leniently; a value the dialog would refuse
    // (or a file that cannot be read) must not calibrate.
    if (cal->parsed() || ver->parsed() || show->parsed())
        if (auto why = settings_problem("Calibration"); !why.empty()) return fail(kBadInput, "", why);
    if (cal->parsed()) {
        o.ref = files.back();
        files.pop_back();
        if (!batchMode) {
            if (files.size() != 1) return fail(kBadInput, "", "calibrate takes one data file and a reference (or --batch)");
            if (batch.jsonl || batch.jobs) return fail(kBadInput, "", "--jsonl and --jobs go with --batch");
            o.data = files.front();
            return run_calibrate(o);
        }
        if (!o.out.empty() || !o.report.empty() || !o.png.empty() || o.json)
            return fail(kBadInput, "", "--out, --report, --png and --json are for one file; --batch has --jsonl");
        batch.data = files;
        return run_batch(o, batch);
    }
    if (show->parsed()) return run_show(so);
    if (ver->parsed()) {
        if (v.calFile.empty() && v.polyText.empty()) return fail(kBadInput, "", "verify needs --cal FILE or --poly TEXT");
        return run_calibrate(v);
    }
    if (apply->parsed()) return run_apply(applyCal, applyData, applyOut, applyFunction, applyTo);
    if (recal->parsed()) return run_recalibrate(rc);
    if (pSet->parsed()) return run_params_set(section, assignments);
    if (tRead->parsed()) return run_tof_read(tofA);
    if (tWrite->parsed()) return run_tof_write(tofA, tofB);
    if (tCmp->parsed()) return run_tof_compare(tofA, tofB);
    if (refCheck->parsed()) return run_ref_check(refPath);
    if (info->parsed()) return run_info(infoPath, infoJson);
    if (pText->parsed()) return run_poly(polyText, {}, true, 0, 0);
    if (pEval->parsed() || pInv->parsed()) return run_poly(polyText, polyArgs, pEval->parsed(), polyLow, polyHigh);
    if (pGet->parsed()) return run_params_get(section);
    return kBadInput;
}
