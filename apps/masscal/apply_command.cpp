#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cli_support.hpp"
#include "data_selection.hpp"
#include "commands.hpp"
#include "masscal/input.h"
#include "masscal/polynomial.hpp"

namespace fs = std::filesystem;

namespace cli {
namespace {

std::string lower_extension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Rewrites the mass (first) field of every peak line of a peak list with the
// stored calibration; headers, comments, titles and the other fields stay as
// they were. The program never sets a locale, so printf writes '.' decimals.
int apply_to_peak_list(const RawCalibCoEffs& c, const std::string& data, const std::string& out) {
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

// Every chosen spectrum's m/z array through the calibration (all without a
// choice); the rest of the file as it was.
int apply_to_mzml(const RawCalibCoEffs& c, const std::string& data, const std::string& out, const Selection& chosen) {
    int32_t spectra = 0;
    if (chosen.msLevel || !chosen.rt.empty() || !chosen.scans.empty()) {
        Resolved r;
        if (auto why = resolve(data, chosen, r); !why.empty()) return fail(kBadInput, data, why);
        spectra = CalApplyToMzmlSpectra(&c, data.c_str(), out.c_str(), r.fileIndices.data(),
                                        static_cast<int32_t>(r.fileIndices.size()));
    } else {
        spectra = CalApplyToMzml(&c, data.c_str(), out.c_str());
    }
    if (spectra < 0) {
        const std::string e = CalGetDataError() ? CalGetDataError() : "";
        if (e.empty()) return fail(kBadInput, data, "cannot be calibrated");
        // Most reasons name the file already.
        return fail(kBadInput, e.find(data) == std::string::npos ? data : "", e);
    }
    std::printf("%d spectra calibrated with %s into %s\n", spectra, poly_text(c).c_str(), out.c_str());
    return kOk;
}

}  // namespace

int run_apply(const std::string& calFile, const std::string& data, const std::string& out, int function,
              const Selection& chosen) {
    if (auto why = unreadable(data); !why.empty()) return fail(kBadInput, data, why);
    std::error_code ec;
    if (fs::exists(out, ec) && fs::equivalent(data, out, ec)) return fail(kBadInput, out, "would overwrite its input");
    const std::string ext = lower_extension(data);
    const bool mzml = ext == ".mzml" || ext == ".gz";  // x.mzML.gz
    if (!mzml && ext != ".txt" && ext != ".csv" && ext != ".tsv")
        return fail(kBadInput, data, "apply writes peak lists (.txt, .csv, .tsv) and mzML files (also .mzML.gz) only");
    RawCalibCoEffs c{};
    std::string why;
    if (!stored_calibration(calFile, function, c, why)) return fail(kBadInput, calFile, why);
    if (mzml) return apply_to_mzml(c, data, out, chosen);
    if (chosen.msLevel || !chosen.rt.empty() || !chosen.scans.empty())
        return fail(kBadInput, data, "--ms-level, --rt and --scans choose spectra of mzML files");
    return apply_to_peak_list(c, data, out);
}

}  // namespace cli
