#include <cmath>

#include "engine/calib_eval.hpp"
#include "masscal/calib.h"

namespace {
// Orders beyond the record's six coefficients are treated as 5, so that a
// corrupt record is never read or written past its end.
int clamp_order(int n) { return n > CAL_MAX_ORDER ? CAL_MAX_ORDER : n; }
}  // namespace

extern "C" MASSCAL_API void CalMassFunction(RawCalibCoEffs* p) {
    const int n = clamp_order(p->nOrder);
    for (int i = 0; i <= n; ++i) p->dCoeffs[i] = -p->dCoeffs[i];
    if (p->nOrder == 0) {
        p->dCoeffs[1] = 1.0;
        p->nOrder = 1;
    } else {
        p->dCoeffs[1] = p->dCoeffs[1] + 1.0;
    }
}

extern "C" MASSCAL_API void CalErrorFunction(RawCalibCoEffs* p) {
    p->dCoeffs[1] = p->dCoeffs[1] - 1.0;
    if (p->nOrder == 1 && p->dCoeffs[1] == 0.0) p->nOrder = 0;
    const int n = clamp_order(p->nOrder);
    for (int i = 0; i <= n; ++i) p->dCoeffs[i] = -p->dCoeffs[i];
}

double CalEvalCoeffs(const RawCalibCoEffs* p, double mass) {
    const int n = clamp_order(p->nOrder);
    if (n < 0) return 0.0;
    const double x = p->nType == 1 ? std::sqrt(mass) : mass;
    double y = p->dCoeffs[n];
    for (int i = n - 1; i >= 0; --i) y = y * x + p->dCoeffs[i];
    return p->nType == 1 ? y * y : y;
}
