#include "engine/entry_points.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/arrays.hpp"
#include "core/calib_eval.hpp"
#include "engine/driver.hpp"
#include "fitting/calib_fit.hpp"
#include "masscal/calibrate.h"
#include "masscal/quality.h"
#include "masscal/tofcal.h"
#include "platform/memory.hpp"
#include "platform/ui.hpp"
#include "suite/covariance/covariances.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/records.hpp"
#include "suite/rawfile/raw_file.hpp"

namespace dm = masscal::dm;

namespace {

// A list allocated for an earlier, smaller spectrum is replaced, so that the
// new peaks are never written past its end.
bool alloc_list(CalPeakList& list, int32_t capacity) {
    if (list.Mass.hMem && masscal::platform::mem_size(list.Mass.hMem) < static_cast<std::size_t>(capacity) * 4)
        CalAllocPeakList(&list, 0, 1);
    return CalAllocPeakList(&list, capacity, 0) != 0;
}

}  // namespace

int32_t masscal::engine::prepare_record(CalWnd owner, CalRecord* rec) {
    rec->bTofFunction = dm::DmRawIsTOFFunction(&rec->DataFile, rec->DataFile.wFunction) & 0xFFFF;
    rec->bExternalFunction = dm::DmRawIsExternalFunction(&rec->DataFile, rec->DataFile.wFunction) & 0xFFFF;
    if (rec->bExternalFunction) {
        const char* key = rec->bSavedCalib ? "SavedCalibration" : "SavedPPCalibration";
        RawFileRef saved;
        std::memset(&saved, 0, sizeof saved);
        rec->bTofCalibLoaded = 0;
        GetTofCalFile(key, &saved);
        rec->bTofCalibLoaded = ReadTofCalibrationQB(&saved, &rec->TofCalib);
        unsigned char info[dm::kFunctionInfoSize] = {};
        if (!dm::DmRawGetFunctionInfo(&rec->DataFile, info)) {
            masscal::platform::MessageBox(owner, "Can't read function information", "Calibrate",
                                          CAL_MB_OK | CAL_MB_ICONEXCLAMATION);
            return 0;
        }
        masscal::engine::set_root_mass_switch(RawIsRootMassCalibration(info));
    } else {
        masscal::engine::set_root_mass_switch(0);
    }
    if (!CalAllocArrays(rec, 0)) return 0;
    return CalReadPeaks(owner, rec);
}

int32_t masscal::engine::finish_calibration(CalWnd owner, CalRecord* rec) {
    const int32_t n = rec->DataPeaks.nCount;
    if (!alloc_list(rec->MatchPeaks, n) || !alloc_list(rec->SparePeaks, n)) return 0;
    if (!CalRunCalibration(owner, rec, 1)) return 0;
    if (!rec->bTofFunction) {
        rec->MassFunc = rec->ErrorFunc;
        CalMassFunction(&rec->MassFunc);
    }
    return 1;
}

extern "C" MASSCAL_API int32_t Calibrate(CalWnd hOwner, CalRecord* pRec) {
    if (!pRec) return 0;
    return masscal::engine::prepare_record(hOwner, pRec) && masscal::engine::finish_calibration(hOwner, pRec) ? 1 : 0;
}

extern "C" MASSCAL_API int32_t CalMakeCalibrationExt(float* pMasses, float* pErrors, int32_t nCount,
                                                     RawCalibCoEffs* pResult, int32_t nOrder) {
    const int32_t n = nCount > 0 ? nCount : 0;
    // The masses are restored from a copy, not multiplied back, so that the
    // caller gets exactly what it passed.
    std::vector<float> saved(pMasses, pMasses + n);
    for (int32_t i = 0; i < n; ++i) pMasses[i] = pMasses[i] / 1000.0f;
    auto* weights = static_cast<float*>(masscal::platform::heap_alloc(sizeof(float) * static_cast<std::size_t>(n)));
    if (weights)
        for (int32_t i = 0; i < n; ++i) weights[i] = 1.0f;
    // Without a weight table every point weighs 1 all the same.
    RawCalibCoEffs result;
    std::memcpy(&result, pResult, sizeof result);
    const int32_t status = CalFitPolynomial(pMasses, pErrors, weights, n, &result, nOrder);
    masscal::platform::heap_free(weights);
    if (n > 0) std::memcpy(pMasses, saved.data(), sizeof(float) * n);
    // A failed fit is no calibration: the caller's record stays as it was.
    if (status != CAL_OK) return 0;
    const int order = masscal::core::clamped_order(result.nOrder);
    double power = 1.0;
    for (int i = 1; i <= order; ++i) {
        power *= 1000.0;
        result.dCoeffs[i] = result.dCoeffs[i] / power;
    }
    double covar[21];
    std::memcpy(covar, result.dCovar, sizeof covar);
    DivideCovariancesByPowers(covar, 1000.0);
    std::memcpy(result.dCovar, covar, sizeof covar);
    CalMassFunction(&result);
    std::memcpy(pResult, &result, sizeof result);
    return 1;
}

extern "C" MASSCAL_API int32_t CalUseRootMassCali(int32_t bOn) {
    masscal::engine::set_root_mass_switch(bOn);
    return bOn;
}

extern "C" MASSCAL_API int32_t CalRecalibrate(CalWnd hOwner, CalRecord* pRec, int32_t bRematch) {
    if (!pRec || !pRec->MatchPeaks.Mass.hMem || !pRec->SparePeaks.Mass.hMem) return 0;
    if (!CalRunCalibration(hOwner, pRec, bRematch)) return 0;
    if (!pRec->bTofFunction) {
        pRec->MassFunc = pRec->ErrorFunc;
        CalMassFunction(&pRec->MassFunc);
    }
    return 1;
}

extern "C" MASSCAL_API int32_t CalIsAccurateMass(const RawFileRef* pFile) {
    return pFile && dm::DmRawIsAccurateMass(pFile, nullptr) ? 1 : 0;
}

extern "C" MASSCAL_API int32_t CalApplyTolerancePpm(CalRecord* pRec, double dTolPpm) {
    if (!pRec || !(dTolPpm > 0.0) || !std::isfinite(dTolPpm)) return 0;
    const int32_t n = pRec->RefPeaks.nCount;
    if (n <= 0 || !pRec->RefPeaks.Mass.pData) return 0;
    const auto* mass = static_cast<const float*>(pRec->RefPeaks.Mass.pData);
    double highest = 0.0;
    for (int32_t i = 0; i < n; ++i) highest = std::max(highest, static_cast<double>(mass[i]));
    if (!(highest > 0.0)) return 0;
    const auto window = static_cast<float>(highest * dTolPpm * 1e-6);
    pRec->Params.PeakWindow = window;
    pRec->Params.InitialError = window;
    return 1;
}
