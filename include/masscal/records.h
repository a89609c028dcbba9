/*
 * Records shared byte for byte with other modules. Their layouts are an
 * interface: every size and every documented offset is checked at compile
 * time below.
 *
 * 4-byte packing leaves the doubles of these records at addresses that are
 * only 4-aligned. Read and write them as members (rec->dCoeffs[i]); never
 * hand a double* or double& into a record to code that does not know, copy
 * through an aligned local instead.
 */
#ifndef MASSCAL_RECORDS_H
#define MASSCAL_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#include "masscal/export.h"

#pragma pack(push, 4)

/* One calibration polynomial: order (at most 5), coefficients of x^0..x^5,
 * type (1 = fitted on square roots of masses), standard deviation and the
 * lower triangle of the coefficients' covariance. */
typedef struct RawCalibCoEffs {
    int32_t nOrder;
    double dCoeffs[6];
    int32_t nType;
    double dStdDev;
    double dCovar[21];
} RawCalibCoEffs;

/* The data manager's reference to a file and a function in it. */
typedef struct RawFileRef {
    uint16_t wKind; /* 19 = plain file given by directory, name, extension */
    char szDirectory[260];
    char szName[256];
    char szExtension[258];
    int32_t nFunction;
    int32_t nIndex;
    uint16_t wFunction;
    uint16_t wSingle;
} RawFileRef;

enum { CAL_FILEREF_KIND_PLAIN = 19 };

/* One time-of-flight calibration: twelve segment polynomials and the
 * instrument settings under which they were made. */
typedef struct _TOFCALIBRATION {
    int32_t bPSDCalibration;
    RawCalibCoEffs Segments[12];
    float fReflectron[12];
    int32_t nSegments;
    int32_t nInstrumentMode;
    float fSourceVoltage;
    float fFocusVoltage;
    float fExtractionVoltage;
    float fSamplingRate;
    int32_t nIonisationMode;
    float fPrecursorMass;
    float fLowMass;
    float fHighMass;
    int32_t nPusherFreq;
    char szDate[40];
    char szTime[40];
} _TOFCALIBRATION;

/* Quadrupole parameter blocks: seven floats, then two paths. */
typedef struct RawStaticParams {
    float fDwellTime;
    float fSpan;
    float fLowMass;
    float fHighMass;
    float fLMRes;
    float fHMRes;
    float fIonEnergy;
    char szReferenceFile[260];
    char szAcquisitionFile[260];
} RawStaticParams;

typedef struct RawDynamicParams {
    float fLowMass;
    float fHighMass;
    float fScanTime;
    float fInterScanDelay;
    float fLMRes;
    float fHMRes;
    float fIonEnergy;
    char szReferenceFile[260];
    char szAcquisitionFile[260];
} RawDynamicParams;

/* One quadrupole analyser: static, dynamic (scanning) and fast calibrations. */
typedef struct RawCalibQuad {
    RawCalibCoEffs Static;
    RawStaticParams StaticParams;
    RawCalibCoEffs Dynamic;
    RawDynamicParams DynamicParams;
    float fDACSeparation;
    RawCalibCoEffs Fast;
    RawDynamicParams FastParams;
    int32_t nLagTime;
} RawCalibQuad;

/* The time-of-flight block of a whole calibration file record. */
typedef struct TofBlock {
    RawCalibCoEffs Calibration;
    float fReflectron[12];
    int32_t nSegments;
    int32_t nInstrumentMode;
    float fSourceVoltage;
    float fFocusVoltage;
    float fExtractionVoltage;
    float fSamplingRate;
    int32_t nIonisationMode;
    float fPrecursorMass;
    float fLowMass;
    float fHighMass;
    int32_t nPusherFreq;
    char szDate[40];
    char szTime[40];
} TofBlock;

/* Calibration of one acquisition function. */
typedef struct tagRAWCALIBFUNC {
    int32_t nSegments;
    RawCalibCoEffs Segments[12];
    int32_t bIsModified;
    RawCalibCoEffs ModifiedPolynomial;
} tagRAWCALIBFUNC;

/* Acquisition modes with a calibration of their own; only the integer value
 * is used (it names the section "TOF<value>"). */
typedef enum tagHASCALTYPE {
    HASCALTYPE_NONE = 0,
    /* Any 32-bit value is a mode: these bounds give the type the whole int32
     * range (without them C++ would limit its values to 0 and 1). */
    HASCALTYPE_MIN_VALUE = INT32_MIN,
    HASCALTYPE_MAX_VALUE = INT32_MAX
} tagHASCALTYPE;

#pragma pack(pop)

/* The whole calibration file. Its documented offsets put a 32-bit field at
 * 6918, right after a 16-bit one and a 40-byte text, so this record is laid
 * out with 2-byte packing (4-byte packing would move it to 6920). */
#pragma pack(push, 2)
typedef struct RawCalibInfo {
    RawCalibQuad Quad1;
    RawCalibQuad Quad2;
    TofBlock Tof[5];
    char szDate[40];
    char szTime[40];
    char szCheckDate[40];
    char szCheckTime[40];
    uint16_t wCheckNotOk;
    char szReservoir[40];
    int32_t nFunctions;
    tagRAWCALIBFUNC Functions[32];
} RawCalibInfo;
#pragma pack(pop)

enum {
    CAL_MAX_FUNCTIONS = 32,
    CAL_MAX_SEGMENTS = 12,
    CAL_MAX_ORDER = 5,
    CAL_TOF_BLOCKS = 5
};

#ifdef __cplusplus
#define MASSCAL_LAYOUT_ASSERT static_assert
#else
#define MASSCAL_LAYOUT_ASSERT _Static_assert
#endif

MASSCAL_LAYOUT_ASSERT(sizeof(RawCalibCoEffs) == 232, "RawCalibCoEffs size");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibCoEffs, dCoeffs) == 4, "RawCalibCoEffs.dCoeffs");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibCoEffs, nType) == 52, "RawCalibCoEffs.nType");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibCoEffs, dStdDev) == 56, "RawCalibCoEffs.dStdDev");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibCoEffs, dCovar) == 64, "RawCalibCoEffs.dCovar");

MASSCAL_LAYOUT_ASSERT(sizeof(RawFileRef) == 788, "RawFileRef size");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, szDirectory) == 2, "RawFileRef.szDirectory");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, szName) == 262, "RawFileRef.szName");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, szExtension) == 518, "RawFileRef.szExtension");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, nFunction) == 776, "RawFileRef.nFunction");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, nIndex) == 780, "RawFileRef.nIndex");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, wFunction) == 784, "RawFileRef.wFunction");
MASSCAL_LAYOUT_ASSERT(offsetof(RawFileRef, wSingle) == 786, "RawFileRef.wSingle");

MASSCAL_LAYOUT_ASSERT(sizeof(_TOFCALIBRATION) == 2960, "_TOFCALIBRATION size");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, Segments) == 4, "_TOFCALIBRATION.Segments");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fReflectron) == 2788, "_TOFCALIBRATION.fReflectron");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, nSegments) == 2836, "_TOFCALIBRATION.nSegments");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, nInstrumentMode) == 2840, "_TOFCALIBRATION.nInstrumentMode");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fSourceVoltage) == 2844, "_TOFCALIBRATION.fSourceVoltage");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fFocusVoltage) == 2848, "_TOFCALIBRATION.fFocusVoltage");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fExtractionVoltage) == 2852, "_TOFCALIBRATION.fExtractionVoltage");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fSamplingRate) == 2856, "_TOFCALIBRATION.fSamplingRate");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, nIonisationMode) == 2860, "_TOFCALIBRATION.nIonisationMode");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fPrecursorMass) == 2864, "_TOFCALIBRATION.fPrecursorMass");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fLowMass) == 2868, "_TOFCALIBRATION.fLowMass");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, fHighMass) == 2872, "_TOFCALIBRATION.fHighMass");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, nPusherFreq) == 2876, "_TOFCALIBRATION.nPusherFreq");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, szDate) == 2880, "_TOFCALIBRATION.szDate");
MASSCAL_LAYOUT_ASSERT(offsetof(_TOFCALIBRATION, szTime) == 2920, "_TOFCALIBRATION.szTime");

MASSCAL_LAYOUT_ASSERT(sizeof(RawStaticParams) == 548, "RawStaticParams size");
MASSCAL_LAYOUT_ASSERT(sizeof(RawDynamicParams) == 548, "RawDynamicParams size");
MASSCAL_LAYOUT_ASSERT(offsetof(RawStaticParams, szReferenceFile) == 28, "RawStaticParams.szReferenceFile");
MASSCAL_LAYOUT_ASSERT(offsetof(RawStaticParams, szAcquisitionFile) == 288, "RawStaticParams.szAcquisitionFile");
MASSCAL_LAYOUT_ASSERT(offsetof(RawDynamicParams, fInterScanDelay) == 12, "RawDynamicParams.fInterScanDelay");
MASSCAL_LAYOUT_ASSERT(offsetof(RawDynamicParams, fIonEnergy) == 24, "RawDynamicParams.fIonEnergy");
MASSCAL_LAYOUT_ASSERT(offsetof(RawDynamicParams, szReferenceFile) == 28, "RawDynamicParams.szReferenceFile");
MASSCAL_LAYOUT_ASSERT(offsetof(RawDynamicParams, szAcquisitionFile) == 288, "RawDynamicParams.szAcquisitionFile");

MASSCAL_LAYOUT_ASSERT(sizeof(RawCalibQuad) == 2348, "RawCalibQuad size");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, StaticParams) == 232, "RawCalibQuad.StaticParams");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, Dynamic) == 780, "RawCalibQuad.Dynamic");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, DynamicParams) == 1012, "RawCalibQuad.DynamicParams");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, fDACSeparation) == 1560, "RawCalibQuad.fDACSeparation");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, Fast) == 1564, "RawCalibQuad.Fast");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, FastParams) == 1796, "RawCalibQuad.FastParams");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibQuad, nLagTime) == 2344, "RawCalibQuad.nLagTime");

MASSCAL_LAYOUT_ASSERT(sizeof(TofBlock) == 404, "TofBlock size");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fReflectron) == 232, "TofBlock.fReflectron");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, nSegments) == 280, "TofBlock.nSegments");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, nInstrumentMode) == 284, "TofBlock.nInstrumentMode");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fSourceVoltage) == 288, "TofBlock.fSourceVoltage");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fFocusVoltage) == 292, "TofBlock.fFocusVoltage");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fExtractionVoltage) == 296, "TofBlock.fExtractionVoltage");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fSamplingRate) == 300, "TofBlock.fSamplingRate");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, nIonisationMode) == 304, "TofBlock.nIonisationMode");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fPrecursorMass) == 308, "TofBlock.fPrecursorMass");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fLowMass) == 312, "TofBlock.fLowMass");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, fHighMass) == 316, "TofBlock.fHighMass");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, nPusherFreq) == 320, "TofBlock.nPusherFreq");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, szDate) == 324, "TofBlock.szDate");
MASSCAL_LAYOUT_ASSERT(offsetof(TofBlock, szTime) == 364, "TofBlock.szTime");

MASSCAL_LAYOUT_ASSERT(sizeof(tagRAWCALIBFUNC) == 3024, "tagRAWCALIBFUNC size");
MASSCAL_LAYOUT_ASSERT(offsetof(tagRAWCALIBFUNC, Segments) == 4, "tagRAWCALIBFUNC.Segments");
MASSCAL_LAYOUT_ASSERT(offsetof(tagRAWCALIBFUNC, bIsModified) == 2788, "tagRAWCALIBFUNC.bIsModified");
MASSCAL_LAYOUT_ASSERT(offsetof(tagRAWCALIBFUNC, ModifiedPolynomial) == 2792, "tagRAWCALIBFUNC.ModifiedPolynomial");

MASSCAL_LAYOUT_ASSERT(sizeof(tagHASCALTYPE) == 4, "tagHASCALTYPE size");

MASSCAL_LAYOUT_ASSERT(sizeof(RawCalibInfo) == 103690, "RawCalibInfo size");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, Quad2) == 2348, "RawCalibInfo.Quad2");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, Tof) == 4696, "RawCalibInfo.Tof");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, szDate) == 6716, "RawCalibInfo.szDate");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, szTime) == 6756, "RawCalibInfo.szTime");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, szCheckDate) == 6796, "RawCalibInfo.szCheckDate");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, szCheckTime) == 6836, "RawCalibInfo.szCheckTime");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, wCheckNotOk) == 6876, "RawCalibInfo.wCheckNotOk");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, szReservoir) == 6878, "RawCalibInfo.szReservoir");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, nFunctions) == 6918, "RawCalibInfo.nFunctions");
MASSCAL_LAYOUT_ASSERT(offsetof(RawCalibInfo, Functions) == 6922, "RawCalibInfo.Functions");

#endif
