// Prints a calibration polynomial's text, its value at a few masses and the
// measured mass that each reference mass came from (the inverse).
#include <cstdio>
#include <initializer_list>

#include "masscal/calib.h"
#include "masscal/polynomial.hpp"

int main() {
    // Mass function of a small quadratic error: m - (0.01 + 2e-5 m + 1e-8 m^2).
    const double error[] = {0.01, 2e-5, 1e-8};
    RawCalibCoEffs rec{};
    rec.nOrder = 2;
    for (int i = 0; i < 3; ++i) rec.dCoeffs[i] = error[i];
    CalMassFunction(&rec);

    CCalibPolynomial mass(&rec);
    std::printf("mass function: %s\n", static_cast<const char*>(mass));
    std::printf("%12s %14s %14s\n", "measured", "reference", "inverse");
    for (double m : {100.0, 500.0, 1000.0, 2000.0}) {
        const double ref = mass.Calc(m);
        const double back = mass.Inverse(ref, 0.0, 4000.0, 1e-9);
        std::printf("%12.4f %14.6f %14.6f\n", m, ref, back);
    }
    return 0;
}
