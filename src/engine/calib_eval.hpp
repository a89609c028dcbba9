// Evaluation of a calibration polynomial record at a mass.
#pragma once

#include "masscal/records.h"

// Horner in doubles on m, or on sqrt(m) with the result squared when the
// record's type is 1 (root-mass calibration).
double CalEvalCoeffs(const RawCalibCoEffs* p, double mass);
