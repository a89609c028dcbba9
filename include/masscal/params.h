/* Loading and saving the calibration parameters in a section of the
 * settings file. Both return 0 when the settings cannot be opened, else 1
 * (or the result of closing the settings when the call opened them). */
#ifndef MASSCAL_PARAMS_H
#define MASSCAL_PARAMS_H

#include "masscal/calib.h"
#include "masscal/ui.h"

MASSCAL_BEGIN_C

/* Missing keys take their defaults: PolyOrder 1, PeakWindow 0.5,
 * Threshold 0.01, IntensityWeight FALSE, InitialError 2.0, AutoPeakMatch
 * TRUE, AutoPolyOrder TRUE, CalibrateDisplay FALSE. bSinglePoint is kept. */
MASSCAL_API int32_t CalParamsGetIniFile(const char* pszSection, CalParams* pParams);
MASSCAL_API int32_t CalParamsSetIniFile(const char* pszSection, const CalParams* pParams);

/* Lets the user edit the block in the modal dialog "Calibration Parameters"
 * owned by hwndOwner. Returns 1 when the user confirmed with values in range
 * (the block then holds them), 0 when cancelled (the block is untouched).
 * Without a UI provider that plays the dialog, it is cancelled. */
MASSCAL_API int32_t CalEditParams(CalWnd hwndOwner, CalParams* pParams);
/* As CalEditParams; the automatic restraint is offered only when pFile names
 * accurate-mass data. The reference is remembered for later CalEditParams
 * calls (a function number of 0 is taken as 1); null forgets it. */
MASSCAL_API int32_t CalEditParamsExt(CalWnd hwndOwner, CalParams* pParams, RawFileRef* pFile);

MASSCAL_END_C

#endif
