#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "cli_support.hpp"
#include "commands.hpp"
#include "output_files.hpp"
#include "polynomial_check.hpp"
#include "settings_check.hpp"
#include "masscal/calfile.h"
#include "masscal/params.h"
#include "masscal/polynomial.hpp"
#include "masscal/reference.h"
#include "masscal/tofcal.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

// A calibration file's TOF section, or an old-format text file; empty when
// read, else why not.
std::string read_tof(const std::string& path, _TOFCALIBRATION& tof) {
    if (auto e = unreadable(path); !e.empty()) return e;
    char why[1024];
    if (!CalCheckTofCalibrationFile(path.c_str(), why, sizeof why)) return why;
    std::memset(&tof, 0, sizeof tof);
    RawFileRef ref = ref_to(path, 1);
    if (!ReadTofCalibrationQB(&ref, &tof)) return "no time-of-flight calibration could be read";
    return "";
}

}  // namespace

int run_ref_check(const std::string& path) {
    if (auto why = unreadable(path); !why.empty()) return fail(kBadInput, path, why);
    std::vector<float> mass(CAL_REF_CAPACITY), inten(CAL_REF_CAPACITY);
    int32_t n = 0;
    RawFileRef ref = ref_to(path, 1);
    messages().clear();
    if (!CalReadReferenceFile(nullptr, &ref, mass.data(), inten.data(), &n, 0.0f, 0.0f))
        return fail(kBadInput, path, messages().empty() ? "cannot be read" : messages().back());
    if (n == 0) return fail(kBadInput, path, "no reference peaks");
    std::printf("%s: %d peaks\n", path.c_str(), n);
    for (int i = 0; i < n; ++i) std::printf("%14.6f %10.2f\n", mass[i], inten[i]);
    return kOk;
}

int run_params_get(const std::string& section) {
    CalParams p{};
    if (!CalParamsGetIniFile(section.c_str(), &p)) return fail(kBadInput, settings_file(), "cannot be read");
    if (auto why = settings_problem(section); !why.empty()) return fail(kBadInput, "", why);
    std::printf("PolyOrder=%d\nPeakWindow=%g\nInitialError=%g\nIntensityWeight=%d\nThreshold=%g\n"
                "AutoPeakMatch=%d\nAutoPolyOrder=%d\nCalibrateDisplay=%d\n",
                p.PolyOrder, p.PeakWindow, p.InitialError, p.IntensityWeight, p.Threshold, p.AutoPeakMatch,
                p.AutoPolyOrder, p.CalibrateDisplay);
    return kOk;
}

int run_params_set(const std::string& section, const std::vector<std::string>& assignments) {
    CalParams p{};
    if (!CalParamsGetIniFile(section.c_str(), &p)) return fail(kBadInput, settings_file(), "cannot be read");
    std::vector<std::string> notices;
    for (const auto& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos) return fail(kBadInput, "", "'" + a + "' is not KEY=VALUE");
        const std::string key = a.substr(0, eq), value = a.substr(eq + 1);
        double d = 0;
        if (!parse_setting_number(value, d)) return fail(kBadInput, "", key + ": '" + value + "' is not a number");
        const int i = static_cast<int>(d);
        const bool flag = d == 0 || d == 1;
        if (const SettingLimits* l = setting_limits(key)) {
            if (!within(*l, d)) return fail(kBadInput, "", key + "=" + value + ": " + l->message);
            if (!l->whole) {
                // Stored with two decimals (more below 1): say so when that changes the value.
                char stored[64];
                CalParamsValueText(static_cast<float>(d), stored, sizeof stored);
                if (static_cast<float>(std::strtod(stored, nullptr)) != static_cast<float>(d))
                    notices.push_back(key + ": " + value + " is stored as " + stored);
            }
        } else if (!flag) {
            return fail(kBadInput, "", "'" + a + "': unknown key or value out of range");
        }
        if (key == "PolyOrder") p.PolyOrder = i;
        else if (key == "PeakWindow") p.PeakWindow = static_cast<float>(d);
        else if (key == "InitialError") p.InitialError = static_cast<float>(d);
        else if (key == "Threshold") p.Threshold = static_cast<float>(d);
        else if (key == "IntensityWeight") p.IntensityWeight = i;
        else if (key == "AutoPeakMatch") p.AutoPeakMatch = i;
        else if (key == "AutoPolyOrder") p.AutoPolyOrder = i;
        else if (key == "CalibrateDisplay") p.CalibrateDisplay = i;
        else return fail(kBadInput, "", "'" + a + "': unknown key or value out of range");
    }
    if (!CalParamsSetIniFile(section.c_str(), &p)) {
        const std::string e = CalGetWriteError();
        return fail(kBadInput, e.empty() ? settings_file() : "", e.empty() ? "cannot be written" : e);
    }
    for (const auto& n : notices) std::fprintf(stderr, "masscal: %s\n", n.c_str());
    return kOk;
}

int run_poly(const std::string& text, const std::vector<double>& args, bool evaluate, double low, double high) {
    // The library reads what it can of any text; the program takes only a
    // whole polynomial.
    if (!is_polynomial_text(text)) return fail(kBadInput, "", "'" + text + "' is not a calibration polynomial");
    CCalibPolynomial p(text.c_str());
    if (args.empty()) {
        std::printf("%s\n", static_cast<const char*>(p));
        return kOk;
    }
    for (double x : args) std::printf("%.10g %.10g\n", x, evaluate ? p.Calc(x) : p.Inverse(x, low, high, 1e-9));
    return kOk;
}

int run_tof_read(const std::string& path) {
    auto tof = std::make_unique<_TOFCALIBRATION>();
    if (auto why = read_tof(path, *tof); !why.empty()) return fail(kBadInput, path, why);
    std::printf("segments %d, instrument mode %d, ionisation mode %d, PSD %d\n", tof->nSegments,
                tof->nInstrumentMode, tof->nIonisationMode, tof->bPSDCalibration);
    std::printf("source %g V, focus %g V, extraction %g V, sampling rate %g\n", tof->fSourceVoltage,
                tof->fFocusVoltage, tof->fExtractionVoltage, tof->fSamplingRate);
    const int n = tof->nSegments > 0 && tof->nSegments <= 12 ? tof->nSegments : 1;
    for (int i = 0; i < n; ++i) {
        RawCalibCoEffs c;
        std::memcpy(&c, &tof->Segments[i], sizeof c);
        if (c.nOrder > 0 || i == 0) std::printf("segment %d: %s\n", i + 1, poly_text(c).c_str());
    }
    return kOk;
}

int run_tof_write(const std::string& in, const std::string& out) {
    if (auto why = path_too_long(out); !why.empty()) return fail(kBadInput, out, why);
    if (auto why = output_clash({in}, {out}); !why.empty()) return fail(kBadInput, "", why);
    auto tof = std::make_unique<_TOFCALIBRATION>();
    if (auto why = read_tof(in, *tof); !why.empty()) return fail(kBadInput, in, why);
    std::error_code ec;
    if (fs::is_directory(out, ec)) return fail(kBadInput, out, "is a directory");
    RawFileRef ref = ref_to(out, 1);
    // The library writes a temporary file beside OUT and renames it.
    if (!CalWriteTofCalibration(&ref, tof.get())) return fail(kBadInput, out, "cannot be written");
    return kOk;
}

int run_tof_compare(const std::string& a, const std::string& b) {
    auto first = std::make_unique<_TOFCALIBRATION>();
    auto second = std::make_unique<_TOFCALIBRATION>();
    if (auto why = read_tof(a, *first); !why.empty()) return fail(kBadInput, a, why);
    if (auto why = read_tof(b, *second); !why.empty()) return fail(kBadInput, b, why);
    int32_t result = 0;
    const char* text = CompareTofCalibrations(first.get(), second.get(), &result);
    std::printf("%s%s%s\n", result > 0 ? "suits" : result == 0 ? "suits after adjustment" : "does not suit",
                text && *text ? ": " : "", text ? text : "");
    return result < 0 ? kCalFailed : kOk;
}

}  // namespace cli
