#include "core/calib_eval.hpp"

#include <cmath>

double masscal::core::eval_coeffs(const RawCalibCoEffs* p, double mass) {
    const int n = clamped_order(p->nOrder);
    if (n < 0) return 0.0;
    const double x = p->nType == 1 ? std::sqrt(mass) : mass;
    double y = p->dCoeffs[n];
    for (int i = n - 1; i >= 0; --i) y = y * x + p->dCoeffs[i];
    return p->nType == 1 ? y * y : y;
}
