/* Making a calibration: from a record's data and reference files, from
 * plain arrays, and with deisotoping of multiply charged spectra. */
#ifndef MASSCAL_CALIBRATE_H
#define MASSCAL_CALIBRATE_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* Reads the spectrum and the reference peaks of the record, matches, fits
 * and fills the statistics and the mass function. 1 when the run finished
 * (also with too few matches or a failed fit: the record then holds a zero
 * error function and the message has been shown), 0 when it could not be
 * started or the data could not be read. The record's arrays stay allocated
 * until CalAllocArrays(rec, 1). */
MASSCAL_API int32_t Calibrate(CalWnd hOwner, CalRecord* pRec);
/* Calibrate with the data peaks reduced to one per isotope cluster (charge
 * states up to 4) after removing intensities below fThreshold. */
MASSCAL_API int32_t CalibrateDeisotope(CalWnd hOwner, CalRecord* pRec, float fThreshold);
/* Fits a mass function of the given order to count points (measured mass,
 * measured minus reference mass), all weighted alike. Returns 1, or 0 when
 * the fit failed (too few points for the order, no memory), leaving pResult
 * as it was. */
MASSCAL_API int32_t CalMakeCalibrationExt(float* pMasses, float* pErrors, int32_t nCount, RawCalibCoEffs* pResult,
                                          int32_t nOrder);
/* Switches calibration in square-root-of-mass space on (non-zero) or off for
 * the calling thread until the next Calibrate; returns bOn. */
MASSCAL_API int32_t CalUseRootMassCali(int32_t bOn);

MASSCAL_END_C

#endif
