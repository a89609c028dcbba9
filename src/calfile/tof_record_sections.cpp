// Section TOF (or TOF<type>) for the full twelve-segment record.
#include "calfile/file_kind.hpp"
#include "calfile/profile_keys.hpp"
#include "calfile/tof_keys.hpp"
#include "calfile/tof_text_path.hpp"
#include "masscal/calfile.hpp"
#include "masscal/tofcal.h"
#include "suite/fileaccess/profile.hpp"

using namespace masscal::calfile;

namespace {

constexpr int kSectionSize = 64;

// SetVersion is for the class's own writers.
struct CCalFileStamp : CCalFile {
    static void Stamp(const char* file) { SetVersion(file); }
};

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
    char reflectron[kValueBufferSize];
    format_reflectron(reflectron, sizeof reflectron, tof->fReflectron, CAL_MAX_SEGMENTS);
    write_text(file, section, "Reflectron", reflectron);
    tof->nSegments = CAL_MAX_SEGMENTS;
    write_int(file, section, "NumSegments", tof->nSegments);
    write_int(file, section, "InstrumentMode", tof->nInstrumentMode);
    write_real(file, section, "SourceVoltage", kTofReal, tof->fSourceVoltage);
    write_real(file, section, "FocusVoltage", kTofReal, tof->fFocusVoltage);
    write_real(file, section, "ExtractionVoltage", kTofReal, tof->fExtractionVoltage);
    write_real(file, section, "SamplingRate", kTofReal, tof->fSamplingRate);
    write_int(file, section, "IonisationMode", tof->nIonisationMode);
    write_real(file, section, "PrecursorMass", kTofReal, tof->fPrecursorMass);
    write_real(file, section, "LowMass", kTofReal, tof->fLowMass);
    write_real(file, section, "HighMass", kTofReal, tof->fHighMass);
    write_real(file, section, "CalTemperature", kTofReal, tof->fReflectron[0]);
}

void read_record(const char* file, _TOFCALIBRATION* tof, const tagHASCALTYPE* type) {
    char section[kSectionSize];
    tof_section_name(section, sizeof section, type);
    char key[kSectionSize];

    tof->bPSDCalibration = read_int(file, section, "PSDCalibration");
    tof->nSegments = read_int(file, section, "NumSegments");
    read_reflectron(file, section, tof->fReflectron);
    for (int i = 0; i < CAL_MAX_SEGMENTS; ++i) {
        numbered_key(key, sizeof key, "Polynomial", i + 1);
        read_polynomial(file, section, key, &tof->Segments[i]);
        numbered_key(key, sizeof key, "Covariance", i + 1);
        read_covariance(file, section, key, &tof->Segments[i]);
    }
    tof->nInstrumentMode = read_int(file, section, "InstrumentMode");
    tof->fSourceVoltage = read_float(file, section, "SourceVoltage");
    tof->fFocusVoltage = read_float(file, section, "FocusVoltage");
    tof->fExtractionVoltage = read_float(file, section, "ExtractionVoltage");
    tof->fSamplingRate = read_float(file, section, "SamplingRate");
    tof->nIonisationMode = read_int(file, section, "IonisationMode");
    tof->fPrecursorMass = read_float(file, section, "PrecursorMass");
    tof->fLowMass = read_float(file, section, "LowMass");
    tof->fHighMass = read_float(file, section, "HighMass");
    if (type) {
        tof->nPusherFreq = read_int_text(file, section, "PusherFreq");
        read_text(file, section, "Time", tof->szTime, sizeof tof->szTime);
        read_text(file, section, "Date", tof->szDate, sizeof tof->szDate);
    }
    read_cal_temperature(file, section, &tof->fReflectron[0]);
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
    CCalFileStamp::Stamp(file);
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
