#include "data_selection.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "masscal/datainfo.h"

namespace cli {
namespace {

struct Function {
    CalFunctionSummary s{};
    std::vector<CalSpectrumSummary> spectra;
};

bool load(const std::string& path, int f, Function& out) {
    if (!CalDataFunctionSummary(path.c_str(), f, &out.s, nullptr, 0)) return false;
    out.spectra.resize(static_cast<std::size_t>(out.s.nSpectra));
    return CalDataFunctionSummary(path.c_str(), f, &out.s, out.spectra.data(), out.s.nSpectra) != 0;
}

std::string fmt(const char* format, double a, double b) {
    char t[96];
    std::snprintf(t, sizeof t, format, a, b);
    return t;
}

// "function 2 (MS2, 120 spectra, scans 14-980, RT 60.1-3599.2 s)"
std::string describe(int f, const Function& fn) {
    std::string d = "function " + std::to_string(f) + " (MS" + std::to_string(fn.s.nMsLevel) + ", " +
                    std::to_string(fn.s.nSpectra) + (fn.s.nSpectra == 1 ? " spectrum" : " spectra");
    if (!fn.spectra.empty() && fn.spectra.front().nScanNumber >= 0)
        d += fmt(", scans %.0f-%.0f", static_cast<double>(fn.spectra.front().nScanNumber),
                 static_cast<double>(fn.spectra.back().nScanNumber));
    if (!fn.spectra.empty() && std::isfinite(fn.spectra.front().dRtSeconds))
        d += fmt(", RT %.1f-%.1f s", fn.spectra.front().dRtSeconds, fn.spectra.back().dRtSeconds);
    return d + ")";
}

// "spectra 1-10 of function 1 (MS1, 564 spectra): scans 1011-1020, RT 1501.4-1515.8 s"
std::string chosen_text(int f, const Function& fn, int first, int last) {
    const int n = static_cast<int>(fn.spectra.size());
    const std::string level = "MS" + std::to_string(fn.s.nMsLevel);
    std::string t = first == 1 && last == n && n > 1
                        ? "all " + std::to_string(n) + " spectra of function " + std::to_string(f) + " (" + level + ")"
                        : (first == last ? "spectrum " + std::to_string(first)
                                         : "spectra " + std::to_string(first) + "-" + std::to_string(last)) +
                              " of function " + std::to_string(f) + " (" + level + ", " + std::to_string(n) +
                              (n == 1 ? " spectrum)" : " spectra)");
    const CalSpectrumSummary &a = fn.spectra[static_cast<std::size_t>(first - 1)],
                             &b = fn.spectra[static_cast<std::size_t>(last - 1)];
    const char* sep = ": ";
    if (a.nScanNumber >= 0) {
        t += sep + (first == last ? fmt("scan %.0f", static_cast<double>(a.nScanNumber), 0)
                                  : fmt("scans %.0f-%.0f", static_cast<double>(a.nScanNumber),
                                        static_cast<double>(b.nScanNumber)));
        sep = ", ";
    }
    if (std::isfinite(a.dRtSeconds))
        t += sep + (first == last ? fmt("RT %.1f s", a.dRtSeconds, 0) : fmt("RT %.1f-%.1f s", a.dRtSeconds, b.dRtSeconds));
    return t;
}

std::string levels_of(const std::string& path, int count) {
    std::map<int, std::pair<int, int>> levels;  // level: functions, spectra
    for (int f = 1; f <= count; ++f) {
        CalFunctionSummary s{};
        if (!CalDataFunctionSummary(path.c_str(), f, &s, nullptr, 0)) continue;
        auto& l = levels[s.nMsLevel];
        ++l.first;
        l.second += s.nSpectra;
    }
    std::string t;
    for (const auto& [level, n] : levels)
        t += (t.empty() ? "" : ", ") + std::string("MS") + std::to_string(level) + " (" + std::to_string(n.second) +
             " spectra in " + std::to_string(n.first) + (n.first == 1 ? " function)" : " functions)");
    return t;
}

}  // namespace

std::string parse_range(std::string text, bool time, double& from, double& to) {
    double scale = 1.0;
    if (time && text.size() > 3 && text.compare(text.size() - 3, 3, "min") == 0) {
        scale = 60.0;
        text.resize(text.size() - 3);
    } else if (time && !text.empty() && text.back() == 's') {
        text.pop_back();
    }
    const auto colon = text.find(':');
    char* end = nullptr;
    if (colon == std::string::npos) return "expected FROM:TO";
    const std::string a = text.substr(0, colon), b = text.substr(colon + 1);
    from = std::strtod(a.c_str(), &end);
    if (a.empty() || *end) return "'" + a + "' is not a number";
    to = std::strtod(b.c_str(), &end);
    if (b.empty() || *end) return "'" + b + "' is not a number";
    if (!std::isfinite(from) || !std::isfinite(to)) return "the range must be finite";
    if (from > to) return "FROM is after TO";
    from *= scale;
    to *= scale;
    return {};
}

std::string resolve(const std::string& path, const Selection& s, Resolved& out) {
    out = Resolved{};
    out.function = s.function > 0 ? s.function : 1;
    out.first = s.firstIndex > 0 ? s.firstIndex : 1;
    out.last = s.lastIndex > 0 ? s.lastIndex : out.first;
    const int count = CalDataFunctionCount(path.c_str());
    if (count < 0) return {};

    if (s.function > count)
        return "the file has " + std::to_string(count) + (count == 1 ? " function" : " functions") +
               "; there is no function " + std::to_string(s.function);
    std::vector<int> candidates;
    if (s.function > 0) {
        CalFunctionSummary fs{};
        if (s.msLevel && CalDataFunctionSummary(path.c_str(), s.function, &fs, nullptr, 0) && fs.nMsLevel != s.msLevel)
            return "function " + std::to_string(s.function) + " holds MS" + std::to_string(fs.nMsLevel) +
                   " spectra, not MS" + std::to_string(s.msLevel);
        candidates.push_back(s.function);
    } else {
        for (int f = 1; f <= count; ++f) {
            CalFunctionSummary fs{};
            if (CalDataFunctionSummary(path.c_str(), f, &fs, nullptr, 0) && (!s.msLevel || fs.nMsLevel == s.msLevel))
                candidates.push_back(f);
            if (!s.msLevel) break;  // function 1 unless a level is asked for
        }
        if (candidates.empty())
            return "no MS" + std::to_string(s.msLevel) + " spectra; the file has " + levels_of(path, count);
    }
    double from = 0, to = 0;
    if (!s.rt.empty())
        if (auto why = parse_range(s.rt, true, from, to); !why.empty()) return "--rt " + s.rt + ": " + why;
    if (!s.scans.empty())
        if (auto why = parse_range(s.scans, false, from, to); !why.empty()) return "--scans " + s.scans + ": " + why;

    // The candidates with spectra in the range (all of them without one).
    struct Hit {
        int function, first, last;
        std::vector<std::int64_t> fileIndices;
    };
    std::vector<Hit> hits;
    std::string had, mixed;
    for (int f : candidates) {
        Function fn;
        if (!load(path, f, fn) || fn.spectra.empty()) continue;
        had += (had.empty() ? "" : "; ") + describe(f, fn);
        const int n = static_cast<int>(fn.spectra.size());
        int first = 0, last = 0;
        if (!s.rt.empty() || !s.scans.empty()) {
            for (int i = 1; i <= n; ++i) {
                const CalSpectrumSummary& x = fn.spectra[static_cast<std::size_t>(i - 1)];
                const double v = s.rt.empty() ? static_cast<double>(x.nScanNumber) : x.dRtSeconds;
                if (!(v >= from && v <= to)) continue;
                if (!first) first = i;
                last = i;
            }
            if (!first) continue;
        } else if (s.firstIndex > 0 || s.lastIndex > 0) {
            first = out.first;
            last = out.last;
            if (first > last)
                return "--first-scan " + std::to_string(first) + " is after --last-scan " + std::to_string(last);
            if (last > n)
                return describe(f, fn) + " has no spectrum " + std::to_string(last) + " (--first-scan and " +
                       "--last-scan count the function's spectra from 1)";
        } else {
            first = 1;
            last = n;
        }
        // Spectra of different precursors are different experiments.
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (int i = first; i <= last; ++i) {
            const double p = fn.spectra[static_cast<std::size_t>(i - 1)].dPrecursorMz;
            if (std::isfinite(p)) lo = std::min(lo, p), hi = std::max(hi, p);
        }
        if (hi - lo > kSamePrecursorMz) {
            mixed = "the selected spectra of " + describe(f, fn) + " have different precursors (m/z " +
                    fmt("%.4f to %.4f", lo, hi) + "); choose one precursor's spectra with --scans or --rt";
            if (candidates.size() == 1) return mixed;
        }
        hits.push_back({f, first, last, {}});
        for (int i = first; i <= last; ++i)
            if (fn.spectra[static_cast<std::size_t>(i - 1)].nFileIndex >= 0)
                hits.back().fileIndices.push_back(fn.spectra[static_cast<std::size_t>(i - 1)].nFileIndex);
        if (hits.size() == 1) out.note = chosen_text(f, fn, first, last);
    }
    if (hits.empty()) {
        const std::string range = !s.rt.empty() ? "--rt " + s.rt : "--scans " + s.scans;
        return "no spectrum lies in " + range + "; the file has " +
               (had.empty() || candidates.size() > 3 ? levels_of(path, count) : had);
    }
    if (hits.size() > 1 && candidates.size() > 1)
        return "the MS" + std::to_string(s.msLevel) + " spectra fall into " + std::to_string(hits.size()) +
               " functions (scan windows); choose one with --function (masscal info lists them)";
    out.function = hits[0].function;
    out.first = hits[0].first;
    out.last = hits[0].last;
    out.fileIndices = std::move(hits[0].fileIndices);
    return {};
}

}  // namespace cli
