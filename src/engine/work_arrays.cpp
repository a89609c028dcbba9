#include "engine/work_arrays.hpp"

#include <cstddef>
#include <cstdint>

int32_t CalAllocVector(CalArray* pArray, int32_t n) { return CalAlloc(pArray, n + 1, 8); }

int32_t CalAllocFloatVector(CalArray* pArray, int32_t n) { return CalAlloc(pArray, n + 1, 4); }

int32_t CalAllocMatrix(CalArray* pArray, int32_t nRows, int32_t nCols) {
    static_assert(sizeof(double*) == sizeof(double), "the row table takes one element per row");
    const int32_t status = CalAlloc(pArray, (nRows + 1) * (nCols + 1) + (nRows - nCols), 8);
    if (status != CAL_OK) return status;
    // Slots 0..n of the block hold the row pointers; row i then starts
    // i(m+1) + (n-m) elements in, so row 1 begins right after the table.
    auto* base = static_cast<double*>(pArray->pData);
    auto** rows = static_cast<double**>(pArray->pData);
    for (int32_t i = 1; i <= nRows; ++i) rows[i] = base + (i * (nCols + 1) + (nRows - nCols));
    return CAL_OK;
}

int32_t CalAllocFloatMatrix(CalArray* pArray, int32_t nRows, int32_t nCols) {
    // Eight-byte row pointers do not fit in the room that four-byte
    // elements leave for them, so the table gets a room of its own and the
    // rows follow it: row i, column j is at table + (i-1)(m+1) + j floats.
    constexpr std::size_t kPointerBytes = sizeof(float*), kFloatBytes = sizeof(float);
    const int32_t tableFloats = (nRows + 1) * static_cast<int32_t>(kPointerBytes / kFloatBytes);
    const int32_t status = CalAlloc(pArray, tableFloats + nRows * (nCols + 1), 4);
    if (status != CAL_OK) return status;
    auto* base = static_cast<float*>(pArray->pData) + tableFloats;
    auto** rows = static_cast<float**>(pArray->pData);
    for (int32_t i = 1; i <= nRows; ++i) rows[i] = base + (i - 1) * (nCols + 1);
    return CAL_OK;
}
