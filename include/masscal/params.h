/* Loading and saving the calibration parameters in a section of the
 * settings file. Both return 0 when the settings cannot be opened, else 1
 * (or the result of closing the settings when the call opened them). */
#ifndef MASSCAL_PARAMS_H
#define MASSCAL_PARAMS_H

#include "masscal/calib.h"
#include "masscal/ui.h"

/* The controls of the dialog "Calibration Parameters", for a host that plays
 * its user (masscal/ui_provider.h). */
enum {
    CAL_PARAMS_PEAK_WINDOW = 101,      /* edit: peak window, Da */
    CAL_PARAMS_INITIAL_ERROR = 102,    /* edit: initial error, Da */
    CAL_PARAMS_INTENSITY_WEIGHT = 201, /* check box */
    CAL_PARAMS_THRESHOLD = 202,        /* edit: intensity threshold, percent */
    CAL_PARAMS_POLY_ORDER = 203,       /* edit: polynomial order */
    CAL_PARAMS_AUTO_RESTRAIN = 204,    /* check box: offered for accurate-mass data */
    CAL_PARAMS_AUTO_PEAK_MATCH = 1000, /* check box */
    CAL_PARAMS_CALIBRATE_DISPLAY = 1001, /* check box */
    CAL_PARAMS_OK = 1,
    CAL_PARAMS_CANCEL = 2
};

MASSCAL_BEGIN_C

/* Missing keys take their defaults: PolyOrder 1, PeakWindow 0.5,
 * Threshold 0.01, IntensityWeight FALSE, InitialError 2.0, AutoPeakMatch
 * TRUE, AutoPolyOrder TRUE, CalibrateDisplay FALSE. bSinglePoint is kept. */
MASSCAL_API int32_t CalParamsGetIniFile(const char* pszSection, CalParams* pParams);
MASSCAL_API int32_t CalParamsSetIniFile(const char* pszSection, const CalParams* pParams);

/* Lets the user edit the block in the modal dialog "Calibration Parameters"
 * owned by hwndOwner. Returns 1 when the user confirmed with values in range
 * (the block then holds them), 0 when cancelled (the block is untouched).
 * Without a UI provider that plays the dialog, it is cancelled. */
MASSCAL_API int32_t CalEditParams(CalWnd hwndOwner, CalParams* pParams);
/* As CalEditParams; the automatic restraint is offered only when pFile names
 * accurate-mass data. The reference is remembered for later CalEditParams
 * calls (a function number of 0 is taken as 1); null forgets it. */
MASSCAL_API int32_t CalEditParamsExt(CalWnd hwndOwner, CalParams* pParams, RawFileRef* pFile);

/* The settings file as the environment names it now ($MASSCAL_SETTINGS, else
 * $XDG_CONFIG_HOME/masscal/settings.ini, else $HOME/.config/masscal/
 * settings.ini): copied into pszBuf cut to nSize - 1 characters and
 * terminated. Returns the path's whole length (nSize or more: it was cut),
 * 0 when no location can be found. */
MASSCAL_API int32_t CalSettingsFilePath(char* pszBuf, int32_t nSize);

/* The text of pszKey in section pszSection of the settings, as stored (the
 * readers above take it leniently), or pszDefault when missing; cut to
 * nSize - 1 characters and terminated. Returns the characters copied. */
MASSCAL_API int32_t CalGetSetting(const char* pszSection, const char* pszKey, const char* pszDefault, char* pszBuf,
                                  int32_t nSize);

/* The text CalParamsSetIniFile stores for a real-valued parameter: two
 * decimals, more below 1 to keep two significant digits (0.001 is
 * "0.0010"), in the C locale. Cut to nSize - 1 characters and terminated;
 * returns the text's length. */
MASSCAL_API int32_t CalParamsValueText(float fValue, char* pszBuf, int32_t nSize);

MASSCAL_END_C

#endif
