// Rewriting the m/z arrays of an indexed mzML document: every spectrum's
// array replaced, the index offsets and the checksum recomputed.
#include <benchmark/benchmark.h>

#include <string>

#include "../tests/suite/datamanager/mzml_docs.hpp"
#include "mzml/mzml_rewrite.hpp"

namespace {

std::string indexed_run(int spectra) {
    mzdocs::Doc d;
    d.indexed = true;
    d.emptySpectrum = false;
    for (int i = 0; i < spectra; ++i) {
        mzdocs::Spectrum s;
        for (int k = 0; k < 40; ++k) {
            s.mz.push_back(100.0 + 25.0 * k + 0.001 * i);
            s.intensity.push_back(1000.0 + k);
        }
        d.spectra.push_back(std::move(s));
    }
    return mzdocs::build(d);
}

void BM_RewriteIndexedRun(benchmark::State& state) {
    const std::string text = indexed_run(static_cast<int>(state.range(0)));
    std::string out, error;
    std::size_t rewritten = 0;
    for (auto _ : state) {
        const bool ok = masscal::dm::rewrite_mzml(text, [](double m) { return m * (1 + 2e-6); }, out, rewritten, error);
        if (!ok) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RewriteIndexedRun)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
