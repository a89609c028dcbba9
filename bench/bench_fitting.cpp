// The calibration fits on 100 matched peaks, and the decomposition beneath
// them against Eigen's.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <eigen3/Eigen/Dense>
#include <vector>

#include "core/arrays.hpp"
#include "fitting/calib_fit.hpp"
#include "fitting/restrained_fit.hpp"
#include "fitting/svd.hpp"

namespace {

constexpr int kPoints = 100;

double noise(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53 - 0.5;
}

// Matches over 200..2000 amu, in thousands of amu as the driver fits them.
struct Matches {
    // restrained: the widths are a tenth of the scatter, so that the noise
    // scale is searched (the most expensive case).
    explicit Matches(bool restrained) {
        std::memset(&rec, 0, sizeof rec);
        CalAllocArrays(&rec, 0);
        CalAllocPeakList(&rec.MatchPeaks, kPoints, 0);
        std::uint64_t seed = 3;
        for (int i = 0; i < kPoints; ++i) {
            const double x = 0.2 + 1.8 * i / (kPoints - 1);
            masscal::core::array_data<float>(rec.MatchPeaks.Mass)[i] = static_cast<float>(x);
            masscal::core::array_data<float>(rec.MatchPeaks.Intensity)[i] = 1000.0f;
            masscal::core::array_data<float>(rec.MatchPeaks.Width)[i] = restrained ? 1e-4f : 2e-3f;
            masscal::core::array_data<float>(rec.Errors)[i] =
                static_cast<float>(2e-3 + 1e-3 * x - 5e-4 * x * x + 4e-3 * noise(seed));
        }
        rec.MatchPeaks.nCount = kPoints;
        rec.MatchPeaks.bDetail = 1;
        rec.Params.PolyOrder = 5;
        rec.Params.AutoPolyOrder = restrained ? 1 : 0;
        rec.fMassLow = 150.0f;
        rec.fMassHigh = 2100.0f;
    }
    ~Matches() { CalAllocArrays(&rec, 1); }
    CalRecord rec;
};

void BM_OrdinaryFitOrder5(benchmark::State& state) {
    Matches m(false);
    for (auto _ : state) benchmark::DoNotOptimize(CalFitCalibration(&m.rec));
}
BENCHMARK(BM_OrdinaryFitOrder5)->Unit(benchmark::kMicrosecond);

void BM_RestrainedFit(benchmark::State& state) {
    Matches m(true);
    for (auto _ : state) benchmark::DoNotOptimize(CalFitCalibration(&m.rec));
    state.counters["order"] = m.rec.ErrorFunc.nOrder;
    state.counters["line_rms"] = LineFitRms(masscal::core::array_data<float>(m.rec.MatchPeaks.Mass),
                                            masscal::core::array_data<float>(m.rec.Errors), masscal::core::array_data<float>(m.rec.FitWork),
                                            kPoints);
}
BENCHMARK(BM_RestrainedFit)->Unit(benchmark::kMicrosecond);

// One objective evaluation's system: 104 x 6.
Eigen::MatrixXd system_matrix() {
    Eigen::MatrixXd a(104, 6);
    std::uint64_t seed = 9;
    for (int i = 0; i < 104; ++i)
        for (int j = 0; j < 6; ++j) a(i, j) = std::pow(0.2 + 1.8 * i / 103.0, j) + 0.01 * noise(seed);
    return a;
}

void BM_Svd104x6(benchmark::State& state) {
    const Eigen::MatrixXd a = system_matrix();
    std::vector<double> block(104 * 6), v(36), w(6);
    std::vector<double*> rows(104), vrows(6);
    for (int i = 0; i < 104; ++i) rows[i] = block.data() + i * 6;
    for (int i = 0; i < 6; ++i) vrows[i] = v.data() + i * 6;
    for (auto _ : state) {
        for (int i = 0; i < 104; ++i)
            for (int j = 0; j < 6; ++j) rows[i][j] = a(i, j);
        benchmark::DoNotOptimize(SvdDecompose0(rows.data(), 104, 6, w.data(), vrows.data()));
    }
}
BENCHMARK(BM_Svd104x6);

void BM_EigenJacobiSvd104x6(benchmark::State& state) {
    const Eigen::MatrixXd a = system_matrix();
    for (auto _ : state) {
        Eigen::JacobiSVD<Eigen::MatrixXd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
        benchmark::DoNotOptimize(svd.singularValues().data());
    }
}
BENCHMARK(BM_EigenJacobiSvd104x6);

}  // namespace
