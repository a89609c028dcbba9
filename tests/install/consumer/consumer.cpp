// Uses the C calls and an exported class through the umbrella header.
#include <cstdio>
#include <cstring>

#include <masscal/masscal.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const double coeffs[] = {0.5, 1.25};
    CPolynomial poly(1, coeffs);
    char why[256];
    RawCalibCoEffs c;
    std::memset(&c, 0, sizeof c);
    c.nOrder = 1;
    c.dCoeffs[1] = 1.0;
    // argv[1] is a folder: the write is refused, with the reason.
    const int32_t written = CalWriteFunctionCalibration(argv[1], 1, &c, why, sizeof why);
    std::printf("%g %d %s\n", poly.Calc(2.0), written, why);
    return 0;
}
