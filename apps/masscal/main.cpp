// masscal: calibrate a spectrum against a reference file from the command line.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "masscal/calfile.hpp"
#include "masscal/calib.h"
#include "masscal/calibrate.h"
#include "masscal/fit.h"
#include "masscal/input.h"
#include "masscal/params.h"
#include "masscal/polynomial.hpp"
#include "masscal/reference.h"
#include "masscal/render.h"
#include "masscal/tofcal.h"
#include "masscal/ui.h"

namespace fs = std::filesystem;

namespace {

enum Exit { kOk = 0, kCalFailed = 1, kBadInput = 2 };

// The library's message boxes, kept for one line on stderr instead of a dialog.
std::vector<std::string> g_messages;

int32_t collect(void*, CalWnd, const char* text, const char* caption, uint32_t type) {
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (caption && *caption) line = std::string(caption) + ": " + line;
    g_messages.push_back(line);
    switch (type & CAL_MB_TYPEMASK) {
    case CAL_MB_YESNO:
    case CAL_MB_YESNOCANCEL: return CAL_IDNO;
    case CAL_MB_OKCANCEL:
    case CAL_MB_RETRYCANCEL: return CAL_IDCANCEL;
    default: return CAL_IDOK;
    }
}

int fail(int code, const std::string& file, const std::string& what) {
    std::fprintf(stderr, "masscal: %s%s%s\n", file.c_str(), file.empty() ? "" : ": ", what.c_str());
    return code;
}

RawFileRef ref_to(const fs::path& path, int function) {
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

// Empty when the file can be read, else why not.
std::string unreadable(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return "no such file";
    if (fs::is_directory(path, ec)) return "is a directory";
    std::ifstream f(path);
    if (!f) return std::strerror(errno);
    return "";
}

// Copies of packed doubles (4-aligned in the record).
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

struct Match {
    double reference, measured, errorMda, errorPpm, residual;
};

std::vector<Match> matches(const CalRecord& rec) {
    // In verify mode the errors are those left by the stored calibration.
    const bool check = rec.bCheckOnly != 0;
    std::vector<Match> out;
    const int n = rec.MatchPeaks.nCount;
    if (n <= 0 || !rec.MatchPeaks.Mass.pData || !rec.Errors.pData) return out;
    const float* mass = static_cast<const float*>(rec.MatchPeaks.Mass.pData);
    const float* err = static_cast<const float*>(rec.Errors.pData);
    const float* res = rec.Residuals.pData ? static_cast<const float*>(rec.Residuals.pData) : nullptr;
    for (int i = 0; i < n; ++i) {
        Match m{};
        m.measured = mass[i];
        m.reference = static_cast<double>(mass[i]) - err[i];
        m.errorMda = err[i] * 1000.0;
        m.errorPpm = m.reference != 0 ? err[i] / m.reference * 1e6 : 0.0;
        m.residual = check ? err[i] : (res ? res[i] : 0.0);
        out.push_back(m);
    }
    return out;
}

struct CalOptions {
    std::string data, ref, out, report, png;
    int order = -1, function = 1, firstScan = 1, lastScan = 0;
    double window = -1, initialError = -1, threshold = -1, deisotope = -1;
    bool intensityWeight = false, noIntensityWeight = false, restrain = false, noRestrain = false;
    bool noAutoMatch = false, rootMass = false, json = false;
    // verify: the stored calibration applied instead of a fit
    bool verify = false;
    std::string calFile, polyText;
};

// The mass function stored for a function of a calibration file: its TOF
// section when it has one, else the function's first segment.
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

// Writes the record's calibration into a calibration file, keeping its other sections.
bool write_calibration(const CalRecord& rec, const std::string& path, int function, std::string& why) {
    RawFileRef ref = ref_to(path, function);
    if (rec.bTofFunction) {
        _TOFCALIBRATION tof;
        std::memcpy(&tof, &rec.TofCalib, sizeof tof);
        if (!WriteTofCalibrationQB(&ref, &tof)) {
            why = "cannot write the time-of-flight calibration";
            return false;
        }
        return true;
    }
    if (function < 1 || function > CAL_MAX_FUNCTIONS) {
        why = "function out of range";
        return false;
    }
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    std::error_code ec;
    if (fs::exists(path, ec)) CCalFile::ReadCalibrationFunctions(path.c_str(), info.get());
    // The functions sit at a 2-byte offset in the file record: copied, never bound.
    char* base = reinterpret_cast<char*>(info.get());
    char* f = base + offsetof(RawCalibInfo, Functions) + sizeof(tagRAWCALIBFUNC) * (function - 1);
    const int32_t one = 1;
    std::memcpy(f + offsetof(tagRAWCALIBFUNC, nSegments), &one, sizeof one);
    std::memcpy(f + offsetof(tagRAWCALIBFUNC, Segments), &rec.MassFunc, sizeof(RawCalibCoEffs));
    int32_t count;
    std::memcpy(&count, base + offsetof(RawCalibInfo, nFunctions), sizeof count);
    if (count < function) std::memcpy(base + offsetof(RawCalibInfo, nFunctions), &function, sizeof function);
    CCalFile::WriteCalibrationFunctions(path.c_str(), info.get());
    if (!fs::exists(path, ec)) {
        why = "cannot write the calibration file";
        return false;
    }
    return true;
}

int run_calibrate(const CalOptions& o) {
    if (auto why = unreadable(o.data); !why.empty()) return fail(kBadInput, o.data, why);
    if (auto why = unreadable(o.ref); !why.empty()) return fail(kBadInput, o.ref, why);

    auto rec = std::make_unique<CalRecord>();
    std::memset(rec.get(), 0, sizeof(CalRecord));
    CalParams p{};
    p.bSinglePoint = 0;
    CalParamsGetIniFile("Calibration", &p);
    if (o.order >= 0) {
        p.PolyOrder = o.order;
        p.AutoPolyOrder = 0;
    }
    if (o.window >= 0) p.PeakWindow = static_cast<float>(o.window);
    if (o.initialError >= 0) p.InitialError = static_cast<float>(o.initialError);
    if (o.threshold >= 0) p.Threshold = static_cast<float>(o.threshold);
    if (o.intensityWeight) p.IntensityWeight = 1;
    if (o.noIntensityWeight) p.IntensityWeight = 0;
    if (o.restrain) p.AutoPolyOrder = 1;
    if (o.noRestrain) p.AutoPolyOrder = 0;
    if (o.noAutoMatch) p.AutoPeakMatch = 0;
    rec->Params = p;
    rec->DataFile = ref_to(o.data, o.function);
    rec->RefFile = ref_to(o.ref, 1);
    // The reference's name text shares its bytes with the function fields.
    CalSetRefName(rec.get(), fs::path(o.ref).stem().string().c_str());
    rec->nFirstScan = o.firstScan;
    rec->nLastScan = o.lastScan > 0 ? o.lastScan : o.firstScan;

    RawCalibCoEffs check{};
    if (o.verify) {
        std::string why;
        if (!o.polyText.empty()) {
            CCalibPolynomial poly(o.polyText.c_str());
            if (!poly) return fail(kBadInput, "", "'" + o.polyText + "' is not a calibration polynomial");
            std::memcpy(&check, static_cast<RawCalibCoEffs*>(poly), sizeof check);
        } else if (!stored_calibration(o.calFile, o.function, check, why)) {
            return fail(kBadInput, o.calFile, why);
        }
        rec->bCheckOnly = 1;
        rec->pCheckCalib = &check;
    }
    if (o.rootMass) CalUseRootMassCali(1);
    g_messages.clear();
    const int32_t ok =
        o.deisotope >= 0 ? CalibrateDeisotope(nullptr, rec.get(), static_cast<float>(o.deisotope))
                         : Calibrate(nullptr, rec.get());
    struct Free {
        CalRecord* r;
        ~Free() { CalAllocArrays(r, 1); }
    } release{rec.get()};

    if (!ok) {
        const char* data_error = CalGetDataError();
        if (data_error && *data_error) {
            // Some data errors name the file themselves, some only the scan or function.
            const bool named = std::strstr(data_error, fs::path(o.data).filename().c_str()) != nullptr;
            return fail(kBadInput, named ? "" : o.data, data_error);
        }
        return fail(kBadInput, o.data, g_messages.empty() ? "cannot be read" : g_messages.back());
    }
    const auto found = matches(*rec);
    const auto ec = coeffs(rec->ErrorFunc);
    bool zero = true;
    for (double c : ec) zero = zero && c == 0.0;
    const bool failed = o.verify ? found.empty()
                                 : static_cast<int>(found.size()) < rec->Params.PolyOrder + 1 ||
                                       (zero && !g_messages.empty());
    if (failed) {
        return fail(kCalFailed, o.data,
                    g_messages.empty() ? "too few matches (" + std::to_string(found.size()) + ")" : g_messages.back());
    }
    for (const auto& m : g_messages) std::fprintf(stderr, "masscal: %s\n", m.c_str());

    if (!o.out.empty()) {
        std::string why;
        if (!write_calibration(*rec, o.out, o.function, why)) return fail(kBadInput, o.out, why);
    }
    if (!o.report.empty() && !CalRenderReport(rec.get(), o.report.c_str(), CAL_RENDER_PPM))
        return fail(kBadInput, o.report, "cannot write the report");
    if (!o.png.empty() && !CalRenderGraphs(rec.get(), o.png.c_str(), 1200, 900, CAL_RENDER_PPM))
        return fail(kBadInput, o.png, "cannot write the graphs");

    if (o.json) {
        nlohmann::json j;
        j["data"] = o.data;
        j["reference"] = o.ref;
        j["function"] = o.function;
        j["order"] = rec->ErrorFunc.nOrder;
        const RawCalibCoEffs& massFunc = o.verify ? check : rec->MassFunc;
        j["verify"] = o.verify;
        j["mass_function"] = {{"text", poly_text(massFunc)}, {"coefficients", coeffs(massFunc)}};
        j["error_function"] = {{"text", poly_text(rec->ErrorFunc)}, {"coefficients", ec}};
        j["matches"] = nlohmann::json::array();
        for (const auto& m : found)
            j["matches"].push_back({{"reference", m.reference},
                                    {"measured", m.measured},
                                    {"error_mda", m.errorMda},
                                    {"error_ppm", m.errorPpm},
                                    {"residual", m.residual}});
        j["statistics"] = {{"matches", found.size()},
                           {"mean_residual", rec->dMeanResidual},
                           {"rms_residual", rec->dRmsResidual},
                           {"rms_residual_ppm", rec->dRmsResidualPpm},
                           {"confidence_band_ppm", rec->dConfBandPpm},
                           {"mass_low", rec->fMassLow},
                           {"mass_high", rec->fMassHigh}};
        j["time_of_flight"] = rec->bTofFunction != 0;
        j["messages"] = g_messages;
        std::printf("%s\n", j.dump(2).c_str());
        return kOk;
    }
    std::printf("%s against %s: %zu matches\n\n", o.data.c_str(), o.ref.c_str(), found.size());
    std::printf("%14s %14s %11s %10s %12s\n", "reference", "measured", "error mDa", "error ppm", "residual");
    for (const auto& m : found)
        std::printf("%14.5f %14.5f %11.3f %10.2f %12.6f\n", m.reference, m.measured, m.errorMda, m.errorPpm,
                    m.residual);
    if (o.verify)
        std::printf("\nstored mass function (order %d): %s\n", check.nOrder, poly_text(check).c_str());
    else
        std::printf("\nmass function (order %d): %s\n", rec->MassFunc.nOrder, poly_text(rec->MassFunc).c_str());
    std::printf("mean residual %.6f amu, RMS residual %.6f amu, RMS %.3f ppm, confidence band %.3f ppm\n",
                rec->dMeanResidual, rec->dRmsResidual, rec->dRmsResidualPpm, rec->dConfBandPpm);
    if (!o.out.empty()) std::printf("calibration written to %s\n", o.out.c_str());
    if (!o.report.empty()) std::printf("report written to %s\n", o.report.c_str());
    if (!o.png.empty()) std::printf("graphs written to %s\n", o.png.c_str());
    return kOk;
}

int run_ref_check(const std::string& path) {
    if (auto why = unreadable(path); !why.empty()) return fail(kBadInput, path, why);
    std::vector<float> mass(CAL_REF_CAPACITY), inten(CAL_REF_CAPACITY);
    int32_t n = 0;
    RawFileRef ref = ref_to(path, 1);
    g_messages.clear();
    if (!CalReadReferenceFile(nullptr, &ref, mass.data(), inten.data(), &n, 0.0f, 0.0f))
        return fail(kBadInput, path, g_messages.empty() ? "cannot be read" : g_messages.back());
    if (n == 0) return fail(kBadInput, path, "no reference peaks");
    std::printf("%s: %d peaks\n", path.c_str(), n);
    for (int i = 0; i < n; ++i) std::printf("%14.6f %10.2f\n", mass[i], inten[i]);
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

// A calibration file's TOF section, or an old-format text file.
bool read_tof(const std::string& path, _TOFCALIBRATION& tof) {
    std::memset(&tof, 0, sizeof tof);
    RawFileRef ref = ref_to(path, 1);
    if (GetVersionQB(&ref) > 0) return ReadTofCalibrationQB(&ref, &tof) != 0;
    return CalReadTofCalibration(&ref, &tof) != 0;
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

// Rewrites the mass (first) field of every peak line of a peak list with the
// stored calibration; headers, comments, titles and the other fields stay as
// they were. The program never sets a locale, so printf writes '.' decimals.
int run_apply(const std::string& calFile, const std::string& data, const std::string& out, int function) {
    if (auto why = unreadable(data); !why.empty()) return fail(kBadInput, data, why);
    std::error_code ec;
    if (fs::exists(out, ec) && fs::equivalent(data, out, ec)) return fail(kBadInput, out, "would overwrite its input");
    std::string ext = fs::path(data).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".txt" && ext != ".csv" && ext != ".tsv")
        return fail(kBadInput, data, "apply writes peak lists only (.txt, .csv, .tsv)");
    RawCalibCoEffs c{};
    std::string why;
    if (!stored_calibration(calFile, function, c, why)) return fail(kBadInput, calFile, why);
    // Let the reader refuse a bad file before anything is written.
    {
        auto rec = std::make_unique<CalRecord>();
        std::memset(rec.get(), 0, sizeof(CalRecord));
        rec->DataFile = ref_to(data, 1);
        rec->nFirstScan = rec->nLastScan = 1;
        const int32_t status = CalGetRawData(nullptr, rec.get());
        CalAllocArrays(rec.get(), 1);
        if (status != 0) {
            const char* e = CalGetDataError();
            return fail(kBadInput, e && *e ? "" : data, e && *e ? e : "cannot be read");
        }
    }
    CCalibPolynomial poly(&c);
    std::ifstream in(data, std::ios::binary);
    const std::string tmp = out + ".tmp";
    std::ofstream o(tmp, std::ios::binary);
    if (!o) return fail(kBadInput, out, "cannot be written");
    std::string line;
    long peaks = 0;
    while (std::getline(in, line)) {
        const bool crlf = !line.empty() && line.back() == '\r';
        if (crlf) line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        const bool peak = start != std::string::npos && line[start] != '#' &&
                          (std::isdigit(static_cast<unsigned char>(line[start])) || line[start] == '+' ||
                           line[start] == '-' || line[start] == '.');
        if (peak) {
            size_t end = line.find_first_of(" \t,", start);
            if (end == std::string::npos) end = line.size();
            const double mass = std::strtod(line.substr(start, end - start).c_str(), nullptr);
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.10g", poly.Calc(mass));
            line = line.substr(0, start) + buf + line.substr(end);
            ++peaks;
        }
        o << line << (crlf ? "\r\n" : "\n");
    }
    o.close();
    if (!o || std::rename(tmp.c_str(), out.c_str()) != 0) {
        std::remove(tmp.c_str());
        return fail(kBadInput, out, "cannot be written");
    }
    std::printf("%ld peaks calibrated with %s into %s\n", peaks, static_cast<const char*>(poly), out.c_str());
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    CalSetMessageBoxHandler(collect, nullptr);
    CLI::App app{"masscal: mass-scale calibration of mass spectra"};
    app.require_subcommand(1);

    CalOptions o;
    auto* cal = app.add_subcommand("calibrate", "calibrate a spectrum against a reference file");
    cal->add_option("DATA", o.data, "peak list (.txt/.csv/.tsv) or mzML file")->required();
    cal->add_option("REF", o.ref, "reference file (mass [intensity] per line)")->required();
    cal->add_option("--order", o.order, "polynomial order (turns the automatic order off)")->check(CLI::Range(0, 5));
    cal->add_option("--window", o.window, "peak window, amu")->check(CLI::NonNegativeNumber);
    cal->add_option("--initial-error", o.initialError, "initial error, amu")->check(CLI::NonNegativeNumber);
    cal->add_option("--threshold", o.threshold, "intensity threshold (fraction)")->check(CLI::NonNegativeNumber);
    auto* iw = cal->add_flag("--intensity-weight", o.intensityWeight, "weight the fit by intensity");
    cal->add_flag("--no-intensity-weight", o.noIntensityWeight, "weight every match alike")->excludes(iw);
    auto* rs = cal->add_flag("--restrain", o.restrain, "restrained fit: lower the order when it is not justified");
    cal->add_flag("--no-restrain", o.noRestrain, "fit the order as given")->excludes(rs);
    cal->add_flag("--no-auto-match", o.noAutoMatch, "match by the window only");
    cal->add_flag("--root-mass", o.rootMass, "calibrate on square roots of mass");
    cal->add_option("--first-scan", o.firstScan, "first scan (default 1)")->check(CLI::PositiveNumber);
    cal->add_option("--last-scan", o.lastScan, "last scan (default the first)")->check(CLI::PositiveNumber);
    cal->add_option("--function", o.function, "function of the data file (default 1)")->check(CLI::Range(1, 65535));
    cal->add_option("--deisotope", o.deisotope, "deisotope after removing intensities below THRESHOLD")
        ->check(CLI::NonNegativeNumber);
    cal->add_option("--out", o.out, "write the calibration into this calibration file");
    cal->add_option("--report", o.report, "write the report (.pdf, .png or .svg)");
    cal->add_option("--png", o.png, "write the graphs (.png or .svg)");
    cal->add_flag("--json", o.json, "print a JSON object instead of the table");

    CalOptions v;
    v.verify = true;
    auto* ver = app.add_subcommand("verify", "apply a stored calibration and report the residuals, without fitting");
    ver->add_option("DATA", v.data, "peak list or mzML file")->required();
    ver->add_option("REF", v.ref, "reference file")->required();
    auto* vCal = ver->add_option("--cal", v.calFile, "calibration file (its TOF section, else the function's)");
    ver->add_option("--poly", v.polyText, "calibration polynomial text instead of a file")->excludes(vCal);
    ver->add_option("--function", v.function, "function (default 1)")->check(CLI::Range(1, 65535));
    ver->add_option("--window", v.window, "peak window, amu")->check(CLI::NonNegativeNumber);
    ver->add_option("--initial-error", v.initialError, "initial error, amu")->check(CLI::NonNegativeNumber);
    ver->add_option("--first-scan", v.firstScan, "first scan (default 1)")->check(CLI::PositiveNumber);
    ver->add_option("--last-scan", v.lastScan, "last scan (default the first)")->check(CLI::PositiveNumber);
    ver->add_option("--report", v.report, "write the report (.pdf, .png or .svg)");
    ver->add_flag("--json", v.json, "print a JSON object instead of the table");

    std::string refPath;
    auto* ref = app.add_subcommand("ref", "reference files");
    ref->require_subcommand(1);
    auto* refCheck = ref->add_subcommand("check", "parse a reference file and list its peaks");
    refCheck->add_option("REF", refPath, "reference file")->required();

    std::string polyText;
    std::vector<double> polyArgs;
    double polyLow = 0, polyHigh = 1e5;
    auto* poly = app.add_subcommand("poly", "calibration polynomials in their text form");
    poly->require_subcommand(1);
    auto* pText = poly->add_subcommand("text", "print a polynomial's text");
    pText->add_option("POLY", polyText, "polynomial text")->required();
    auto* pEval = poly->add_subcommand("eval", "evaluate a polynomial at masses");
    pEval->add_option("POLY", polyText, "polynomial text")->required();
    pEval->add_option("MASS", polyArgs, "masses")->required();
    auto* pInv = poly->add_subcommand("inverse", "the masses a polynomial maps onto the given values");
    pInv->add_option("POLY", polyText, "polynomial text")->required();
    pInv->add_option("VALUE", polyArgs, "values")->required();
    pInv->add_option("--low", polyLow, "lowest mass searched");
    pInv->add_option("--high", polyHigh, "highest mass searched");

    std::string section = "Calibration";
    auto* params = app.add_subcommand("params", "calibration settings");
    params->require_subcommand(1);
    auto* pGet = params->add_subcommand("get", "print the settings of a section");
    pGet->add_option("--section", section, "settings section (default Calibration)");

    std::vector<std::string> assignments;
    auto* pSet = params->add_subcommand("set", "change settings of a section: KEY=VALUE ...");
    pSet->add_option("KEY=VALUE", assignments, "PolyOrder, PeakWindow, InitialError, IntensityWeight, Threshold, "
                                               "AutoPeakMatch, AutoPolyOrder, CalibrateDisplay")
        ->required();
    pSet->add_option("--section", section, "settings section (default Calibration)");

    std::string tofA, tofB;
    auto* tof = app.add_subcommand("tof", "time-of-flight calibrations");
    tof->require_subcommand(1);
    auto* tRead = tof->add_subcommand("read", "print a time-of-flight calibration (calibration file or old text file)");
    tRead->add_option("FILE", tofA, "calibration file")->required();
    auto* tWrite = tof->add_subcommand("write", "copy the TOF section of a calibration file into the old text format");
    tWrite->add_option("CALFILE", tofA, "calibration file")->required();
    tWrite->add_option("OUT", tofB, "old-format file to write")->required();
    auto* tCmp = tof->add_subcommand("compare", "whether a calibration made under FIRST's settings suits SECOND's");
    tCmp->add_option("FIRST", tofA, "calibration file")->required();
    tCmp->add_option("SECOND", tofB, "calibration file")->required();

    std::string applyCal, applyData, applyOut;
    int applyFunction = 1;
    auto* apply = app.add_subcommand("apply", "apply a stored calibration to every mass of a peak list");
    apply->add_option("CALFILE", applyCal, "calibration file")->required();
    apply->add_option("DATA", applyData, "peak list (.txt, .csv, .tsv)")->required();
    apply->add_option("-o,--output", applyOut, "the calibrated peak list to write")->required();
    apply->add_option("--function", applyFunction, "which function's calibration (default 1)")
        ->check(CLI::Range(1, static_cast<int>(CAL_MAX_FUNCTIONS)));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "masscal: %s\n", e.what());
        return kBadInput;
    }

    if (cal->parsed()) return run_calibrate(o);
    if (ver->parsed()) {
        if (v.calFile.empty() && v.polyText.empty()) return fail(kBadInput, "", "verify needs --cal FILE or --poly TEXT");
        return run_calibrate(v);
    }
    if (apply->parsed()) return run_apply(applyCal, applyData, applyOut, applyFunction);
    if (pSet->parsed()) return run_params_set(section, assignments);
    if (tRead->parsed()) return run_tof_read(tofA);
    if (tWrite->parsed()) return run_tof_write(tofA, tofB);
    if (tCmp->parsed()) return run_tof_compare(tofA, tofB);
    if (refCheck->parsed()) return run_ref_check(refPath);
    if (pText->parsed() || pEval->parsed() || pInv->parsed()) {
        CCalibPolynomial p(polyText.c_str());
        if (pText->parsed()) {
            std::printf("%s\n", static_cast<const char*>(p));
            return kOk;
        }
        for (double x : polyArgs) {
            const double y = pEval->parsed() ? p.Calc(x) : p.Inverse(x, polyLow, polyHigh, 1e-9);
            std::printf("%.10g %.10g\n", x, y);
        }
        return kOk;
    }
    if (pGet->parsed()) {
        CalParams p{};
        if (!CalParamsGetIniFile(section.c_str(), &p)) return fail(kBadInput, "", "cannot open the settings");
        std::printf("PolyOrder=%d\nPeakWindow=%g\nInitialError=%g\nIntensityWeight=%d\nThreshold=%g\n"
                    "AutoPeakMatch=%d\nAutoPolyOrder=%d\nCalibrateDisplay=%d\n",
                    p.PolyOrder, p.PeakWindow, p.InitialError, p.IntensityWeight, p.Threshold, p.AutoPeakMatch,
                    p.AutoPolyOrder, p.CalibrateDisplay);
        return kOk;
    }
    return kBadInput;
}
