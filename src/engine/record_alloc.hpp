// Internal allocators of the calibration record's peak lists.
#pragma once

#include "masscal/calib.h"

// Allocates (release 0) or releases (release non-zero) all six arrays of a
// list with one capacity; 1 on success, 0 on failure with nothing left
// allocated. nCount and bDetail are not touched.
int32_t CalAllocPeakList(CalPeakList* pList, int32_t nCapacity, int32_t bRelease);

// Typed views of an allocated pair.
template <class T>
inline T* CalArrayData(const CalArray& a) {
    return static_cast<T*>(a.pData);
}
