#include "lockmass/drift_models.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/arrays.hpp"
#include "engine/driver.hpp"
#include "fitting/calib_fit.hpp"
#include "fitting/fit_weights.hpp"

using masscal::core::array_data;

namespace masscal::lockmass {
namespace {

bool ppm_model(int model) { return model >= CAL_LOCK_MODEL_OFFSET && model <= CAL_LOCK_MODEL_QUADRATIC; }

// The fits run on m/z / 1000, as the calibration driver scales its masses.
constexpr double kScale = 1000.0;

}  // namespace

int model_coefficients(int model) {
    if (ppm_model(model)) return model - CAL_LOCK_MODEL_OFFSET + 1;
    if (model >= CAL_LOCK_MODEL_POLY0 && model <= CAL_LOCK_MODEL_POLY0 + static_cast<int>(CAL_MAX_ORDER))
        return model - CAL_LOCK_MODEL_POLY0 + 1;
    return 0;
}

RawCalibCoEffs identity_mass_function() {
    RawCalibCoEffs f{};
    f.nOrder = 1;
    f.dCoeffs[1] = 1.0;
    return f;
}

ModelFitter::ModelFitter(const CalLockMassOptions& options, const std::vector<double>& locks, float massLow,
                         float massHigh)
    : options_(options), rec_(new CalRecord) {
    std::memset(rec_, 0, sizeof *rec_);
    if (!CalAllocArrays(rec_, 0) || !CalAllocPeakList(&rec_->MatchPeaks, CAL_MATCH_CAPACITY, 0)) return;
    // The reference list is the locks, so that the gate's initial error is
    // the tolerance, as calibrate --tolerance-ppm sets it.
    auto* ref = array_data<float>(rec_->RefPeaks.Mass);
    for (std::size_t i = 0; i < locks.size() && i < CAL_REF_CAPACITY; ++i) ref[i] = static_cast<float>(locks[i]);
    rec_->RefPeaks.nCount = static_cast<int32_t>(std::min<std::size_t>(locks.size(), CAL_REF_CAPACITY));
    CalApplyTolerancePpm(rec_, options.dTolerancePpm);
    rec_->fMassLow = massLow;
    rec_->fMassHigh = massHigh;
    ready_ = true;
}

ModelFitter::~ModelFitter() {
    CalAllocPeakList(&rec_->MatchPeaks, 0, 1);
    CalAllocArrays(rec_, 1);
    delete rec_;
}

Model ModelFitter::fit(const std::vector<LockPoint>& points) {
    Model m;
    m.massFunc = identity_mass_function();
    m.locks = static_cast<int>(points.size());
    const int coefficients = model_coefficients(options_.nModel);
    const int need = std::max(coefficients, options_.Limits.nMinMatches);
    if (m.locks < need || m.locks > CAL_MATCH_CAPACITY) {
        m.why = std::to_string(m.locks) + (m.locks == 1 ? " lock mass" : " lock masses") + " found, " +
                std::to_string(need) + " needed";
        return m;
    }
    const bool ppm = ppm_model(options_.nModel);
    const int order = coefficients - 1;
    const auto n = static_cast<int32_t>(points.size());
    float x[CAL_MATCH_CAPACITY], y[CAL_MATCH_CAPACITY], intensity[CAL_MATCH_CAPACITY], w[CAL_MATCH_CAPACITY];
    for (int32_t i = 0; i < n; ++i) {
        const LockPoint& p = points[static_cast<std::size_t>(i)];
        x[i] = static_cast<float>(p.measured / kScale);
        y[i] = static_cast<float>(ppm ? (p.measured - p.lock) / p.measured * 1e6 : p.measured - p.lock);
        intensity[i] = static_cast<float>(p.intensity);
    }
    MakeFitWeightsPoints0(intensity, nullptr, w, options_.bIntensityWeight, n);
    RawCalibCoEffs fitted{};
    if (const int32_t status = CalFitPolynomial(x, y, w, n, &fitted, order); status != 0) {
        m.why = "the fit failed (status " + std::to_string(status) + ")";
        return m;
    }
    // The error in amu at the measured m/z, as a calibration's error function.
    RawCalibCoEffs error{};
    double scale = 1.0;
    for (int j = 0; j <= order; ++j, scale *= kScale) {
        m.coeffs[j] = ppm ? fitted.dCoeffs[j] : fitted.dCoeffs[j] / scale;
        if (ppm) error.dCoeffs[j + 1] = fitted.dCoeffs[j] * 1e-6 / scale;
        else error.dCoeffs[j] = fitted.dCoeffs[j] / scale;
    }
    m.nCoeffs = coefficients;
    error.nOrder = ppm ? order + 1 : order;

    CalRecord* r = rec_;
    r->MatchPeaks.nCount = n;
    r->MatchPeaks.bDetail = 0;
    auto* mass = array_data<float>(r->MatchPeaks.Mass);
    auto* errors = array_data<float>(r->Errors);
    for (int32_t i = 0; i < n; ++i) {
        const LockPoint& p = points[static_cast<std::size_t>(i)];
        mass[i] = static_cast<float>(p.measured);
        errors[i] = static_cast<float>(p.measured - p.lock);
        array_data<float>(r->MatchPeaks.Intensity)[i] = intensity[i];
    }
    r->ErrorFunc = error;
    CalComputeResiduals(nullptr, r);
    if (options_.bGate) {
        CalQualityLimits limits = options_.Limits;
        limits.nMinMatches = need;
        CalQualityVerdict verdict;
        if (!CalCheckQuality(r, &limits, &verdict)) {
            m.why = verdict.szMessage;
            return m;
        }
    }
    m.massFunc = error;
    CalMassFunction(&m.massFunc);
    m.massFunc.dCoeffs[0] += 0.0;  // no "-0" in its text
    m.good = true;
    return m;
}

}  // namespace masscal::lockmass
