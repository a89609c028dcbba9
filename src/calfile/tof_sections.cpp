// The time-of-flight sections of a calibration file, in their two shapes:
// the full twelve-segment record (section TOF, or TOF<type> for a mode's
// own), and the one-segment blocks of a whole calibration (block 0 in TOF,
// the five mode blocks in their TOF<type> sections).
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "calfile/file_kind.hpp"
#include "suite/utility/packed_fields.hpp"
#include "calfile/profile_keys.hpp"
#include "calfile/text_readers.hpp"
#include "calfile/tof_text.hpp"
#include "masscal/calfile.hpp"
#include "masscal/tofcal.h"
#include "platform/c_locale.hpp"
#include "suite/fileaccess/profile.hpp"

using masscal::suite::load_field;
using masscal::suite::store_field;

using namespace masscal::calfile;
using masscal::platform::c_atof;
using masscal::platform::c_snprintf;

namespace {

constexpr int kSectionSize = 64;

// The real-valued keys of both shapes are written with this format.
constexpr char kTofReal[] = "%.7f";

void tof_section_name(char* out, std::size_t size, const tagHASCALTYPE* type) {
    if (type)
        std::snprintf(out, size, "TOF%d", static_cast<int>(*type));
    else
        std::snprintf(out, size, "TOF");
}

void format_reflectron(char* out, std::size_t size, const float* values, int count) {
    std::size_t used = 0;
    out[0] = '\0';
    for (int i = 0; i < count && used + 1 < size; ++i) {
        const int n = c_snprintf(out + used, size - used, "%f ", static_cast<double>(values[i]));
        if (n < 0) break;
        used += static_cast<std::size_t>(n) < size - used ? static_cast<std::size_t>(n) : size - used - 1;
    }
}

void read_reflectron(const char* file, const char* section, float* values) {
    char buf[kValueBufferSize];
    read_text(file, section, "Reflectron", buf, sizeof buf);
    read_float_list(buf, values, CAL_MAX_SEGMENTS);
}

void read_cal_temperature(const char* file, const char* section, float* value) {
    char buf[kValueBufferSize];
    read_text(file, section, "CalTemperature", buf, sizeof buf);
    if (buf[0] != '\0') *value = static_cast<float>(c_atof(buf));
}

// The keys both shapes share after their polynomials, in the order they are
// written; a shape keeps reflectronCount reflectron values.
template <class Shape>
void write_shared_keys(const char* file, const char* section, Shape* s, int reflectronCount) {
    char reflectron[kValueBufferSize];
    format_reflectron(reflectron, sizeof reflectron, s->fReflectron, reflectronCount);
    write_text(file, section, "Reflectron", reflectron);
    s->nSegments = CAL_MAX_SEGMENTS;
    write_int(file, section, "NumSegments", s->nSegments);
    write_int(file, section, "InstrumentMode", s->nInstrumentMode);
    write_real(file, section, "SourceVoltage", kTofReal, s->fSourceVoltage);
    write_real(file, section, "FocusVoltage", kTofReal, s->fFocusVoltage);
    write_real(file, section, "ExtractionVoltage", kTofReal, s->fExtractionVoltage);
    write_real(file, section, "SamplingRate", kTofReal, s->fSamplingRate);
    write_int(file, section, "IonisationMode", s->nIonisationMode);
    write_real(file, section, "PrecursorMass", kTofReal, s->fPrecursorMass);
    write_real(file, section, "LowMass", kTofReal, s->fLowMass);
    write_real(file, section, "HighMass", kTofReal, s->fHighMass);
    write_real(file, section, "CalTemperature", kTofReal, s->fReflectron[0]);
}

template <class Shape>
void read_shared_keys(const char* file, const char* section, Shape* s, const tagHASCALTYPE* type) {
    read_reflectron(file, section, s->fReflectron);
    s->nSegments = read_int(file, section, "NumSegments");
    s->nInstrumentMode = read_int(file, section, "InstrumentMode");
    s->fSourceVoltage = read_float(file, section, "SourceVoltage");
    s->fFocusVoltage = read_float(file, section, "FocusVoltage");
    s->fExtractionVoltage = read_float(file, section, "ExtractionVoltage");
    s->fSamplingRate = read_float(file, section, "SamplingRate");
    s->nIonisationMode = read_int(file, section, "IonisationMode");
    s->fPrecursorMass = read_float(file, section, "PrecursorMass");
    s->fLowMass = read_float(file, section, "LowMass");
    s->fHighMass = read_float(file, section, "HighMass");
    if (type) {
        s->nPusherFreq = read_int_text(file, section, "PusherFreq");
        read_text(file, section, "Time", s->szTime, sizeof s->szTime);
        read_text(file, section, "Date", s->szDate, sizeof s->szDate);
    }
    read_cal_temperature(file, section, &s->fReflectron[0]);
}

// ---- The full record

void write_record(const char* file, _TOFCALIBRATION* tof, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);
    char key[kSectionSize];

    write_int(file, section, "PSDCalibration", tof->bPSDCalibration);
    for (int i = 0; i < CAL_MAX_SEGMENTS; ++i) {
        numbered_key(key, sizeof key, "Polynomial", i + 1);
        write_polynomial(file, section, key, &tof->Segments[i]);
        numbered_key(key, sizeof key, "Covariance", i + 1);
        write_covariance(file, section, key, &tof->Segments[i]);
    }
    write_shared_keys(file, section, tof, CAL_MAX_SEGMENTS);
}

void read_record(const char* file, _TOFCALIBRATION* tof, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);
    char key[kSectionSize];

    tof->bPSDCalibration = read_int(file, section, "PSDCalibration");
    for (int i = 0; i < CAL_MAX_SEGMENTS; ++i) {
        numbered_key(key, sizeof key, "Polynomial", i + 1);
        read_polynomial(file, section, key, &tof->Segments[i]);
        numbered_key(key, sizeof key, "Covariance", i + 1);
        read_covariance(file, section, key, &tof->Segments[i]);
    }
    read_shared_keys(file, section, tof, type);
}

// A file without any section is in the older text format.
int read_old_format(const char* file, _TOFCALIBRATION* tof) {
    RawFileRef ref;
    if (!tof_path_to_ref(file, &ref)) return 0;  // a cut path would name another file
    return CalReadTofCalibration(&ref, tof);
}

// An old-format file is replaced, not merged into; a file whose version
// cannot be read is left alone and not written. The caller's batch holds
// the deletion until the new sections are written with it.
bool prepare_for_write(const char* file) {
    switch (cal_file_kind(file)) {
        case CalFileKind::Unreadable: return false;
        case CalFileKind::OldText: CFileAccess::DeleteFileS(file); return true;
        default: return true;
    }
}

int write_tof(const char* file, _TOFCALIBRATION* tof, const tagHASCALTYPE* type) {
    CProfileWriteBatch batch(file);
    if (!prepare_for_write(file)) return 0;
    stamp_version(file);
    write_record(file, tof, type);
    return batch.Commit();
}

// Which format a reader takes: the sections, the older text (1), or none (0).
int read_kind(const char* file) {
    switch (cal_file_kind(file)) {
        case CalFileKind::Sections: return 2;
        case CalFileKind::Unreadable: return 0;
        default: return 1;
    }
}

// Anything but nothing or exactly x.
bool is_calibration(const RawCalibCoEffs& c) {
    if (c.nOrder >= 2) return true;
    if (c.nOrder == 1) return c.dCoeffs[0] != 0.0 || c.dCoeffs[1] != 1.0;
    return false;
}

// ---- The blocks of a whole calibration

// Entry i of a type array belongs to block kBlockOfEntry[i].
constexpr int kBlockOfEntry[CAL_TOF_BLOCKS] = {0, 1, 3, 2, 4};

std::size_t block_offset(int block) { return offsetof(RawCalibInfo, Tof) + sizeof(TofBlock) * block; }

void write_block(const char* file, TofBlock* b, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);

    write_polynomial(file, section, "Polynomial001", &b->Calibration);
    write_covariance(file, section, "Covariance001", &b->Calibration);
    // A block keeps one segment, so only the first reflectron value.
    write_shared_keys(file, section, b, 1);
    if (type) {
        write_int(file, section, "PusherFreq", b->nPusherFreq);
        write_field(file, section, "Time", b->szTime, sizeof b->szTime);
        write_field(file, section, "Date", b->szDate, sizeof b->szDate);
    }
}

void read_block(const char* file, TofBlock* b, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);

    read_polynomial(file, section, "Polynomial001", &b->Calibration);
    read_covariance(file, section, "Covariance001", &b->Calibration);
    read_shared_keys(file, section, b, type);
}

// Every mode block gets a usable polynomial: nothing read means x.
void make_usable(RawCalibCoEffs* c) {
    if (c->nOrder >= 1) return;
    std::memset(c, 0, sizeof *c);
    c->nOrder = 1;
    c->dCoeffs[1] = 1.0;
}

}  // namespace

int CCalFile::WriteTofParameters(const char* file, _TOFCALIBRATION* tof) { return write_tof(file, tof, nullptr); }

int CCalFile::WriteModeDependantTofParameters(const char* file, _TOFCALIBRATION* tof, tagHASCALTYPE type) {
    return write_tof(file, tof, &type);
}

int CCalFile::ReadTofParameters(const char* file, _TOFCALIBRATION* tof) {
    const int kind = read_kind(file);
    if (kind < 2) return kind == 1 ? read_old_format(file, tof) : 0;
    read_record(file, tof, nullptr);
    return 1;
}

int CCalFile::ReadModeDependantTofParameters(const char* file, _TOFCALIBRATION* tof, tagHASCALTYPE type) {
    const int kind = read_kind(file);
    if (kind < 2) return kind == 1 ? read_old_format(file, tof) : 0;
    read_record(file, tof, &type);
    return is_calibration(tof->Segments[0]) ? 1 : 0;
}

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
