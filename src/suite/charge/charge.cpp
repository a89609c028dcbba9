#include "suite/charge/charge.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// Index of the free peak nearest to target within tol, or -1.
long nearest_free(const float* m, const std::vector<char>& used, long n, double target, double tol) {
    long lo = static_cast<long>(std::lower_bound(m, m + n, static_cast<float>(target - tol)) - m);
    long best = -1;
    double bestD = tol;
    for (long j = lo; j < n && m[j] <= target + tol; ++j) {
        const double d = std::fabs(m[j] - target);
        if (!used[static_cast<std::size_t>(j)] && d <= bestD) {
            best = j;
            bestD = d;
        }
    }
    return best;
}

}  // namespace

int InferMassesMultiplyCharged1_C(int, const float* masses, const float* intensities, int* count, float tolerance,
                                  int lowMass, int highMass, int maxCharge, float* outMasses, float* outIntensities,
                                  int* outCharges) {
    if (!count || *count < 0 || (*count > 0 && (!masses || !intensities || !outMasses || !outIntensities || !outCharges)))
        return 0;
    const long n = *count;
    const int zMax = std::clamp(maxCharge, 1, 8);
    const double tol = std::isfinite(tolerance) && tolerance > 0 ? tolerance : 0.5;
    std::vector<char> used(static_cast<std::size_t>(n), 0);
    for (long i = 0; i < n; ++i) {
        const float m = masses[i];
        if (!(intensities[i] > 0) || !std::isfinite(m) || m < lowMass - 0.5 || m > highMass + 0.5) used[i] = 1;
    }
    std::vector<long> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0L);
    std::stable_sort(order.begin(), order.end(), [&](long a, long b) { return intensities[a] > intensities[b]; });

    int results = 0;
    std::vector<long> members, best;
    for (long seed : order) {
        if (used[static_cast<std::size_t>(seed)]) continue;
        int bestZ = 1;
        best.assign(1, seed);
        for (int z = 1; z <= zMax; ++z) {
            const double step = kIsotopeSpacing / z;
            const double within = tol * step / 4;
            members.assign(1, seed);
            used[static_cast<std::size_t>(seed)] = 1;
            for (int dir : {1, -1}) {
                double at = masses[seed];
                while (true) {
                    const long j = nearest_free(masses, used, n, at + dir * step, within);
                    if (j < 0) break;
                    members.push_back(j);
                    used[static_cast<std::size_t>(j)] = 1;
                    at = masses[j];
                }
            }
            for (long j : members) used[static_cast<std::size_t>(j)] = 0;
            if (members.size() > best.size()) {
                best = members;
                bestZ = z;
            }
        }
        double total = 0;
        long mono = best.front();
        for (long j : best) {
            used[static_cast<std::size_t>(j)] = 1;
            total += intensities[j];
            if (masses[j] < masses[mono]) mono = j;
        }
        outMasses[results] = static_cast<float>((masses[mono] - kProtonatedShift) * bestZ + kProtonatedShift);
        outIntensities[results] = static_cast<float>(total);
        outCharges[results] = bestZ;
        ++results;
    }
    *count = results;
    return 1;
}
