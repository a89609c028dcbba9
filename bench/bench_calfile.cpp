// A whole calibration of 32 functions of 12 segments: written to a new
// file, and read back part by part.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "masscal/calfile.hpp"

namespace {

struct Readers : CCalFile {
    using CCalFile::ReadQuad1Parameters;
    using CCalFile::ReadQuad2Parameters;
    using CCalFile::ReadReservoir;
    using CCalFile::ReadTimeStamps;
    using CCalFile::ReadTofParameters;
};

RawCalibCoEffs coeffs(int order, double base) {
    RawCalibCoEffs c;
    std::memset(&c, 0, sizeof c);
    c.nOrder = order;
    for (int i = 0; i <= order; ++i) c.dCoeffs[i] = base / (i + 1.0) + (i == 1 ? 1.0 : 0.0);
    for (int i = 0; i < (order + 1) * (order + 2) / 2; ++i) c.dCovar[i] = base * 1e-7 * (i + 1);
    c.dStdDev = 0.01;
    return c;
}

std::unique_ptr<RawCalibInfo> make_info() {
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    RawCalibQuad q;
    std::memset(&q, 0, sizeof q);
    q.Static = coeffs(3, 0.01);
    q.Dynamic = coeffs(3, 0.02);
    q.Fast = coeffs(3, 0.03);
    std::strcpy(q.StaticParams.szReferenceFile, "/usr/share/masscal/ref/peg.ref");
    std::memcpy(&info->Quad1, &q, sizeof q);
    std::memcpy(&info->Quad2, &q, sizeof q);
    TofBlock b;
    std::memset(&b, 0, sizeof b);
    b.Calibration = coeffs(5, 0.001);
    b.fSourceVoltage = 2000.0f;
    std::memcpy(&info->Tof[0], &b, sizeof b);
    std::strcpy(info->szDate, "2024-05-06");
    std::strcpy(info->szTime, "10:20:30");
    info->nFunctions = 32;
    for (int k = 0; k < 32; ++k) {
        tagRAWCALIBFUNC f;
        std::memset(&f, 0, sizeof f);
        f.nSegments = 12;
        for (int j = 0; j < 12; ++j) f.Segments[j] = coeffs(5, 1e-3 * (k + 1) + 1e-5 * j);
        f.bIsModified = k % 2;
        f.ModifiedPolynomial = coeffs(2, 0.5);
        std::memcpy(reinterpret_cast<char*>(info.get()) + offsetof(RawCalibInfo, Functions) + sizeof f * k, &f,
                    sizeof f);
    }
    return info;
}

std::string bench_path() { return "/tmp/masscal_bench_calfile_" + std::to_string(getpid()) + ".ini"; }

void BM_WriteCalibrationNewFile(benchmark::State& state) {
    const auto info = make_info();
    const std::string path = bench_path();
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(path.c_str());
        state.ResumeTiming();
        CCalFile::WriteCalibration(path.c_str(), info.get());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteCalibrationNewFile)->Unit(benchmark::kMillisecond);

void BM_RewriteCalibration(benchmark::State& state) {
    const auto info = make_info();
    const std::string path = bench_path();
    CCalFile::WriteCalibration(path.c_str(), info.get());
    for (auto _ : state) CCalFile::WriteCalibration(path.c_str(), info.get());
    std::remove(path.c_str());
}
BENCHMARK(BM_RewriteCalibration)->Unit(benchmark::kMillisecond);

void BM_ReadCalibration(benchmark::State& state) {
    const auto info = make_info();
    const std::string path = bench_path();
    CCalFile::WriteCalibration(path.c_str(), info.get());
    auto back = std::make_unique<RawCalibInfo>();
    for (auto _ : state) {
        Readers::ReadQuad1Parameters(path.c_str(), back.get());
        Readers::ReadQuad2Parameters(path.c_str(), back.get());
        Readers::ReadTofParameters(path.c_str(), back.get());
        Readers::ReadTimeStamps(path.c_str(), back.get());
        Readers::ReadReservoir(path.c_str(), back.get());
        Readers::ReadCalibrationFunctions(path.c_str(), back.get());
        benchmark::DoNotOptimize(back->nFunctions);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadCalibration)->Unit(benchmark::kMillisecond);

}  // namespace
