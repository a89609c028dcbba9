#include <cstdio>
#include <cstring>

#include "masscal/datainfo.h"
#include "suite/datamanager/memory_store.hpp"

namespace dm = masscal::dm;

extern "C" MASSCAL_API int32_t CalDataFunctionCount(const char* pszPath) {
    dm::dm_clear_error();
    return pszPath ? dm::dm_function_count(pszPath) : -1;
}

extern "C" MASSCAL_API int32_t CalDataFunctionSummary(const char* pszPath, int32_t nFunction, CalFunctionSummary* pOut,
                                                      CalSpectrumSummary* pSpectra, int32_t nMax) {
    if (!pszPath || !pOut) return 0;
    dm::dm_clear_error();
    dm::FunctionDescription d;
    dm::FunctionSummary s;
    if (!dm::dm_summarize(pszPath, nFunction, d, s)) return 0;
    std::memset(pOut, 0, sizeof *pOut);
    pOut->nMsLevel = s.msLevel;
    pOut->nPolarity = s.polarity;
    pOut->bHasWindow = s.hasWindow;
    pOut->dWindowLow = s.windowLow;
    pOut->dWindowHigh = s.windowHigh;
    pOut->fMassLow = d.massLow;
    pOut->fMassHigh = d.massHigh;
    pOut->bAccurateMass = d.accurateMass;
    pOut->bTimeOfFlight = d.timeOfFlight;
    pOut->bProfile = d.continuum;
    pOut->bProfileStated = s.profileStated;
    pOut->nSpectra = static_cast<int32_t>(s.spectra.size());
    std::snprintf(pOut->szAnalyser, sizeof pOut->szAnalyser, "%s", s.analyser.c_str());
    for (int32_t i = 0; pSpectra && i < nMax && i < pOut->nSpectra; ++i) {
        const dm::SpectrumSummary& x = s.spectra[static_cast<std::size_t>(i)];
        pSpectra[i] = {x.rtSeconds, x.scanNumber, x.precursorMz, x.fileIndex};
    }
    return 1;
}
