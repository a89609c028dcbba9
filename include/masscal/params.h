/* Loading and saving the calibration parameters in a section of the
 * settings file. Both return 0 when the settings cannot be opened, else 1
 * (or the result of closing the settings when the call opened them). */
#ifndef MASSCAL_PARAMS_H
#define MASSCAL_PARAMS_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* Missing keys take their defaults: PolyOrder 1, PeakWindow 0.5,
 * Threshold 0.01, IntensityWeight FALSE, InitialError 2.0, AutoPeakMatch
 * TRUE, AutoPolyOrder TRUE, CalibrateDisplay FALSE. bSinglePoint is kept. */
MASSCAL_API int32_t CalParamsGetIniFile(const char* pszSection, CalParams* pParams);
MASSCAL_API int32_t CalParamsSetIniFile(const char* pszSection, const CalParams* pParams);

MASSCAL_END_C

#endif
