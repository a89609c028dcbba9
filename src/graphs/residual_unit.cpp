#include <atomic>

#include "graphs/graph_internal.hpp"

namespace masscal::graphs {
// The unit survives from one window to the next, so it belongs to the
// process rather than to a window.
std::atomic<bool> g_amu{true};

bool residual_unit_amu() { return g_amu.load(); }

}  // namespace masscal::graphs

extern "C" {

MASSCAL_API int32_t CalGetResidualUnitAmu(void) { return masscal::graphs::residual_unit_amu() ? 1 : 0; }

MASSCAL_API int32_t CalSetResidualUnitAmu(int32_t bAmu) {
    return masscal::graphs::g_amu.exchange(bAmu != 0) ? 1 : 0;
}

}  // extern "C"
