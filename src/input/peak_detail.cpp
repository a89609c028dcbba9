#include "input/spectrum_input.hpp"
#include "suite/datamanager/datamanager.hpp"

int32_t CalHasPeakDetail(const RawFileRef* ref) {
    if (!ref) return 0;
    std::uint16_t word = 0;
    const int accurate = masscal::dm::DmRawIsAccurateMass(ref, &word);
    if (accurate) return accurate;
    if (word == 0) return 0;
    const unsigned low = word & 0xFFu;
    return (word & 0x700u) == 0 && (low == 0 || low >= 6) ? 1 : 0;
}
