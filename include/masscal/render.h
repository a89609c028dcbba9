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

/* The report of pRec (page header and graphs, one A4 page): a PDF file, or
 * the page as a picture when the path ends in ".png" (150 pixels per inch)
 * or ".svg". Returns 1 when the file was written, 0 otherwise. */
MASSCAL_API int32_t CalRenderReport(CalRecord* pRec, const char* pszPath, int32_t nFlags);

MASSCAL_END_C

#endif
