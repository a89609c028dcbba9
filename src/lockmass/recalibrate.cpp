// Recalibration over time: a survey of the lock masses in every lock-search
// spectrum, a model per window, the fallbacks, and the rewritten copy.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>
#include <strings.h>

#include "core/calib_eval.hpp"
#include "engine/reference_file.hpp"
#include "input/spectrum_input.hpp"
#include "lockmass/drift_models.hpp"
#include "lockmass/lock_search.hpp"
#include "lockmass/run.hpp"
#include "mzml/mzml_backend.hpp"
#include "mzml/mzml_rewrite.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/fileaccess/file_identity.hpp"

namespace dm = masscal::dm;
using namespace masscal::lockmass;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A lock list is a small text file.
constexpr std::size_t kLockFileLimit = 1 << 20;
// Decoding the lock spectra is most of a survey's work.
constexpr unsigned kSurveyThreads = 8;

std::nullptr_t refuse(std::string why) {
    dm::dm_set_error(std::move(why));
    return nullptr;
}

std::string number(const char* format, double v) {
    char t[64];
    std::snprintf(t, sizeof t, format, v);
    return t;
}

std::string check_options(const CalLockMassOptions& o) {
    if (!model_coefficients(o.nModel)) return "unknown model " + std::to_string(o.nModel);
    if (!(o.dTolerancePpm > 0) || !std::isfinite(o.dTolerancePpm)) return "the tolerance must be a positive number of ppm";
    if (!(o.dMinIntensity >= 0) || !std::isfinite(o.dMinIntensity)) return "the intensity floor must be 0 or more";
    if (o.nScanWindow < 0) return "the window of scans must be 0 or more";
    if (o.nScanWindow == 0 && (!(o.dRtWindow > 0) || !std::isfinite(o.dRtWindow)))
        return "the retention-time window must be a positive number of seconds";
    if (o.nMsLevel < 1) return "the MS level must be 1 or more";
    if (o.bRtRange && !(o.dRtFrom <= o.dRtTo)) return "the retention-time range ends before it begins";
    if (o.bScanRange && !(o.nScanFrom <= o.nScanTo)) return "the scan range ends before it begins";
    return {};
}

// Sorted, each once; two locks whose windows overlap could claim one peak.
std::string check_locks(std::vector<double>& locks, double tolPpm) {
    for (double m : locks)
        if (!(m > 0) || !std::isfinite(m)) return "a lock mass must be a positive m/z";
    std::sort(locks.begin(), locks.end());
    locks.erase(std::unique(locks.begin(), locks.end()), locks.end());
    if (locks.size() > static_cast<std::size_t>(CAL_REF_CAPACITY))
        return "at most " + std::to_string(CAL_REF_CAPACITY) + " lock masses";
    for (std::size_t i = 1; i < locks.size(); ++i)
        if (locks[i] - locks[i - 1] <= (locks[i] + locks[i - 1]) * tolPpm * 1e-6)
            return "lock masses " + number("%.6f", locks[i - 1]) + " and " + number("%.6f", locks[i]) +
                   " lie within the tolerance of each other";
    return {};
}

// A spectrum the run looks at: searched for locks (a source), chosen for
// recalibration (a row), or both.
struct Entry {
    std::int64_t fileIndex = -1;
    int function = 0, scan = 0, msLevel = 0;
    double rt = kNaN;
    std::int64_t scanNumber = -1;
    std::string nativeId;
    bool source = false, chosen = false;
    std::size_t obsBegin = 0, obsEnd = 0;
};

bool in_ranges(const Entry& e, const CalLockMassOptions& o) {
    if (o.bRtRange && !(e.rt >= o.dRtFrom && e.rt <= o.dRtTo)) return false;
    if (o.bScanRange && !(e.scanNumber >= o.nScanFrom && e.scanNumber <= o.nScanTo)) return false;
    return true;
}

class Planner {
public:
    Planner(CalLockMassRun& run, std::vector<Entry>& entries, std::vector<int>& obsLock, ModelFitter& fitter)
        : run_(run), o_(run.options), entries_(entries), obsLock_(obsLock), fitter_(fitter),
          buckets_(run.locks.size()), sums_(run.locks.size()) {
        for (std::size_t k = 0; k < entries_.size(); ++k)
            if (entries_[k].source) sources_.push_back(k);
        timed_ = true;
        for (const Entry& e : entries_) timed_ = timed_ && std::isfinite(e.rt);
        if (timed_) {
            byTime_ = sources_;
            std::stable_sort(byTime_.begin(), byTime_.end(),
                             [&](std::size_t a, std::size_t b) { return entries_[a].rt < entries_[b].rt; });
            for (std::size_t k : byTime_) times_.push_back(entries_[k].rt);
        }
    }

    // The model of each source's own window, then each row's model.
    void plan() {
        std::vector<std::pair<double, std::size_t>> good;  // key, entry
        std::vector<int> own(entries_.size(), -1);
        for (std::size_t k : sources_) {
            own[k] = window_model(k);
            if (models_[static_cast<std::size_t>(own[k])].good) good.emplace_back(key(k), k);
        }
        std::sort(good.begin(), good.end());
        const Model global = global_model();
        run_.summary.bGlobalModel = global.good;
        run_.summary.GlobalMassFunc = global.massFunc;
        std::snprintf(run_.summary.szGlobalNote, sizeof run_.summary.szGlobalNote, "%s", global.why.c_str());

        for (std::size_t k = 0; k < entries_.size(); ++k) {
            Entry& e = entries_[k];
            if (!e.chosen) continue;
            const Model& mine = models_[static_cast<std::size_t>(own[k] >= 0 ? own[k] : window_model(k))];
            CalLockMassSpectrum r{};
            r.nFileIndex = e.fileIndex;
            r.nScanNumber = e.scanNumber;
            r.dRtSeconds = e.rt;
            r.nMsLevel = e.msLevel;
            r.nLocksFound = static_cast<int32_t>(e.obsEnd - e.obsBegin);
            r.nDonorIndex = -1;
            r.dDonorRtSeconds = kNaN;
            std::snprintf(r.szNativeId, sizeof r.szNativeId, "%s", e.nativeId.c_str());
            const Model* used = &mine;
            r.nSource = CAL_LOCK_FROM_WINDOW;
            if (!mine.good) {
                std::snprintf(r.szNote, sizeof r.szNote, "%s", mine.why.c_str());
                if (const std::size_t* donor = nearest(good, key(k))) {
                    used = &models_[static_cast<std::size_t>(own[*donor])];
                    r.nSource = CAL_LOCK_FROM_NEAREST;
                    r.nDonorIndex = entries_[*donor].fileIndex;
                    r.dDonorRtSeconds = entries_[*donor].rt;
                } else {
                    used = &global;
                    r.nSource = global.good ? CAL_LOCK_FROM_GLOBAL : CAL_LOCK_UNCHANGED;
                }
            }
            const bool changed = r.nSource != CAL_LOCK_UNCHANGED;
            r.nLocksUsed = changed ? used->locks : 0;
            r.nCoeffs = changed ? used->nCoeffs : 0;
            if (changed) std::copy(used->coeffs, used->coeffs + 6, r.dCoeffs);
            r.MassFunc = changed ? used->massFunc : identity_mass_function();
            errors_of(e, r);
            run_.rows.push_back(r);
        }
    }

private:
    // What the nearest-model search measures distance in.
    double key(std::size_t k) const { return timed_ ? entries_[k].rt : static_cast<double>(entries_[k].fileIndex); }

    // The window of entry k as a range of byTime_ (time window) or of
    // sources_ (scan window). Near the run's ends it shrinks to stay
    // centred on the spectrum: a one-sided window would lag the drift.
    std::pair<std::size_t, std::size_t> window_of(std::size_t k) const {
        const Entry& e = entries_[k];
        if (o_.nScanWindow <= 0) {
            const double half = std::max(0.0, std::min({o_.dRtWindow, e.rt - times_.front(), times_.back() - e.rt}));
            const auto lo = std::lower_bound(times_.begin(), times_.end(), e.rt - half);
            const auto hi = std::upper_bound(times_.begin(), times_.end(), e.rt + half);
            return {static_cast<std::size_t>(lo - times_.begin()), static_cast<std::size_t>(hi - times_.begin())};
        }
        const auto at = std::lower_bound(sources_.begin(), sources_.end(), k);
        const std::size_t pos = static_cast<std::size_t>(at - sources_.begin());
        const std::size_t after = sources_.size() - pos - (e.source ? 1 : 0);
        const std::size_t n = std::min({static_cast<std::size_t>(o_.nScanWindow), pos, after});
        return {pos - n, pos + n + (e.source ? 1 : 0)};
    }

    int window_model(std::size_t k) {
        const auto range = window_of(k);
        if (const auto hit = cache_.find(range); hit != cache_.end()) return hit->second;
        const std::vector<std::size_t>& order = o_.nScanWindow <= 0 ? byTime_ : sources_;
        for (auto& b : buckets_) b.clear();
        std::fill(sums_.begin(), sums_.end(), 0.0);
        for (std::size_t i = range.first; i < range.second; ++i) collect(entries_[order[i]]);
        models_.push_back(fitter_.fit(points()));
        return cache_[range] = static_cast<int>(models_.size() - 1);
    }

    Model global_model() {
        for (auto& b : buckets_) b.clear();
        std::fill(sums_.begin(), sums_.end(), 0.0);
        for (std::size_t k : sources_) collect(entries_[k]);
        Model m = fitter_.fit(points());
        if (!m.good) m.why = "the model of all lock masses: " + m.why;
        return m;
    }

    void collect(const Entry& e) {
        for (std::size_t o = e.obsBegin; o < e.obsEnd; ++o) {
            const auto lock = static_cast<std::size_t>(obsLock_[o]);
            buckets_[lock].push_back(run_.observations[o].dMeasuredMz);
            sums_[lock] += run_.observations[o].dIntensity;
        }
    }

    // Each lock's median measured m/z over the collected observations: the
    // median of their errors, whichever way the error is expressed.
    std::vector<LockPoint> points() {
        std::vector<LockPoint> p;
        for (std::size_t l = 0; l < buckets_.size(); ++l) {
            std::vector<double>& b = buckets_[l];
            if (b.empty()) continue;
            const auto mid = b.begin() + static_cast<std::ptrdiff_t>(b.size() / 2);
            std::nth_element(b.begin(), mid, b.end());
            double m = *mid;
            if (b.size() % 2 == 0) m = 0.5 * (m + *std::max_element(b.begin(), mid));
            p.push_back({run_.locks[l], m, sums_[l]});
        }
        return p;
    }

    // The good model nearest in key; of two equally near, the earlier.
    static const std::size_t* nearest(const std::vector<std::pair<double, std::size_t>>& good, double key) {
        if (good.empty()) return nullptr;
        const auto at = std::lower_bound(good.begin(), good.end(), std::make_pair(key, std::size_t{0}));
        if (at == good.end()) return &good.back().second;
        if (at == good.begin()) return &at->second;
        const auto before = at - 1;
        return key - before->first <= at->first - key ? &before->second : &at->second;
    }

    void errors_of(const Entry& e, CalLockMassSpectrum& r) {
        double before = 0, after = 0;
        for (std::size_t o = e.obsBegin; o < e.obsEnd; ++o) {
            CalLockObservation& x = run_.observations[o];
            x.dErrorAfterPpm = error_ppm(masscal::core::eval_coeffs(&r.MassFunc, x.dMeasuredMz), x.dLockMz);
            before += x.dErrorBeforePpm * x.dErrorBeforePpm;
            after += x.dErrorAfterPpm * x.dErrorAfterPpm;
        }
        const auto n = static_cast<double>(e.obsEnd - e.obsBegin);
        r.dErrorBeforePpm = n > 0 ? std::sqrt(before / n) : kNaN;
        r.dErrorAfterPpm = n > 0 ? std::sqrt(after / n) : kNaN;
    }

    CalLockMassRun& run_;
    const CalLockMassOptions& o_;
    std::vector<Entry>& entries_;
    std::vector<int>& obsLock_;
    ModelFitter& fitter_;
    std::vector<std::size_t> sources_, byTime_;
    std::vector<double> times_;
    bool timed_ = false;
    std::vector<Model> models_;
    std::map<std::pair<std::size_t, std::size_t>, int> cache_;
    std::vector<std::vector<double>> buckets_;
    std::vector<double> sums_;
};

void summarise(CalLockMassRun& run, std::size_t sources) {
    CalLockMassSummary& s = run.summary;
    s.nSpectra = static_cast<int32_t>(run.rows.size());
    s.nLockSpectra = static_cast<int32_t>(sources);
    s.nObservations = static_cast<int32_t>(run.observations.size());
    s.nLocks = static_cast<int32_t>(run.locks.size());
    double before = 0, after = 0;
    std::size_t n = 0, o = 0;
    for (const CalLockMassSpectrum& r : run.rows) {
        int32_t* count[] = {&s.nFromWindow, &s.nFromNearest, &s.nFromGlobal, &s.nUnchanged};
        ++*count[r.nSource];
        if (r.nSource != CAL_LOCK_UNCHANGED) ++s.nRewritten;
        // The rows' observations, found by file index (both in file order).
        while (o < run.observations.size() && run.observations[o].nFileIndex < r.nFileIndex) ++o;
        for (; o < run.observations.size() && run.observations[o].nFileIndex == r.nFileIndex; ++o, ++n) {
            before += run.observations[o].dErrorBeforePpm * run.observations[o].dErrorBeforePpm;
            after += run.observations[o].dErrorAfterPpm * run.observations[o].dErrorAfterPpm;
        }
    }
    s.dRmsBeforePpm = n ? std::sqrt(before / static_cast<double>(n)) : kNaN;
    s.dRmsAfterPpm = n ? std::sqrt(after / static_cast<double>(n)) : kNaN;
}

// The locks found in each source spectrum (found[i] for sources[i]), the
// spectra decoded on several threads; only a few are held at a time. False
// with the first failing spectrum's reason.
bool survey(const dm::RawFile& file, const std::vector<Entry>& entries, const std::vector<std::size_t>& sources,
            const std::vector<double>& locks, const CalLockMassOptions& o, std::vector<std::vector<LockPeak>>& found,
            std::string& error) {
    found.assign(sources.size(), {});
    std::vector<std::string> errors(sources.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        dm::Spectrum spectrum;
        for (std::size_t i; !failed && (i = next++) < sources.size();) {
            const Entry& e = entries[sources[i]];
            if (!file.readScan(e.function, e.scan, spectrum, errors[i])) {
                if (errors[i].empty()) errors[i] = "spectrum " + std::to_string(e.fileIndex + 1) + " cannot be read";
                failed = true;
                break;
            }
            find_locks(spectrum, locks, o.dTolerancePpm, o.dMinIntensity, found[i]);
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kSurveyThreads);
    std::vector<std::thread> pool;
    try {
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads only make it slower.
    }
    work();
    for (std::thread& t : pool) t.join();
    for (const std::string& why : errors) {
        if (why.empty()) continue;
        error = why;
        return false;
    }
    return true;
}

CalLockMassRun* recalibrate(const char* in, const char* out, const double* pLocks, int32_t nLocks,
                            const CalLockMassOptions* options) {
    if (!in || !*in) return refuse("no input file");
    if (!options) return refuse("no options");
    if (!pLocks || nLocks <= 0) return refuse("no lock masses");
    auto run = std::make_unique<CalLockMassRun>();
    run->in = in;
    run->out = out ? out : "";
    run->options = *options;
    const CalLockMassOptions& o = run->options;
    run->locks.assign(pLocks, pLocks + nLocks);
    if (auto why = check_options(o); !why.empty()) return refuse(why);
    if (auto why = check_locks(run->locks, o.dTolerancePpm); !why.empty()) return refuse(why);
    if (!run->out.empty())
        if (auto why = masscal::input::copy_target_problem(run->in, run->out); !why.empty()) return refuse(why);

    std::string error;
    const std::unique_ptr<dm::RawFile> file = dm::make_mzml_backend()->open(run->in, error);
    if (!file) return refuse(error.empty() ? run->in + ": cannot be read" : error);

    // Every spectrum of the lock level and, when they follow, of the levels above.
    std::vector<Entry> entries;
    float massLow = HUGE_VALF, massHigh = -HUGE_VALF;
    for (int f = 1; f <= file->functionCount(); ++f) {
        dm::FunctionSummary fs;
        if (!file->summarize(f, fs)) return refuse(run->in + ": function " + std::to_string(f) + " cannot be read");
        const bool source = fs.msLevel == o.nMsLevel;
        if (!source && !(o.bFollowHigherLevels && fs.msLevel > o.nMsLevel)) continue;
        dm::FunctionDescription d;
        if (file->describe(f, d) && d.massLow < d.massHigh) {
            massLow = std::min(massLow, d.massLow);
            massHigh = std::max(massHigh, d.massHigh);
        }
        for (std::size_t i = 0; i < fs.spectra.size(); ++i) {
            const dm::SpectrumSummary& s = fs.spectra[i];
            if (s.fileIndex < 0) continue;  // cannot be found again in the copy
            Entry e;
            e.fileIndex = s.fileIndex;
            e.function = f;
            e.scan = static_cast<int>(i + 1);
            e.msLevel = fs.msLevel;
            e.rt = s.rtSeconds;
            e.scanNumber = s.scanNumber;
            e.nativeId = s.nativeId;
            e.source = source;
            e.chosen = in_ranges(e, o);
            entries.push_back(std::move(e));
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.fileIndex < b.fileIndex; });
    const std::string level = "MS" + std::to_string(o.nMsLevel);
    std::size_t sources = 0, chosen = 0;
    for (const Entry& e : entries) {
        sources += e.source;
        chosen += e.chosen;
        if (o.nScanWindow <= 0 && !std::isfinite(e.rt))
            return refuse(run->in + ": spectrum " + std::to_string(e.fileIndex + 1) +
                          " has no retention time; use a window of neighbouring scans instead");
    }
    if (!sources) return refuse(run->in + ": no " + level + " spectra to search for lock masses");
    if (!chosen) return refuse(run->in + ": no spectrum lies in the chosen retention-time or scan range");

    // The survey: each source's lock observations, in file order.
    std::vector<std::size_t> sourceEntries;
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (entries[k].source) sourceEntries.push_back(k);
    std::vector<std::vector<LockPeak>> found;
    if (!survey(*file, entries, sourceEntries, run->locks, o, found, error)) return refuse(error);
    std::vector<int> obsLock;
    for (std::size_t i = 0, k = 0; k < entries.size(); ++k) {
        Entry& e = entries[k];
        e.obsBegin = e.obsEnd = run->observations.size();
        if (!e.source) continue;
        for (const LockPeak& p : found[i++]) {
            const double lock = run->locks[static_cast<std::size_t>(p.lock)];
            run->observations.push_back({e.fileIndex, e.rt, lock, p.mz, p.intensity, error_ppm(p.mz, lock), kNaN});
            obsLock.push_back(p.lock);
        }
        e.obsEnd = run->observations.size();
    }

    ModelFitter fitter(o, run->locks, massLow <= massHigh ? massLow : 0.0f, massLow <= massHigh ? massHigh : 0.0f);
    if (!fitter.ready()) return refuse("out of memory");
    Planner(*run, entries, obsLock, fitter).plan();
    summarise(*run, sources);
    if (run->observations.empty()) {
        const std::string why = "no lock mass found within " + number("%g", o.dTolerancePpm) + " ppm" +
                                (o.dMinIntensity > 0 ? " at intensity " + number("%g", o.dMinIntensity) + " or more" : "") +
                                " in any of the " + std::to_string(sources) + " " + level + " spectra";
        std::snprintf(run->summary.szGlobalNote, sizeof run->summary.szGlobalNote, "%s", why.c_str());
    }
    if (!run->out.empty() && run->summary.nRewritten > 0) {
        std::vector<const CalLockMassSpectrum*> rowAt(static_cast<std::size_t>(entries.back().fileIndex) + 1, nullptr);
        for (const CalLockMassSpectrum& r : run->rows)
            if (r.nSource != CAL_LOCK_UNCHANGED) rowAt[static_cast<std::size_t>(r.nFileIndex)] = &r;
        const dm::ArrayMapping map = [&rowAt](std::size_t at, std::vector<double>& mz) {
            const RawCalibCoEffs f = rowAt[at]->MassFunc;
            for (double& v : mz) v = masscal::core::eval_coeffs(&f, v);
        };
        const dm::SpectrumFilter wanted = [&rowAt](std::size_t at) { return at < rowAt.size() && rowAt[at]; };
        std::size_t rewritten = 0;
        if (!dm::rewrite_mzml_file(run->in, run->out, map, rewritten, error, wanted)) return refuse(error);
    }
    dm::dm_clear_error();
    return run.release();
}

}  // namespace

std::string masscal::lockmass::model_name(int model) {
    switch (model) {
        case CAL_LOCK_MODEL_OFFSET: return "offset";
        case CAL_LOCK_MODEL_LINEAR: return "linear";
        case CAL_LOCK_MODEL_QUADRATIC: return "quadratic";
        default:
            return model_coefficients(model) ? "poly" + std::to_string(model - CAL_LOCK_MODEL_POLY0) : "";
    }
}

const char* masscal::lockmass::source_name(int source) {
    static const char* names[] = {"window", "nearest", "global", "unchanged"};
    return source >= 0 && source <= CAL_LOCK_UNCHANGED ? names[source] : "";
}

extern "C" {

MASSCAL_API void CalLockMassDefaults(CalLockMassOptions* p) {
    if (!p) return;
    *p = CalLockMassOptions{};
    p->nModel = CAL_LOCK_MODEL_OFFSET;
    p->dTolerancePpm = 10.0;
    p->dRtWindow = 60.0;
    p->nMsLevel = 1;
    p->bGate = 1;
    CalDefaultQualityLimits(1, &p->Limits);
}

MASSCAL_API int32_t CalReadLockMasses(const char* pszPath, double* pMasses, int32_t nMax) {
    const auto fail = [](std::string why) {
        refuse(std::move(why));
        return -1;
    };
    if (!pszPath || !*pszPath) return fail("no lock list");
    const std::string path = pszPath;
    std::string text, why;
    masscal::suite::fs::FileIdentity id;
    if (!masscal::suite::fs::read_file(path, kLockFileLimit, &text, &id) || !id.exists || !id.regular)
        return fail(path + ": cannot be read");
    const bool csv = path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".csv") == 0;
    std::vector<double> masses;
    if (!masscal::engine::parse_lock_masses(text.c_str(), text.size(), csv, masses, why))
        return fail(path + ": " + why);
    for (std::size_t i = 0; pMasses && i < masses.size() && i < static_cast<std::size_t>(std::max(nMax, 0)); ++i)
        pMasses[i] = masses[i];
    dm::dm_clear_error();
    return static_cast<int32_t>(masses.size());
}

MASSCAL_API CalLockMassRun* CalLockMassRecalibrate(const char* pszIn, const char* pszOut, const double* pLocks,
                                                   int32_t nLocks, const CalLockMassOptions* pOptions) {
    try {
        return recalibrate(pszIn, pszOut, pLocks, nLocks, pOptions);
    } catch (const std::bad_alloc&) {
        return refuse("out of memory");
    }
}

MASSCAL_API void CalLockMassSummaryOf(const CalLockMassRun* pRun, CalLockMassSummary* pOut) {
    if (pOut) *pOut = pRun ? pRun->summary : CalLockMassSummary{};
}

MASSCAL_API int32_t CalLockMassSpectrumAt(const CalLockMassRun* pRun, int32_t i, CalLockMassSpectrum* pOut) {
    if (!pRun || !pOut || i < 0 || static_cast<std::size_t>(i) >= pRun->rows.size()) return 0;
    *pOut = pRun->rows[static_cast<std::size_t>(i)];
    return 1;
}

MASSCAL_API int32_t CalLockMassObservationAt(const CalLockMassRun* pRun, int32_t i, CalLockObservation* pOut) {
    if (!pRun || !pOut || i < 0 || static_cast<std::size_t>(i) >= pRun->observations.size()) return 0;
    *pOut = pRun->observations[static_cast<std::size_t>(i)];
    return 1;
}

MASSCAL_API void CalLockMassFree(CalLockMassRun* pRun) { delete pRun; }

}  // extern "C"
