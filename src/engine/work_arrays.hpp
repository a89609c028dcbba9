// 1-based vectors and matrices of the fitting mathematics, held in CalArray
// pairs. Element i of a vector is element i of pData (element 0 unused).
// A matrix keeps a table of row pointers at the start of its block; row i,
// column j (both from 1) is rows[i][j].
#pragma once

#include "masscal/calib.h"

int32_t CalAllocVector(CalArray* pArray, int32_t n);       // doubles
int32_t CalAllocFloatVector(CalArray* pArray, int32_t n);  // 4-byte elements
int32_t CalAllocMatrix(CalArray* pArray, int32_t nRows, int32_t nCols);       // doubles
int32_t CalAllocFloatMatrix(CalArray* pArray, int32_t nRows, int32_t nCols);  // 4-byte elements

inline double* CalVector(const CalArray& a) { return static_cast<double*>(a.pData); }
inline float* CalFloatVector(const CalArray& a) { return static_cast<float*>(a.pData); }
inline double** CalMatrix(const CalArray& a) { return static_cast<double**>(a.pData); }
inline float** CalFloatMatrix(const CalArray& a) { return static_cast<float**>(a.pData); }
