// Evaluation of a calibration polynomial record at a mass.
#pragma once

#include "masscal/records.h"

namespace masscal::core {

// The highest coefficient a record's order reaches: orders beyond its six
// coefficients read as 5, so a corrupt record is never read or written past
// its end.
inline int clamped_order(int n) { return n > CAL_MAX_ORDER ? CAL_MAX_ORDER : n; }

// Horner in doubles on m, or on sqrt(m) with the result squared when the
// record's type is 1 (root-mass calibration).
double eval_coeffs(const RawCalibCoEffs* p, double mass);

}  // namespace masscal::core
