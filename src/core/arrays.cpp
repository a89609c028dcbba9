#include "core/arrays.hpp"

#include <cstring>

#include "platform/memory.hpp"

namespace mem = masscal::platform;

extern "C" MASSCAL_API int32_t CalAlloc(CalArray* pArray, int32_t nCount, int32_t nElementSize) {
    if (pArray->hMem) return CAL_OK;
    if (nCount < 0 || nElementSize < 0) return CAL_ERR_NO_MEMORY;
    const std::size_t bytes = static_cast<std::size_t>(nCount) * static_cast<std::size_t>(nElementSize);
    CalMemHandle h = mem::mem_alloc(bytes);
    if (!h) return CAL_ERR_NO_MEMORY;
    pArray->hMem = h;
    pArray->pData = mem::mem_lock(h);
    std::memset(pArray->pData, 0, bytes);
    return CAL_OK;
}

extern "C" MASSCAL_API void CalFree(CalArray* pArray) {
    if (pArray->hMem) {
        mem::mem_unlock(pArray->hMem);
        mem::mem_free(pArray->hMem);
    }
    pArray->hMem = nullptr;
}

int32_t CalAllocPeakList(CalPeakList* pList, int32_t nCapacity, int32_t bRelease) {
    CalArray* const arrays[] = {&pList->Mass, &pList->Intensity, &pList->CalMass,
                                &pList->Flags, &pList->Width, &pList->Extra};
    static const int32_t sizes[] = {4, 4, 4, 1, 4, 4};
    if (!bRelease) {
        for (int i = 0; i < 6; ++i) {
            if (CalAlloc(arrays[i], nCapacity, sizes[i]) != CAL_OK) {
                for (CalArray* a : arrays) CalFree(a);
                return 0;
            }
        }
        return 1;
    }
    for (CalArray* a : arrays) CalFree(a);
    return 1;
}

namespace {

void release_record_arrays(CalRecord* r) {
    CalAllocPeakList(&r->DataPeaks, 0, 1);
    CalAllocPeakList(&r->MatchPeaks, 0, 1);
    CalAllocPeakList(&r->SparePeaks, 0, 1);
    CalAllocPeakList(&r->RefPeaks, 0, 1);
    CalFree(&r->Errors);
    CalFree(&r->RootErrors);
    CalFree(&r->Residuals);
    CalFree(&r->FitWork);
    CalFree(&r->BandUpper);
    CalFree(&r->BandLower);
}

}  // namespace

extern "C" MASSCAL_API int32_t CalAllocArrays(CalRecord* pRec, int32_t bRelease) {
    if (bRelease) {
        release_record_arrays(pRec);
        return 1;
    }
    bool ok = CalAllocPeakList(&pRec->RefPeaks, CAL_REF_CAPACITY, 0) != 0;
    CalArray* const matched[] = {&pRec->Errors, &pRec->RootErrors, &pRec->Residuals, &pRec->FitWork};
    for (CalArray* a : matched) ok = ok && CalAlloc(a, CAL_MATCH_CAPACITY, 4) == CAL_OK;
    ok = ok && CalAlloc(&pRec->BandUpper, CAL_BAND_POINTS, 4) == CAL_OK;
    ok = ok && CalAlloc(&pRec->BandLower, CAL_BAND_POINTS, 4) == CAL_OK;
    if (!ok) {
        release_record_arrays(pRec);
        return 0;
    }
    return 1;
}

namespace {
// The reference name text begins at RefFile.wFunction and spans the rest of
// RefFile and szRefNameTail; it is addressed through the record's bytes.
unsigned char* ref_name_bytes(CalRecord* r) {
    return reinterpret_cast<unsigned char*>(r) + offsetof(CalRecord, RefFile) + offsetof(RawFileRef, wFunction);
}
}  // namespace

extern "C" MASSCAL_API size_t CalGetRefName(const CalRecord* pRec, char* out, size_t outSize) {
    if (!out || outSize == 0) return 0;
    const unsigned char* src = ref_name_bytes(const_cast<CalRecord*>(pRec));
    size_t n = 0;
    while (n + 1 < outSize && n + 1 < CAL_REF_NAME_BYTES && src[n] != 0) {
        out[n] = static_cast<char>(src[n]);
        ++n;
    }
    out[n] = '\0';
    return n;
}

extern "C" MASSCAL_API void CalSetRefName(CalRecord* pRec, const char* name) {
    unsigned char* dst = ref_name_bytes(pRec);
    std::memset(dst, 0, CAL_REF_NAME_BYTES);
    if (!name) return;
    const size_t n = strnlen(name, CAL_REF_NAME_BYTES - 1);
    std::memcpy(dst, name, n);
}

int32_t CalAllocVector(CalArray* pArray, int32_t n) { return CalAlloc(pArray, n + 1, 8); }

int32_t masscal::core::alloc_float_vector(CalArray* pArray, int32_t n) { return CalAlloc(pArray, n + 1, 4); }

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

int32_t masscal::core::alloc_float_matrix(CalArray* pArray, int32_t nRows, int32_t nCols) {
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
