/*
 * A host's own user interface for the library: who answers its message
 * boxes, who lets the user choose files (Open and Save As of saved spectrum
 * calibrations, the reference file, the print file of Printer Setup) and who
 * plays the user of a modal dialog (Calibration Parameters) when the
 * windows are not on a screen.
 *
 * Without a provider the library prints message boxes as "caption: text" on
 * stderr with the default answer, and file choices and modal dialogs are
 * cancelled. Once a display is open (masscal/display.h) its message boxes,
 * file choosers and dialogs are the default instead; a provider installed
 * by the host still comes first, and whatever it leaves out (a null
 * function) goes to the default.
 */
#ifndef MASSCAL_UI_PROVIDER_H
#define MASSCAL_UI_PROVIDER_H

#include <stdint.h>

#include "masscal/ui.h"

enum {
    CAL_FILE_PATH_SIZE = 4096,
    /* nFlags of a file choice (the caller's, passed as they are); these two
     * matter to a provider. */
    CAL_FILE_OVERWRITE_PROMPT = 0x00000002, /* ask before replacing a file */
    CAL_FILE_MUST_EXIST = 0x00001000        /* only an existing file will do */
};

/* A request to choose a file: the initial choice in szPath, the file chosen
 * out. */
typedef struct CalFileChoice {
    int32_t bSave;             /* 1: a file to write, 0: a file to read */
    const char* pszTitle;      /* may be empty: the provider's own */
    const char* pszFilter;     /* "Spectrum Calibration (*.scl)|*.scl||"; empty: any file */
    const char* pszDefaultExt; /* without the dot, added to a name chosen without one */
    uint32_t nFlags;
    char szPath[CAL_FILE_PATH_SIZE];
} CalFileChoice;

typedef struct CalUiProvider {
    void* pUser;
    /* Shows the text and returns the button chosen (CAL_IDOK ...). */
    int32_t (*pfnMessageBox)(void* pUser, CalWnd hOwner, const char* pszText, const char* pszCaption,
                             uint32_t nType);
    /* Non-zero when a file was chosen (its path then in szPath), 0 when
     * cancelled. */
    int32_t (*pfnChooseFile)(void* pUser, CalWnd hOwner, CalFileChoice* pChoice);
    /* Plays the user of a modal dialog just initialised: types, clicks and
     * chooses with the calls below until the dialog's OK or Cancel ends it.
     * Returning without an end cancels the dialog. Only called for windows
     * that are not on a screen. */
    void (*pfnRunDialog)(void* pUser, CalWnd hDialog);
} CalUiProvider;

MASSCAL_BEGIN_C

/* Installs a copy of *pProvider for the process (null restores the default).
 * Replaces a handler of CalSetMessageBoxHandler, and the other way round. */
MASSCAL_API void CalSetUiProvider(const CalUiProvider* pProvider);

/* A dialog's controls by id (the ids of Calibration Parameters are in
 * masscal/params.h), as the user would use them: the text of an edit
 * control replaced as typed, the text of a control (copied, cut to nSize - 1
 * characters and terminated; returns its length), whether a check box is
 * checked, and a click (CalWindowClick in masscal/window.h). 0 for no such
 * control. */
MASSCAL_API int32_t CalDialogTypeText(CalWnd hDialog, int32_t nId, const char* pszText);
MASSCAL_API int32_t CalDialogItemText(CalWnd hDialog, int32_t nId, char* pszBuf, int32_t nSize);
MASSCAL_API int32_t CalDialogItemChecked(CalWnd hDialog, int32_t nId);

MASSCAL_END_C

#endif
