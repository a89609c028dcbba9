#include "lockmass/lock_search.hpp"

#include <algorithm>
#include <cstddef>

#include "suite/massmeasure/massmeasure.hpp"

namespace masscal::lockmass {
namespace {

// The points of [lo, hi] in ascending masses (or the whole spectrum when
// its masses are not in order).
std::pair<std::size_t, std::size_t> span(const std::vector<float>& mass, bool sorted, double lo, double hi) {
    if (!sorted) return {0, mass.size()};
    const auto a = std::lower_bound(mass.begin(), mass.end(), lo, [](float m, double v) { return m < v; });
    const auto b = std::upper_bound(a, mass.end(), hi, [](double v, float m) { return v < m; });
    return {static_cast<std::size_t>(a - mass.begin()), static_cast<std::size_t>(b - mass.begin())};
}

void keep_most_intense(int lock, double lo, double hi, double floor, const float* mass, const float* intensity,
                       std::size_t from, std::size_t to, std::vector<LockPeak>& out) {
    const std::size_t before = out.size();
    for (std::size_t i = from; i < to; ++i) {
        if (!(mass[i] >= lo && mass[i] <= hi) || !(intensity[i] >= floor) || !(intensity[i] > 0)) continue;
        if (out.size() == before) out.push_back({lock, mass[i], intensity[i]});
        else if (intensity[i] > out.back().intensity) out.back() = {lock, mass[i], intensity[i]};
    }
}

}  // namespace

void find_locks(const dm::Spectrum& s, const std::vector<double>& locks, double tolPpm, double floor,
                std::vector<LockPeak>& out) {
    out.clear();
    const std::size_t n = std::min(s.mass.size(), s.intensity.size());
    if (n == 0) return;
    const bool sorted = std::is_sorted(s.mass.begin(), s.mass.begin() + static_cast<std::ptrdiff_t>(n));
    mm::Settings centroiding;
    centroiding.signalToNoise = -1.0f;  // a slice around one peak has no noise level to judge by
    for (std::size_t k = 0; k < locks.size(); ++k) {
        const double tol = locks[k] * tolPpm * 1e-6;
        const double lo = locks[k] - tol, hi = locks[k] + tol;
        if (!s.continuum) {
            const auto [a, b] = span(s.mass, sorted, lo, hi);
            keep_most_intense(static_cast<int>(k), lo, hi, floor, s.mass.data(), s.intensity.data(), a, std::min(b, n),
                              out);
            continue;
        }
        // The profile around the window, wide enough for a peak whose
        // centre lies at its edge to keep both flanks.
        auto [a, b] = span(s.mass, sorted, lo - 2 * tol, hi + 2 * tol);
        b = std::min(b, n);
        a = a > 2 ? a - 2 : 0;
        b = std::min(b + 2, n);
        if (b <= a + 2) continue;
        const dm::Spectrum peaks = mm::centroid_profile(s.mass.data() + a, s.intensity.data() + a, b - a, centroiding);
        keep_most_intense(static_cast<int>(k), lo, hi, floor, peaks.mass.data(), peaks.intensity.data(), 0,
                          peaks.mass.size(), out);
    }
}

}  // namespace masscal::lockmass
