// apply's rewriter of a peak list: every peak's mass through a calibration,
// every other byte as it was. It takes the lines as the peak-list reader
// does (a byte-order mark before the first line, LF or CR LF ends, "##"
// comments, "#" headers, title lines), so each peak it changes is one the
// reader read.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace cli {

struct PeakRewrite {
    std::string text;  // the rewritten file
    long peaks = 0;
    std::string error;  // why not, when rewrite_peak_masses returns false
};

// False when a calibrated mass is not a finite number (the error names the
// line).
bool rewrite_peak_masses(std::string_view text, const std::function<double(double)>& calibrate, PeakRewrite& out);

}  // namespace cli
