// Peak matching: 100 reference peaks against spectra of growing size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/arrays.hpp"
#include "fitting/peak_match.hpp"

namespace {

constexpr int kRefs = 100;

std::uint64_t next(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Noise peaks over 100..2100 amu with a strong peak at each reference mass
// plus a slowly drifting error.
struct Spectrum {
    explicit Spectrum(int n) {
        std::memset(&rec, 0, sizeof rec);
        CalAllocArrays(&rec, 0);
        CalAllocPeakList(&rec.DataPeaks, n, 0);
        CalAllocPeakList(&rec.MatchPeaks, n, 0);
        auto* mass = masscal::core::array_data<float>(rec.DataPeaks.Mass);
        auto* intensity = masscal::core::array_data<float>(rec.DataPeaks.Intensity);
        auto* ref = masscal::core::array_data<float>(rec.RefPeaks.Mass);
        for (int r = 0; r < kRefs; ++r) ref[r] = 110.0f + 19.8f * static_cast<float>(r);
        std::uint64_t seed = 1;
        const double spacing = 2000.0 / n;
        for (int i = 0; i < n; ++i) {
            mass[i] = static_cast<float>(100.0 + spacing * i);
            intensity[i] = static_cast<float>(next(seed) % 1000);
        }
        // Each reference mass, with a drifting error, moves the nearest data
        // peak onto it and makes it strong.
        for (int r = 0; r < kRefs; ++r) {
            const double target = ref[r] + 0.05 + 1e-4 * ref[r];
            const int i = static_cast<int>(std::lround((target - 100.0) / spacing));
            mass[i] = static_cast<float>(target);
            intensity[i] = 1e6f;
        }
        rec.DataPeaks.nCount = n;
        rec.RefPeaks.nCount = kRefs;
        rec.Params.InitialError = 2.0f;
        rec.Params.PeakWindow = 0.5f;
        rec.Params.Threshold = 1.0f;
    }
    ~Spectrum() { CalAllocArrays(&rec, 1); }
    CalRecord rec;
};

void BM_MatchPeaks(benchmark::State& state) {
    Spectrum s(static_cast<int>(state.range(0)));
    int32_t matched = 0;
    for (auto _ : state) {
        matched = CalMatchPeaks(&s.rec);
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = matched;
}
BENCHMARK(BM_MatchPeaks)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_FindPeakInWindow(benchmark::State& state) {
    Spectrum s(static_cast<int>(state.range(0)));
    const auto* mass = masscal::core::array_data<float>(s.rec.DataPeaks.Mass);
    const auto* intensity = masscal::core::array_data<float>(s.rec.DataPeaks.Intensity);
    float centre = 150.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            FindPeakInWindow(mass, intensity, s.rec.DataPeaks.nCount, centre - 0.5f, centre + 0.5f));
        centre = centre < 2000.0f ? centre + 19.3f : 150.0f;
    }
}
BENCHMARK(BM_FindPeakInWindow)->Arg(1000)->Arg(100000)->Arg(1000000);

}  // namespace
