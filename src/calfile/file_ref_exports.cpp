// The calibration file functions with the file given as a file reference.
#include <cerrno>
#include <cstdio>

#include "masscal/calfile.hpp"
#include "masscal/tofcal.h"
#include "suite/fileaccess/profile.hpp"
#include "suite/utility/file_ref_path.hpp"
#include "suite/utility/global_files.hpp"

namespace {

constexpr int kPathSize = 260;

// A reference whose path does not fit the 260-character field gives no path
// (errno ENAMETOOLONG), never a cut one that would name another file.
class RefPath {
public:
    explicit RefPath(const RawFileRef* ref) {
        path_[0] = '\0';
        if (ref && !ConvertQBFileToPath(path_, kPathSize, ref)) {
            path_[0] = '\0';
            errno = ENAMETOOLONG;
        }
        path_[kPathSize - 1] = '\0';
    }
    operator const char*() const { return path_; }
    bool empty() const { return path_[0] == '\0'; }

private:
    char path_[kPathSize];
};

// The batch around a void writer tells whether it reached the file.
template <class F>
int32_t written(const RefPath& path, F&& write) {
    if (path.empty()) return 0;
    CProfileWriteBatch batch(path);
    write(static_cast<const char*>(path));
    return batch.Commit();
}

}  // namespace

extern "C" MASSCAL_API int32_t GetVersionQB(const RawFileRef* ref) {
    const RefPath path(ref);
    return path.empty() ? 0 : CCalFile::GetVersion(path);
}

extern "C" MASSCAL_API int32_t WriteCalibrationQB(const RawFileRef* ref, RawCalibInfo* info) {
    const RefPath path(ref);
    return path.empty() ? 0 : CCalFile::WriteCalibration(path, info);
}

extern "C" MASSCAL_API int32_t ReadCalibrationFunctionsQB(const RawFileRef* ref, RawCalibInfo* info) {
    const RefPath path(ref);
    if (path.empty()) return 0;
    CCalFile::ReadCalibrationFunctions(path, info);
    return 1;
}

extern "C" MASSCAL_API int32_t WriteCalibrationFunctionsQB(const RawFileRef* ref, RawCalibInfo* info) {
    return written(RefPath(ref), [&](const char* p) { CCalFile::WriteCalibrationFunctions(p, info); });
}

extern "C" MASSCAL_API int32_t ReadTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof) {
    const RefPath path(ref);
    return path.empty() ? 0 : CCalFile::ReadTofParameters(path, tof);
}

extern "C" MASSCAL_API int32_t ReadModeDependantTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof,
                                                                  tagHASCALTYPE type) {
    const RefPath path(ref);
    return path.empty() ? 0 : CCalFile::ReadModeDependantTofParameters(path, tof, type);
}

extern "C" MASSCAL_API int32_t WriteTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof) {
    const RefPath path(ref);
    return path.empty() ? 0 : CCalFile::WriteTofParameters(path, tof);
}

extern "C" MASSCAL_API int32_t WriteModeDependantTofCalibrationQB(const RawFileRef* ref, _TOFCALIBRATION* tof,
                                                                   tagHASCALTYPE* pType) {
    const RefPath path(ref);
    if (!pType || path.empty()) return 0;
    return CCalFile::WriteModeDependantTofParameters(path, tof, *pType);
}

// The default time-of-flight calibration file of a system.
extern "C" MASSCAL_API int32_t GetTofCalFile(const char* pszKey, RawFileRef* ref) {
    std::snprintf(ref->szExtension, sizeof ref->szExtension, "CAL");
    std::snprintf(ref->szDirectory, sizeof ref->szDirectory, "c:\\korvelix\\cal");
    GetGlobalFile("SystemList", pszKey, ref, ref);
    if (ref->szExtension[0] == '\0') std::snprintf(ref->szExtension, sizeof ref->szExtension, "CAL");
    if (ref->szName[0] == '\0') std::snprintf(ref->szName, sizeof ref->szName, "DEFAULT");
    return 1;
}
