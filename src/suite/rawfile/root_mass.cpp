#include "suite/rawfile/root_mass.hpp"

#include <cstdint>

#include "suite/datamanager/records.hpp"

int RawIsRootMassCalibration(const void* functionInfo) {
    if (!functionInfo) return 0;
    return masscal::dm::get_field<std::uint32_t>(functionInfo, masscal::dm::kInfoRootMass) != 0 ? 1 : 0;
}
