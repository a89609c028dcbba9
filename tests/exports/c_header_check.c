/* The public headers, through the umbrella header, compile as C and agree
 * with the C++ layouts. */
#include <stdio.h>

#include "masscal/masscal.h"

int main(void) {
    CalRecord rec = {0};
    CalSetRefName(&rec, "ref");
    char name[8];
    CalGetRefName(&rec, name, sizeof name);
    if (sizeof(RawCalibInfo) != 103690 || name[0] != 'r') return 1;
    printf("%zu %zu\n", sizeof(CalRecord), offsetof(CalRecord, szRefNameTail));
    return 0;
}
