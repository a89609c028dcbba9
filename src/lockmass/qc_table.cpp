// The run's table: CSV, one line per spectrum, or JSON with the settings,
// the summary and each spectrum's locks.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "lockmass/drift_models.hpp"
#include "lockmass/run.hpp"
#include "masscal/polynomial.hpp"
#include "platform/c_locale.hpp"
#include "suite/fileaccess/file_identity.hpp"

using masscal::platform::c_snprintf;
using namespace masscal::lockmass;

namespace {

// Numbers in the C locale; not-a-number is empty in CSV and null in JSON.
std::string num(double v, const char* format, bool json) {
    if (!std::isfinite(v)) return json ? "null" : "";
    char t[64];
    c_snprintf(t, sizeof t, format, v);
    return t;
}
std::string g17(double v, bool json) { return num(v, "%.17g", json); }
std::string ppm(double v, bool json) { return num(v, "%.6g", json); }
std::string seconds(double v, bool json) { return num(v, "%.10g", json); }
std::string integer(std::int64_t v, bool json) { return v < 0 ? (json ? "null" : "") : std::to_string(v); }

std::string csv_field(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string json_string(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            q += '\\';
            q += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char t[8];
            c_snprintf(t, sizeof t, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            q += t;
        } else {
            q += c;
        }
    }
    return q + "\"";
}

std::string poly_text(const RawCalibCoEffs& f) {
    CCalibPolynomial p(&f);
    return static_cast<const char*>(p);
}

// Appends pieces in order (and keeps GCC's -Wrestrict quiet about
// chains of string + literal).
struct Text {
    std::string s;
    Text& operator<<(const std::string& v) {
        s.append(v);
        return *this;
    }
    Text& operator<<(const char* v) {
        s.append(v);
        return *this;
    }
    Text& operator<<(std::int64_t v) { return *this << std::to_string(v); }
};

const char* flag(int32_t b) { return b ? "true" : "false"; }

std::string csv(const CalLockMassRun& run) {
    const int coefficients = model_coefficients(run.options.nModel);
    Text t;
    t << "index,native_id,scan,rt_seconds,ms_level,locks_found,locks_used,error_before_ppm,error_after_ppm,source,"
         "donor_index,donor_rt_seconds";
    for (int j = 0; j < coefficients; ++j) t << ",c" << std::int64_t{j};
    t << ",mass_function,note\n";
    for (const CalLockMassSpectrum& r : run.rows) {
        const bool changed = r.nSource != CAL_LOCK_UNCHANGED;
        t << std::int64_t{r.nFileIndex} << "," << csv_field(r.szNativeId) << "," << integer(r.nScanNumber, false) << ","
          << seconds(r.dRtSeconds, false) << "," << std::int64_t{r.nMsLevel} << "," << std::int64_t{r.nLocksFound}
          << "," << std::int64_t{r.nLocksUsed} << "," << ppm(r.dErrorBeforePpm, false) << ","
          << ppm(r.dErrorAfterPpm, false) << "," << source_name(r.nSource) << "," << integer(r.nDonorIndex, false)
          << "," << seconds(r.dDonorRtSeconds, false);
        for (int j = 0; j < coefficients; ++j) t << "," << (changed ? g17(r.dCoeffs[j], false) : std::string());
        t << "," << csv_field(changed ? poly_text(r.MassFunc) : std::string()) << "," << csv_field(r.szNote) << "\n";
    }
    return std::move(t.s);
}

std::string json(const CalLockMassRun& run) {
    const CalLockMassOptions& o = run.options;
    const CalLockMassSummary& s = run.summary;
    const bool scans = o.nScanWindow > 0;
    Text t;
    t << "{\n  \"input\": " << json_string(run.in) << ",\n  \"output\": "
      << (run.out.empty() ? std::string("null") : json_string(run.out)) << ",\n";
    t << "  \"settings\": {\"model\": " << json_string(model_name(o.nModel))
      << ", \"tolerance_ppm\": " << g17(o.dTolerancePpm, true) << ", \"min_intensity\": " << g17(o.dMinIntensity, true)
      << ", \"rt_window_seconds\": " << (scans ? std::string("null") : g17(o.dRtWindow, true))
      << ", \"scan_window\": " << (scans ? std::to_string(o.nScanWindow) : std::string("null"))
      << ", \"ms_level\": " << std::int64_t{o.nMsLevel} << ", \"ms2_follow\": " << flag(o.bFollowHigherLevels)
      << ", \"intensity_weight\": " << flag(o.bIntensityWeight) << ", \"gate\": " << flag(o.bGate) << "},\n";
    t << "  \"locks\": [";
    for (std::size_t i = 0; i < run.locks.size(); ++i) t << (i ? ", " : "") << g17(run.locks[i], true);
    t << "],\n  \"summary\": {\"spectra\": " << std::int64_t{s.nSpectra} << ", \"rewritten\": " << std::int64_t{s.nRewritten}
      << ", \"window\": " << std::int64_t{s.nFromWindow} << ", \"nearest\": " << std::int64_t{s.nFromNearest}
      << ", \"global\": " << std::int64_t{s.nFromGlobal} << ", \"unchanged\": " << std::int64_t{s.nUnchanged}
      << ", \"lock_spectra\": " << std::int64_t{s.nLockSpectra} << ", \"observations\": " << std::int64_t{s.nObservations}
      << ", \"rms_before_ppm\": " << ppm(s.dRmsBeforePpm, true) << ", \"rms_after_ppm\": " << ppm(s.dRmsAfterPpm, true)
      << ", \"global_model\": " << (s.bGlobalModel ? json_string(poly_text(s.GlobalMassFunc)) : std::string("null"))
      << ", \"global_note\": " << json_string(s.szGlobalNote) << "},\n  \"spectra\": [";
    std::size_t at = 0;
    for (std::size_t i = 0; i < run.rows.size(); ++i) {
        const CalLockMassSpectrum& r = run.rows[i];
        const bool changed = r.nSource != CAL_LOCK_UNCHANGED;
        t << (i ? "," : "") << "\n    {\"index\": " << std::int64_t{r.nFileIndex} << ", \"native_id\": "
          << json_string(r.szNativeId) << ", \"scan\": " << integer(r.nScanNumber, true)
          << ", \"rt_seconds\": " << seconds(r.dRtSeconds, true) << ", \"ms_level\": " << std::int64_t{r.nMsLevel}
          << ", \"locks_found\": " << std::int64_t{r.nLocksFound} << ", \"locks_used\": " << std::int64_t{r.nLocksUsed}
          << ", \"error_before_ppm\": " << ppm(r.dErrorBeforePpm, true)
          << ", \"error_after_ppm\": " << ppm(r.dErrorAfterPpm, true) << ", \"source\": "
          << json_string(source_name(r.nSource)) << ", \"donor_index\": " << integer(r.nDonorIndex, true)
          << ", \"donor_rt_seconds\": " << seconds(r.dDonorRtSeconds, true) << ", \"coefficients\": [";
        for (int j = 0; changed && j < r.nCoeffs; ++j) t << (j ? ", " : "") << g17(r.dCoeffs[j], true);
        t << "], \"mass_function\": " << (changed ? json_string(poly_text(r.MassFunc)) : std::string("null"))
          << ", \"note\": " << json_string(r.szNote) << ", \"locks\": [";
        // The row's observations, found by file index (both in file order).
        while (at < run.observations.size() && run.observations[at].nFileIndex < r.nFileIndex) ++at;
        for (bool first = true; at < run.observations.size() && run.observations[at].nFileIndex == r.nFileIndex;
             ++at, first = false) {
            const CalLockObservation& x = run.observations[at];
            t << (first ? "" : ", ") << "{\"mz\": " << g17(x.dLockMz, true) << ", \"measured\": "
              << g17(x.dMeasuredMz, true) << ", \"intensity\": " << g17(x.dIntensity, true)
              << ", \"error_before_ppm\": " << ppm(x.dErrorBeforePpm, true)
              << ", \"error_after_ppm\": " << ppm(x.dErrorAfterPpm, true) << "}";
        }
        t << "]}";
    }
    t << "\n  ]\n}\n";
    return std::move(t.s);
}

}  // namespace

extern "C" MASSCAL_API int32_t CalLockMassWriteTable(const CalLockMassRun* pRun, const char* pszPath, int32_t bJson) {
    if (!pRun || !pszPath || !*pszPath) return 0;
    try {
        const std::string text = bJson ? json(*pRun) : csv(*pRun);
        return masscal::suite::fs::replace_file(pszPath, text, nullptr) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
