// The time-of-flight blocks of a whole calibration: block 0 in section TOF,
// or the five mode blocks in their sections TOF<type>.
#include <cstddef>
#include <cstring>

#include "calfile/packed_fields.hpp"
#include "calfile/profile_keys.hpp"
#include "calfile/tof_keys.hpp"
#include "masscal/calfile.hpp"
#include "suite/fileaccess/profile.hpp"

using namespace masscal::calfile;

namespace {

constexpr int kSectionSize = 64;

// Entry i of a type array belongs to block kBlockOfEntry[i].
constexpr int kBlockOfEntry[CAL_TOF_BLOCKS] = {0, 1, 3, 2, 4};

std::size_t block_offset(int block) { return offsetof(RawCalibInfo, Tof) + sizeof(TofBlock) * block; }

void write_block(const char* file, TofBlock* b, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);

    write_polynomial(file, section, "Polynomial001", &b->Calibration);
    write_covariance(file, section, "Covariance001", &b->Calibration);
    // A block keeps one segment, so only the first reflectron value.
    char reflectron[kValueBufferSize];
    format_reflectron(reflectron, sizeof reflectron, b->fReflectron, 1);
    write_text(file, section, "Reflectron", reflectron);
    b->nSegments = CAL_MAX_SEGMENTS;
    write_int(file, section, "NumSegments", b->nSegments);
    write_int(file, section, "InstrumentMode", b->nInstrumentMode);
    write_real(file, section, "SourceVoltage", kTofReal, b->fSourceVoltage);
    write_real(file, section, "FocusVoltage", kTofReal, b->fFocusVoltage);
    write_real(file, section, "ExtractionVoltage", kTofReal, b->fExtractionVoltage);
    write_real(file, section, "SamplingRate", kTofReal, b->fSamplingRate);
    write_int(file, section, "IonisationMode", b->nIonisationMode);
    write_real(file, section, "PrecursorMass", kTofReal, b->fPrecursorMass);
    write_real(file, section, "LowMass", kTofReal, b->fLowMass);
    write_real(file, section, "HighMass", kTofReal, b->fHighMass);
    write_real(file, section, "CalTemperature", kTofReal, b->fReflectron[0]);
    if (type) {
        write_int(file, section, "PusherFreq", b->nPusherFreq);
        write_field(file, section, "Time", b->szTime, sizeof b->szTime);
        write_field(file, section, "Date", b->szDate, sizeof b->szDate);
    }
}

void read_block(const char* file, TofBlock* b, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);

    read_reflectron(file, section, b->fReflectron);
    read_polynomial(file, section, "Polynomial001", &b->Calibration);
    read_covariance(file, section, "Covariance001", &b->Calibration);
    b->nSegments = read_int(file, section, "NumSegments");
    b->nInstrumentMode = read_int(file, section, "InstrumentMode");
    b->fSourceVoltage = read_float(file, section, "SourceVoltage");
    b->fFocusVoltage = read_float(file, section, "FocusVoltage");
    b->fExtractionVoltage = read_float(file, section, "ExtractionVoltage");
    b->fSamplingRate = read_float(file, section, "SamplingRate");
    b->nIonisationMode = read_int(file, section, "IonisationMode");
    b->fPrecursorMass = read_float(file, section, "PrecursorMass");
    b->fLowMass = read_float(file, section, "LowMass");
    b->fHighMass = read_float(file, section, "HighMass");
    if (type) {
        b->nPusherFreq = read_int_text(file, section, "PusherFreq");
        read_text(file, section, "Time", b->szTime, sizeof b->szTime);
        read_text(file, section, "Date", b->szDate, sizeof b->szDate);
    }
    read_cal_temperature(file, section, &b->fReflectron[0]);
}

// Every mode block gets a usable polynomial: nothing read means x.
void make_usable(RawCalibCoEffs* c) {
    if (c->nOrder >= 1) return;
    std::memset(c, 0, sizeof *c);
    c->nOrder = 1;
    c->dCoeffs[1] = 1.0;
}

}  // namespace

void CCalFile::WriteTofParameters(const char* file, RawCalibInfo* info) {
    CProfileWriteBatch batch(file);
    auto block = load_field<TofBlock>(info, block_offset(0));
    write_block(file, &block, nullptr);
    store_field(info, block_offset(0), block);
}

void CCalFile::ReadTofParameters(const char* file, RawCalibInfo* info) {
    auto block = load_field<TofBlock>(info, block_offset(0));
    read_block(file, &block, nullptr);
    store_field(info, block_offset(0), block);
}

void CCalFile::WriteModeDependantTofParameters(const char* file, RawCalibInfo* info, tagHASCALTYPE* types) {
    CProfileWriteBatch batch(file);
    if (!types) return;
    for (int entry = 0; entry < CAL_TOF_BLOCKS; ++entry) {
        // Later entries that repeat the first mode share its section.
        if (entry > 0 && types[entry] == types[0]) continue;
        const std::size_t offset = block_offset(kBlockOfEntry[entry]);
        auto block = load_field<TofBlock>(info, offset);
        write_block(file, &block, &types[entry]);
        store_field(info, offset, block);
    }
}

void CCalFile::ReadModeDependantTofParameters(const char* file, RawCalibInfo* info, tagHASCALTYPE* types) {
    if (!types) return;
    for (int entry = 0; entry < CAL_TOF_BLOCKS; ++entry) {
        const std::size_t offset = block_offset(kBlockOfEntry[entry]);
        auto block = load_field<TofBlock>(info, offset);
        read_block(file, &block, &types[entry]);
        make_usable(&block.Calibration);
        store_field(info, offset, block);
    }
}
