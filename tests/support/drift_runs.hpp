// Synthetic LC-MS runs whose mass scale drifts over retention time: MS1
// spectra holding lock masses and background peaks, each optionally
// followed by MS2 spectra, every m/z moved by a known drift in ppm. The
// true m/z of every point is kept, so a recalibrated copy can be judged.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/synthetic_calibration.hpp"
#include "support/test_files.hpp"

namespace masscal::testing {

struct DriftRun {
    std::vector<double> locks{391.28429, 556.2771, 922.0098};
    int ms1 = 150;
    double cycle = 2.0;      // seconds from one MS1 spectrum to the next
    int ms2PerCycle = 0;     // MS2 spectra after each MS1 spectrum
    std::function<double(double t, double mz)> drift = [](double, double) { return 0.0; };  // ppm
    double noisePpm = 0.2;   // of each lock peak's position
    std::function<bool(int ms1, int lock)> present = [](int, int) { return true; };
    bool profile = false;    // zero-suppressed profile peaks instead of centroids
    int background = 24;     // background peaks of an MS1 spectrum
    std::uint64_t seed = 7;
};

struct DriftRunFile {
    std::string text;
    // Per spectrum, in file order: the MS level, the retention time, and
    // each m/z point's true value and whether it belongs to a lock peak.
    std::vector<int> msLevel;
    std::vector<double> rt;
    std::vector<std::vector<double>> truth;
    std::vector<std::vector<bool>> lock;
};

// Background peaks of MS1 spectra and, halved and moved, fragments of MS2
// spectra: evenly spread from m/z 310 to 1205, none within 50 ppm of a lock.
inline std::vector<double> background_mz(const DriftRun& r) {
    std::vector<double> m;
    const double step = 37.31 * 24 / r.background;
    for (int k = 0; k < r.background; ++k) {
        const double mz = 310.1234 + step * k;
        bool clear = true;
        for (double lock : r.locks) clear = clear && std::fabs(mz - lock) > lock * 50e-6;
        if (clear) m.push_back(mz);
    }
    return m;
}

inline DriftRunFile drift_run(const DriftRun& r) {
    detail::Rng rng{r.seed};
    DriftRunFile out;
    std::vector<testfiles::MzmlSpectrum> spectra;
    const std::vector<double> background = background_mz(r);
    auto add = [&](int level, double t, double precursor, const std::vector<std::pair<double, double>>& peaks,
                   const std::vector<double>& noise) {
        struct Point {
            double truth, measured, intensity;
            bool lock;
        };
        std::vector<Point> points;
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            const auto [mz, height] = peaks[i];
            const double factor = 1 + (r.drift(t, mz) + noise[i]) * 1e-6;
            const bool isLock = noise[i] != 0 || std::find(r.locks.begin(), r.locks.end(), mz) != r.locks.end();
            if (!r.profile) {
                points.push_back({mz, mz * factor, height, isLock});
                continue;
            }
            // Resolution about 50,000: a Gaussian sampled every 2 mDa.
            const double sigma = mz / 50000.0 / 2.3548200450309493;
            for (int k = -25; k <= 25; ++k) {
                const double p = mz + 0.002 * k;
                points.push_back({p, p * factor, height * std::exp(-0.5 * std::pow((p - mz) / sigma, 2)), isLock});
            }
        }
        std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.truth < b.truth; });
        testfiles::MzmlSpectrum s;
        s.msLevel = level;
        s.profile = r.profile;
        s.rtSeconds = t;
        s.precursorMz = precursor;
        s.intensityEncoding = {true, true};
        s.mzEncoding = {true, true};
        out.truth.emplace_back();
        out.lock.emplace_back();
        for (const Point& p : points) {
            s.mz.push_back(p.measured);
            s.intensity.push_back(p.intensity);
            out.truth.back().push_back(p.truth);
            out.lock.back().push_back(p.lock);
        }
        out.msLevel.push_back(level);
        out.rt.push_back(t);
        spectra.push_back(std::move(s));
    };
    for (int i = 0; i < r.ms1; ++i) {
        const double t = 10.0 + i * r.cycle;
        std::vector<std::pair<double, double>> peaks;
        std::vector<double> noise;
        for (std::size_t k = 0; k < r.locks.size(); ++k) {
            if (!r.present(i, static_cast<int>(k))) continue;
            peaks.emplace_back(r.locks[k], 1e5 * static_cast<double>(k + 1));
            noise.push_back(r.noisePpm * rng.normal());
        }
        for (double b : background) {
            peaks.emplace_back(b, 2e4);
            noise.push_back(0.0);
        }
        add(1, t, 0.0, peaks, noise);
        for (int j = 0; j < r.ms2PerCycle; ++j) {
            const double t2 = t + (j + 1) * r.cycle / (r.ms2PerCycle + 1);
            std::vector<std::pair<double, double>> fragments;
            for (std::size_t k = static_cast<std::size_t>(j) % 3; k < background.size(); k += 3)
                fragments.emplace_back(background[k] * 0.5 + 11.0, 5e3);
            add(2, t2, background[static_cast<std::size_t>(j) % background.size()], fragments,
                std::vector<double>(fragments.size(), 0.0));
        }
    }
    testfiles::MzmlOptions o;
    o.analyzer = "MS:1000484";  // orbitrap
    out.text = testfiles::mzml(spectra, o);
    return out;
}

// The largest |calibrated - true| / true in ppm over the points of
// spectrum s that are not lock peaks (whose own noise would blur the
// judgement), given the copy's m/z values of that spectrum.
inline double worst_background_error_ppm(const DriftRunFile& run, std::size_t s, const std::vector<double>& mz) {
    double worst = 0;
    if (mz.size() != run.truth[s].size()) return HUGE_VAL;
    for (std::size_t i = 0; i < mz.size(); ++i)
        if (!run.lock[s][i]) worst = std::max(worst, std::fabs(mz[i] - run.truth[s][i]) / run.truth[s][i] * 1e6);
    return worst;
}

}  // namespace masscal::testing
