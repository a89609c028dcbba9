/* The public C header compiles as C and agrees with the C++ layouts. */
#include <stdio.h>

#include "masscal/calib.h"
#include "masscal/datainfo.h"
#include "masscal/quality.h"
#include "masscal/render.h"
#include "masscal/window.h"

int main(void) {
    CalRecord rec = {0};
    CalSetRefName(&rec, "ref");
    char name[8];
    CalGetRefName(&rec, name, sizeof name);
    if (sizeof(RawCalibInfo) != 103690 || name[0] != 'r') return 1;
    printf("%zu %zu\n", sizeof(CalRecord), offsetof(CalRecord, szRefNameTail));
    return 0;
}
