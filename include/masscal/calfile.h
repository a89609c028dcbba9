/*
 * Calibration files as a host writes them: one function's calibration or the
 * time-of-flight section stored into an instrument's calibration file,
 * keeping everything else in it, and the lock that writers of a file share.
 *
 * Every write here is checked before it starts: a directory or other
 * non-regular file, a file whose VERSION cannot be read, and a file without
 * sections that is not the older time-of-flight text format are refused,
 * never replaced. The file is stamped with its version and replaced in one
 * atomic step under its lock, so a crash or a refused write leaves it as it
 * was. The reasons are one line of text in pszWhy (nWhySize bytes, cut to
 * fit; may be null); a reason that starts with the file's path names it
 * already.
 */
#ifndef MASSCAL_CALFILE_H
#define MASSCAL_CALFILE_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* Stores pCoeffs as the calibration of function nFunction (1 to
 * CAL_MAX_FUNCTIONS) of the calibration file pszFile, as a single segment,
 * raising the file's function count to nFunction when it is lower. The other
 * functions and sections are kept; a missing file is created. A file without
 * sections (the older time-of-flight text format) is refused. Returns 1 when
 * the file holds the calibration, 0 when it was left unchanged. */
MASSCAL_API int32_t CalWriteFunctionCalibration(const char* pszFile, int32_t nFunction,
                                                const RawCalibCoEffs* pCoeffs, char* pszWhy, int32_t nWhySize);

/* Stores the time-of-flight calibration pTof as the TOF section of pszFile.
 * A file in the older time-of-flight text format is replaced by a
 * calibration file with sections. Returns 1 when written, else 0. */
MASSCAL_API int32_t CalWriteTofSection(const char* pszFile, const _TOFCALIBRATION* pTof, char* pszWhy,
                                       int32_t nWhySize);

/* 1 when pszFile holds a time-of-flight calibration the readers take (a
 * calibration file with a TOF section, or the older text format); 0 when
 * not, with the reason. */
MASSCAL_API int32_t CalCheckTofCalibrationFile(const char* pszFile, char* pszWhy, int32_t nWhySize);

/* The exclusive lock of pszFile's read-modify-write that the library's own
 * writers take (a lock file ".NAME" ".lock" beside it): a host that writes
 * the file in several steps, or puts it back after a later failure, holds
 * it meanwhile. The writes above take it again at once in the thread that
 * holds it. Waits up to ten seconds; null when the lock cannot be had (the
 * reason in pszWhy). CalUnlockFile releases it (null is ignored). */
typedef struct CalFileLock CalFileLock;
MASSCAL_API CalFileLock* CalLockFile(const char* pszFile, char* pszWhy, int32_t nWhySize);
MASSCAL_API void CalUnlockFile(CalFileLock* pLock);

/* Why this thread's last write of a calibration or settings file failed,
 * "" when no reason is known. Valid until the thread's next write. */
MASSCAL_API const char* CalGetWriteError(void);

MASSCAL_END_C

#endif
