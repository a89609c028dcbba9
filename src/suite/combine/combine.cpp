#include "suite/combine/combine.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <algorithm>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "suite/combine/centroid_stream.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"

namespace masscal::combine {

Settings settings_from_request(const void* request) {
    Settings s;
    if (!request) return s;
    auto word = [request](int setting) { return dm::load_field<std::int32_t>(request, kReqSettings + 4 * (setting - 2)); };
    auto real = [request](int setting) { return dm::load_field<float>(request, kReqSettings + 4 * (setting - 2)); };
    s.mean = word(kMode) == 2;
    s.minScans = std::max(0, word(kMinScans));
    s.mergeCentroids = word(kMergeCentroids) != 0;
    s.toleranceInAmu = word(kToleranceUnit) == 1;
    const float scale = real(kIntensityScale);
    if (std::isfinite(scale) && scale > 0) s.intensityScale = scale;
    const float tol = real(kTolerance);
    s.tolerance = std::isfinite(tol) && tol > 0 ? tol : (s.toleranceInAmu ? 0.01f : 10.0f);
    const float grid = real(kGridTolerance);
    if (std::isfinite(grid) && grid > 0) s.gridTolerancePpm = grid;
    return s;
}

namespace {

bool all_have(const std::vector<dm::Spectrum>& scans, auto member) {
    for (const dm::Spectrum& s : scans)
        if ((s.*member).size() != s.mass.size()) return false;
    return true;
}

dm::Spectrum combine_profile(const std::vector<dm::Spectrum>& scans, const Settings& s) {
    // The merged grid: every point of every scan, points closer than the grid
    // tolerance taken as one.
    std::vector<float> grid;
    std::size_t total = 0;
    for (const dm::Spectrum& sc : scans) total += sc.mass.size();
    grid.reserve(total);
    for (const dm::Spectrum& sc : scans) {
        std::vector<float> merged;
        merged.reserve(grid.size() + sc.mass.size());
        std::merge(grid.begin(), grid.end(), sc.mass.begin(), sc.mass.end(), std::back_inserter(merged));
        grid.swap(merged);
    }
    std::vector<float> unique;
    unique.reserve(grid.size());
    for (float m : grid)
        if (unique.empty() || static_cast<double>(m) - unique.back() > unique.back() * 1e-6 * s.gridTolerancePpm)
            unique.push_back(m);

    std::vector<double> sum(unique.size(), 0.0);
    for (const dm::Spectrum& sc : scans) {
        const std::size_t n = sc.mass.size();
        if (n == 0) continue;
        std::size_t j = 0;
        for (std::size_t g = 0; g < unique.size(); ++g) {
            const double m = unique[g];
            if (m < sc.mass.front() || m > sc.mass.back()) continue;
            while (j + 1 < n && sc.mass[j + 1] < m) ++j;
            if (sc.mass[j] == m || j + 1 >= n) {
                sum[g] += sc.intensity[j];
                continue;
            }
            const double m0 = sc.mass[j], m1 = sc.mass[j + 1];
            if (m1 == m) {
                sum[g] += sc.intensity[j + 1];
                continue;
            }
            const double t = m1 > m0 ? (m - m0) / (m1 - m0) : 0.0;
            sum[g] += sc.intensity[j] + t * (static_cast<double>(sc.intensity[j + 1]) - sc.intensity[j]);
        }
    }
    dm::Spectrum out;
    out.continuum = true;
    out.mass = std::move(unique);
    out.intensity.resize(sum.size());
    const double factor = s.intensityScale / (s.mean ? static_cast<double>(scans.size()) : 1.0);
    for (std::size_t g = 0; g < sum.size(); ++g) out.intensity[g] = static_cast<float>(sum[g] * factor);
    return out;
}

struct Peak {
    float mass, intensity, width;
    std::uint8_t flags;
    std::uint32_t extra;
    std::size_t scan;
};

dm::Spectrum combine_centroids(const std::vector<dm::Spectrum>& scans, const Settings& given) {
    // A tolerance in ppm below what the data scatter would split one ion into
    // several centroids: it is widened to four times the scatter.
    Settings s = given;
    if (!s.toleranceInAmu) s.tolerance = static_cast<float>(std::max<double>(s.tolerance, 4.0 * centroid_scatter_ppm(scans)));
    const bool flags = all_have(scans, &dm::Spectrum::flags);
    const bool widths = all_have(scans, &dm::Spectrum::width);
    const bool extras = all_have(scans, &dm::Spectrum::extra);
    std::vector<Peak> peaks;
    for (std::size_t k = 0; k < scans.size(); ++k) {
        const dm::Spectrum& sc = scans[k];
        for (std::size_t i = 0; i < sc.mass.size(); ++i)
            peaks.push_back({sc.mass[i], sc.intensity[i], widths ? sc.width[i] : 0.0f, flags ? sc.flags[i] : std::uint8_t{0},
                             extras ? sc.extra[i] : 0u, k});
    }
    std::stable_sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.mass < b.mass; });

    dm::Spectrum out;
    out.continuum = false;
    const double factor = s.intensityScale / (s.mean ? static_cast<double>(scans.size()) : 1.0);
    std::vector<char> seen(scans.size());
    std::size_t i = 0;
    while (i < peaks.size()) {
        // One group: peaks within the tolerance of the group's running mass.
        double sw = 0, swm = 0, sm = 0, sWidth = 0, sum = 0;
        std::uint8_t orFlags = 0;
        std::uint32_t extra = peaks[i].extra;
        float strongest = peaks[i].intensity;
        std::fill(seen.begin(), seen.end(), 0);
        int scansSeen = 0;
        std::size_t j = i;
        double centre = peaks[i].mass;
        while (j < peaks.size()) {
            const Peak& p = peaks[j];
            const double tol = s.toleranceInAmu ? s.tolerance : centre * s.tolerance * 1e-6;
            if (j > i && (!s.mergeCentroids || p.mass - centre > tol)) break;
            const double w = std::max(0.0f, p.intensity);
            sw += w;
            swm += w * p.mass;
            sm += p.mass;
            sWidth += w * p.width;
            sum += p.intensity;
            orFlags = static_cast<std::uint8_t>(orFlags | p.flags);
            if (p.intensity > strongest) strongest = p.intensity, extra = p.extra;
            if (!seen[p.scan]) seen[p.scan] = 1, ++scansSeen;
            ++j;
            centre = sw > 0 ? swm / sw : sm / static_cast<double>(j - i);
        }
        if (scansSeen >= s.minScans) {
            out.mass.push_back(static_cast<float>(centre));
            out.intensity.push_back(static_cast<float>(sum * factor));
            if (flags) out.flags.push_back(orFlags);
            if (widths) out.width.push_back(static_cast<float>(sw > 0 ? sWidth / sw : peaks[i].width));
            if (extras) out.extra.push_back(extra);
        }
        i = j;
    }
    return out;
}

}  // namespace

double centroid_scatter_ppm(const std::vector<dm::Spectrum>& scans) {
    std::vector<double> d;
    for (std::size_t k = 0; k + 1 < scans.size() && k < 32; ++k) {
        const std::vector<float>& a = scans[k].mass;
        const std::vector<float>& b = scans[k + 1].mass;
        if (b.empty()) continue;
        for (float m : a) {
            if (!(m > 0)) continue;
            const auto it = std::lower_bound(b.begin(), b.end(), m);
            double best = HUGE_VAL;
            if (it != b.end()) best = std::min(best, std::fabs(*it - static_cast<double>(m)));
            if (it != b.begin()) best = std::min(best, std::fabs(*(it - 1) - static_cast<double>(m)));
            const double ppm = best / m * 1e6;
            if (ppm <= 500.0) d.push_back(ppm);
        }
    }
    if (d.size() < 10) return 0.0;
    auto mid = d.begin() + static_cast<std::ptrdiff_t>(d.size() / 2);
    std::nth_element(d.begin(), mid, d.end());
    return *mid;
}

dm::Spectrum combine_spectra(const std::vector<dm::Spectrum>& scans, bool continuum, const Settings& s) {
    return continuum ? combine_profile(scans, s) : combine_centroids(scans, s);
}

}  // namespace masscal::combine

namespace {
// Scans are decoded in batches on up to this many threads.
constexpr std::size_t kReadBatch = 16;
constexpr std::size_t kReadThreads = 4;
}  // namespace

masscal::dm::DmHandle CombineExt(CalWnd, int, int, const RawFileRef* ref, int, const void* request, std::uint16_t) {
    using namespace masscal;
    if (!ref || !request) return nullptr;
    const int function = ref->nFunction == 0 ? 1 : ref->nFunction;
    dm::FunctionDescription desc;
    if (!dm::dm_describe(*ref, function, desc)) return nullptr;
    int first = dm::load_field<std::int32_t>(request, combine::kReqFirstScan);
    const int count = dm::load_field<std::int32_t>(request, combine::kReqScanCount);
    if (first < 1) first = 1;
    const long long last = std::min<long long>(static_cast<long long>(first) + std::max(count, 1) - 1, desc.scanCount);
    std::vector<dm::Spectrum> scans;
    bool continuum = desc.continuum;
    const combine::Settings settings = combine::settings_from_request(request);
    std::unique_ptr<combine::CentroidStream> stream;
    std::string why;
    // Scans are decoded in batches on several threads; decoding is most of the work.
    struct Read {
        dm::Spectrum s;
        bool ok = false;
        std::string error;
    };
    const auto read = [ref, function](long long k) {
        Read r;
        dm::FunctionDescription d;
        r.ok = dm::dm_read_scan(*ref, function, static_cast<int>(k), r.s, d);
        if (!r.ok) r.error = dm::dm_last_error();
        return r;
    };
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kReadThreads);
    std::vector<Read> batch(kReadBatch);
    for (long long k = first, batchStart = first, batchEnd = first - 1; k <= last; ++k) {
        if (k > batchEnd) {
            const std::size_t n = static_cast<std::size_t>(std::min<long long>(kReadBatch, last - k + 1));
            const auto part = [&, from = k](std::size_t t, std::size_t step) {
                for (std::size_t i = t; i < n; i += step) batch[i] = read(from + static_cast<long long>(i));
            };
            if (threads > 1 && n > 1) {
                std::vector<std::future<void>> running;
                for (std::size_t t = 0; t < threads; ++t) running.push_back(std::async(std::launch::async, part, t, threads));
                for (auto& f : running) f.get();
            } else {
                part(0, 1);
            }
            batchStart = k;
            batchEnd = k + static_cast<long long>(n) - 1;
        }
        Read& r = batch[static_cast<std::size_t>(k - batchStart)];
        if (!r.ok) {
            dm::dm_set_error(r.error);
            return nullptr;
        }
        dm::Spectrum& s = r.s;
        if (k == first) {
            continuum = s.continuum;
            // Many centroid scans are combined without holding them all.
            if (!continuum && last > first && combine::CentroidStream::suits(s))
                stream = std::make_unique<combine::CentroidStream>(desc.massLow, desc.massHigh, settings);
        }
        if (!stream) {
            scans.push_back(std::move(s));
        } else if (!stream->add(s, why)) {
            dm::dm_set_error(dm::reference_path(*ref) + ": cannot combine its scans: " + why);
            return nullptr;
        }
    }
    dm::Spectrum combined;
    if (stream) {
        if (!stream->finish(combined, why)) {
            dm::dm_set_error(dm::reference_path(*ref) + ": cannot combine its scans: " + why);
            return nullptr;
        }
    } else if (scans.empty()) {
        dm::Spectrum s;
        dm::FunctionDescription d;
        dm::dm_read_scan(*ref, function, first, s, d);  // names the missing scan
        return nullptr;
    } else {
        combined = combine::combine_spectra(scans, continuum, settings);
    }
    const std::uint16_t number = dm::dm_store_spectrum(std::move(combined), desc, dm::reference_path(*ref));
    if (number == 0) return nullptr;
    dm::DmHandle h = dm::dm_stored_handle(number);
    if (!h) dm::dm_release_spectrum(number);
    return h;
}
