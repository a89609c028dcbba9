// masscal info: the functions of a data file and what is in each.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_support.hpp"
#include "commands.hpp"
#include "data_selection.hpp"
#include "masscal/datainfo.h"
#include "masscal/input.h"

namespace cli {
namespace {

struct Listing {
    CalFunctionSummary s{};
    std::vector<CalSpectrumSummary> spectra;
    std::vector<double> precursors;  // distinct, ascending
};

std::vector<double> distinct_precursors(const std::vector<CalSpectrumSummary>& spectra) {
    std::vector<double> p;
    for (const auto& x : spectra)
        if (std::isfinite(x.dPrecursorMz)) p.push_back(x.dPrecursorMz);
    std::sort(p.begin(), p.end());
    std::vector<double> out;
    for (double v : p)
        if (out.empty() || v - out.back() > kSamePrecursorMz) out.push_back(v);
    return out;
}

nlohmann::json or_null(double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); }

std::string range_text(double a, double b, const char* format) {
    if (!std::isfinite(a)) return "-";
    char t[64];
    std::snprintf(t, sizeof t, format, a, b);
    return t;
}

}  // namespace

int run_info(const std::string& path, bool json) {
    if (auto why = unreadable(path); !why.empty()) return fail(kBadInput, path, why);
    const int count = CalDataFunctionCount(path.c_str());
    if (count < 0) return fail(kBadInput, "", CalGetDataError());
    std::vector<Listing> all(static_cast<std::size_t>(count));
    for (int f = 1; f <= count; ++f) {
        Listing& l = all[static_cast<std::size_t>(f - 1)];
        if (!CalDataFunctionSummary(path.c_str(), f, &l.s, nullptr, 0)) return fail(kBadInput, "", CalGetDataError());
        l.spectra.resize(static_cast<std::size_t>(l.s.nSpectra));
        CalDataFunctionSummary(path.c_str(), f, &l.s, l.spectra.data(), l.s.nSpectra);
        l.precursors = distinct_precursors(l.spectra);
    }
    if (json) {
        nlohmann::json j{{"data", path}, {"functions", nlohmann::json::array()}};
        for (int f = 1; f <= count; ++f) {
            const Listing& l = all[static_cast<std::size_t>(f - 1)];
            const bool any = !l.spectra.empty();
            j["functions"].push_back({
                {"function", f},
                {"ms_level", l.s.nMsLevel},
                {"polarity", l.s.nPolarity > 0   ? nlohmann::json("positive")
                             : l.s.nPolarity < 0 ? nlohmann::json("negative")
                                                 : nlohmann::json()},
                {"scan_window", l.s.bHasWindow ? nlohmann::json{l.s.dWindowLow, l.s.dWindowHigh} : nlohmann::json()},
                {"mass_range", {l.s.fMassLow, l.s.fMassHigh}},
                {"analyser", l.s.szAnalyser},
                {"accurate_mass", l.s.bAccurateMass != 0},
                {"data", l.s.bProfile ? "profile" : "centroid"},
                {"data_stated", l.s.bProfileStated != 0},
                {"spectra", l.s.nSpectra},
                {"rt_seconds", any ? nlohmann::json{or_null(l.spectra.front().dRtSeconds), or_null(l.spectra.back().dRtSeconds)}
                                   : nlohmann::json()},
                {"scan_numbers", any && l.spectra.front().nScanNumber >= 0
                                     ? nlohmann::json{l.spectra.front().nScanNumber, l.spectra.back().nScanNumber}
                                     : nlohmann::json()},
                {"precursors", l.precursors},
            });
        }
        std::printf("%s\n", j.dump(2).c_str());
        return kOk;
    }
    std::printf("%s: %d function%s\n\n", path.c_str(), count, count == 1 ? "" : "s");
    std::printf("%8s %3s %3s %17s %-12s %-20s %8s %15s %17s  %s\n", "function", "MS", "+/-", "scan window", "analyser",
                "data", "spectra", "scans", "RT (s)", "precursors");
    for (int f = 1; f <= count; ++f) {
        const Listing& l = all[static_cast<std::size_t>(f - 1)];
        const bool any = !l.spectra.empty();
        const std::string data = std::string(l.s.bProfile ? "profile" : "centroid") + (l.s.bProfileStated ? "" : " (inferred)");
        std::string pre = "-";
        if (l.precursors.size() == 1) pre = range_text(l.precursors[0], 0, "m/z %.4f");
        else if (!l.precursors.empty())
            pre = std::to_string(l.precursors.size()) + range_text(l.precursors.front(), l.precursors.back(), ", m/z %.2f-%.2f");
        std::printf("%8d %3d %3s %17s %-12s %-20s %8d %15s %17s  %s\n", f, l.s.nMsLevel,
                    l.s.nPolarity > 0 ? "+" : l.s.nPolarity < 0 ? "-" : "?",
                    l.s.bHasWindow ? range_text(l.s.dWindowLow, l.s.dWindowHigh, "%.2f-%.2f").c_str() : "-",
                    *l.s.szAnalyser ? l.s.szAnalyser : "-", data.c_str(), l.s.nSpectra,
                    any && l.spectra.front().nScanNumber >= 0
                        ? range_text(static_cast<double>(l.spectra.front().nScanNumber),
                                     static_cast<double>(l.spectra.back().nScanNumber), "%.0f-%.0f")
                              .c_str()
                        : "-",
                    any ? range_text(l.spectra.front().dRtSeconds, l.spectra.back().dRtSeconds, "%.1f-%.1f").c_str() : "-",
                    pre.c_str());
    }
    return kOk;
}

}  // namespace cli
