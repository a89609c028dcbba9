// Shared helpers of the fitting tests: a record with its arrays, and
// deterministic normal deviates.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/arrays.hpp"
#include "masscal/calib.h"

namespace fittest {

struct TestRecord {
    explicit TestRecord(int matchCapacity = 100, int dataCapacity = 0) {
        std::memset(&rec, 0, sizeof rec);
        ok = CalAllocArrays(&rec, 0) == 1 && CalAllocPeakList(&rec.MatchPeaks, matchCapacity, 0) == 1;
        if (dataCapacity > 0) ok = ok && CalAllocPeakList(&rec.DataPeaks, dataCapacity, 0) == 1;
    }
    ~TestRecord() { CalAllocArrays(&rec, 1); }
    TestRecord(const TestRecord&) = delete;
    TestRecord& operator=(const TestRecord&) = delete;

    float* mass() { return masscal::core::array_data<float>(rec.MatchPeaks.Mass); }
    float* intensity() { return masscal::core::array_data<float>(rec.MatchPeaks.Intensity); }
    float* width() { return masscal::core::array_data<float>(rec.MatchPeaks.Width); }
    float* errors() { return masscal::core::array_data<float>(rec.Errors); }
    float* fitwork() { return masscal::core::array_data<float>(rec.FitWork); }

    CalRecord rec;
    bool ok = false;
};

// splitmix64 and Box-Muller: the same deviates on every platform.
class Normal {
public:
    explicit Normal(std::uint64_t seed) : state_(seed) {}
    double operator()() {
        const double u1 = (static_cast<double>(next() >> 11) + 1.0) * 0x1.0p-53;
        const double u2 = static_cast<double>(next() >> 11) * 0x1.0p-53;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

// Power coefficients of the Legendre polynomials P0..P5, row k = P(k).
inline constexpr double kLegendre[6][6] = {{1, 0, 0, 0, 0, 0},
                                           {0, 1, 0, 0, 0, 0},
                                           {-0.5, 0, 1.5, 0, 0, 0},
                                           {0, -1.5, 0, 2.5, 0, 0},
                                           {3.0 / 8, 0, -30.0 / 8, 0, 35.0 / 8, 0},
                                           {0, 15.0 / 8, 0, -70.0 / 8, 0, 63.0 / 8}};

// c may be a record's 4-aligned coefficients: read bytewise.
inline double horner(const double* c, int order, double x) {
    double k[8];
    std::memcpy(k, c, static_cast<std::size_t>(order + 1) * sizeof(double));
    double y = k[order];
    for (int i = order - 1; i >= 0; --i) y = y * x + k[i];
    return y;
}

}  // namespace fittest
