// What a recalibration run leaves: its settings, the table of spectra, the
// lock observations and the summary; the table and picture writers read it.
#pragma once

#include <string>
#include <vector>

#include "masscal/lockmass.h"

struct CalLockMassRun {
    std::string in, out;
    CalLockMassOptions options{};
    std::vector<double> locks;
    std::vector<CalLockMassSpectrum> rows;          // in file order
    std::vector<CalLockObservation> observations;   // in file order, then by lock
    CalLockMassSummary summary{};
};

namespace masscal::lockmass {

// "offset", "linear", "quadratic", "poly0".."poly5"; "" for none.
std::string model_name(int model);
// "window", "nearest", "global", "unchanged".
const char* source_name(int source);

}  // namespace masscal::lockmass
