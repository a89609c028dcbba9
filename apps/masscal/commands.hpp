// The verbs of the program other than calibrate and verify.
#pragma once

#include <string>
#include <vector>

#include "calibration_run.hpp"
#include "data_selection.hpp"

namespace cli {

// Calibrates as calibrate does, then shows the calibration window until the
// user accepts (the outputs are written, kOk) or rejects (kCalFailed).
// kBadInput without a display.
int run_show(const CalOptions& o);

int run_ref_check(const std::string& path);
// The functions of a data file: MS level, window, analyser, data kind, spectra.
int run_info(const std::string& path, bool json);
int run_params_get(const std::string& section);
int run_params_set(const std::string& section, const std::vector<std::string>& assignments);
int run_poly(const std::string& text, const std::vector<double>& args, bool evaluate, double low, double high);
int run_tof_read(const std::string& path);
int run_tof_write(const std::string& in, const std::string& out);
int run_tof_compare(const std::string& a, const std::string& b);
// Peak lists (.txt, .csv, .tsv) and mzML files; in mzML files only the
// spectra chosen by MS level, retention time or scan number, when asked.
int run_apply(const std::string& calFile, const std::string& data, const std::string& out, int function,
              const Selection& chosen);

struct RecalibrateOptions {
    std::string data, locks, out;
    std::string model = "offset";
    double rtWindow = 60.0;
    int scansWindow = 0;
    double tolerancePpm = 10.0;
    double minIntensity = 0.0;
    int msLevel = 1;
    bool ms2Follow = false, intensityWeight = false, noGate = false;
    int minLocks = 0;
    double maxRmsPpm = -1.0, outlierSigmas = -1.0;  // < 0: the gate's defaults
    std::string rt, scans;
    std::string qcCsv, qcJson, driftPng, driftSvg;
};
// Recalibration over time from lock masses (mzML in, mzML out).
int run_recalibrate(const RecalibrateOptions& options);

}  // namespace cli
