// The correction of one window: the lock points fitted as the calibration
// fit fits matches, judged by the quality gate, and turned into a mass
// function.
#pragma once

#include <string>
#include <vector>

#include "masscal/lockmass.h"

namespace masscal::lockmass {

// One lock over a window: its m/z, the m/z it was measured at (its median
// error applied) and its summed intensity.
struct LockPoint {
    double lock;
    double measured;
    double intensity;
};

struct Model {
    bool good = false;
    int locks = 0;
    int nCoeffs = 0;
    double coeffs[6] = {};  // in the model's own terms (masscal/lockmass.h)
    RawCalibCoEffs massFunc{};
    std::string why;  // when not good
};

// Coefficients of a model kind; 0 for a kind that is not one.
int model_coefficients(int model);
// The mass function that leaves every m/z as it is.
RawCalibCoEffs identity_mass_function();
// (measured - lock) / lock in ppm.
inline double error_ppm(double measured, double lock) { return (measured - lock) / lock * 1e6; }

// Fits windows with one set of options; the quality gate's record is made
// once. massLow and massHigh bound the m/z the corrections are applied to.
class ModelFitter {
public:
    ModelFitter(const CalLockMassOptions& options, const std::vector<double>& locks, float massLow, float massHigh);
    ~ModelFitter();
    ModelFitter(const ModelFitter&) = delete;
    ModelFitter& operator=(const ModelFitter&) = delete;

    // False when the gate's record could not be allocated.
    bool ready() const { return ready_; }
    Model fit(const std::vector<LockPoint>& points);

private:
    CalLockMassOptions options_;
    CalRecord* rec_;
    bool ready_ = false;
};

}  // namespace masscal::lockmass
