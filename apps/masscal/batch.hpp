// `calibrate --batch`: many data files against one reference, one record per
// worker thread.
#pragma once

#include <string>
#include <vector>

#include "calibration_run.hpp"

namespace cli {

struct BatchOptions {
    std::vector<std::string> data;  // the data files, in the order given
    unsigned jobs = 0;              // worker threads; 0: one per core
    bool jsonl = false;             // one JSON object per file on stdout instead of the table
    bool progress = true;           // a progress bar when stderr is a terminal
};

// Calibrates every file with the options of `base` (its data ignored). One
// file's failure never stops the others. Returns 0 when every file
// calibrated, else the highest exit code of any file.
int run_batch(const CalOptions& base, const BatchOptions& batch);

}  // namespace cli
