// The files a calibration run writes (--out, --report, --png): all of them
// or none.
#pragma once

#include <functional>
#include <string>

#include "calibration_run.hpp"

namespace cli {

// Draws the report into the file at a path (its extension says the format).
using ReportRenderer = std::function<bool(const std::string& path)>;

// Writes what o asks for from the calibrated record, the report through
// render. On failure nothing is left changed; file names the file at fault
// (or is empty) and why says what went wrong.
bool write_run_outputs(const CalOptions& o, CalRecord* rec, const ReportRenderer& render, std::string& file,
                       std::string& why);

// Writes the record's calibration into a calibration file, keeping its other
// sections: the TOF section for time-of-flight data, else the function's
// polynomial. The file is stamped with its version.
bool write_calibration(const CalRecord& rec, const std::string& path, int function, std::string& why);

}  // namespace cli
