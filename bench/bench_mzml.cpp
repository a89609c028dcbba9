// mzML data: rewriting the m/z arrays of an indexed run (every array
// replaced, the index offsets and the checksum recomputed), and the array
// codec and gzip beneath it. Figures are per byte of the decoded array (the
// codec) or of the text (rewrite, gzip).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../tests/suite/datamanager/mzml_docs.hpp"
#include "mzml/binary_array.hpp"
#include "mzml/gzip_text.hpp"
#include "mzml/mzml_rewrite.hpp"

namespace {

namespace dm = masscal::dm;

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
        const bool ok = dm::rewrite_mzml(text, [](double m) { return m * (1 + 2e-6); }, out, rewritten, error);
        if (!ok) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RewriteIndexedRun)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A measured spectrum's m/z array: 20,000 sorted 64-bit values over
// 100..2000, full precision, so deflate finds little to squeeze.
std::vector<double> mz_array() {
    std::mt19937_64 rng(19);
    std::uniform_real_distribution<double> mz(100.0, 2000.0);
    std::vector<double> v(20000);
    for (double& x : v) x = mz(rng);
    std::sort(v.begin(), v.end());
    return v;
}

std::string encoded(bool zlib) {
    std::string out, error;
    dm::encode_double_array(mz_array(), zlib, out, error);
    return out;
}

constexpr std::int64_t kArrayBytes = 20000 * 8;

void per_array(benchmark::State& state) { state.SetBytesProcessed(state.iterations() * kArrayBytes); }

void BM_Base64Decode(benchmark::State& state) {
    const std::string text = encoded(false);
    std::vector<unsigned char> out;
    for (auto _ : state) {
        if (!dm::base64_decode(text, out)) state.SkipWithError("not decoded");
        benchmark::DoNotOptimize(out.data());
    }
    per_array(state);
}
BENCHMARK(BM_Base64Decode);

void BM_Base64Encode(benchmark::State& state) {
    const std::vector<double> v = mz_array();
    std::vector<unsigned char> bytes(v.size() * 8);
    std::memcpy(bytes.data(), v.data(), bytes.size());
    for (auto _ : state) {
        std::string text = dm::base64_encode(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(text.data());
    }
    per_array(state);
}
BENCHMARK(BM_Base64Encode);

// Base64 and inflate: what reading a compressed array costs, into doubles
// and into floats.
bool decode(const std::string& text, std::vector<double>& out, std::string& error) {
    return dm::decode_number_array(text, true, dm::NumberType::Float64, 20000, out, error);
}
bool decode(const std::string& text, std::vector<float>& out, std::string& error) {
    return dm::decode_float_array(text, true, dm::NumberType::Float64, 20000, out, error);
}

template <class Out>
void BM_DecodeZlibArray(benchmark::State& state) {
    const std::string text = encoded(true);
    std::vector<Out> out;
    std::string error;
    for (auto _ : state) {
        if (!decode(text, out, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    per_array(state);
    state.counters["encoded"] = static_cast<double>(text.size());
}
BENCHMARK_TEMPLATE(BM_DecodeZlibArray, double);
BENCHMARK_TEMPLATE(BM_DecodeZlibArray, float);

// Deflate and base64: what writing a compressed array costs; "encoded" is
// the size of the text written.
void BM_EncodeZlibArray(benchmark::State& state) {
    const std::vector<double> v = mz_array();
    std::string out, error;
    for (auto _ : state) {
        if (!dm::encode_double_array(v, true, out, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    per_array(state);
    state.counters["encoded"] = static_cast<double>(out.size());
}
BENCHMARK(BM_EncodeZlibArray);

// The same through one codec kept from array to array, as a streaming
// reader and writer use it.
void BM_CodecDecodeZlibArray(benchmark::State& state) {
    const std::string text = encoded(true);
    dm::ArrayCodec codec;
    std::vector<double> out;
    std::string error;
    for (auto _ : state) {
        if (!codec.decode(text, true, dm::NumberType::Float64, 20000, out, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    per_array(state);
}
BENCHMARK(BM_CodecDecodeZlibArray);

void BM_CodecEncodeZlibArray(benchmark::State& state) {
    const std::vector<double> v = mz_array();
    dm::ArrayCodec codec;
    std::string out, error;
    for (auto _ : state) {
        out.clear();
        if (!codec.encode_append(v, true, out, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    per_array(state);
}
BENCHMARK(BM_CodecEncodeZlibArray);

void BM_GunzipText(benchmark::State& state) {
    const std::string text = indexed_run(2000);
    std::string packed, out, why;
    dm::gzip_text(text, packed, why);
    for (auto _ : state) {
        if (!dm::gunzip_text(packed, out, why)) state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_GunzipText)->Unit(benchmark::kMillisecond);

void BM_GzipText(benchmark::State& state) {
    const std::string text = indexed_run(2000);
    std::string packed, why;
    for (auto _ : state) {
        if (!dm::gzip_text(text, packed, why)) state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["packed"] = static_cast<double>(packed.size());
    state.counters["text"] = static_cast<double>(text.size());
}
BENCHMARK(BM_GzipText)->Unit(benchmark::kMillisecond);

}  // namespace
