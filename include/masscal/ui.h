/*
 * How a host answers the library's message boxes. Without a handler the
 * library prints "caption: text" to stderr and answers OK (No to a yes/no
 * question, Cancel to a retry/cancel question).
 */
#ifndef MASSCAL_UI_H
#define MASSCAL_UI_H

#include <stdint.h>

#include "masscal/export.h"

typedef struct CalWindow* CalWnd;

/* Button sets and icons of the type word. */
enum {
    CAL_MB_OK = 0x0,
    CAL_MB_OKCANCEL = 0x1,
    CAL_MB_ABORTRETRYIGNORE = 0x2,
    CAL_MB_YESNOCANCEL = 0x3,
    CAL_MB_YESNO = 0x4,
    CAL_MB_RETRYCANCEL = 0x5,
    CAL_MB_TYPEMASK = 0xF,
    CAL_MB_ICONSTOP = 0x10,
    CAL_MB_ICONQUESTION = 0x20,
    CAL_MB_ICONEXCLAMATION = 0x30,
    CAL_MB_ICONINFORMATION = 0x40
};

/* Answers. */
enum {
    CAL_IDOK = 1,
    CAL_IDCANCEL = 2,
    CAL_IDABORT = 3,
    CAL_IDRETRY = 4,
    CAL_IDIGNORE = 5,
    CAL_IDYES = 6,
    CAL_IDNO = 7
};

MASSCAL_BEGIN_C

typedef int32_t (*CalMessageBoxHandler)(void* user, CalWnd owner, const char* text, const char* caption,
                                        uint32_t type);

/* Installs a handler for the calling process (null restores the default). */
MASSCAL_API void CalSetMessageBoxHandler(CalMessageBoxHandler handler, void* user);

MASSCAL_END_C

#endif
