// Finding the lock masses in one spectrum.
#pragma once

#include <vector>

#include "formats/backend.hpp"

namespace masscal::lockmass {

struct LockPeak {
    int lock;          // index into the lock list
    double mz;         // measured
    double intensity;
};

// For each lock (ascending m/z), the most intense peak within tolPpm of it
// whose intensity is at least floor; a profile spectrum is centroided
// around each lock first. At most one peak per lock, in lock order.
void find_locks(const dm::Spectrum& s, const std::vector<double>& locks, double tolPpm, double floor,
                std::vector<LockPeak>& out);

}  // namespace masscal::lockmass
