/*
 * Reference files: the known masses of a calibration compound, one peak per
 * line ("mass [intensity]"), blank lines and lines beginning with ';'
 * ignored, CR LF or LF line ends. The peaks are kept sorted by mass, at most
 * CAL_REF_CAPACITY of them.
 */
#ifndef MASSCAL_REFERENCE_H
#define MASSCAL_REFERENCE_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* Appends the peaks of the file (kind 19: directory, name and extension)
 * with fLow <= mass <= fHigh (every peak when both are 0) to the sorted list
 * pMasses/pIntensities (pIntensities may be null) of *pnCount peaks. 1 when
 * the file was read, also when the list filled up (a message box says so);
 * 0 when it could not be opened or read. */
MASSCAL_API int32_t CalReadReferenceFile(CalWnd hwndOwner, RawFileRef* pFile, float* pMasses, float* pIntensities,
                                         int32_t* pnCount, float fLow, float fHigh);

/* Reads the selected reference file and then, when pAirRefFile is not null,
 * the air reference into one list (*pnCount starts at 0). When the air
 * reference cannot be read the user is asked for it until it reads or the
 * request is cancelled. 1 on success, 0 on failure (after a message box). */
MASSCAL_API int32_t CalReadReferencePeaks(CalWnd hwndOwner, RawFileRef* pRefFile, RawFileRef* pAirRefFile,
                                          float* pMasses, float* pIntensities, int32_t* pnCount, float fLow,
                                          float fHigh);

MASSCAL_END_C

#endif
