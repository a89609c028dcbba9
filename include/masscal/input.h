/*
 * Spectrum input: the spectrum to calibrate and its acquisition parameters,
 * read through the data manager.
 */
#ifndef MASSCAL_INPUT_H
#define MASSCAL_INPUT_H

#include "masscal/calib.h"

MASSCAL_BEGIN_C

/* Reads the spectrum of pRec->DataFile into pRec->DataPeaks (combining the
 * scans nFirstScan..nLastScan, centroiding profile data with the settings in
 * pRec->MassMeasure) and sets fMassLow and fMassHigh. A single scan
 * (nFirstScan = nLastScan >= 1) reads that scan; otherwise the reference's
 * nIndex names the scan (0 = the first). Returns 0, CAL_ERR_FILE_ACCESS (-4)
 * when the data cannot be read (CalGetDataError says why) or
 * CAL_ERR_NO_MEMORY (-2). Shows no message. */
MASSCAL_API int32_t CalGetRawData(CalWnd hOwner, CalRecord* pRec);

/* Copies the acquisition parameters of the data's functions into the
 * time-of-flight calibration. Returns the data's segment count (at least 1),
 * or -1 when a function's information or header cannot be read. */
MASSCAL_API int32_t CalReadDataParams(RawFileRef* pFile, _TOFCALIBRATION* pTof);

/* The calling thread's last data-file failure: the file and what is wrong
 * with it ("" when none). Valid until the next call into the library. */
MASSCAL_API const char* CalGetDataError(void);

/* Writes pszOut as a copy of the mzML file pszIn in which each m/z value x
 * of every spectrum is replaced by the mass function's value at x (stored
 * as 64-bit floats, compressed as before); everything else is kept byte for
 * byte, except that an index and file checksum are recomputed. Empty
 * spectra are left as they are. Returns the number of spectra whose m/z
 * array was rewritten, or -1 with nothing written and the reason in
 * CalGetDataError (pszOut naming the input file is refused). */
MASSCAL_API int32_t CalApplyToMzml(const RawCalibCoEffs* pMassFunc, const char* pszIn, const char* pszOut);
/* The same for the nCount spectra whose positions in the file's list of
 * spectra (from 0; CalSpectrumSummary.nFileIndex) pIndices holds; every other
 * spectrum is copied as it is. A name ending in .gz reads or writes gzip. */
MASSCAL_API int32_t CalApplyToMzmlSpectra(const RawCalibCoEffs* pMassFunc, const char* pszIn, const char* pszOut,
                                          const int64_t* pIndices, int32_t nCount);

/* Fills the combo box nComboId of hDlg with the .ref files of the
 * reference's folder and selects the entry that begins with its name.
 * Without any there, the message "Unable to find any reference files in the
 * directory ..." is shown and the user chooses a file; a chosen .ref file's
 * folder is listed next (pRef then names that file). Returns 1 when the
 * combo box was filled, 0 when the user cancelled (or no such combo box). */
MASSCAL_API int32_t CalFillReferenceCombo(CalWnd hDlg, int32_t nComboId, RawFileRef* pRef);
/* Opens the reference file in the user's editor ($VISUAL, else $EDITOR, else
 * xdg-open) without waiting for it; the command line is left as the error
 * text (GetCalError). Returns 1 when the editor was started, 0 when it could
 * not be. The window argument is not used. */
MASSCAL_API int32_t CalEditRefFile(CalWnd hWnd, RawFileRef* pRef);

MASSCAL_END_C

#endif
