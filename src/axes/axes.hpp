// The axes library: an axes object maps data values to the pixels of one
// graph and draws into it: axes with 1-2-5 ticks and labels, header lines,
// sticks, lines, point markers and error bars, and peak labels that avoid
// each other, the headers and any rectangle the caller excludes. It also
// maps pixels back to values, finds the stick nearest a click and follows a
// rubber-band drag.
//
// Geometry: AxsSize gives the axes a rectangle and the border that its
// labels need; the plot area is what remains inside. The upper 15 % of the
// plot area is kept free of data so that peak labels and a second header
// line have room; a value range that does not start at 0 also keeps a 5 %
// margin at the bottom so that no point sits on the axis.
#pragma once

#include <cstdint>

#include "masscal/graphs.h"
#include "platform/gdi/device_context.hpp"
#include "platform/gdi/font.hpp"

using AxsHandle = CalAxesHandle;

// Room around the plot area, in device units.
struct AxsBorder {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Parts of the axes' rectangle for AxsGetArea (the plot area is always in).
enum : int {
    kAxsAreaTop = 2,     // the header band above the plot area
    kAxsAreaRight = 4,   // the right border
    kAxsAreaLeft = 8,    // the value-axis labels
    kAxsAreaBottom = 16  // the mass-axis labels
};

struct AxsSystem {
    float fXLow = 0, fXHigh = 0, fYLow = 0, fYHigh = 0;
    CalRect rcPlot{};
    CalRect rcAxes{};
};

// Axis descriptor for AxsDisplayAxis.
enum : int { kAxsKindY = -1, kAxsKindZeroLine = 0, kAxsKindX = 2 };
enum : int { kAxsLabelBelow = 0, kAxsLabelLeft = 2 };
// Parts of an axis to draw.
enum : int { kAxsPartLine = 1, kAxsPartTicks = 2, kAxsPartTickLabels = 4, kAxsPartTitle = 8 };

struct AxsAxisDesc {
    masscal::platform::HFont hTickFont = nullptr;   // null: the global resources' axis font
    masscal::platform::HFont hTitleFont = nullptr;  // null: the global resources' axis-title font
    masscal::platform::Colour crLine = 0;
    masscal::platform::Colour crText = 0;
    int nKind = kAxsKindX;
    int nTickSize = 0;
    int nLabelPos = kAxsLabelBelow;
    char szLabel[64] = "";
    std::int16_t bShowLabel = 0;
};

// Pens in 96-per-inch units; the drawing scales their width to the device.
struct AxsPen {
    masscal::platform::Colour colour = 0;
    int width = 1;
    masscal::platform::PenStyle style = masscal::platform::PenStyle::solid;
};

// Plot data descriptor.
enum : std::uint8_t { kAxsOptOn = 1, kAxsOptLabels = 2 };
enum : std::uint8_t { kAxsModeSticks = 0, kAxsModeLine = 1, kAxsModePoints = 2, kAxsModeErrorBars = 4 };
enum : int { kAxsLabelXValue = 0 };

struct AxsPlotDesc {
    std::uint8_t bOptions = 0;
    std::uint8_t nMode = kAxsModeSticks;
    std::int32_t bSticks = 0;
    std::int32_t nPoints = 0;
    const float* pX = nullptr;  // null: an evenly spaced line from fFirstX by fStepX
    const float* pY = nullptr;
    float fFirstX = 0;
    float fStepX = 0;
    const float* pErrors = nullptr;  // error-bar half lengths
    AxsPen pen;
    AxsPen penDetails;
    std::int32_t nLabelValue = kAxsLabelXValue;  // what a label shows
    std::int32_t nLabelDecimals = 2;
    std::int32_t nLabelGap = 5;  // least room between labels, 96-per-inch units
    CalLabelCallback pfnLabel = nullptr;
    void* pLabelData = nullptr;
    masscal::platform::HFont hLabelFont = nullptr;
    masscal::platform::HFont hLabelFont2 = nullptr;  // lines above the last one of a label
    CalMarkerCallback pfnMarker = nullptr;
};

// A series to search in.
struct AxsSeries {
    std::int32_t nCount = 0;
    const float* pX = nullptr;
    const float* pY = nullptr;
    const float* pWidth = nullptr;
    const void* pExtra = nullptr;
    float fValue = 0;  // the value at the click
};

// Null when memory is short. The arguments are the number of mass axes, a
// reserved style word (0), the number of value axes and whether the plot
// area gets a frame.
AxsHandle AxsCreate(int nXAxes, int nStyle, int nYAxes, int bFrame);
void AxsDelete(AxsHandle axes);
int AxsSize(AxsHandle axes, const CalRect* rect, const AxsBorder* border);
int AxsSetRanges(AxsHandle axes, float xLow, float xHigh, float yLow, float yHigh);
// The plot area widened by the parts of the border that parts names; area
// 0 is the only area. Non-zero on success.
int AxsGetArea(AxsHandle axes, int area, CalRect* rect, int parts);
// The border that mass labels (xLabel), value labels as wide as ySample and
// the ticks need on dc.
int AxsGetBorder(CalDC dc, AxsBorder* border, const char* xLabel, const char* ySample, int flags);
// Non-zero when the axes are sized and have ranges.
int AxsGetSystem(AxsHandle axes, AxsSystem* system);
int AxsTickSize(CalDC dc);

int AxsDisplayAxis(CalDC dc, AxsHandle axes, const AxsAxisDesc* desc, int parts, int axis);
// Mass axis (labelled xLabel when given) and a relative-intensity value axis.
int AxsDisplayDefaultAxes(CalDC dc, AxsHandle axes, const char* xLabel, int a, int b, int c);
// Writes text ("\r\n" breaks lines) at the top of the axes, left-aligned in
// slot 1 and right-aligned in slot 2; returns its height. Peak labels keep
// clear of it.
int AxsDisplayHeader(CalDC dc, AxsHandle axes, masscal::platform::HFont font, masscal::platform::Colour colour,
                     int slot, const char* text);
// Adds a rectangle that peak labels avoid (bAdd non-zero), or clears them
// all (bAdd 0). Per thread.
void AxsAnnoExcludeRect(int bAdd, const CalRect* rect);

int AxsPlotData(CalDC dc, AxsHandle axes, const AxsPlotDesc* desc);
AxsPen AxsGetDataPen(int nDataSet, int a, int b);
AxsPen AxsGetDataPenExt(int nDataSet, int a, AxsPen* details, int nVariant);

// Index of the series point nearest x, or -1: without axes the nearest
// value; with axes the nearest stick within a few pixels of x, preferring
// sticks that reach the series' click value. foundX, foundY may be null.
int AxsSearch(AxsHandle axes, const AxsSeries* series, float x, int mode, float* foundX, float* foundY);
// 0 (the axis system) when the pixel lies in the axes' rectangle, else -1.
int AxsSelectAxis(AxsHandle axes, int x, int y, int flags);
// The value at a pixel column (bVertical 0) or row (1), not clamped.
float AxsGetValue(AxsHandle axes, int axis, int pixel, int bVertical, int bData);
// The pixel of a value.
int AxsXToPixel(AxsHandle axes, float x);
int AxsYToPixel(AxsHandle axes, float y);

// Rubber band over the plot area of axes in wnd: Init answers non-zero when
// the start point lies in the axes; Move answers non-zero while a band is
// active; End answers 0 without a band, 3 for a completed drag at least
// minDx wide (rect receives it) and 1 for a drag too small.
int RubberBandInit(CalWnd wnd, AxsHandle axes, int minDx, int minDy, int x, int y);
int RubberBandMove(int x, int y, int flags);
std::uint16_t RubberBandEnd(CalRect* rect);
