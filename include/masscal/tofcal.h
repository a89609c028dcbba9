/*
 * Time-of-flight calibrations in files: the older plain-text format, the
 * default calibration file of a system, the comparison of the instrument
 * settings of two calibrations, and the calibration file functions that
 * take the file as a file reference.
 */
#ifndef MASSCAL_TOFCAL_H
#define MASSCAL_TOFCAL_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* The older text format, one value per line (CR LF line ends). Reading:
 * 1 when the file was opened and read, 0 when it could not be opened or
 * memory was short. Writing sets tof->nSegments to 12; 1 when written, 0
 * when the file could not be written. */
MASSCAL_API int32_t CalReadTofCalibration(const RawFileRef* ref, _TOFCALIBRATION* tof);
MASSCAL_API int32_t CalWriteTofCalibration(const RawFileRef* ref, _TOFCALIBRATION* tof);

/* The file registered under pszKey in the list of system files ("SavedCalibration",
 * "SavedPPCalibration"), with the defaults directory "c:\korvelix\cal",
 * name "DEFAULT" and extension "CAL". Returns 1. */
MASSCAL_API int32_t GetTofCalFile(const char* pszKey, RawFileRef* ref);

/* Whether a calibration made under pFirst's settings suits data acquired
 * under pSecond's: *pResult 1 (it does), 0 (after adjustment) or -1 (it
 * does not). Returns a text naming the first difference ("" when none),
 * in a buffer of the calling thread that the next call overwrites. */
MASSCAL_API const char* CompareTofCalibrations(const _TOFCALIBRATION* pFirst, const _TOFCALIBRATION* pSecond,
                                               int32_t* pResult);

/* The calibration file functions with the file given as a reference. */
MASSCAL_API int32_t GetVersionQB(const RawFileRef* ref);
MASSCAL_API int32_t WriteCalibrationQB(const RawFileRef* ref, RawCalibInfo* info);
MASSCAL_API int32_t ReadCalibrationFunctionsQB(const RawFileRef* ref, RawCalibInfo* info);
MASSCAL_API int32_t WriteCalibrationFunctionsQB(const RawFileRef* ref, RawCalibInfo* info);
MASSCAL_API int32_t ReadTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof);
MASSCAL_API int32_t ReadModeDependantTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof, tagHASCALTYPE type);
MASSCAL_API int32_t WriteTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof);
MASSCAL_API int32_t WriteModeDependantTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof,
                                                       tagHASCALTYPE* pType);

MASSCAL_END_C

#endif
