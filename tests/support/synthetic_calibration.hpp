// A calibrated record without the calibration driver: a PEG sodium-adduct
// spectrum with isotopes and noise peaks, measured with a smooth mass error
// and per-peak uncertainties, matched to its reference peaks and fitted by
// weighted least squares, with the statistics and covariances a real run
// leaves in the record. Deterministic for a given seed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/arrays.hpp"
#include "masscal/calib.h"
#include "suite/covariance/covariances.hpp"

namespace masscal::testing {

struct SyntheticOptions {
    int noisePeaks = 350;
    bool detail = true;
    int order = 2;
    std::uint64_t seed = 42;
};

struct RecordDeleter {
    void operator()(CalRecord* r) const {
        CalAllocArrays(r, 1);
        delete r;
    }
};
using RecordPtr = std::unique_ptr<CalRecord, RecordDeleter>;

namespace detail {

// Small reproducible generator (splitmix64) with uniform and normal draws.
struct Rng {
    std::uint64_t s;
    double uniform() {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
    }
    double normal() {
        const double u1 = std::max(uniform(), 1e-300);
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * uniform());
    }
};

struct Peak {
    double mass;
    double intensity;
    std::uint8_t flags;
    float width;
    int ref;  // index of the reference peak it measures, or -1
};

// The mass error of the simulated instrument, amu.
inline double true_error(double m) { return 0.018 + 1.9e-5 * m - 1.1e-8 * m * m; }
inline double uncertainty(double m) { return 0.0012 + 1.6e-6 * m; }

// Solves the n x n system a x = b in place (Gauss-Jordan with partial
// pivoting); inv becomes the inverse of a.
inline void solve(std::vector<double> a, std::size_t n, std::vector<double>& b, std::vector<double>& inv) {
    inv.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) inv[i * n + i] = 1.0;
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r * n + c]) > std::fabs(a[p * n + c])) p = r;
        for (std::size_t k = 0; k < n; ++k) {
            std::swap(a[c * n + k], a[p * n + k]);
            std::swap(inv[c * n + k], inv[p * n + k]);
        }
        std::swap(b[c], b[p]);
        const double d = a[c * n + c];
        for (std::size_t k = 0; k < n; ++k) {
            a[c * n + k] /= d;
            inv[c * n + k] /= d;
        }
        b[c] /= d;
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = a[r * n + c];
            for (std::size_t k = 0; k < n; ++k) {
                a[r * n + k] -= f * a[c * n + k];
                inv[r * n + k] -= f * inv[c * n + k];
            }
            b[r] -= f * b[c];
        }
    }
}

}  // namespace detail

// PEG [M+Na]+, n = 2..24.
inline std::vector<double> peg_reference_masses() {
    std::vector<double> m;
    for (int n = 2; n <= 24; ++n) m.push_back(18.0105647 + n * 44.0262147 + 22.9892207);
    return m;
}

inline RecordPtr make_synthetic_calibration(const SyntheticOptions& opt = {}) {
    using detail::Peak;
    RecordPtr rec(new CalRecord{});
    detail::Rng rng{opt.seed};
    const std::vector<double> refs = peg_reference_masses();
    const int nRef = static_cast<int>(refs.size());
    auto envelope = [](int i) { return std::exp(-0.5 * std::pow((i - 9.0) / 5.0, 2)); };

    std::vector<Peak> peaks;
    for (int i = 0; i < nRef; ++i) {
        const double m = refs[static_cast<std::size_t>(i)];
        const double inten = 1.0e5 * envelope(i) * (0.85 + 0.3 * rng.uniform());
        const double w = detail::uncertainty(m);
        // Peak 15 is flagged as a possible mass measurement error.
        const std::uint8_t flags = i == 15 ? 16 : (i == 4 ? 1 : 0);
        peaks.push_back({m + detail::true_error(m) + w * rng.normal(), inten, flags, static_cast<float>(w), i});
        const double carbons = 2.0 * (i + 2);
        peaks.push_back({m + 1.00335 + detail::true_error(m), inten * 0.011 * carbons, 0, static_cast<float>(w), -1});
        peaks.push_back({m + 2.0067 + detail::true_error(m), inten * std::pow(0.011 * carbons, 2) / 2, 0,
                         static_cast<float>(w), -1});
    }
    for (int k = 0; k < opt.noisePeaks; ++k) {
        const double m = 60.0 + rng.uniform() * 1130.0;
        const double inten = 1.0e5 * 0.04 * -std::log(std::max(rng.uniform(), 1e-9)) * 0.5;
        const std::uint8_t flags = k % 97 == 3 ? 2 : (k % 89 == 5 ? (1 | 16) : 0);
        peaks.push_back({m, inten, flags, static_cast<float>(detail::uncertainty(m) * 3), -1});
    }
    std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.mass < b.mass; });

    const int n = static_cast<int>(peaks.size());
    CalAllocArrays(rec.get(), 0);
    CalAllocPeakList(&rec->DataPeaks, n, 0);
    CalAllocPeakList(&rec->MatchPeaks, n, 0);
    CalAllocPeakList(&rec->SparePeaks, n, 0);
    auto f = [](CalArray& a) { return static_cast<float*>(a.pData); };
    auto* dflags = static_cast<std::uint8_t*>(rec->DataPeaks.Flags.pData);
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        f(rec->DataPeaks.Mass)[i] = static_cast<float>(peaks[i].mass);
        f(rec->DataPeaks.Intensity)[i] = static_cast<float>(peaks[i].intensity);
        f(rec->DataPeaks.Width)[i] = peaks[i].width;
        dflags[i] = peaks[i].flags;
    }
    rec->DataPeaks.nCount = n;
    rec->DataPeaks.bDetail = opt.detail ? 1 : 0;
    for (int i = 0; i < nRef; ++i) {
        f(rec->RefPeaks.Mass)[i] = static_cast<float>(refs[static_cast<std::size_t>(i)]);
        f(rec->RefPeaks.Intensity)[i] = static_cast<float>(100.0 * envelope(i));
    }
    rec->RefPeaks.nCount = nRef;

    // Matches: every reference peak's measured peak that is not flagged.
    std::vector<double> mm, err, w;
    int k = 0;
    for (const Peak& p : peaks) {
        if (p.ref < 0 || (p.flags & (2 | 16))) continue;
        const double r = refs[static_cast<std::size_t>(p.ref)];
        f(rec->MatchPeaks.Mass)[k] = static_cast<float>(p.mass);
        f(rec->MatchPeaks.Intensity)[k] = static_cast<float>(p.intensity);
        f(rec->MatchPeaks.Width)[k] = opt.detail ? p.width : 0.0f;
        static_cast<std::uint8_t*>(rec->MatchPeaks.Flags.pData)[k] = p.flags;
        f(rec->Errors)[k] = static_cast<float>(p.mass - r);
        f(rec->RootErrors)[k] = static_cast<float>(std::sqrt(p.mass) - std::sqrt(r));
        mm.push_back(f(rec->MatchPeaks.Mass)[k]);
        err.push_back(f(rec->Errors)[k]);
        w.push_back(opt.detail ? 1.0 / (static_cast<double>(p.width) * p.width) : 1.0);
        ++k;
    }
    rec->MatchPeaks.nCount = k;
    rec->MatchPeaks.bDetail = opt.detail ? 1 : 0;

    // Weighted least squares on masses in thousands.
    const std::size_t np = static_cast<std::size_t>(opt.order) + 1, nk = mm.size();
    std::vector<double> ata(np * np, 0.0), atb(np, 0.0);
    for (std::size_t i = 0; i < nk; ++i) {
        const double t = mm[i] / 1000.0;
        for (std::size_t a = 0; a < np; ++a) {
            atb[a] += w[i] * std::pow(t, a) * err[i];
            for (std::size_t b = 0; b < np; ++b) ata[a * np + b] += w[i] * std::pow(t, a + b);
        }
    }
    std::vector<double> coef = atb, inv;
    detail::solve(ata, np, coef, inv);
    double chi2 = 0.0;
    for (std::size_t i = 0; i < nk; ++i) {
        double fit = 0.0;
        for (std::size_t a = np; a-- > 0;) fit = fit * (mm[i] / 1000.0) + coef[a];
        const double r = err[i] - fit;
        f(rec->Residuals)[i] = static_cast<float>(r);
        chi2 += w[i] * r * r;
    }
    const double scale = nk > np ? chi2 / static_cast<double>(nk - np) : 1.0;
    RawCalibCoEffs& e = rec->ErrorFunc;
    e.nOrder = opt.order;
    e.nType = 0;
    e.dStdDev = std::sqrt(scale);
    for (std::size_t a = 0; a < np; ++a) {
        e.dCoeffs[a] = coef[a] / std::pow(1000.0, a);
        for (std::size_t b = 0; b <= a; ++b)
            e.dCovar[CovarIndex(static_cast<int>(a), static_cast<int>(b))] = scale * inv[a * np + b];
    }
    DivideCovariancesByPowers(e.dCovar, 1000.0);
    rec->MassFunc = e;
    CalMassFunction(&rec->MassFunc);

    // Statistics as the driver leaves them.
    double sa = 0, s2 = 0, sp = 0;
    for (std::size_t i = 0; i < nk; ++i) {
        const double r = f(rec->Residuals)[i];
        sa += std::fabs(r);
        s2 += r * r;
        sp += std::pow(r / mm[i], 2) * 1e12;
    }
    rec->dMeanResidual = k ? sa / k : 0;
    rec->dRmsResidual = k ? std::sqrt(s2 / k) : 0;
    rec->dRmsResidualPpm = k ? std::sqrt(sp / k) : 0;
    rec->fMassLow = 50.0f;
    rec->fMassHigh = 1200.0f;
    if (opt.detail) {
        std::vector<float> table(512);
        const float step = (rec->fMassHigh - rec->fMassLow) / 511;
        GetVariances(0, e.dCovar, e.nOrder, rec->fMassLow, step, 512, table.data());
        double s = (table[0] / rec->fMassLow + table[511] / rec->fMassHigh) * 0.5;
        double x = rec->fMassLow;
        for (int i = 1; i <= 510; ++i) {
            x += step;
            s += table[static_cast<std::size_t>(i)] / x;
        }
        rec->dConfBandPpm = s / 511 * 1e6;
    }

    rec->Params.PolyOrder = opt.order;
    rec->Params.AutoPolyOrder = 1;
    rec->Params.PeakWindow = 0.5f;
    rec->Params.InitialError = 0.1f;
    std::strcpy(rec->DataFile.szName, "PEG_calibrant_0142");
    std::strcpy(rec->DataFile.szExtension, "mzML");
    CalSetRefName(rec.get(), "peg_na_pos.ref");
    std::strcpy(rec->szDataName, "PEG 200-1000 in MeOH, ESI+");
    return rec;
}

}  // namespace masscal::testing
