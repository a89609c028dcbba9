/* Calibration statistics: how good a fit is. */
#ifndef MASSCAL_FIT_H
#define MASSCAL_FIT_H

#include "masscal/calib.h"
#include "masscal/export.h"

MASSCAL_BEGIN_C

/* Mean and RMS residual (amu), RMS residual (ppm) and the mean half-width of
 * the 95 % confidence band over the spectrum's mass range (ppm) of the
 * record's matches, into dMeanResidual, dRmsResidual, dRmsResidualPpm and
 * dConfBandPpm. The window handle is not used. Without matches the amu
 * figures become 0 and the ppm figures keep their values. */
MASSCAL_API void CalResidualStats(CalWnd hWnd, CalRecord* pRec);

MASSCAL_END_C

#endif
