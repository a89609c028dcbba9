#include "cli_support.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "masscal/calfile.hpp"
#include "masscal/polynomial.hpp"
#include "masscal/tofcal.h"
#include "masscal/ui.h"
#include "output_files.hpp"

namespace fs = std::filesystem;

namespace cli {
namespace {

int32_t collect(void*, CalWnd, const char* text, const char* caption, uint32_t type) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (caption && *caption) line = std::string(caption) + ": " + line;
    messages().push_back(line);
    switch (type & CAL_MB_TYPEMASK) {
    case CAL_MB_YESNO:
    case CAL_MB_YESNOCANCEL: return CAL_IDNO;
    case CAL_MB_OKCANCEL:
    case CAL_MB_RETRYCANCEL: return CAL_IDCANCEL;
    default: return CAL_IDOK;
    }
}

}  // namespace

void collect_library_messages() { CalSetMessageBoxHandler(collect, nullptr); }

std::vector<std::string>& messages() {
    thread_local std::vector<std::string> m;
    return m;
}

std::string failure_text(const std::string& file, const std::string& what) {
    return file + (file.empty() ? "" : ": ") + what;
}

int fail(int code, const std::string& file, const std::string& what) {
    std::fprintf(stderr, "masscal: %s\n", failure_text(file, what).c_str());
    return code;
}

RawFileRef ref_to(const std::string& path, int function) {
    RawFileRef r{};
    r.wKind = 19;
    const fs::path abs = fs::absolute(path);
    const std::string dir = abs.parent_path().string() + "/";
    std::string ext = abs.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::snprintf(r.szDirectory, sizeof r.szDirectory, "%s", dir.c_str());
    std::snprintf(r.szName, sizeof r.szName, "%s", abs.stem().string().c_str());
    std::snprintf(r.szExtension, sizeof r.szExtension, "%s", ext.c_str());
    r.nFunction = function;
    r.wFunction = static_cast<uint16_t>(function);
    return r;
}

std::string unreadable(const std::string& path) {
    // A cut path would name another file.
    if (auto why = path_too_long(path); !why.empty()) return why;
    std::error_code ec;
    if (!fs::exists(path, ec)) return "no such file";
    if (fs::is_directory(path, ec)) return "is a directory";
    std::ifstream f(path);
    if (!f) return std::strerror(errno);
    return "";
}

std::vector<double> coeffs(const RawCalibCoEffs& c) {
    std::vector<double> v(6);
    std::memcpy(v.data(), reinterpret_cast<const char*>(&c) + offsetof(RawCalibCoEffs, dCoeffs), sizeof(double) * 6);
    v.resize(c.nOrder + 1 > 6 ? 6 : c.nOrder + 1);
    return v;
}

std::string poly_text(const RawCalibCoEffs& c) {
    CCalibPolynomial p(&c);
    return static_cast<const char*>(p);
}

bool stored_calibration(const std::string& path, int function, RawCalibCoEffs& out, std::string& why) {
    if (auto w = unreadable(path); !w.empty()) {
        why = w;
        return false;
    }
    RawFileRef ref = ref_to(path, function);
    auto tof = std::make_unique<_TOFCALIBRATION>();
    std::memset(tof.get(), 0, sizeof *tof);
    if (ReadTofCalibrationQB(&ref, tof.get()) && tof->Segments[0].nOrder > 0) {
        std::memcpy(&out, &tof->Segments[0], sizeof out);
        return true;
    }
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    CCalFile::ReadCalibrationFunctions(path.c_str(), info.get());
    if (function >= 1 && function <= CAL_MAX_FUNCTIONS) {
        const char* f = reinterpret_cast<const char*>(info.get()) + offsetof(RawCalibInfo, Functions) +
                        sizeof(tagRAWCALIBFUNC) * (function - 1);
        int32_t segments;
        std::memcpy(&segments, f + offsetof(tagRAWCALIBFUNC, nSegments), sizeof segments);
        std::memcpy(&out, f + offsetof(tagRAWCALIBFUNC, Segments), sizeof out);
        if (segments > 0 && out.nOrder > 0) return true;
    }
    why = "no calibration for function " + std::to_string(function);
    return false;
}

std::string lower_extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace cli
