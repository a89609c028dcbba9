/*
 * The graphs of a calibration: the spectrum, reference and residual graphs
 * stacked in one rectangle, their layout record, and the plot functions from
 * which they are built. A host may call the plot functions with the axes of
 * a layout that CalLayoutGraphs created.
 */
#ifndef MASSCAL_GRAPHS_H
#define MASSCAL_GRAPHS_H

#include <stdint.h>

/* A rectangle in device units: left and top inside, right and bottom just
 * outside. */
typedef struct CalRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} CalRect;

typedef struct CalPoint {
    int32_t x;
    int32_t y;
} CalPoint;

/* A device context: something to draw on (an image, a PDF or SVG page, a
 * window). */
typedef struct CalDeviceContext* CalDC;
/* An axes object of the axes library; null = no graph. */
typedef struct AxsAxes* CalAxesHandle;

/* The basic types above come first: calib.h includes this header and
 * report.h, which needs them, at its end. */
#include "masscal/calib.h"

enum {
    CAL_GRAPH_SPECTRUM = 0,
    CAL_GRAPH_REFERENCE = 1,
    CAL_GRAPH_RESIDUAL = 2,
    CAL_GRAPH_COUNT = 3,
    CAL_CURVE_POINTS = 800
};

/* Ranges, rectangles and axes of the graphs of a window or of a page. The
 * curve buffer holds nCurvePoints floats (allocate it with CalAlloc; an
 * unallocated buffer is left alone). */
typedef struct GraphLayout {
    float fMassLow;
    float fMassHigh;
    float fValueLow[CAL_GRAPH_COUNT];
    float fValueHigh[CAL_GRAPH_COUNT];
    int32_t nGraphs;
    CalArray Curve;
    float fDefaultMassLow;
    float fDefaultMassHigh;
    CalAxesHandle hAxes[CAL_GRAPH_COUNT];
    CalRect rcGraph[CAL_GRAPH_COUNT];
    int32_t nCurvePoints;
} GraphLayout;

/* Callbacks of the axes library. A label callback gets the label's x value,
 * its y value, the point's index, the label text (writable, nLabelSize
 * bytes) and the descriptor's callback data; it returns 0 to drop the label.
 * A marker callback draws one point marker at a pixel. */
typedef int32_t (*CalLabelCallback)(CalDC hdc, float fX, float fY, int32_t nIndex, char* pszLabel,
                                    int32_t nLabelSize, CalAxesHandle hAxes, void* pData);
typedef int32_t (*CalMarkerCallback)(CalDC hdc, CalPoint pt, int32_t nIndex, void* pData);

MASSCAL_BEGIN_C

/* Painting and ranges. */
MASSCAL_API int32_t CalPaintGraphs(CalWnd hWnd, CalRect* pRect, CalDC hdc, CalRecord* pRec, GraphLayout* pLayout,
                                   int32_t bPrinting);
MASSCAL_API void CalInitGraphRanges(CalRecord* pRec, GraphLayout* pLayout);
MASSCAL_API void CalUpdateGraphRanges(CalRecord* pRec, GraphLayout* pLayout);
MASSCAL_API int32_t CalLayoutGraphs(CalRect* pRect, GraphLayout* pLayout, CalRecord* pRec);
MASSCAL_API void CalDeleteGraphs(GraphLayout* pLayout);

/* The residual unit of the residual graph, process-wide: non-zero amu (the
 * initial unit), zero ppm. The setter returns the previous unit. */
MASSCAL_API int32_t CalGetResidualUnitAmu(void);
MASSCAL_API int32_t CalSetResidualUnitAmu(int32_t bAmu);

/* Plot primitives and axes. */
MASSCAL_API int32_t CalPlotStickData(CalDC hdc, CalAxesHandle hAxes, CalPeakList* pSeries, int32_t nDataSet,
                                     const RawCalibCoEffs* pDisplayCal, int32_t nPenVariant, int32_t bLabels);
MASSCAL_API int32_t CalPlotStickDataFlagAnno(CalDC hdc, CalAxesHandle hAxes, CalPeakList* pSeries, int32_t nDataSet,
                                             const RawCalibCoEffs* pDisplayCal, int32_t nPenVariant,
                                             int32_t bLabels);
MASSCAL_API void CalPlotPoints(CalDC hdc, CalAxesHandle hAxes, const float* pX, const float* pY, int32_t nCount,
                               int32_t nDataSet);
MASSCAL_API void CalPlotErrorBars(CalDC hdc, CalAxesHandle hAxes, const float* pX, const float* pY,
                                  const float* pErrors, int32_t nCount, int32_t nDataSet);
MASSCAL_API int32_t CalPlotCross(CalDC hdc, CalPoint pt, int32_t nIndex, void* pData);
MASSCAL_API int32_t CalAnnotateResidual(CalDC hdc, float fValue, float fY, int32_t nIndex, char* pszLabel,
                                        int32_t nLabelSize, CalAxesHandle hAxes, void* pData);
MASSCAL_API void CalDrawPercentileAxes(CalDC hdc, GraphLayout* pLayout, int32_t nGraph, int32_t bScreen);
MASSCAL_API int32_t CalDrawAbsoluteAxes(CalDC hdc, GraphLayout* pLayout, int32_t nGraph, int32_t bScreen,
                                        int32_t bXLabel);

MASSCAL_END_C

#endif
