/*
 * The C interface of libmasscal: the calibration record, its arrays and the
 * functions that allocate them, the error codes, and the mass and error
 * forms of a calibration. Further families of functions live in their own
 * headers, included at the end.
 */
#ifndef MASSCAL_CALIB_H
#define MASSCAL_CALIB_H

#include <stddef.h>
#include <stdint.h>

#include "masscal/export.h"
#include "masscal/records.h"

/* Opaque handle of a movable memory block; never null while allocated. */
typedef struct CalMemBlock* CalMemHandle;
/* Window handle of the library's window layer (or of a host's owner). */
typedef struct CalWindow* CalWnd;

/* Status codes of the engine and the mathematics (0 = success). */
enum {
    CAL_OK = 0,
    CAL_ERR_BAD_EQUATIONS = -1,     /* fewer points than coefficients */
    CAL_ERR_NO_MEMORY = -2,
    CAL_ERR_NO_UNIQUE_SOLUTION = -3,
    CAL_ERR_FILE_ACCESS = -4,
    CAL_ERR_TOO_MANY_REFERENCES = -6,
    CAL_ERR_TOO_FEW_MATCHES = -8,
    CAL_ERR_NO_MATCH = -10,
    CAL_ERR_NO_DATA_PEAKS = -12,
    CAL_ERR_SINGLE_POINT_ORDER = -13,   /* single-point needs order 1 */
    CAL_ERR_SINGLE_POINT_COUNT = -14,   /* single-point needs one match */
    CAL_ERR_SINGLE_POINT_SEGMENT = -15  /* no other segment to borrow from */
};

/* Capacities of the record's fixed-size arrays. */
enum {
    CAL_REF_CAPACITY = 100,
    CAL_MATCH_CAPACITY = 100,
    CAL_BAND_POINTS = 500,
    CAL_MASS_MEASURE_BYTES = 3176,
    CAL_REF_NAME_BYTES = 52
};

/* Bits of a peak's flag byte (CalPeakList.Flags), as the data delivers them.
 * Either bit of CAL_PEAK_LEFT_OUT marks a possible mass measurement error:
 * such a peak is never matched. The graphs mark the three bits '*', '?', '!'. */
enum {
    CAL_PEAK_FLAG_1 = 0x01,
    CAL_PEAK_FLAG_2 = 0x02,
    CAL_PEAK_FLAG_16 = 0x10,
    CAL_PEAK_LEFT_OUT = CAL_PEAK_FLAG_2 | CAL_PEAK_FLAG_16
};

/* One owned array: a movable block and its locked address. */
typedef struct CalArray {
    CalMemHandle hMem; /* null = nothing allocated */
    void* pData;       /* valid only while hMem is non-null */
} CalArray;

/* Parallel arrays of one capacity. Element types: Mass, Intensity, CalMass,
 * Width float; Flags uint8_t; Extra 4 bytes. */
typedef struct CalPeakList {
    CalArray Mass;
    CalArray Intensity;
    CalArray CalMass;
    int32_t nCount;
    CalArray Flags;
    CalArray Width;
    CalArray Extra;
    int32_t bDetail;
} CalPeakList;

/* Peak-match and curve-fit settings. */
typedef struct CalParams {
    int32_t PolyOrder;
    float PeakWindow;
    float InitialError;
    int32_t IntensityWeight;
    float Threshold;
    int32_t bSinglePoint;
    int32_t AutoPeakMatch;
    int32_t CalibrateDisplay;
    int32_t AutoPolyOrder;
} CalParams;

MASSCAL_LAYOUT_ASSERT(sizeof(CalParams) == 36, "CalParams size");

/* The per-calibration record. */
typedef struct CalRecord {
    CalPeakList DataPeaks;
    float fMassLow;
    float fMassHigh;
    CalPeakList RefPeaks;
    CalPeakList MatchPeaks;
    CalPeakList SparePeaks;
    CalArray Errors;
    CalArray RootErrors;
    CalArray Reserved1;
    CalArray Residuals;
    CalArray FitWork;
    RawFileRef DataFile;
    int32_t nFirstScan;
    int32_t nLastScan;
    RawFileRef RefFile;
    /* The reference name text starts at RefFile.wFunction and runs on into
     * these bytes (52 in all); read it with CalGetRefName. */
    char szRefNameTail[48];
    RawFileRef AirRefFile;
    CalParams Params;
    unsigned char MassMeasure[CAL_MASS_MEASURE_BYTES];
    int32_t bCheckOnly;
    CalWnd hOwnerWnd;
    RawCalibCoEffs MassFunc;
    RawCalibCoEffs ErrorFunc;
    RawCalibCoEffs* pCheckCalib;
    int32_t nReserved2;
    double dMeanResidual;
    double dRmsResidual;
    double dRmsResidualPpm;
    int32_t nMaxUnmatched;
    int32_t nReserved3;
    double dConfBandPpm;
    int32_t bTofFunction;
    int32_t bExternalFunction;
    int32_t bTofCalibLoaded;
    int32_t bSavedCalib;
    _TOFCALIBRATION TofCalib;
    char szDataName[200];
    char szSubtitle[280];
    int32_t bTof2;
    CalArray BandUpper;
    CalArray BandLower;
} CalRecord;

MASSCAL_LAYOUT_ASSERT(offsetof(CalRecord, szRefNameTail) == offsetof(CalRecord, RefFile) + sizeof(RawFileRef),
                      "the reference name text must run from RefFile into szRefNameTail");
MASSCAL_LAYOUT_ASSERT(offsetof(CalRecord, AirRefFile) == offsetof(CalRecord, szRefNameTail) + 48,
                      "the reference name text ends where AirRefFile begins");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, wFunction) + 4 + 48 == sizeof(RawFileRef) + 48,
                      "the reference name text is 52 bytes");

MASSCAL_BEGIN_C

/* Record and memory. */
MASSCAL_API int32_t CalAlloc(CalArray* pArray, int32_t nCount, int32_t nElementSize);
MASSCAL_API void CalFree(CalArray* pArray);
MASSCAL_API int32_t CalAllocArrays(CalRecord* pRec, int32_t bRelease);

/* The reference name text of a record: copies at most 51 characters and a
 * terminator into out (outSize > 0); returns the length copied. */
MASSCAL_API size_t CalGetRefName(const CalRecord* pRec, char* out, size_t outSize);
/* Sets the reference name text, cut to 51 characters. */
MASSCAL_API void CalSetRefName(CalRecord* pRec, const char* name);

/* The last message text (of the calling thread), clearing it, and the
 * switch that shows (non-zero) or silences (0) message boxes of coded errors. */
MASSCAL_API const char* GetCalError(void);
MASSCAL_API void ClearCalError(void);
MASSCAL_API void ShowCalError(int32_t bShow);

/* Mass and error forms of a calibration. */
MASSCAL_API void CalMassFunction(RawCalibCoEffs* pCoeffs);
MASSCAL_API void CalErrorFunction(RawCalibCoEffs* pCoeffs);

MASSCAL_END_C

#include "masscal/ui.h"
#include "masscal/fit.h"
#include "masscal/reference.h"
#include "masscal/tofcal.h"
#include "masscal/params.h"
#include "masscal/calibrate.h"
#include "masscal/input.h"
#include "masscal/graphs.h"
#include "masscal/report.h"

#endif
