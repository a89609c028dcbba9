/*
 * Recalibration over time from lock masses. Instruments drift during a run,
 * so one calibration per file leaves each spectrum off by the drift of its
 * moment. Here every spectrum gets its own correction, fitted to the lock
 * masses found in the spectra around it in time, and the run is rewritten
 * as CalApplyToMzml rewrites it. What was found and done in each spectrum
 * is kept for a table and a drift picture.
 *
 * The model of a spectrum: in each lock-search spectrum (the spectra of
 * nMsLevel) the most intense peak within dTolerancePpm of a lock mass, at
 * or above dMinIntensity, is that lock's observation (profile spectra are
 * centroided around the lock first). For a spectrum at retention time t the
 * window is every lock-search spectrum within dRtWindow seconds of t (or
 * the nScanWindow lock-search spectra before and after it in the file). The
 * median error of each lock over the window is one point; the points are
 * fitted as the calibration fit fits matches (weights 1, or the square root
 * of the lock's summed intensity with bIntensityWeight), and the fit must
 * pass the quality gate (Limits; nMinMatches 0 asks for as many locks as
 * the model has coefficients).
 *
 * A spectrum whose window gives no model that passes takes, in this order:
 * the model of the nearest spectrum in time whose own window gave one
 * (CAL_LOCK_FROM_NEAREST), the model of all the run's lock observations
 * when it passes the gate (CAL_LOCK_FROM_GLOBAL), or none: the spectrum is
 * copied unchanged (CAL_LOCK_UNCHANGED). Each spectrum's row says which.
 */
#ifndef MASSCAL_LOCKMASS_H
#define MASSCAL_LOCKMASS_H

#include "masscal/calib.h"
#include "masscal/quality.h"

/* The error model of a window. The ppm models give the error relative to
 * the measured m/z, in ppm, as a polynomial in x = m/z / 1000: offset a,
 * linear a + b x, quadratic a + b x + c x^2. CAL_LOCK_MODEL_POLY0 + k (k =
 * 0..5) is the calibration polynomial of order k: the error in amu as a
 * polynomial in the m/z, as the calibration fit makes it. */
enum {
    CAL_LOCK_MODEL_OFFSET = 0,
    CAL_LOCK_MODEL_LINEAR = 1,
    CAL_LOCK_MODEL_QUADRATIC = 2,
    CAL_LOCK_MODEL_POLY0 = 10
};

/* Where a spectrum's model came from. */
enum {
    CAL_LOCK_FROM_WINDOW = 0,
    CAL_LOCK_FROM_NEAREST = 1,
    CAL_LOCK_FROM_GLOBAL = 2,
    CAL_LOCK_UNCHANGED = 3
};

typedef struct CalLockMassOptions {
    int32_t nModel;              /* CAL_LOCK_MODEL_* */
    double dTolerancePpm;        /* a lock's peak lies within this of its m/z */
    double dMinIntensity;        /* intensity floor of a lock's peak */
    double dRtWindow;            /* half-width of the window, seconds */
    int32_t nScanWindow;         /* > 0: this many lock-search spectra on each side instead */
    int32_t nMsLevel;            /* the spectra searched for locks and recalibrated */
    int32_t bFollowHigherLevels; /* spectra of higher MS levels take the model of their time */
    int32_t bIntensityWeight;
    int32_t bGate;               /* 0: any fit with enough locks is used */
    CalQualityLimits Limits;
    /* Only spectra in these ranges are rewritten (all locks are still searched). */
    int32_t bRtRange;
    double dRtFrom, dRtTo;       /* seconds */
    int32_t bScanRange;
    int64_t nScanFrom, nScanTo;  /* the file's scan numbers */
} CalLockMassOptions;

/* One recalibrated (or unchanged) spectrum. Errors are RMS over the lock
 * masses found in the spectrum itself, (measured - lock) / lock in ppm,
 * before and after its model; NaN when it has none. */
typedef struct CalLockMassSpectrum {
    int64_t nFileIndex;        /* position in the file's list of spectra, from 0 */
    int64_t nScanNumber;       /* -1 when the id has none */
    double dRtSeconds;         /* NaN when not stated */
    int32_t nMsLevel;
    int32_t nLocksFound;       /* lock masses found in this spectrum */
    int32_t nLocksUsed;        /* lock masses behind its model */
    double dErrorBeforePpm;
    double dErrorAfterPpm;
    int32_t nSource;           /* CAL_LOCK_FROM_* */
    int64_t nDonorIndex;       /* CAL_LOCK_FROM_NEAREST: the spectrum whose model it took; else -1 */
    double dDonorRtSeconds;
    int32_t nCoeffs;           /* the model's coefficients, in its own terms (see CAL_LOCK_MODEL_*) */
    double dCoeffs[6];
    RawCalibCoEffs MassFunc;   /* applied: calibrated m/z = MassFunc(measured m/z) */
    char szNativeId[128];      /* the spectrum's id in the file, "" when the reader does not give it */
    char szNote[256];          /* why its window's model was not used; "" when it was */
} CalLockMassSpectrum;

/* One lock mass found in one lock-search spectrum. */
typedef struct CalLockObservation {
    int64_t nFileIndex;
    double dRtSeconds;
    double dLockMz;
    double dMeasuredMz;
    double dIntensity;
    double dErrorBeforePpm;
    double dErrorAfterPpm;     /* NaN when the spectrum was not recalibrated */
} CalLockObservation;

typedef struct CalLockMassSummary {
    int32_t nSpectra;          /* rows: the spectra chosen for recalibration */
    int32_t nRewritten;        /* those given a model */
    int32_t nFromWindow, nFromNearest, nFromGlobal, nUnchanged;
    int32_t nLockSpectra;      /* spectra searched for locks (the whole run) */
    int32_t nObservations;     /* lock masses found in them */
    int32_t nLocks;
    double dRmsBeforePpm;      /* over the observations in the rows' spectra; NaN without */
    double dRmsAfterPpm;
    int32_t bGlobalModel;      /* the model of all observations passed */
    RawCalibCoEffs GlobalMassFunc;
    char szGlobalNote[256];    /* why it did not (or that no lock mass was found at all) */
} CalLockMassSummary;

typedef struct CalLockMassRun CalLockMassRun;

MASSCAL_BEGIN_C

/* Offset model, 10 ppm, no intensity floor, +-60 s, MS1 only, no
 * intensity weighting, the gate on with the accurate-mass limits
 * (CalDefaultQualityLimits), no ranges. */
MASSCAL_API void CalLockMassDefaults(CalLockMassOptions* pOptions);

/* Reads a lock list: a reference file ("m/z [intensity]" lines, ';'
 * comments) or, for a name ending in .csv, a lock-mass list ("m/z,MS
 * level,charge" lines, '#' comments, an optional title line), in double
 * precision, ascending, each mass once. Returns how many (at most
 * CAL_REF_CAPACITY; only the first nMax are stored), or -1 when the file
 * cannot be read, holds a mass that is not positive or none at all
 * (CalGetDataError says why). */
MASSCAL_API int32_t CalReadLockMasses(const char* pszPath, double* pMasses, int32_t nMax);

/* Recalibrates the mzML file pszIn (also .mzML.gz) into pszOut (null: only
 * the run's table is made). Spectra chosen and given a model have their
 * m/z values put through it (64-bit arrays, compressed as before); every
 * other spectrum and the rest of the file are copied as they are (the index
 * and checksum recomputed). When no spectrum can be given a model the run
 * is returned with nRewritten 0 and nothing written; szGlobalNote and the
 * rows' notes say why. Null with nothing written and the reason in
 * CalGetDataError when the file cannot be read or written, the options or
 * locks are not usable, or no spectrum is chosen. Release the run with
 * CalLockMassFree. */
MASSCAL_API CalLockMassRun* CalLockMassRecalibrate(const char* pszIn, const char* pszOut, const double* pLocks,
                                                   int32_t nLocks, const CalLockMassOptions* pOptions);

MASSCAL_API void CalLockMassSummaryOf(const CalLockMassRun* pRun, CalLockMassSummary* pOut);
/* Row i (from 0, in file order) of the table; 0 when there is none. */
MASSCAL_API int32_t CalLockMassSpectrumAt(const CalLockMassRun* pRun, int32_t i, CalLockMassSpectrum* pOut);
/* Observation i (from 0, in file order, then by lock); 0 when there is none. */
MASSCAL_API int32_t CalLockMassObservationAt(const CalLockMassRun* pRun, int32_t i, CalLockObservation* pOut);

/* Writes the table into pszPath, replacing the file whole: with bJson the
 * settings, the summary and one object per spectrum with its locks; else CSV,
 * one line per spectrum. 1, or 0 when it cannot be written. */
MASSCAL_API int32_t CalLockMassWriteTable(const CalLockMassRun* pRun, const char* pszPath, int32_t bJson);

/* The drift picture, nWidth x nHeight pixels, SVG for a path ending in
 * .svg, else PNG: each lock observation's error against retention time
 * before recalibration with the applied correction at the locks' mean m/z,
 * and after. 1 when the file was written, else 0. Call from one thread at a
 * time (the drawing shares the graphs' resources). */
MASSCAL_API int32_t CalLockMassRenderDrift(const CalLockMassRun* pRun, const char* pszPath, int32_t nWidth,
                                           int32_t nHeight);

MASSCAL_API void CalLockMassFree(CalLockMassRun* pRun);

MASSCAL_END_C

#endif
