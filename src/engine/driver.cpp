#include "engine/driver.hpp"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/arrays.hpp"
#include "core/cal_error.hpp"
#include "core/calib_eval.hpp"
#include "fitting/calib_fit.hpp"
#include "fitting/peak_match.hpp"
#include "fitting/single_point.hpp"
#include "input/spectrum_input.hpp"
#include "masscal/fit.h"
#include "masscal/input.h"
#include "masscal/reference.h"
#include "platform/ui.hpp"
#include "suite/covariance/covariances.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/records.hpp"

using masscal::core::array_data;

namespace dm = masscal::dm;

namespace {

thread_local int32_t t_root_mass = 0;

// Horner's value of p at x, without the squaring of root-mass records.
double horner(const RawCalibCoEffs& p, double x) {
    const int n = masscal::core::clamped_order(p.nOrder);
    if (n < 0) return 0.0;
    double y = p.dCoeffs[n];
    for (int i = n - 1; i >= 0; --i) y = y * x + p.dCoeffs[i];
    return y;
}

// The air reference is read when its function word, taken as a 32-bit value
// together with the next word, is non-zero.
bool air_reference_wanted(const RawFileRef& air) {
    return masscal::suite::load_field<std::uint32_t>(&air, offsetof(RawFileRef, wFunction)) != 0;
}

void show_if_owner(CalWnd owner, int32_t code, CalRecord* rec) {
    if (owner) CalShowError(owner, code, rec);
}

void statistics(CalWnd owner, CalRecord* rec) { CalResidualStats(owner, rec); }

void mass_function_from_error(CalRecord* rec) {
    rec->MassFunc = rec->ErrorFunc;
    CalMassFunction(&rec->MassFunc);
}

// The fit in root-mass space: the matches' masses and widths go to square
// roots in SparePeaks, and the root errors take the place of the errors.
int32_t fit_root_mass(CalRecord* rec, int32_t n) {
    CalPeakList& m = rec->MatchPeaks;
    CalPeakList& s = rec->SparePeaks;
    auto* mass = array_data<float>(m.Mass);
    auto* rootMass = array_data<float>(s.Mass);
    auto* width = array_data<float>(m.Width);
    auto* rootWidth = array_data<float>(s.Width);
    std::memcpy(array_data<float>(s.Intensity), array_data<float>(m.Intensity), sizeof(float) * n);
    std::memcpy(array_data<unsigned char>(s.Flags), array_data<unsigned char>(m.Flags), n);
    std::memcpy(array_data<float>(s.Extra), array_data<float>(m.Extra), sizeof(float) * n);
    for (int32_t i = 0; i < n; ++i) {
        const float root = static_cast<float>(std::sqrt(static_cast<double>(mass[i])));
        rootMass[i] = root;
        rootWidth[i] = static_cast<float>(width[i] / (2.0 * root));
    }
    std::swap(m.Mass, s.Mass);
    std::swap(m.Width, s.Width);
    std::swap(rec->Errors, rec->RootErrors);
    const int32_t result = CalFitCalibration(rec);
    std::swap(m.Mass, s.Mass);
    std::swap(m.Width, s.Width);
    std::swap(rec->Errors, rec->RootErrors);
    return result;
}

// The fit on masses in thousands of amu; the coefficients (and their
// covariance) are scaled back to amu afterwards.
int32_t fit_in_thousands(CalRecord* rec, int32_t n) {
    auto* mass = array_data<float>(rec->MatchPeaks.Mass);
    // The masses are restored from a copy, not multiplied back, so that the
    // matches keep their exact values.
    std::vector<float> saved(mass, mass + n);
    for (int32_t i = 0; i < n; ++i) mass[i] = mass[i] / 1000.0f;
    const int32_t result = CalFitCalibration(rec);
    std::memcpy(mass, saved.data(), sizeof(float) * n);
    RawCalibCoEffs& e = rec->ErrorFunc;
    const int order = masscal::core::clamped_order(e.nOrder);
    double power = 1.0;
    for (int i = 1; i <= order; ++i) {
        power *= 1000.0;
        e.dCoeffs[i] = e.dCoeffs[i] / power;
    }
    double covar[21];
    std::memcpy(covar, e.dCovar, sizeof covar);
    DivideCovariancesByPowers(covar, 1000.0);
    std::memcpy(e.dCovar, covar, sizeof covar);
    return result;
}

}  // namespace

int32_t masscal::engine::root_mass_switch() { return t_root_mass; }
void masscal::engine::set_root_mass_switch(int32_t on) { t_root_mass = on; }

void CalApplyCheckCalib(CalRecord* rec) {
    // Verify mode without a calibration to verify leaves the masses as read.
    if (!rec->pCheckCalib || !rec->DataPeaks.Mass.hMem) return;
    RawCalibCoEffs check;
    std::memcpy(&check, rec->pCheckCalib, sizeof check);
    auto* mass = array_data<float>(rec->DataPeaks.Mass);
    for (int32_t i = 0; i < rec->DataPeaks.nCount; ++i) mass[i] = static_cast<float>(masscal::core::eval_coeffs(&check, mass[i]));
}

int32_t CalApplyCalibration(const RawCalibCoEffs* p, CalPeakList* list) {
    if (!list->Mass.hMem || !list->CalMass.hMem) return 1;
    const auto* mass = array_data<float>(list->Mass);
    auto* cal = array_data<float>(list->CalMass);
    for (int32_t i = 0; i < list->nCount; ++i) cal[i] = static_cast<float>(masscal::core::eval_coeffs(p, mass[i]));
    return 1;
}

namespace {

template <typename T>
void compact(CalArray& a, const char* drop, int32_t n) {
    if (!a.pData) return;
    auto* v = array_data<T>(a);
    int32_t k = 0;
    for (int32_t i = 0; i < n; ++i)
        if (!drop[i]) v[k++] = v[i];
}

}  // namespace

void masscal::engine::remove_matches(CalRecord* rec, const char* drop) {
    CalPeakList& m = rec->MatchPeaks;
    const int32_t n = m.nCount;
    for (CalArray* a : {&m.Mass, &m.Intensity, &m.CalMass, &m.Width, &m.Extra, &rec->Errors, &rec->RootErrors,
                        &rec->Residuals})
        compact<float>(*a, drop, n);
    compact<unsigned char>(m.Flags, drop, n);
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i) kept += drop[i] ? 0 : 1;
    m.nCount = kept;
}

void CalResetFit(CalRecord* rec) {
    RawCalibCoEffs& e = rec->ErrorFunc;
    e.nOrder = 0;
    e.dCoeffs[0] = 0.0;
    // A covariance left from an earlier fit would draw a confidence band
    // around a calibration that no longer exists.
    e.dStdDev = 0.0;
    std::memset(e.dCovar, 0, sizeof e.dCovar);
    if (rec->bExternalFunction) {
        rec->MassFunc.nOrder = 1;
        rec->MassFunc.dCoeffs[0] = 0.0;
        rec->MassFunc.dCoeffs[1] = 1.0;
    }
    if (!rec->Residuals.hMem || !rec->Errors.hMem) return;
    std::memcpy(rec->Residuals.pData, rec->Errors.pData, sizeof(float) * static_cast<std::size_t>(rec->MatchPeaks.nCount));
}

void CalComputeResiduals(CalWnd owner, CalRecord* rec) {
    const bool root = rec->ErrorFunc.nType == 1;
    // In root mode the residual is taken from the mass form of the fit, made
    // here from ErrorFunc so that it is the current fit's whatever MassFunc
    // holds.
    RawCalibCoEffs p = rec->ErrorFunc;
    if (root) CalMassFunction(&p);
    const auto* mass = array_data<float>(rec->MatchPeaks.Mass);
    const auto* errors = array_data<float>(rec->Errors);
    auto* residuals = array_data<float>(rec->Residuals);
    for (int32_t i = 0; i < rec->MatchPeaks.nCount; ++i) {
        const double m = mass[i];
        double fitted;
        if (root) {
            const double x = static_cast<float>(std::sqrt(m));
            const double y = horner(p, x);
            fitted = x * x - y * y;
        } else {
            fitted = horner(p, m);
        }
        residuals[i] = static_cast<float>(errors[i] - fitted);
    }
    statistics(owner, rec);
}

int32_t CalReadPeaks(CalWnd owner, CalRecord* rec) {
    const int32_t status = CalGetRawData(owner, rec);
    if (status != 0) {
        CalShowError(owner, status, rec);
        return 0;
    }
    unsigned char info[dm::kFunctionInfoSize] = {};
    if (!dm::DmRawGetFunctionInfo(&rec->DataFile, info)) return 0;
    if (rec->bCheckOnly) CalApplyCheckCalib(rec);
    if (rec->DataPeaks.nCount == 0) {
        CalShowError(owner, CAL_ERR_NO_DATA_PEAKS, rec);
        return 0;
    }
    const float low = rec->fMassLow - rec->Params.InitialError;
    const float high = rec->fMassHigh + rec->Params.InitialError;
    RawFileRef* air = air_reference_wanted(rec->AirRefFile) ? &rec->AirRefFile : nullptr;
    if (!CalReadReferencePeaks(owner, &rec->RefFile, air, array_data<float>(rec->RefPeaks.Mass),
                               array_data<float>(rec->RefPeaks.Intensity), &rec->RefPeaks.nCount, low, high))
        return 0;
    if (rec->RefPeaks.nCount > 0) return 1;
    masscal::core::set_error_text("The reference file you have selected does "
                    "not contain any peaks in the range of this data.");
    masscal::platform::MessageBox(owner, masscal::core::error_buffer(), "Calibrate", CAL_MB_OK | CAL_MB_ICONEXCLAMATION);
    return 0;
}

int32_t CalRunCalibration(CalWnd owner, CalRecord* rec, int32_t bRematch) {
    CalParams& params = rec->Params;
    const int32_t type = t_root_mass ? 1 : 0;
    rec->MassFunc.nType = type;
    rec->ErrorFunc.nType = type;

    if (bRematch) {
        if (params.AutoPeakMatch) {
            const int32_t matched = CalMatchPeaks(rec);
            if (matched < 0) {
                show_if_owner(owner, matched, rec);
                CalResetFit(rec);
                return 1;
            }
        } else {
            rec->MatchPeaks.nCount = 0;
            CalResetFit(rec);
        }
    }
    const int32_t n = rec->MatchPeaks.nCount;

    int32_t singlePoint = 0;
    if (rec->bTofFunction) {
        unsigned char info[dm::kFunctionInfoSize] = {};
        unsigned char header[dm::kHeaderSize] = {};
        if (!masscal::input::read_function_header(rec->DataFile, info, header)) return 0;
        singlePoint = dm::load_field<std::uint16_t>(info, dm::kInfoModeWord) == 1 ? 1 : 0;
    }
    params.bSinglePoint = singlePoint;

    if (params.AutoPeakMatch && !singlePoint &&
        ((params.AutoPolyOrder && n < 2) || (!params.AutoPolyOrder && n <= params.PolyOrder))) {
        show_if_owner(owner, CAL_ERR_TOO_FEW_MATCHES, rec);
        CalResetFit(rec);
        statistics(owner, rec);
        return 1;
    }
    if (singlePoint) params.PolyOrder = 1;

    const bool fit = !rec->bCheckOnly && ((params.AutoPolyOrder && n >= 2) ||
                                          (!params.AutoPolyOrder && n > params.PolyOrder) || (singlePoint && n == 1));
    if (!fit) {
        statistics(owner, rec);
        if (rec->bTofFunction) mass_function_from_error(rec);
        return 1;
    }

    int32_t result;
    if (singlePoint && n == 1) {
        const int32_t segment = CalReadDataParams(&rec->DataFile, &rec->TofCalib);
        result = CalSinglePointCalibration(rec, segment);
    } else if (t_root_mass) {
        result = fit_root_mass(rec, n);
    } else {
        result = fit_in_thousands(rec, n);
    }
    if (result != 0) {
        show_if_owner(owner, result, rec);
        CalResetFit(rec);
        statistics(owner, rec);
        return 1;
    }

    if (rec->bTofFunction) {
        mass_function_from_error(rec);
        CalComputeResiduals(owner, rec);
        const int32_t segment = CalReadDataParams(&rec->DataFile, &rec->TofCalib);
        if (segment >= 1 && segment <= CAL_MAX_SEGMENTS) {
            RawCalibCoEffs* dst = &rec->TofCalib.Segments[segment - 1];
            std::memcpy(dst, &rec->MassFunc, sizeof *dst);
        }
    } else {
        CalComputeResiduals(owner, rec);
    }
    return 1;
}
