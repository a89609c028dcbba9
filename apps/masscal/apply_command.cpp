#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cli_support.hpp"
#include "data_selection.hpp"
#include "commands.hpp"
#include "output_files.hpp"
#include "peak_line_rewrite.hpp"
#include "masscal/input.h"
#include "masscal/polynomial.hpp"

namespace cli {
namespace {

// Rewrites the mass (first) field of every peak line of a peak list with the
// stored calibration; headers, comments, titles and the other fields stay as
// they were. The program never sets a locale, so printf writes '.' decimals.
// The copy is written whole beside the output and renamed into place.
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
    std::string text;
    if (!read_file(data, text)) return fail(kBadInput, data, "cannot be read");
    PeakRewrite rewritten;
    if (!rewrite_peak_masses(text, [&](double m) { return poly.Calc(m); }, rewritten))
        return fail(kBadInput, data, rewritten.error);
    PendingOutput o(out);
    std::string why;
    if (!o.create(why) || !write_file(o.temp(), rewritten.text))
        return fail(kBadInput, out, why.empty() ? "cannot be written" : why);
    if (!o.commit(why)) return fail(kBadInput, out, why);
    std::printf("%ld peaks calibrated with %s into %s\n", rewritten.peaks, static_cast<const char*>(poly),
                out.c_str());
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
    if (auto why = path_too_long(out); !why.empty()) return fail(kBadInput, out, why);
    if (auto why = output_clash({data, calFile}, {out}); !why.empty()) return fail(kBadInput, "", why);
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
