/*
 * The graphs and the report of a calibrated record, rendered without a
 * window: the graphs into a PNG or SVG picture, the report into a PDF.
 * These use the process-wide residual unit and page numbers, so call them
 * from one thread at a time.
 */
#ifndef MASSCAL_RENDER_H
#define MASSCAL_RENDER_H

#include <stdint.h>

#include "masscal/calib.h"

enum {
    CAL_RENDER_PPM = 0x1 /* residuals in ppm instead of amu */
};

MASSCAL_BEGIN_C

/* The three graphs of pRec over its whole mass range in a picture of
 * nWidth x nHeight pixels: SVG when the path ends in ".svg", else PNG.
 * Returns 1 when the file was written, 0 otherwise. */
MASSCAL_API int32_t CalRenderGraphs(CalRecord* pRec, const char* pszPath, int32_t nWidth, int32_t nHeight,
                                    int32_t nFlags);

/* What only the host knows about a calibration, for the report's detail
 * pages. Every field may be null or 0. */
typedef struct CalReportNotes {
    const char* pszSoftware;          /* program and version; null: the library's */
    const char* pszDataPath;          /* the input files as the user named them; */
    const char* pszRefPath;           /* null: the names the record holds */
    const char* const* ppszSettings;  /* the host's own settings, one line each */
    int32_t nSettings;
    const float* pDroppedRef;         /* matches the host left out of the fit: */
    const float* pDroppedMeasured;    /* reference and measured masses */
    int32_t nDropped;
} CalReportNotes;

/* The report of pRec on A4 pages: page 1 is the page header and the graphs;
 * the pages after it show the error before calibration with the fitted
 * curve and its band (the residuals in verify mode), the functions, the
 * statistics, the settings, the files and the table of matches. A PDF file
 * holds every page; a path ending in ".png" (150 pixels per inch) or ".svg"
 * gets page 1 as a picture. Returns 1 when the file was written, else 0. */
MASSCAL_API int32_t CalRenderReport(CalRecord* pRec, const char* pszPath, int32_t nFlags);

/* As CalRenderReport with the host's notes (may be null); a picture shows
 * page nPage (1 = the graphs). Returns 0 as well for a page that does not
 * exist. */
MASSCAL_API int32_t CalRenderReportExt(CalRecord* pRec, const char* pszPath, int32_t nFlags,
                                       const CalReportNotes* pNotes, int32_t nPage);

MASSCAL_END_C

#endif
