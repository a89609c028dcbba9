#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "cli_support.hpp"
#include "commands.hpp"
#include "masscal/params.h"
#include "masscal/polynomial.hpp"
#include "masscal/reference.h"
#include "masscal/tofcal.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

// A calibration file's TOF section, or an old-format text file.
bool read_tof(const std::string& path, _TOFCALIBRATION& tof) {
    std::memset(&tof, 0, sizeof tof);
    RawFileRef ref = ref_to(path, 1);
    if (GetVersionQB(&ref) > 0) return ReadTofCalibrationQB(&ref, &tof) != 0;
    return CalReadTofCalibration(&ref, &tof) != 0;
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
    if (!CalParamsGetIniFile(section.c_str(), &p)) return fail(kBadInput, "", "cannot open the settings");
    std::printf("PolyOrder=%d\nPeakWindow=%g\nInitialError=%g\nIntensityWeight=%d\nThreshold=%g\n"
                "AutoPeakMatch=%d\nAutoPolyOrder=%d\nCalibrateDisplay=%d\n",
                p.PolyOrder, p.PeakWindow, p.InitialError, p.IntensityWeight, p.Threshold, p.AutoPeakMatch,
                p.AutoPolyOrder, p.CalibrateDisplay);
    return kOk;
}

int run_params_set(const std::string& section, const std::vector<std::string>& assignments) {
    CalParams p{};
    if (!CalParamsGetIniFile(section.c_str(), &p)) return fail(kBadInput, "", "cannot open the settings");
    for (const auto& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos) return fail(kBadInput, "", "'" + a + "' is not KEY=VALUE");
        const std::string key = a.substr(0, eq), value = a.substr(eq + 1);
        double d = 0;
        try {
            size_t used = 0;
            d = std::stod(value, &used);
            if (used != value.size() || !std::isfinite(d)) throw std::invalid_argument(value);
        } catch (const std::exception&) {
            return fail(kBadInput, "", key + ": '" + value + "' is not a number");
        }
        const int i = static_cast<int>(d);
        auto whole = [&](int lo, int hi) { return d == i && i >= lo && i <= hi; };
        if (key == "PolyOrder" && whole(0, 5)) p.PolyOrder = i;
        else if (key == "PeakWindow" && d >= 0) p.PeakWindow = static_cast<float>(d);
        else if (key == "InitialError" && d >= 0) p.InitialError = static_cast<float>(d);
        else if (key == "Threshold" && d >= 0) p.Threshold = static_cast<float>(d);
        else if (key == "IntensityWeight" && whole(0, 1)) p.IntensityWeight = i;
        else if (key == "AutoPeakMatch" && whole(0, 1)) p.AutoPeakMatch = i;
        else if (key == "AutoPolyOrder" && whole(0, 1)) p.AutoPolyOrder = i;
        else if (key == "CalibrateDisplay" && whole(0, 1)) p.CalibrateDisplay = i;
        else return fail(kBadInput, "", "'" + a + "': unknown key or value out of range");
    }
    if (!CalParamsSetIniFile(section.c_str(), &p)) return fail(kBadInput, "", "cannot write the settings");
    return kOk;
}

int run_poly(const std::string& text, const std::vector<double>& args, bool evaluate, double low, double high) {
    CCalibPolynomial p(text.c_str());
    if (args.empty()) {
        std::printf("%s\n", static_cast<const char*>(p));
        return kOk;
    }
    for (double x : args) std::printf("%.10g %.10g\n", x, evaluate ? p.Calc(x) : p.Inverse(x, low, high, 1e-9));
    return kOk;
}

int run_tof_read(const std::string& path) {
    if (auto why = unreadable(path); !why.empty()) return fail(kBadInput, path, why);
    auto tof = std::make_unique<_TOFCALIBRATION>();
    if (!read_tof(path, *tof)) return fail(kBadInput, path, "no time-of-flight calibration could be read");
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
    if (auto why = unreadable(in); !why.empty()) return fail(kBadInput, in, why);
    std::error_code ec;
    if (fs::exists(out, ec) && fs::equivalent(in, out, ec)) return fail(kBadInput, out, "would overwrite its input");
    auto tof = std::make_unique<_TOFCALIBRATION>();
    if (!read_tof(in, *tof)) return fail(kBadInput, in, "no time-of-flight calibration could be read");
    RawFileRef ref = ref_to(out, 1);
    if (!CalWriteTofCalibration(&ref, tof.get())) return fail(kBadInput, out, "cannot be written");
    return kOk;
}

int run_tof_compare(const std::string& a, const std::string& b) {
    for (const auto& path : {a, b})
        if (auto why = unreadable(path); !why.empty()) return fail(kBadInput, path, why);
    auto first = std::make_unique<_TOFCALIBRATION>();
    auto second = std::make_unique<_TOFCALIBRATION>();
    if (!read_tof(a, *first)) return fail(kBadInput, a, "no time-of-flight calibration could be read");
    if (!read_tof(b, *second)) return fail(kBadInput, b, "no time-of-flight calibration could be read");
    int32_t result = 0;
    const char* text = CompareTofCalibrations(first.get(), second.get(), &result);
    std::printf("%s%s%s\n", result > 0 ? "suits" : result == 0 ? "suits after adjustment" : "does not suit",
                text && *text ? ": " : "", text ? text : "");
    return result < 0 ? kCalFailed : kOk;
}

}  // namespace cli
