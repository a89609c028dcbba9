// One calibration of one data file, as `calibrate` and `verify` run it: the
// result is kept, not printed, so a batch can run many on worker threads.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "masscal/calib.h"

namespace cli {

struct CalOptions {
    std::string data, ref, out, report, png;
    int order = -1;
    // The spectra: 0 / empty where not given (see data_selection.hpp).
    int function = 0, firstScan = 0, lastScan = 0, msLevel = 0;
    std::string rt, scans;
    double window = -1, initialError = -1, threshold = -1, deisotope = -1;
    bool intensityWeight = false, noIntensityWeight = false, restrain = false, noRestrain = false;
    bool rootMass = false, json = false;
    // Matching windows from a tolerance (ppm of the highest reference mass);
    // accurate-mass data without --window or --initial-error get the default.
    double tolerancePpm = -1;
    // The quality gate (limits < 0: the defaults) and outlier rejection.
    bool noGate = false, rejectOutliers = false;
    int minMatches = -1;
    double maxRmsPpm = -1, outlierSigmas = -1, rejectSigmas = 3.5;
    // The report's title (default: the data file's name) and subtitle.
    std::string title, subtitle;
    // verify: the stored calibration applied instead of a fit
    bool verify = false;
    std::string calFile, polyText;
};

struct Match {
    double reference, measured, errorMda, errorPpm, residual;
};

// Tolerance for accurate-mass data when no window is given.
constexpr double kDefaultTolerancePpm = 50.0;

struct RunResult {
    int code = 0;          // an Exit code
    std::string error;     // "FILE: what went wrong" when code != 0
    std::vector<Match> matches;
    RawCalibCoEffs massFunc{};   // the fitted one, or the stored one in verify mode
    RawCalibCoEffs errorFunc{};
    double meanResidual = 0, rmsResidual = 0, rmsResidualPpm = 0, confBandPpm = 0;
    bool hasBand = false;        // no band without a covariance (no fit, or no scatter to measure)
    double tolerancePpm = 0;     // the tolerance the windows came from, 0: the windows as set
    std::vector<Match> dropped;  // matches left out by --reject-outliers
    float massLow = 0, massHigh = 0;
    bool timeOfFlight = false;
    int function = 1;
    std::string selection;       // the spectra calibrated, in words
    std::vector<std::string> messages;  // the library's, on success
};

// The settings' parameters with the options' overrides (reads the settings file).
CalParams parameters_for(const CalOptions& o);

// Looks at the calibrated record before the outputs are written and may
// change it; false rejects the calibration.
using Review = std::function<bool(CalRecord& rec)>;

// Calibrates (or verifies) o.data against o.ref with params and writes what
// --out, --report and --png ask for. Thread-safe for separate options (and
// without a review).
RunResult run_calibration(const CalOptions& o, const CalParams& params, const Review& review = {});

nlohmann::json to_json(const CalOptions& o, const RunResult& r);
void print_table(const CalOptions& o, const RunResult& r);
// The run's error line, or its messages and its result (JSON or the table);
// returns its exit code.
int print_result(const CalOptions& o, const RunResult& r);

}  // namespace cli
