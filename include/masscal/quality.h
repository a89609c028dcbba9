/* Trusting a calibration: matching windows from a tolerance in ppm, re-runs
 * of the driver on a record, a quality gate that refuses a calibration a
 * scientist should not use, outlier rejection, and the confidence band of
 * any fit. These sit beside Calibrate: a record that never passes through
 * them is calibrated exactly as before. */
#ifndef MASSCAL_QUALITY_H
#define MASSCAL_QUALITY_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* Re-runs the driver on a record that Calibrate has read: matching again
 * when bRematch is non-zero, then the fit, residuals and statistics, with
 * the record's parameters and the calling thread's root-mass switch
 * (CalUseRootMassCali); the mass function follows the fit as in Calibrate.
 * 1, or 0 when the run could not be made. */
MASSCAL_API int32_t CalRecalibrate(CalWnd hOwner, CalRecord* pRec, int32_t bRematch);

/* 1 when the function of pFile was acquired at accurate mass (a
 * time-of-flight, orbital-trap or FT-ICR analyser, or a peak list that says
 * so), else 0. */
MASSCAL_API int32_t CalIsAccurateMass(const RawFileRef* pFile);

/* Sets Params.PeakWindow and Params.InitialError to dTolPpm parts per million
 * of the highest reference mass the record has read, so that no match can
 * lie further than the tolerance from its reference over the reference
 * range. 1, or 0 (record untouched) when the tolerance is not a positive
 * finite number or there are no reference peaks. */
MASSCAL_API int32_t CalApplyTolerancePpm(CalRecord* pRec, double dTolPpm);

typedef struct CalQualityLimits {
    int32_t nMinMatches;      /* fewest matches; 0 = the fitted coefficients + 1 */
    double dMaxRmsPpm;        /* largest RMS residual in ppm; <= 0: no limit */
    double dOutlierSigmas;    /* largest distance of a residual from the median, in robust
                                 standard deviations; <= 0: no test */
    double dScatterFloorPpm;  /* the robust standard deviation is taken as at least this */
    int32_t bCheckCorrection; /* refuse a correction the matches cannot support */
} CalQualityLimits;

enum {
    CAL_QUALITY_OK = 0,
    CAL_QUALITY_NO_FIT = 1,      /* no calibration was made */
    CAL_QUALITY_TOO_FEW = 2,     /* fewer matches than nMinMatches */
    CAL_QUALITY_RMS = 3,         /* RMS residual above dMaxRmsPpm */
    CAL_QUALITY_OUTLIER = 4,     /* a residual beyond dOutlierSigmas */
    CAL_QUALITY_CORRECTION = 5   /* the correction is implausible over the data's range */
};

typedef struct CalQualityVerdict {
    int32_t nReason;     /* CAL_QUALITY_* */
    int32_t nWorst[3];   /* the matches with the largest residuals in ppm, worst first; -1 unused */
    double dValue;       /* the measure that failed, in the unit of its limit */
    double dLimit;
    char szMessage[512]; /* one line naming the reason and the worst matches; "" when it passes */
} CalQualityVerdict;

/* The limits the program uses by default: at least the fitted coefficients
 * + 1 matches; RMS at most 10 ppm (accurate mass) or 500 ppm; no residual
 * more than 6 robust standard deviations from the median, that deviation
 * taken as at least 1 ppm (accurate mass) or 20 ppm; the correction
 * checked. The robust standard deviation is 1.4826 times the median absolute
 * deviation of the residuals in ppm, and never less than the median stated
 * uncertainty of the matches (their widths) in ppm. */
MASSCAL_API void CalDefaultQualityLimits(int32_t bAccurateMass, CalQualityLimits* pLimits);

/* Judges the calibration the record holds (after Calibrate or
 * CalRecalibrate). The correction check refuses when the fitted error
 * anywhere in the data's mass range exceeds both the initial error and the
 * largest matched error (amu), or, outside the span of the matched masses,
 * exceeds both twice the largest matched error plus three RMS residuals
 * and the initial error relative to the highest matched mass (ppm). 1 when it
 * passes, 0 when it refuses (the verdict says why). */
MASSCAL_API int32_t CalCheckQuality(const CalRecord* pRec, const CalQualityLimits* pLimits,
                                    CalQualityVerdict* pVerdict);

/* Drops the match whose residual in ppm lies farthest from the median
 * residual when that is more than dSigmas robust standard deviations (as the
 * quality gate takes them, at least dFloorPpm), refits, and repeats, never
 * leaving fewer than nKeep matches. The reference and measured masses of the
 * dropped matches go to pDroppedRef and pDroppedMeasured (either may be
 * null; at most nMax of them). Returns the number dropped, or -1 when a refit
 * could not be made. */
MASSCAL_API int32_t CalRejectOutliers(CalRecord* pRec, double dSigmas, double dFloorPpm, int32_t nKeep,
                                      float* pDroppedRef, float* pDroppedMeasured, int32_t nMax);

/* The mean half-width of the 95 % confidence band in ppm over the data's
 * mass range, from the fit's covariance whether or not the peaks carry
 * detail. 1 with *pPpm set; 0 when the fit has no covariance (no fit was
 * made, or too few matches to measure the scatter without stated
 * uncertainties). */
MASSCAL_API int32_t CalConfidenceBandPpm(const CalRecord* pRec, double* pPpm);

MASSCAL_END_C

#endif
