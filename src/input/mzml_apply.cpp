// A calibrated copy of an mzML file: every spectrum's m/z values put
// through a stored mass function, the same evaluation the check calibration
// uses on peak masses.
#include <algorithm>
#include <cerrno>
#include <vector>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <string>
#include <sys/stat.h>

#include "core/calib_eval.hpp"
#include "masscal/input.h"
#include "mzml/gzip_text.hpp"
#include "mzml/mzml_rewrite.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/fileaccess/file_identity.hpp"

namespace dm = masscal::dm;
namespace sfs = masscal::suite::fs;

namespace {

int32_t refuse(std::string why) {
    dm::dm_set_error(std::move(why));
    return -1;
}

// strerror's text for a saved error number.
std::string reason(int err) { return err ? std::strerror(err) : "it cannot be written"; }

int32_t apply(const RawCalibCoEffs* massFunc, const char* in, const char* out, const dm::SpectrumFilter& wanted) {
    if (!massFunc) return refuse("no mass function to apply");
    if (!in || !*in || !out || !*out) return refuse("an input and an output file are needed");
    const std::string inPath = in, outPath = out;

    std::error_code ec;
    if (std::filesystem::exists(outPath, ec) && std::filesystem::equivalent(inPath, outPath, ec))
        return refuse(outPath + ": would overwrite its input");
    if (inPath == outPath) return refuse(outPath + ": would overwrite its input");
    struct stat st;
    if (::stat(outPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return refuse("cannot write " + outPath + ": " + std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL));

    std::string text;
    sfs::FileIdentity id;
    errno = 0;
    if (!sfs::read_file(inPath, std::numeric_limits<std::size_t>::max(), &text, &id))
        return refuse(inPath + ": cannot be read: " + reason(errno));
    if (!id.exists) return refuse(inPath + ": cannot be read: " + std::strerror(ENOENT));

    std::string why;
    if (dm::is_gzip(text)) {
        std::string plain;
        if (!dm::gunzip_text(text, plain, why)) return refuse(inPath + ": " + why);
        text.swap(plain);
    }
    RawCalibCoEffs f;
    std::memcpy(&f, massFunc, sizeof f);
    std::string copy;
    std::size_t rewritten = 0;
    if (!dm::rewrite_mzml(text, [&f](double x) { return masscal::core::eval_coeffs(&f, x); }, copy, rewritten, why, wanted))
        return refuse(inPath + ": " + why);
    if (rewritten > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return refuse(inPath + ": too many spectra");
    text.clear();
    text.shrink_to_fit();
    // A name ending in .gz asks for a compressed copy.
    if (outPath.size() > 3 && outPath.compare(outPath.size() - 3, 3, ".gz") == 0) {
        std::string packed;
        if (!dm::gzip_text(copy, packed, why)) return refuse("cannot write " + outPath + ": " + why);
        copy.swap(packed);
    }

    errno = 0;
    if (!sfs::replace_file(outPath, copy, nullptr)) return refuse("cannot write " + outPath + ": " + reason(errno));
    dm::dm_clear_error();
    return static_cast<int32_t>(rewritten);
}

}  // namespace

int32_t CalApplyToMzml(const RawCalibCoEffs* pMassFunc, const char* pszIn, const char* pszOut) {
    try {
        return apply(pMassFunc, pszIn, pszOut, {});
    } catch (const std::bad_alloc&) {
        return refuse("out of memory");
    }
}

int32_t CalApplyToMzmlSpectra(const RawCalibCoEffs* pMassFunc, const char* pszIn, const char* pszOut,
                              const int64_t* pIndices, int32_t nCount) {
    if (nCount < 0 || (nCount > 0 && !pIndices)) return refuse("no list of spectra to calibrate");
    try {
        std::vector<int64_t> wanted(pIndices, pIndices + nCount);
        std::sort(wanted.begin(), wanted.end());
        return apply(pMassFunc, pszIn, pszOut, [&wanted](std::size_t at) {
            return std::binary_search(wanted.begin(), wanted.end(), static_cast<int64_t>(at));
        });
    } catch (const std::bad_alloc&) {
        return refuse("out of memory");
    }
}
