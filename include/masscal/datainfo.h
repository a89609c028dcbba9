/* What a data file holds, as a scientist looks for it: its functions (groups
 * of spectra of one MS level and scan window) and each spectrum's retention
 * time, the file's own scan number and the precursor. Nothing here decodes
 * spectra, except to tell profile data that the file does not describe. */
#ifndef MASSCAL_DATAINFO_H
#define MASSCAL_DATAINFO_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

typedef struct CalFunctionSummary {
    int32_t nMsLevel;
    int32_t nPolarity;        /* 1 positive, -1 negative, 0 not stated */
    int32_t bHasWindow;       /* the scan window below is stated */
    double dWindowLow, dWindowHigh;
    float fMassLow, fMassHigh; /* the mass range the calibration uses */
    int32_t bAccurateMass, bTimeOfFlight;
    int32_t bProfile;         /* profile data, centroided before calibration */
    int32_t bProfileStated;   /* 0: inferred from the spacing of the m/z values */
    int32_t nSpectra;
    char szAnalyser[64];      /* the analysers' names, "" when not stated */
} CalFunctionSummary;

typedef struct CalSpectrumSummary {
    double dRtSeconds;        /* NaN when not stated */
    int64_t nScanNumber;      /* from the native id; -1 when it has none */
    double dPrecursorMz;      /* NaN for MS1 or when not stated */
    int64_t nFileIndex;       /* position in the file's list of spectra, from 0; -1 when it has none */
} CalSpectrumSummary;

/* The number of functions of the data file, or -1 when it cannot be read
 * (CalGetDataError says why). */
MASSCAL_API int32_t CalDataFunctionCount(const char* pszPath);

/* The summary of function nFunction (from 1) and of its first nMax spectra
 * into pSpectra (may be null). 1, or 0 when there is no such function or the
 * file cannot be read (CalGetDataError says why). */
MASSCAL_API int32_t CalDataFunctionSummary(const char* pszPath, int32_t nFunction, CalFunctionSummary* pOut,
                                           CalSpectrumSummary* pSpectra, int32_t nMax);

MASSCAL_END_C

#endif
