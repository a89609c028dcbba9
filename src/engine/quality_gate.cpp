#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/calib_eval.hpp"
#include "engine/driver.hpp"
#include "masscal/quality.h"

namespace {

constexpr int kCorrectionSamples = 256;
constexpr double kMadToSigma = 1.4826;

struct Match {
    double measured, reference, error, residual, residualPpm;
};

std::vector<Match> matches_of(const CalRecord* rec) {
    std::vector<Match> out;
    const int32_t n = rec->MatchPeaks.nCount;
    if (n <= 0 || !rec->MatchPeaks.Mass.pData || !rec->Errors.pData || !rec->Residuals.pData) return out;
    const auto* mass = static_cast<const float*>(rec->MatchPeaks.Mass.pData);
    const auto* err = static_cast<const float*>(rec->Errors.pData);
    const auto* res = static_cast<const float*>(rec->Residuals.pData);
    for (int32_t i = 0; i < n; ++i) {
        Match m{mass[i], static_cast<double>(mass[i]) - err[i], err[i], res[i], 0.0};
        m.residualPpm = m.reference > 0 ? m.residual / m.reference * 1e6 : 0.0;
        out.push_back(m);
    }
    return out;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    if (v.size() % 2) return *mid;
    return 0.5 * (*mid + *std::max_element(v.begin(), mid));
}

// The median of the matches' stated uncertainties in ppm, 0 without them.
double stated_scatter(const CalRecord* rec, const std::vector<Match>& m) {
    if (!rec->MatchPeaks.bDetail || !rec->MatchPeaks.Width.pData) return 0.0;
    const auto* width = static_cast<const float*>(rec->MatchPeaks.Width.pData);
    std::vector<double> u;
    for (std::size_t i = 0; i < m.size(); ++i)
        if (width[i] > 0 && m[i].reference > 0) u.push_back(width[i] / m[i].reference * 1e6);
    return u.size() == m.size() ? median(u) : 0.0;
}

// Median and robust standard deviation of the residuals in ppm. The
// deviation is taken as at least the floor and the stated uncertainties: a
// fit of a few matches leaves residuals smaller than their noise, and their
// median absolute deviation smaller still.
void robust_scatter(const CalRecord* rec, const std::vector<Match>& m, double floor, double& centre,
                    double& sigma) {
    std::vector<double> r;
    for (const Match& x : m) r.push_back(x.residualPpm);
    centre = median(r);
    for (double& v : r) v = std::fabs(v - centre);
    sigma = std::max({kMadToSigma * median(r), floor, stated_scatter(rec, m)});
}

bool no_fit(const CalRecord* rec) {
    const RawCalibCoEffs& e = rec->ErrorFunc;
    return rec->bCheckOnly || (e.nOrder == 0 && e.dCoeffs[0] == 0.0);
}

// The error the fit ascribes to a mass: the mass less its calibrated value.
double fitted_error(const RawCalibCoEffs& errorFunc, double mass) {
    RawCalibCoEffs p = errorFunc;
    CalMassFunction(&p);
    return mass - masscal::core::eval_coeffs(&p, mass);
}

int fitted_coefficients(const CalRecord* rec) {
    // The restrained fit is order 5 in name; its penalty leaves a line free.
    if (rec->Params.AutoPolyOrder && rec->ErrorFunc.nOrder == 5 && rec->MatchPeaks.nCount < 7) return 2;
    return rec->ErrorFunc.nOrder + 1;
}

std::string worst_text(const std::vector<Match>& m, const int32_t worst[3]) {
    std::string s;
    for (int k = 0; k < 3 && worst[k] >= 0; ++k) {
        char one[96];
        const Match& x = m[static_cast<std::size_t>(worst[k])];
        std::snprintf(one, sizeof one, "%s%.4f (error %+.1f ppm, residual %+.2f ppm)", k ? ", " : "", x.reference,
                      x.error / x.reference * 1e6, x.residualPpm);
        s += one;
    }
    return s;
}

void refuse(CalQualityVerdict* v, int32_t reason, double value, double limit, const std::string& text) {
    v->nReason = reason;
    v->dValue = value;
    v->dLimit = limit;
    std::snprintf(v->szMessage, sizeof v->szMessage, "%s", text.c_str());
}

// Largest |fitted error| over the data's range, split by whether the mass
// lies within the span of the matched masses (amu inside, ppm outside: an
// error proportional to mass grows beyond the span); where they occur.
struct CorrectionExtent {
    double inside = 0, outside = 0, insideAt = 0, outsideAt = 0;
};

CorrectionExtent correction_extent(const CalRecord* rec, const std::vector<Match>& m) {
    CorrectionExtent c;
    double lo = m.front().measured, hi = m.front().measured;
    for (const Match& x : m) {
        lo = std::min(lo, x.measured);
        hi = std::max(hi, x.measured);
    }
    const double low = rec->fMassLow, high = rec->fMassHigh;
    for (int k = 0; k < kCorrectionSamples; ++k) {
        const double mass = low + (high - low) * k / (kCorrectionSamples - 1);
        const bool within = mass >= lo && mass <= hi;
        double e = std::fabs(fitted_error(rec->ErrorFunc, mass));
        if (!within) e = mass > 0 ? e / mass * 1e6 : HUGE_VAL;
        double& worst = within ? c.inside : c.outside;
        // A correction that is not a number is as implausible as it gets.
        if (!(e <= worst)) {
            worst = std::isfinite(e) ? e : HUGE_VAL;
            (within ? c.insideAt : c.outsideAt) = mass;
        }
    }
    return c;
}

}  // namespace

extern "C" MASSCAL_API void CalDefaultQualityLimits(int32_t bAccurateMass, CalQualityLimits* p) {
    if (!p) return;
    p->nMinMatches = 0;
    p->dMaxRmsPpm = bAccurateMass ? 10.0 : 500.0;
    p->dOutlierSigmas = 6.0;
    p->dScatterFloorPpm = bAccurateMass ? 1.0 : 20.0;
    p->bCheckCorrection = 1;
}

extern "C" MASSCAL_API int32_t CalCheckQuality(const CalRecord* rec, const CalQualityLimits* lim,
                                               CalQualityVerdict* v) {
    CalQualityVerdict local;
    if (!v) v = &local;
    std::memset(v, 0, sizeof *v);
    v->nWorst[0] = v->nWorst[1] = v->nWorst[2] = -1;
    if (!rec || !lim) {
        refuse(v, CAL_QUALITY_NO_FIT, 0, 0, "no calibration to judge");
        return 0;
    }
    const std::vector<Match> m = matches_of(rec);
    std::vector<int32_t> order(m.size());
    for (std::size_t i = 0; i < m.size(); ++i) order[i] = static_cast<int32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&m](int32_t a, int32_t b) {
        return std::fabs(m[static_cast<std::size_t>(a)].residualPpm) > std::fabs(m[static_cast<std::size_t>(b)].residualPpm);
    });
    for (std::size_t k = 0; k < 3 && k < order.size(); ++k) v->nWorst[k] = order[k];

    if (m.empty() || no_fit(rec)) {
        refuse(v, CAL_QUALITY_NO_FIT, static_cast<double>(m.size()), 0,
               "no calibration was made (" + std::to_string(m.size()) + " matches)");
        return 0;
    }
    const int need = lim->nMinMatches > 0 ? lim->nMinMatches : fitted_coefficients(rec) + 1;
    if (static_cast<int>(m.size()) < need) {
        refuse(v, CAL_QUALITY_TOO_FEW, static_cast<double>(m.size()), need,
               "too few matches to check the calibration (" + std::to_string(m.size()) + ", at least " +
                   std::to_string(need) + " needed)");
        return 0;
    }
    char text[160];
    if (lim->dMaxRmsPpm > 0 && !(rec->dRmsResidualPpm <= lim->dMaxRmsPpm)) {
        std::snprintf(text, sizeof text, "RMS residual %.2f ppm exceeds the limit of %g ppm; worst matches: ",
                      rec->dRmsResidualPpm, lim->dMaxRmsPpm);
        refuse(v, CAL_QUALITY_RMS, rec->dRmsResidualPpm, lim->dMaxRmsPpm, text + worst_text(m, v->nWorst));
        return 0;
    }
    if (lim->dOutlierSigmas > 0) {
        double centre = 0, sigma = 0;
        robust_scatter(rec, m, lim->dScatterFloorPpm, centre, sigma);
        double far = 0;
        int32_t farthest = -1;
        for (std::size_t i = 0; i < m.size(); ++i) {
            const double d = std::fabs(m[i].residualPpm - centre) / sigma;
            if (d > far) far = d, farthest = static_cast<int32_t>(i);
        }
        if (far > lim->dOutlierSigmas) {
            const Match& f = m[static_cast<std::size_t>(farthest)];
            std::snprintf(text, sizeof text,
                          "match at %.4f lies %.1f robust standard deviations (%.2f ppm) from the others; worst "
                          "matches: ",
                          f.reference, far, sigma);
            refuse(v, CAL_QUALITY_OUTLIER, far, lim->dOutlierSigmas, text + worst_text(m, v->nWorst));
            return 0;
        }
    }
    if (lim->bCheckCorrection && rec->fMassHigh > rec->fMassLow) {
        double largest = 0, largestPpm = 0, top = 0;
        for (const Match& x : m) {
            largest = std::max(largest, std::fabs(x.error));
            largestPpm = std::max(largestPpm, std::fabs(x.error) / x.reference * 1e6);
            top = std::max(top, x.reference);
        }
        const CorrectionExtent c = correction_extent(rec, m);
        const double initial = rec->Params.InitialError;
        const double inLimit = std::max(initial, largest);
        // Beyond the matches a correction may grow as far as the initial error
        // (taken at the highest match) or the matches' own errors suggest.
        const double outLimit = std::max(2.0 * largestPpm + 3.0 * rec->dRmsResidualPpm, initial / top * 1e6);
        const bool inBad = c.inside > inLimit, outBad = c.outside > outLimit;
        if (inBad || outBad) {
            const double value = inBad ? c.inside : c.outside, limit = inBad ? inLimit : outLimit;
            std::snprintf(text, sizeof text, "the correction reaches %.4g %s at %.2f, more than the %.4g the matches support%s",
                          value, inBad ? "amu" : "ppm", inBad ? c.insideAt : c.outsideAt, limit,
                          inBad ? "" : " outside their mass span");
            refuse(v, CAL_QUALITY_CORRECTION, value, limit, text);
            return 0;
        }
    }
    return 1;
}

extern "C" MASSCAL_API int32_t CalRejectOutliers(CalRecord* rec, double sigmas, double floorPpm, int32_t keep,
                                                 float* droppedRef, float* droppedMeasured, int32_t nMax) {
    if (!rec || !(sigmas > 0)) return 0;
    int32_t dropped = 0;
    // One at a time, the farthest first: a fit bent by a gross outlier makes
    // good matches look bad until that outlier is gone.
    for (;;) {
        const std::vector<Match> m = matches_of(rec);
        if (static_cast<int32_t>(m.size()) <= keep || no_fit(rec)) break;
        double centre = 0, sigma = 0;
        robust_scatter(rec, m, floorPpm, centre, sigma);
        std::size_t worst = 0;
        for (std::size_t i = 1; i < m.size(); ++i)
            if (std::fabs(m[i].residualPpm - centre) > std::fabs(m[worst].residualPpm - centre)) worst = i;
        if (!(std::fabs(m[worst].residualPpm - centre) > sigmas * sigma)) break;
        if (dropped < nMax) {
            if (droppedRef) droppedRef[dropped] = static_cast<float>(m[worst].reference);
            if (droppedMeasured) droppedMeasured[dropped] = static_cast<float>(m[worst].measured);
        }
        ++dropped;
        std::vector<char> out(m.size(), 0);
        out[worst] = 1;
        masscal::engine::remove_matches(rec, out.data());
        if (!CalRecalibrate(nullptr, rec, 0)) return -1;
    }
    return dropped;
}
