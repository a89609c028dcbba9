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
#include "input/spectrum_input.hpp"
#include "masscal/input.h"
#include "mzml/mzml_rewrite.hpp"
#include "suite/datamanager/datamanager.hpp"

namespace dm = masscal::dm;

namespace {

int32_t refuse(std::string why) {
    dm::dm_set_error(std::move(why));
    return -1;
}

int32_t apply(const RawCalibCoEffs* massFunc, const char* in, const char* out, const dm::SpectrumFilter& wanted) {
    if (!massFunc) return refuse("no mass function to apply");
    if (!in || !*in || !out || !*out) return refuse("an input and an output file are needed");
    const std::string inPath = in, outPath = out;

    if (auto why = masscal::input::copy_target_problem(inPath, outPath); !why.empty()) return refuse(why);

    RawCalibCoEffs f;
    std::memcpy(&f, massFunc, sizeof f);
    const dm::ArrayMapping map = [&f](std::size_t, std::vector<double>& mz) {
        for (double& v : mz) v = masscal::core::eval_coeffs(&f, v);
    };
    std::string why;
    std::size_t rewritten = 0;
    if (!dm::rewrite_mzml_file(inPath, outPath, map, rewritten, why, wanted)) return refuse(why);
    if (rewritten > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return refuse(inPath + ": too many spectra");
    dm::dm_clear_error();
    return static_cast<int32_t>(rewritten);
}

}  // namespace

std::string masscal::input::copy_target_problem(const std::string& in, const std::string& out) {
    std::error_code ec;
    if (in == out || (std::filesystem::exists(out, ec) && std::filesystem::equivalent(in, out, ec)))
        return out + ": would overwrite its input";
    struct stat st;
    if (::stat(out.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return "cannot write " + out + ": " + std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return {};
}

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
