#include <algorithm>
#include <numeric>
#include <vector>

#include "core/arrays.hpp"
#include "engine/entry_points.hpp"
#include "masscal/calibrate.h"
#include "suite/charge/charge.hpp"

using masscal::core::array_data;

namespace {

constexpr float kProton = 1.00782f;
constexpr int kMaxCharge = 4;

}  // namespace

// Reduces the data peaks to one per isotope cluster at the m/z of its
// charge state.
void CalDeisotopePeaks(float threshold, CalRecord* rec) {
    const int32_t n = rec->DataPeaks.nCount;
    if (n <= 0) return;
    auto* mass = array_data<float>(rec->DataPeaks.Mass);
    auto* intensity = array_data<float>(rec->DataPeaks.Intensity);
    std::vector<float> inMass(mass, mass + n), inIntensity(intensity, intensity + n);
    const int low = static_cast<int>(inMass.front() + 0.5f);
    const int high = static_cast<int>(inMass.back() + 0.5f);
    for (float& v : inIntensity)
        if (v < threshold) v = 0.0f;
    std::vector<float> outMass(n), outIntensity(n);
    std::vector<int> charge(n);
    int count = n;
    if (!InferMassesMultiplyCharged1_C(0, inMass.data(), inIntensity.data(), &count, 0.5f, low, high, kMaxCharge,
                                       outMass.data(), outIntensity.data(), charge.data()))
        return;
    count = std::clamp(count, 0, n);
    for (int i = 0; i < count; ++i)
        if (charge[i] > 1)
            outMass[i] = static_cast<float>((static_cast<double>(outMass[i]) - kProton) / charge[i] + kProton);
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return outMass[a] < outMass[b]; });
    for (int i = 0; i < count; ++i) {
        mass[i] = outMass[order[i]];
        intensity[i] = outIntensity[order[i]];
    }
    // Only the clusters found are peaks now; entries past them would be
    // stale copies that the matching would count again.
    rec->DataPeaks.nCount = count;
}

extern "C" MASSCAL_API int32_t CalibrateDeisotope(CalWnd hOwner, CalRecord* pRec, float fThreshold) {
    if (!pRec || !masscal::engine::prepare_record(hOwner, pRec)) return 0;
    CalDeisotopePeaks(fThreshold, pRec);
    return masscal::engine::finish_calibration(hOwner, pRec);
}
