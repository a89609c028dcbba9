// Which spectra of a data file to calibrate, as a scientist names them: a
// function, an MS level, a retention-time or scan-number range, or indices
// within the function; by default every spectrum of the function.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Precursors closer than this (m/z) are one precursor.
constexpr double kSamePrecursorMz = 0.01;

struct Selection {
    int function = 0;              // 0: not given (function 1, or the one of msLevel)
    int msLevel = 0;               // 0: any
    int firstIndex = 0, lastIndex = 0;  // within the function, from 1; 0: not given
    std::string rt, scans;         // "FROM:TO"; rt in seconds, or minutes with a "min" suffix
};

struct Resolved {
    int function = 1, first = 1, last = 1;
    std::string note;  // what was chosen, in words
    std::vector<std::int64_t> fileIndices;  // positions of the chosen spectra in the file, where known
};

// "FROM:TO" into two numbers; with time the text may end in "min" (minutes,
// turned into seconds) or "s". Empty when it reads, else what is wrong.
std::string parse_range(std::string text, bool time, double& from, double& to);

// Resolves the selection against the file. Empty when it is good, else one
// line saying what is wrong and what the file has. A file that cannot be
// read is left to the reader to report (resolved as given).
std::string resolve(const std::string& path, const Selection& s, Resolved& out);

}  // namespace cli
