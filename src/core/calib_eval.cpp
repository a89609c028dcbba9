#include "core/calib_eval.hpp"

#include <cmath>

#include "masscal/calib.h"

double masscal::core::eval_coeffs(const RawCalibCoEffs* p, double mass) {
    const int n = clamped_order(p->nOrder);
    if (n < 0) return 0.0;
    const double x = p->nType == 1 ? std::sqrt(mass) : mass;
    double y = p->dCoeffs[n];
    for (int i = n - 1; i >= 0; --i) y = y * x + p->dCoeffs[i];
    return p->nType == 1 ? y * y : y;
}

using masscal::core::clamped_order;

extern "C" MASSCAL_API void CalMassFunction(RawCalibCoEffs* p) {
    const int n = clamped_order(p->nOrder);
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
    const int n = clamped_order(p->nOrder);
    for (int i = 0; i <= n; ++i) p->dCoeffs[i] = -p->dCoeffs[i];
}
