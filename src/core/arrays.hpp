// The record's allocated arrays: the six arrays of a peak list, and the
// 1-based vectors and matrices of the fitting mathematics, held in CalArray
// pairs. Element i of a vector is element i of pData (element 0 unused). A
// matrix keeps a table of row pointers at the start of its block; row i,
// column j (both from 1) is rows[i][j].
#pragma once

#include "masscal/calib.h"

// Allocates (release 0) or releases (release non-zero) all six arrays of a
// list with one capacity; 1 on success, 0 on failure with nothing left
// allocated. nCount and bDetail are not touched.
int32_t CalAllocPeakList(CalPeakList* pList, int32_t nCapacity, int32_t bRelease);

int32_t CalAllocVector(CalArray* pArray, int32_t n);                      // doubles
int32_t CalAllocMatrix(CalArray* pArray, int32_t nRows, int32_t nCols);   // doubles

namespace masscal::core {

int32_t alloc_float_vector(CalArray* pArray, int32_t n);                     // 4-byte elements
int32_t alloc_float_matrix(CalArray* pArray, int32_t nRows, int32_t nCols);  // 4-byte elements

// The typed view of an allocated pair: array_data<float>(list.Mass),
// array_data<double*>(matrix) for a matrix's row table.
template <class T>
inline T* array_data(const CalArray& a) {
    return static_cast<T*>(a.pData);
}

// The same, or null when nothing is allocated (pData is stale then).
template <class T>
inline T* allocated_data(const CalArray& a) {
    return a.hMem ? static_cast<T*>(a.pData) : nullptr;
}

}  // namespace masscal::core
