// A small record for pair editing: data peaks, reference peaks and pairs
// whose every parallel array holds a distinct value, so a test sees which
// pair's value landed where.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "core/arrays.hpp"
#include "masscal/calib.h"

namespace masscal::testing {

struct PairRecordDeleter {
    void operator()(CalRecord* r) const {
        CalAllocArrays(r, 1);
        delete r;
    }
};
using PairRecordPtr = std::unique_ptr<CalRecord, PairRecordDeleter>;

template <class T = float>
T* arr(const CalArray& a) {
    return static_cast<T*>(a.pData);
}

// Pairs are (data mass, reference mass); width = 0.001 * (i + 1), extra = i + 10.
inline PairRecordPtr make_pair_record(const std::vector<float>& refs, const std::vector<std::pair<float, float>>& pairs,
                                      int pairCapacity = CAL_MATCH_CAPACITY) {
    PairRecordPtr rec(new CalRecord{});
    CalAllocArrays(rec.get(), 0);
    CalAllocPeakList(&rec->DataPeaks, 200, 0);
    CalAllocPeakList(&rec->MatchPeaks, pairCapacity, 0);
    CalAllocPeakList(&rec->SparePeaks, pairCapacity, 0);
    for (std::size_t i = 0; i < refs.size(); ++i) {
        arr(rec->RefPeaks.Mass)[i] = refs[i];
        arr(rec->RefPeaks.Intensity)[i] = 100.0f;
    }
    rec->RefPeaks.nCount = static_cast<int>(refs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto [m, r] = pairs[i];
        arr(rec->MatchPeaks.Mass)[i] = m;
        arr(rec->MatchPeaks.Intensity)[i] = 1000.0f + static_cast<float>(i);
        arr(rec->MatchPeaks.Width)[i] = 0.001f * static_cast<float>(i + 1);
        arr(rec->MatchPeaks.Extra)[i] = 10.0f + static_cast<float>(i);
        arr(rec->Errors)[i] = m - r;
        arr(rec->RootErrors)[i] = static_cast<float>(std::sqrt(double(m)) - std::sqrt(double(r)));
        arr(rec->SparePeaks.Mass)[i] = static_cast<float>(std::sqrt(double(m)));
        arr(rec->SparePeaks.Width)[i] = 0.1f * static_cast<float>(i + 1);
        arr(rec->SparePeaks.Extra)[i] = 10.0f + static_cast<float>(i);
    }
    rec->MatchPeaks.nCount = static_cast<int>(pairs.size());
    return rec;
}

}  // namespace masscal::testing
