// Recalibration over time against apply on the same run: bytes of mzML per
// second, and the peak memory of one call (measured in a child process, so
// that neither the run's making nor the other benchmark counts).
//
// MASSCAL_BENCH_MZML and MASSCAL_BENCH_LOCKS name a run and its lock list
// (tools/make_large_mzml.py OUT --ref LOCKS makes a 1 GB one); without them
// a run of MASSCAL_BENCH_SPECTRA MS1 spectra (default 2,000, each followed by
// four MS2 spectra; about 100 MB) is made in the temporary folder.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "masscal/input.h"
#include "masscal/lockmass.h"
#include "support/drift_runs.hpp"

namespace {

namespace fs = std::filesystem;

struct Run {
    std::string path, out;
    std::vector<double> locks;
    std::int64_t bytes = 0;
    bool made = false;
    ~Run() {
        std::error_code ec;
        if (!out.empty()) fs::remove(out, ec);
        if (made) fs::remove(path, ec);
    }
};

// Runs f in a child process; its peak resident memory in MB (-1 when the
// child failed).
template <class F>
double peak_mb(F f) {
    const pid_t pid = fork();
    if (pid == 0) _exit(f() ? 0 : 1);
    int status = 0;
    struct rusage use {};
    if (pid < 0 || wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<double>(use.ru_maxrss) / 1024.0;
}

void make(Run& r) {
    const fs::path dir = fs::temp_directory_path();
    r.out = (dir / ("masscal-bench-lockmass-out-" + std::to_string(getpid()) + ".mzML")).string();
    const char* given = std::getenv("MASSCAL_BENCH_MZML");
    const char* locks = std::getenv("MASSCAL_BENCH_LOCKS");
    if (given && locks) {
        r.path = given;
        r.locks.resize(CAL_REF_CAPACITY);
        const int32_t n = CalReadLockMasses(locks, r.locks.data(), CAL_REF_CAPACITY);
        r.locks.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    } else {
        masscal::testing::DriftRun d;
        const char* n = std::getenv("MASSCAL_BENCH_SPECTRA");
        d.ms1 = n ? std::atoi(n) : 2000;
        d.cycle = 1.0;
        d.ms2PerCycle = 4;
        d.background = 2000;
        d.drift = [](double t, double) { return 2.0 + 6.0 * t / 2000.0; };
        r.locks = d.locks;
        r.path = (dir / ("masscal-bench-lockmass-" + std::to_string(getpid()) + ".mzML")).string();
        r.made = true;
        // Made in a child, so that its text never counts in our memory.
        peak_mb([&] {
            std::ofstream(r.path, std::ios::binary) << masscal::testing::drift_run(d).text;
            return true;
        });
    }
    std::error_code ec;
    r.bytes = static_cast<std::int64_t>(fs::file_size(r.path, ec));
}

const Run& run() {
    static Run r;
    static const bool made = (make(r), true);
    (void)made;
    return r;
}

template <bool write>
bool recalibrate(const Run& r) {
    CalLockMassOptions o;
    CalLockMassDefaults(&o);
    o.bFollowHigherLevels = 1;
    CalLockMassRun* done = CalLockMassRecalibrate(r.path.c_str(), write ? r.out.c_str() : nullptr, r.locks.data(),
                                                  static_cast<int32_t>(r.locks.size()), &o);
    CalLockMassSummary s{};
    CalLockMassSummaryOf(done, &s);
    CalLockMassFree(done);
    return done && s.nRewritten > 0;
}

bool apply(const Run& r) {
    RawCalibCoEffs f{};
    f.nOrder = 1;
    f.dCoeffs[1] = 1 - 5e-6;
    return CalApplyToMzml(&f, r.path.c_str(), r.out.c_str()) > 0;
}

template <bool (*Call)(const Run&)>
void measure(benchmark::State& state) {
    const Run& r = run();
    if (r.locks.empty() || r.bytes == 0) {
        state.SkipWithError("no run to measure");
        return;
    }
    const double peak = peak_mb([&] { return Call(r); });
    if (peak < 0) {
        state.SkipWithError(CalGetDataError());
        return;
    }
    for (auto _ : state)
        if (!Call(r)) state.SkipWithError(CalGetDataError());
    state.SetBytesProcessed(state.iterations() * r.bytes);
    state.counters["peak_MB"] = peak;
    state.counters["run_MB"] = static_cast<double>(r.bytes) / 1e6;
}

void BM_Apply(benchmark::State& state) { measure<apply>(state); }
void BM_RecalibrateFromLocks(benchmark::State& state) { measure<recalibrate<true>>(state); }
// The survey of the locks and the models alone, nothing written.
void BM_LockSurvey(benchmark::State& state) { measure<recalibrate<false>>(state); }
BENCHMARK(BM_Apply)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_RecalibrateFromLocks)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_LockSurvey)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
