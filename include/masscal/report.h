/*
 * The printed calibration report and the texts of the report and the graph
 * headers, which a host can translate by installing two hooks.
 */
#ifndef MASSCAL_REPORT_H
#define MASSCAL_REPORT_H

#include <stdarg.h>
#include <stdint.h>

#include "masscal/calib.h"
#include "masscal/graphs.h"

/* Writes the text for key into pszDest and returns what the caller gets. */
typedef char* (*CalTranslateFunction)(char* pszDest, const char* pszKey);
/* Formats like vsprintf into pszDest. */
typedef int32_t (*CalFormatFunction)(char* pszDest, const char* pszFormat, va_list args);

MASSCAL_BEGIN_C

/* With a translate function installed its result for (pszDest, pszKey);
 * otherwise pszDefault copied into pszDest, and pszDest. */
MASSCAL_API char* TranslateCalText(char* pszDest, const char* pszKey, const char* pszDefault);
/* With a format function installed its result for the arguments; otherwise
 * vsprintf (in the C locale). pszDest must hold the whole text. */
MASSCAL_API int32_t FormatCalText(char* pszDest, const char* pszFormat, ...);
/* Install a hook (null restores the default); each returns its argument. */
MASSCAL_API CalTranslateFunction SetCalTranslationTranslateFunction(CalTranslateFunction pfn);
MASSCAL_API CalFormatFunction SetCalTranslationFormatFunction(CalFormatFunction pfn);

/* Page number and total of the page header (1 and 1 until set); each
 * returns the value stored. */
MASSCAL_API int32_t SetCalReportPageNumber(int32_t nPage);
MASSCAL_API int32_t SetCalReportPageTotal(int32_t nTotal);

/* The residual graph of a verification run (pVerify) drawn into pRect of a
 * page that the host prints, over the masses fMassLow..fMassHigh, headed
 * pszHeader and "SD = <rms residual>". The verification's errors are copied
 * over pRec's residuals. Returns 1, or 0 when the graph cannot be set up. */
MASSCAL_API int32_t CalPrintReport(CalDC hdc, CalRect* pRect, CalRecord* pRec, int32_t nReserved, CalRecord* pVerify,
                                   const char* pszHeader, float fMassLow, float fMassHigh);

MASSCAL_END_C

#endif
