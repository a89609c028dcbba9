// Reading spectra: a profile mzML spectrum of 1,000,000 points (decode,
// centroid, and both through CalGetRawData) and a centroid peak list of
// 100,000 peaks. Files are written once to the temporary directory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "../tests/support/test_files.hpp"
#include "core/arrays.hpp"
#include "masscal/calib.h"
#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "suite/massmeasure/massmeasure.hpp"

namespace {

namespace dm = masscal::dm;

struct Files {
    std::filesystem::path dir, profile, profileZlib, peaks;
};

const Files& files() {
    static const Files f = [] {
        Files out;
        out.dir = testfiles::temp_dir("bench");
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> where(110, 2090), height(200, 20000);
        std::normal_distribution<double> noise(0, 5);
        std::vector<testfiles::ProfilePeak> peaks;
        for (int i = 0; i < 500; ++i) peaks.push_back({where(rng), height(rng), 0.02});
        std::sort(peaks.begin(), peaks.end(), [](auto& a, auto& b) { return a.centre < b.centre; });
        // 1,000,000 points, 0.002 apart; peaks added near their centres only.
        testfiles::MzmlSpectrum s;
        s.profile = true;
        s.windowLow = 100;
        s.windowHigh = 2100;
        s.mz.resize(1000000);
        s.intensity.resize(1000000);
        for (std::size_t i = 0; i < s.mz.size(); ++i) {
            s.mz[i] = 100.0 + 0.002 * static_cast<double>(i);
            s.intensity[i] = 50 + noise(rng);
        }
        for (const auto& p : peaks) {
            const auto c = static_cast<long>((p.centre - 100.0) / 0.002);
            for (long j = std::max(0L, c - 50); j < std::min(1000000L, c + 50); ++j) {
                const double d = (s.mz[j] - p.centre) / (p.fwhm / 2.3548);
                s.intensity[j] += p.height * std::exp(-0.5 * d * d);
            }
        }
        out.profile = out.dir / "profile.mzML";
        testfiles::write_file(out.profile, testfiles::mzml({s}));
        s.mzEncoding.zlib = s.intensityEncoding.zlib = true;
        out.profileZlib = out.dir / "profile_zlib.mzML";
        testfiles::write_file(out.profileZlib, testfiles::mzml({s}));

        std::string list = "# mass range: 100 2100\n# accurate mass: yes\n";
        char line[96];
        for (int i = 0; i < 100000; ++i) {
            std::snprintf(line, sizeof line, "%.5f %.1f 0 %.5f\n", 100.0 + 0.02 * i, 100.0 + (i * 7919) % 5000,
                          0.001 + 1e-6 * (i % 100));
            list += line;
        }
        out.peaks = out.dir / "peaks.txt";
        testfiles::write_file(out.peaks, list);
        return out;
    }();
    return f;
}

void decode(benchmark::State& state, const std::filesystem::path& path) {
    const RawFileRef ref = testfiles::ref_to(path);
    for (auto _ : state) {
        dm::dm_clear_file_cache();  // parse the file every time
        dm::Spectrum s;
        dm::FunctionDescription d;
        if (!dm::dm_read_scan(ref, 1, 1, s, d)) state.SkipWithError(dm::dm_last_error());
        benchmark::DoNotOptimize(s.mass.data());
    }
}

void BM_ProfileDecode(benchmark::State& state) { decode(state, files().profile); }
void BM_ProfileDecodeZlib(benchmark::State& state) { decode(state, files().profileZlib); }

void BM_ProfileCentroid(benchmark::State& state) {
    dm::Spectrum s;
    dm::FunctionDescription d;
    dm::dm_read_scan(testfiles::ref_to(files().profile), 1, 1, s, d);
    for (auto _ : state) {
        dm::Spectrum c = masscal::mm::centroid_profile(s.mass.data(), s.intensity.data(), s.mass.size(), {});
        benchmark::DoNotOptimize(c.mass.data());
        state.counters["peaks"] = static_cast<double>(c.mass.size());
    }
}

void read_record(benchmark::State& state, const std::filesystem::path& path) {
    auto rec = std::make_unique<CalRecord>();
    std::memset(rec.get(), 0, sizeof(CalRecord));
    rec->DataFile = testfiles::ref_to(path);
    for (auto _ : state) {
        dm::dm_clear_file_cache();
        if (CalGetRawData(nullptr, rec.get()) != 0) state.SkipWithError(CalGetDataError());
        state.counters["peaks"] = rec->DataPeaks.nCount;
        CalAllocPeakList(&rec->DataPeaks, 0, 1);
    }
}

void BM_ProfileGetRawData(benchmark::State& state) { read_record(state, files().profile); }
void BM_PeakListParse(benchmark::State& state) { decode(state, files().peaks); }
void BM_PeakListGetRawData(benchmark::State& state) { read_record(state, files().peaks); }

}  // namespace

BENCHMARK(BM_ProfileDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileDecodeZlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileCentroid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileGetRawData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakListParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakListGetRawData)->Unit(benchmark::kMillisecond);
