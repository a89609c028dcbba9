#include "suite/massmeasure/massmeasure.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"

namespace masscal::mm {

Settings settings_from_block(const void* block) {
    Settings s;
    if (!block) return s;
    auto f = [block](std::size_t at) { return dm::load_field<float>(block, at); };
    const float minIntensity = f(kMinIntensity);
    if (std::isfinite(minIntensity) && minIntensity > 0) s.minIntensity = minIntensity;
    const float snr = f(kSignalToNoise);
    if (std::isfinite(snr) && snr != 0) s.signalToNoise = snr;
    const float top = f(kTopFraction);
    if (std::isfinite(top) && top > 0 && top < 1) s.topFraction = top;
    const auto minPoints = dm::load_field<std::int32_t>(block, kMinPoints);
    if (minPoints > 0) s.minPoints = minPoints;
    const float scale = f(kWidthScale);
    if (std::isfinite(scale) && scale > 0) s.widthScale = scale;
    const float rel = f(kRelativeThreshold);
    if (std::isfinite(rel) && rel > 0 && rel < 1) s.relativeThreshold = rel;
    const float dip = f(kMinDip);
    if (std::isfinite(dip) && dip != 0) s.minDip = dip;
    s.weightAboveLevel = dm::load_field<std::int32_t>(block, kWeighting) == 1;
    return s;
}

void estimate_noise(const float* intensity, std::size_t n, float& baseline, float& noise) {
    baseline = 0.0f;
    noise = 0.0f;
    if (n == 0) return;
    const std::size_t stride = n > 65536 ? n / 65536 : 1;
    std::vector<float> sample;
    sample.reserve(n / stride + 1);
    for (std::size_t i = 0; i < n; i += stride) sample.push_back(intensity[i]);
    auto mid = sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 2);
    std::nth_element(sample.begin(), mid, sample.end());
    baseline = *mid;
    for (float& v : sample) v = std::fabs(v - baseline);
    std::nth_element(sample.begin(), mid, sample.end());
    noise = 1.4826f * *mid;
}

namespace {

// Samples either side of the apex that a centroid from half height may take,
// and the fewest above half height for a peak to be called well sampled.
constexpr std::size_t kMaxHalfWidthSamples = 256;
constexpr std::size_t kMinHalfHeightSamples = 7;

// Standard deviation of a weighted centroid c = sum(w m) / sum(w) under
// independent noise of spread `noise` on every weight: each point moves c by
// (m_j - c) / sum(w) per unit of intensity, so
//   sigma = noise * sqrt(sum over the top of (m_j - c)^2) / sum(w).
// A top of one point says nothing of where the apex lies between its
// neighbours: it gets the spread of a uniform position over one sample
// spacing, spacing / sqrt(12).
double centroid_uncertainty(const float* mass, std::size_t lo, std::size_t hi, double centre, double sumWeights,
                            float noise, std::size_t apex, std::size_t n) {
    if (lo == hi || !(sumWeights > 0)) {
        const double left = apex > 0 ? mass[apex] - mass[apex - 1] : 0.0;
        const double right = apex + 1 < n ? mass[apex + 1] - mass[apex] : 0.0;
        return std::max(left, right) / std::sqrt(12.0);
    }
    double spread = 0;
    for (std::size_t j = lo; j <= hi; ++j) spread += (mass[j] - centre) * (mass[j] - centre);
    return noise * std::sqrt(spread) / sumWeights;
}

}  // namespace

dm::Spectrum centroid_profile(const float* mass, const float* in, std::size_t n, const Settings& s) {
    dm::Spectrum out;
    out.continuum = false;
    if (n < 3) return out;
    float threshold = s.minIntensity;
    float baseline = 0, noise = 0;
    estimate_noise(in, n, baseline, noise);
    // Noise-free (computed) data has no spread; rounding ripples in its tails
    // are still not peaks.
    const float base = *std::max_element(in, in + n);
    noise = std::max(noise, 1e-3f * (base - baseline));
    if (s.signalToNoise > 0) threshold = std::max(threshold, baseline + s.signalToNoise * noise);
    const float dip = s.minDip > 0 ? s.minDip * noise : 0.0f;
    std::size_t lastApex = 0;
    bool havePeak = false;
    if (s.relativeThreshold > 0) {
        const float base = *std::max_element(in, in + n);
        threshold = std::max(threshold, s.relativeThreshold * base);
    }
    for (std::size_t i = 1; i + 1 < n; ++i) {
        // A peak: rises into i, does not rise after it (the first point of a
        // plateau stands for the plateau).
        if (!(in[i] > in[i - 1] && in[i] >= in[i + 1])) continue;
        const float apex = in[i];
        if (apex <= 0 || apex < threshold) continue;
        bool replacesPrevious = false;
        if (havePeak && dip > 0) {
            // Too shallow a dip to the previous peak: one peak, the higher.
            const float valley = *std::min_element(in + lastApex, in + i + 1);
            const float prev = in[lastApex];
            if (std::min(prev, apex) - valley < dip) {
                if (apex <= prev) continue;
                replacesPrevious = true;
            }
        }

        const float level = s.topFraction * apex;
        std::size_t lo = i, hi = i;
        // A point lower than the next one outward is the valley to the next
        // peak: it belongs to neither top.
        while (lo > 0 && in[lo - 1] >= level && in[lo - 1] <= in[lo] && !(lo - 1 > 0 && in[lo - 2] > in[lo - 1])) --lo;
        while (hi + 1 < n && in[hi + 1] >= level && in[hi + 1] <= in[hi] && !(hi + 2 < n && in[hi + 2] > in[hi + 1]))
            ++hi;
        if (static_cast<int>(hi - lo + 1) < s.minPoints) continue;

        double sw = 0, swm = 0;
        float floor = s.weightAboveLevel ? level : 0.0f;
        {
            // Noise on a broad peak cuts its top down to a sample or two about
            // a noise maximum (a clean top is over half as wide as the peak at
            // half height): the centroid then comes from everything above half
            // height, so the peak's shape, not a few samples, places it. A
            // higher point is another peak's (or this is a bump on a flank):
            // the region stops before it. A peak of few samples keeps its top.
            const float half = 0.5f * apex;
            std::size_t a = i, b = i;
            while (a > 0 && i - a < kMaxHalfWidthSamples && in[a - 1] >= half && in[a - 1] <= apex) --a;
            while (b + 1 < n && b - i < kMaxHalfWidthSamples && in[b + 1] >= half && in[b + 1] <= apex) ++b;
            if (b - a + 1 >= kMinHalfHeightSamples && b - a + 1 > 3 * (hi - lo + 1)) lo = a, hi = b, floor = half;
        }
        for (std::size_t j = lo; j <= hi; ++j) {
            const double w = static_cast<double>(in[j]) - floor;
            sw += w;
            swm += w * mass[j];
        }
        const double centre = sw > 0 ? swm / sw : mass[i];
        const double sigma = centroid_uncertainty(mass, lo, hi, centre, sw, noise, i, n);
        if (replacesPrevious) {
            out.mass.pop_back();
            out.intensity.pop_back();
            out.width.pop_back();
        }
        out.mass.push_back(static_cast<float>(centre));
        out.intensity.push_back(apex);
        out.width.push_back(static_cast<float>(sigma * s.widthScale));
        lastApex = i;
        havePeak = true;
        i = hi;  // the next peak starts past this top
    }
    return out;
}

}  // namespace masscal::mm

masscal::dm::DmHandle MassMeasureSpectrum(CalWnd, const RawFileRef* ref, const void* block, int, int) {
    using namespace masscal;
    if (!ref) return nullptr;
    std::shared_ptr<const dm::Spectrum> source;
    dm::FunctionDescription desc;
    if (!dm::dm_read_reference_shared(*ref, source, desc)) return nullptr;
    const dm::Spectrum& profile = *source;
    const mm::Settings settings = mm::settings_from_block(block);
    dm::Spectrum peaks = mm::centroid_profile(profile.mass.data(), profile.intensity.data(), profile.mass.size(), settings);
    desc.continuum = false;
    const std::uint16_t number = dm::dm_store_spectrum(std::move(peaks), desc, dm::reference_path(*ref));
    if (number == 0) return nullptr;
    dm::DmHandle h = dm::dm_stored_handle(number);
    if (!h) dm::dm_release_spectrum(number);
    return h;
}
