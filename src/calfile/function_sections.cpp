// Per-function calibrations (sections FUNCTIONS and FUNCTIONS001..032) and
// the writers of a whole calibration.
#include <cstddef>

#include "suite/utility/packed_fields.hpp"
#include "calfile/profile_keys.hpp"
#include "masscal/calfile.hpp"
#include "suite/fileaccess/profile.hpp"

using masscal::suite::load_field;
using masscal::suite::store_field;

using namespace masscal::calfile;

namespace {

constexpr int kKeySize = 64;
const char kFunctions[] = "FUNCTIONS";

std::size_t function_offset(int i) { return offsetof(RawCalibInfo, Functions) + sizeof(tagRAWCALIBFUNC) * i; }

int segments_in_room(int n) { return n < CAL_MAX_SEGMENTS ? n : CAL_MAX_SEGMENTS; }

}  // namespace

void CCalFile::WriteCalibrationFunction(const char* file, tagRAWCALIBFUNC* func, const char* section) {
    CProfileWriteBatch batch(file);
    char key[kKeySize];
    write_int(file, section, "NumberOfSegments", func->nSegments);
    for (int j = 0; j < segments_in_room(func->nSegments); ++j) {
        numbered_key(key, sizeof key, "Polynomial", j + 1);
        write_polynomial(file, section, key, &func->Segments[j]);
        numbered_key(key, sizeof key, "Covariance", j + 1);
        write_covariance(file, section, key, &func->Segments[j]);
    }
    write_int(file, section, "IsModified", func->bIsModified);
    if (func->bIsModified) write_polynomial(file, section, "ModifiedPolynomial", &func->ModifiedPolynomial);
}

void CCalFile::ReadCalibrationFunction(const char* file, tagRAWCALIBFUNC* func, const char* section) {
    char key[kKeySize];
    func->nSegments = read_int(file, section, "NumberOfSegments");
    for (int j = 0; j < segments_in_room(func->nSegments); ++j) {
        numbered_key(key, sizeof key, "Polynomial", j + 1);
        read_polynomial(file, section, key, &func->Segments[j]);
        numbered_key(key, sizeof key, "Covariance", j + 1);
        read_covariance(file, section, key, &func->Segments[j]);
    }
    func->bIsModified = read_int(file, section, "IsModified");
    if (func->bIsModified) read_polynomial(file, section, "ModifiedPolynomial", &func->ModifiedPolynomial);
}

void CCalFile::WriteCalibrationFunctions(const char* file, RawCalibInfo* info) {
    CProfileWriteBatch batch(file);
    const int n = info->nFunctions;
    write_int(file, kFunctions, "NumberOfFunctions", n);
    char section[kKeySize];
    for (int i = 0; i < n && i < CAL_MAX_FUNCTIONS; ++i) {
        numbered_key(section, sizeof section, kFunctions, i + 1);
        // The record's 2-byte packing leaves its functions unaligned.
        auto func = load_field<tagRAWCALIBFUNC>(info, function_offset(i));
        WriteCalibrationFunction(file, &func, section);
    }
}

void CCalFile::ReadCalibrationFunctions(const char* file, RawCalibInfo* info) {
    const int n = read_int(file, kFunctions, "NumberOfFunctions");
    info->nFunctions = n;
    char section[kKeySize];
    for (int i = 0; i < n && i < CAL_MAX_FUNCTIONS; ++i) {
        numbered_key(section, sizeof section, kFunctions, i + 1);
        auto func = load_field<tagRAWCALIBFUNC>(info, function_offset(i));
        ReadCalibrationFunction(file, &func, section);
        store_field(info, function_offset(i), func);
    }
}

int CCalFile::WriteCalibration(const char* file, RawCalibInfo* info) {
    CProfileWriteBatch batch(file);
    SetVersion(file);
    WriteQuad1Parameters(file, info);
    WriteQuad2Parameters(file, info);
    WriteTofParameters(file, info);
    WriteTimeStamps(file, info);
    WriteReservoir(file, info);
    WriteCalibrationFunctions(file, info);
    return batch.Commit();
}

int CCalFile::WriteModeDependantCalibration(const char* file, RawCalibInfo* info, tagHASCALTYPE* types) {
    CProfileWriteBatch batch(file);
    SetVersion(file);
    WriteQuad1Parameters(file, info);
    WriteQuad2Parameters(file, info);
    WriteModeDependantTofParameters(file, info, types);
    WriteTimeStamps(file, info);
    WriteReservoir(file, info);
    WriteCalibrationFunctions(file, info);
    return batch.Commit();
}
