#include <benchmark/benchmark.h>

#include "masscal/polynomial.hpp"

namespace {

const double kCoeffs[] = {-0.0123456789012345, 1.000012345678901, 3.14159265358979e-7, -2.718281828459045e-11,
                          1.5e-15, -7.25e-19};

void BM_PolynomialText(benchmark::State& state) {
    for (auto _ : state) {
        CCalibPolynomial p(5, kCoeffs);
        benchmark::DoNotOptimize(static_cast<const char*>(p));
    }
}
BENCHMARK(BM_PolynomialText);

void BM_PolynomialParse(benchmark::State& state) {
    CCalibPolynomial src(5, kCoeffs);
    const std::string text = static_cast<const char*>(src);
    for (auto _ : state) {
        CCalibPolynomial p(text.c_str());
        benchmark::DoNotOptimize(p[5]);
    }
}
BENCHMARK(BM_PolynomialParse);

void BM_PolynomialInverse(benchmark::State& state) {
    CPolynomial p(5, kCoeffs);
    double y = 100.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.Inverse(y, 0.0, 4000.0, 1e-9));
        y = y < 3000.0 ? y + 1.0 : 100.0;
    }
}
BENCHMARK(BM_PolynomialInverse);

}  // namespace
