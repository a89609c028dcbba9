#include <cstring>

#include "input/spectrum_input.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/records.hpp"
#include "suite/settings/settings.hpp"

namespace dm = masscal::dm;

bool masscal::input::read_function_header(const RawFileRef& ref, unsigned char* info, unsigned char* header) {
    if (!dm::DmRawGetFunctionInfo(&ref, info)) return false;
    unsigned char id[dm::kIdentifierSize];
    dm::DmRawFileToID(&ref, id);
    dm::store_field<std::uint16_t>(id, dm::kIdRequestType, 2);
    dm::store_field<std::uint32_t>(id, dm::kIdSelector, 0);
    dm::store_field<std::int32_t>(id, dm::kIdFunction, ref.nFunction);
    dm::DmHandle h = dm::DmGetHandle(0, static_cast<int>(dm::kIdentifierSize), id, 2, 4, 0);
    if (!h) return false;
    std::memcpy(header, static_cast<const unsigned char*>(dm::DmLockID(h)) + dm::kIdHeader, dm::kHeaderSize);
    dm::DmUnlockID(h);
    dm::DmReleaseHandle(h, 0);
    return true;
}

namespace {

int segment_of(const unsigned char* info, const unsigned char* header) {
    if (dm::load_field<std::uint16_t>(info, dm::kInfoModeWord) == 0) return 1;
    return static_cast<int>(dm::load_field<std::uint32_t>(header, dm::kHdrSegment));
}

}  // namespace

int32_t CalReadDataParams(RawFileRef* file, _TOFCALIBRATION* tof) {
    if (!file || !tof) return -1;
    RawFileRef copy = *file;
    unsigned char info[dm::kFunctionInfoSize];
    unsigned char header[dm::kHeaderSize];
    if (!masscal::input::read_function_header(copy, info, header)) return -1;
    const int result = segment_of(info, header);

    for (int k = 1; k <= file->nFunction; ++k) {
        copy.nFunction = k;
        if (!masscal::input::read_function_header(copy, info, header)) return -1;
        const int s = segment_of(info, header);
        if (dm::load_field<std::uint32_t>(header, dm::kHdrHasReflectron) != 0 && s >= 1 && s <= CAL_MAX_SEGMENTS)
            tof->fReflectron[s - 1] = static_cast<float>(dm::load_field<std::uint16_t>(header, dm::kHdrReflectron));
    }

    // The last function read is the data's own.
    tof->fLowMass = dm::load_field<float>(header, dm::kHdrMassLow);
    tof->fHighMass = dm::load_field<float>(header, dm::kHdrMassHigh);
    tof->nInstrumentMode = dm::load_field<std::uint16_t>(info, dm::kInfoInstrumentMode);
    tof->fSamplingRate = static_cast<float>(dm::load_field<std::uint16_t>(info, dm::kInfoSamplingRate));
    tof->fPrecursorMass = dm::load_field<float>(info, dm::kInfoPrecursorMass);
    tof->fFocusVoltage = dm::load_field<float>(info, dm::kInfoFocusVoltage);
    tof->fSourceVoltage = dm::load_field<float>(info, dm::kInfoSourceVoltage);
    tof->fExtractionVoltage = dm::load_field<float>(info, dm::kInfoExtractionVoltage);
    const std::uint16_t word = dm::load_field<std::uint16_t>(info, dm::kInfoTypeWord);
    tof->nIonisationMode = (word >> 5) & 0x1F;
    tof->bPSDCalibration = dm::load_field<std::uint16_t>(info, dm::kInfoModeWord) == 1 ? 1 : 0;
    const int type = word & 0x1F;
    if (type == 15 || type == 16 || type == 18 || type == 19)
        tof->fReflectron[0] = dm::load_field<float>(header, dm::kHdrTypeValue);
    return result;
}

int32_t CalHasPeakDetail(const RawFileRef* ref) {
    if (!ref) return 0;
    std::uint16_t word = 0;
    const int accurate = masscal::dm::DmRawIsAccurateMass(ref, &word);
    if (accurate) return accurate;
    if (word == 0) return 0;
    const unsigned low = word & 0xFFu;
    return (word & 0x700u) == 0 && (low == 0 || low >= 6) ? 1 : 0;
}

int32_t CalGetInstrumentType() {
    const bool opened = IsIniLoaded() == 0;
    if (opened && !InitIni(0)) return 0;
    char name[81] = {};
    GetIniString("Acquisition", "Instrument", "", name, 81);
    if (opened) FreeIni(0, 0);
    if (std::strcmp(name, "TALVEX2") == 0) return 1;
    if (std::strcmp(name, "TALVEXPRIME") == 0) return 2;
    return 0;
}
