// The calibration file functions with the file given as a file reference.
#include "masscal/calfile.hpp"
#include "masscal/tofcal.h"
#include "suite/utility/file_ref_path.hpp"

namespace {

constexpr int kPathSize = 260;

// The conversion's result is not checked: a reference that gives no path
// leaves the empty path, which names no file.
class RefPath {
public:
    explicit RefPath(const RawFileRef* ref) {
        path_[0] = '\0';
        if (ref) ConvertQBFileToPath(path_, kPathSize, ref);
        path_[kPathSize - 1] = '\0';
    }
    operator const char*() const { return path_; }

private:
    char path_[kPathSize];
};

}  // namespace

extern "C" MASSCAL_API int32_t GetVersionQB(const RawFileRef* ref) { return CCalFile::GetVersion(RefPath(ref)); }

extern "C" MASSCAL_API int32_t WriteCalibrationQB(const RawFileRef* ref, RawCalibInfo* info) {
    CCalFile::WriteCalibration(RefPath(ref), info);
    return 1;
}

extern "C" MASSCAL_API int32_t ReadCalibrationFunctionsQB(const RawFileRef* ref, RawCalibInfo* info) {
    CCalFile::ReadCalibrationFunctions(RefPath(ref), info);
    return 1;
}

extern "C" MASSCAL_API int32_t WriteCalibrationFunctionsQB(const RawFileRef* ref, RawCalibInfo* info) {
    CCalFile::WriteCalibrationFunctions(RefPath(ref), info);
    return 1;
}

extern "C" MASSCAL_API int32_t ReadTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof) {
    return CCalFile::ReadTofParameters(RefPath(ref), tof);
}

extern "C" MASSCAL_API int32_t ReadModeDependantTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof,
                                                                  tagHASCALTYPE type) {
    return CCalFile::ReadModeDependantTofParameters(RefPath(ref), tof, type);
}

extern "C" MASSCAL_API int32_t WriteTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof) {
    return CCalFile::WriteTofParameters(RefPath(ref), tof);
}

extern "C" MASSCAL_API int32_t WriteModeDependantTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof,
                                                                   tagHASCALTYPE* pType) {
    if (!pType) return 0;
    return CCalFile::WriteModeDependantTofParameters(RefPath(ref), tof, *pType);
}
