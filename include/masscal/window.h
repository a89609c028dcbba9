/*
 * The calibration window: the spectrum, reference and residual graphs of a
 * calibrated record with menus for zooming, re-matching peaks by hand,
 * changing the parameters, printing and, on time-of-flight data, opening and
 * saving spectrum calibrations.
 *
 * The window is modeless and answers to an owner window of the host: when
 * the user accepts or rejects, the owner receives CAL_MSG_FINISHED (wParam 1
 * accepted, 0 rejected; lParam the close parameter). The owner then destroys
 * the window and calls CalDialogClosed, which makes the fitted error function
 * the record's mass function. One calibration window exists at a time.
 *
 * A host without a window system of its own uses the owner window below and
 * drives everything by pumping messages on its user-interface thread.
 */
#ifndef MASSCAL_WINDOW_H
#define MASSCAL_WINDOW_H

#include <stdint.h>

#include "masscal/calib.h"

enum { CAL_MSG_FINISHED = 1624 };

MASSCAL_BEGIN_C

/* Opens the window for pRec (whose hOwnerWnd receives the notification)
 * owned by hParent: 1 after the attempt. When a calibration window is open
 * already, it is restored and focused instead and 0 is returned. */
MASSCAL_API int32_t CalDisplayCalibration(CalWnd hParent, CalRecord* pRec);
/* After the owner destroyed the window: forgets it and turns pRec's
 * ErrorFunc into its MassFunc. hWnd is not used. */
MASSCAL_API void CalDialogClosed(CalWnd hWnd, CalRecord* pRec);
/* The procedure of the window classes: forwards to the dialog handling. */
MASSCAL_API intptr_t CaliWndProc(CalWnd hWnd, uint32_t nMsg, uintptr_t wParam, intptr_t lParam);
/* Repaints the graph area hArea with the graphs of pRec. */
MASSCAL_API int32_t CalPaint(CalWnd hArea, CalRecord* pRec, GraphLayout* pLayout);
/* Sizes a child so that its right and bottom margins in its parent equal
 * its left offset, and fills it with the window colour. */
MASSCAL_API void CalResizeChild(CalWnd hChild, int32_t nReserved);

/* Whether the window classes are registered (they are when the library is
 * loaded, or at the latest by the first window call); 0 when registration
 * failed and no calibration window can be made. */
MASSCAL_API int32_t CalWindowClassesRegistered(void);

/* Called with the calibration window and the answer of CAL_MSG_FINISHED. */
typedef void (*CalFinishedCallback)(void* pUser, CalWnd hCalWnd, int32_t bAccepted, intptr_t nCloseParam);

/* An owner window for a host: CAL_MSG_FINISHED sent to it calls pfn. Null
 * when memory is short. */
MASSCAL_API CalWnd CalCreateOwnerWindow(CalFinishedCallback pfn, void* pUser);
MASSCAL_API void CalDestroyOwnerWindow(CalWnd hOwner);
/* Dispatches the calling thread's posted messages and paints what needs
 * it; returns the number of messages dispatched. */
MASSCAL_API int32_t CalPumpMessages(void);
/* The open calibration window, or null. */
MASSCAL_API CalWnd CalGetCalibrationWindow(void);
/* What the owner does on the notification: destroys the calibration window
 * and calls CalDialogClosed for pRec. */
MASSCAL_API void CalCloseCalibrationWindow(CalWnd hCalWnd, CalRecord* pRec);

/* The user's hands, for hosts that forward real input and for scripts:
 * choose a menu command (0 when it does not exist or is greyed), click a
 * push button by id, and a mouse message (CAL_MOUSE_*) at x, y in the
 * window's client coordinates. */
enum {
    CAL_MOUSE_MOVE = 0x0200,
    CAL_MOUSE_LEFT_DOWN = 0x0201,
    CAL_MOUSE_LEFT_UP = 0x0202,
    CAL_MOUSE_RIGHT_DOWN = 0x0204,
    CAL_MOUSE_RIGHT_UP = 0x0205
};
MASSCAL_API int32_t CalWindowCommand(CalWnd hCalWnd, int32_t nCommand);
MASSCAL_API int32_t CalWindowClick(CalWnd hCalWnd, int32_t nButtonId);
MASSCAL_API int32_t CalWindowMouse(CalWnd hCalWnd, uint32_t nMouseMsg, int32_t x, int32_t y);
/* Asks the window to close as its close box would. */
MASSCAL_API int32_t CalWindowCloseBox(CalWnd hCalWnd);
/* A picture of the window (caption, menu bar, buttons, graphs) as PNG. */
MASSCAL_API int32_t CalWriteWindowPng(CalWnd hCalWnd, const char* pszPath);

MASSCAL_END_C

#endif
