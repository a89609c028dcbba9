/* Stores one function's calibration through the installed C interface. */
#include <stdio.h>
#include <string.h>

#include <masscal/masscal.h>

int main(int argc, char** argv) {
    RawCalibCoEffs c;
    char why[256], text[32];
    if (argc != 2) return 2;
    memset(&c, 0, sizeof c);
    c.nOrder = 1;
    c.dCoeffs[1] = 1.0;
    if (!CalWriteFunctionCalibration(argv[1], 2, &c, why, sizeof why)) {
        fprintf(stderr, "%s\n", why);
        return 1;
    }
    CalParamsValueText(0.001f, text, sizeof text);
    printf("written %s\n", text);
    return 0;
}
