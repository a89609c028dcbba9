// Section TOF (or TOF<type>) for the full twelve-segment record.
#include "calfile/profile_keys.hpp"
#include "calfile/tof_keys.hpp"
#include "calfile/tof_text_path.hpp"
#include "masscal/calfile.hpp"
#include "masscal/tofcal.h"
#include "suite/fileaccess/profile.hpp"

using namespace masscal::calfile;

namespace {

constexpr int kSectionSize = 64;

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

// A file without a version stamp is in the older text format.
int read_old_format(const char* file, _TOFCALIBRATION* tof) {
    RawFileRef ref;
    tof_path_to_ref(file, &ref);
    return CalReadTofCalibration(&ref, tof);
}

void prepare_for_write(const char* file) {
    // An old-format file is replaced, not merged into.
    if (CCalFile::GetVersion(file) < 1) CFileAccess::DeleteFileS(file);
}

// Anything but nothing or exactly x.
bool is_calibration(const RawCalibCoEffs& c) {
    if (c.nOrder >= 2) return true;
    if (c.nOrder == 1) return c.dCoeffs[0] != 0.0 || c.dCoeffs[1] != 1.0;
    return false;
}

}  // namespace

int CCalFile::WriteTofParameters(const char* file, _TOFCALIBRATION* tof) {
    CProfileWriteBatch batch(file);
    prepare_for_write(file);
    SetVersion(file);
    write_record(file, tof, nullptr);
    return 1;
}

int CCalFile::WriteModeDependantTofParameters(const char* file, _TOFCALIBRATION* tof, tagHASCALTYPE type) {
    CProfileWriteBatch batch(file);
    prepare_for_write(file);
    SetVersion(file);
    write_record(file, tof, &type);
    return 1;
}

int CCalFile::ReadTofParameters(const char* file, _TOFCALIBRATION* tof) {
    if (GetVersion(file) <= 0) return read_old_format(file, tof);
    read_record(file, tof, nullptr);
    return 1;
}

int CCalFile::ReadModeDependantTofParameters(const char* file, _TOFCALIBRATION* tof, tagHASCALTYPE type) {
    if (GetVersion(file) <= 0) return read_old_format(file, tof);
    read_record(file, tof, &type);
    return is_calibration(tof->Segments[0]) ? 1 : 0;
}
