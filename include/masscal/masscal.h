/*
 * Every public header of libmasscal. The C headers compile as C and C++;
 * the two C++ class headers (the calibration file class and the
 * polynomials) are included only when compiling C++.
 */
#ifndef MASSCAL_MASSCAL_H
#define MASSCAL_MASSCAL_H

#include "masscal/export.h"
#include "masscal/records.h"
#include "masscal/calib.h"
#include "masscal/calibrate.h"
#include "masscal/calfile.h"
#include "masscal/datainfo.h"
#include "masscal/fit.h"
#include "masscal/graphs.h"
#include "masscal/input.h"
#include "masscal/lockmass.h"
#include "masscal/params.h"
#include "masscal/quality.h"
#include "masscal/reference.h"
#include "masscal/render.h"
#include "masscal/report.h"
#include "masscal/tofcal.h"
#include "masscal/ui.h"
#include "masscal/ui_provider.h"
#include "masscal/display.h"
#include "masscal/window.h"

#ifdef __cplusplus
#include "masscal/calfile.hpp"
#include "masscal/polynomial.hpp"
#endif

#endif
