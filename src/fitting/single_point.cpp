#include "fitting/single_point.hpp"

#include <cstring>

int32_t IsIdentityCalibration(const RawCalibCoEffs* p) {
    return p->nOrder == 1 && p->dCoeffs[0] == 0.0 && p->dCoeffs[1] == 1.0 ? 1 : 0;
}

int32_t CalSinglePointCalibration(CalRecord* rec, int32_t segment) {
    if (rec->Params.PolyOrder != 1) return CAL_ERR_SINGLE_POINT_ORDER;
    if (rec->MatchPeaks.nCount != 1) return CAL_ERR_SINGLE_POINT_COUNT;
    RawCalibCoEffs* borrowed = nullptr;
    for (int i = 0; i < CAL_MAX_SEGMENTS && !borrowed; ++i) {
        RawCalibCoEffs* c = &rec->TofCalib.Segments[i];
        if (i != segment - 1 && !IsIdentityCalibration(c)) borrowed = c;
    }
    if (!borrowed) return CAL_ERR_SINGLE_POINT_SEGMENT;

    CalErrorFunction(borrowed);
    const double c0 = borrowed->dCoeffs[0];
    const double m = static_cast<const float*>(rec->MatchPeaks.Mass.pData)[0];
    const double e = static_cast<const float*>(rec->Errors.pData)[0];
    std::memset(&rec->ErrorFunc, 0, sizeof rec->ErrorFunc);
    rec->ErrorFunc.nOrder = 1;
    rec->ErrorFunc.dCoeffs[0] = c0;
    rec->ErrorFunc.dCoeffs[1] = (e - c0) / m;
    CalMassFunction(borrowed);
    return CAL_OK;
}
