#include "fitting/peak_match.hpp"

#include <algorithm>
#include <cmath>

#include "core/arrays.hpp"
#include "platform/memory.hpp"

using masscal::core::array_data;

namespace {


thread_local CalArray t_spacings{};


// Elements of size bytes that an allocated array holds (0 when it is not).
int32_t capacity_of(const CalArray& a, std::size_t size) {
    if (!a.hMem) return 0;
    const std::size_t n = masscal::platform::mem_size(a.hMem) / size;
    return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
}

// One step of a walk: accept the best data peak near the prediction p and
// mark it as taken. Returns whether a peak was accepted; p moves to it.
bool accept_near(CalPeakList* data, float* intensity, float window, double threshold, float& p, int32_t& slot,
                 int32_t& matched) {
    const auto* mass = array_data<float>(data->Mass);
    const float low = p - window, high = p + window;
    const int32_t j = FindPeakInWindow(mass, intensity, data->nCount, low, high);
    if (j < 0 || !(intensity[j] >= threshold)) return false;
    slot = j;
    ++matched;
    p = mass[j];
    intensity[j] = -intensity[j];
    return true;
}

}  // namespace

int32_t FindPeakInWindow(const float* masses, const float* intensities, int32_t count, float low, float high) {
    if (count <= 0) return -1;
    // The masses ascend, so the first peak above low is found by bisection;
    // the scan from there gives the same peak as a scan from index 0.
    const float* first = std::upper_bound(masses, masses + count, low);
    int32_t best = -1;
    for (const float* m = first; m < masses + count && *m <= high; ++m) {
        const auto i = static_cast<int32_t>(m - masses);
        if (best < 0 || intensities[i] > intensities[best]) best = i;
    }
    return best;
}

double IntensityThreshold(const CalPeakList* data, const CalParams* params) {
    if (data->nCount <= 0) return 0.0;
    const auto* intensity = array_data<const float>(data->Intensity);
    // Eight running maxima that the compiler can keep in one vector register;
    // each starts from element 0 and takes only strictly larger values, so
    // the result is that of one running maximum (a NaN never replaces a
    // value, and a NaN first element stays).
    constexpr int kLanes = 8;
    float lane[kLanes];
    for (float& l : lane) l = intensity[0];
    const int32_t n = data->nCount;
    int32_t i = 1;
    for (; i + kLanes <= n; i += kLanes)
        for (int k = 0; k < kLanes; ++k) lane[k] = intensity[i + k] > lane[k] ? intensity[i + k] : lane[k];
    float largest = intensity[0];
    for (; i < n; ++i)
        if (intensity[i] > largest) largest = intensity[i];
    for (const float l : lane)
        if (l > largest) largest = l;
    return static_cast<double>(params->Threshold) / 100.0 * largest;
}

float* ReferenceSpacings(const CalPeakList* ref, int32_t bRelease) {
    CalFree(&t_spacings);
    if (bRelease) return nullptr;
    const int32_t n = ref->nCount > 1 ? ref->nCount - 1 : 0;
    if (CalAlloc(&t_spacings, n, static_cast<int32_t>(sizeof(float))) != CAL_OK) return nullptr;
    auto* d = array_data<float>(t_spacings);
    const auto* mass = array_data<const float>(ref->Mass);
    for (int32_t k = 0; k < n; ++k) d[k] = mass[k + 1] - mass[k];
    return d;
}

int32_t FindAnchorPeak(const CalPeakList* data, const CalPeakList* ref, const CalParams* params, float threshold,
                       int32_t* dataIndex, int32_t* refIndex) {
    if (ref->nCount <= 0) return 0;
    const auto* refMass = array_data<const float>(ref->Mass);
    const auto* mass = array_data<const float>(data->Mass);
    const auto* intensity = array_data<const float>(data->Intensity);
    const int32_t half = ref->nCount / 2;
    for (int32_t i = 0; i <= half; ++i) {
        for (const int32_t r : {half - i, half + i}) {
            if (r < 0 || r >= ref->nCount) continue;
            const float low = refMass[r] - params->InitialError, high = refMass[r] + params->InitialError;
            const int32_t j = FindPeakInWindow(mass, intensity, data->nCount, low, high);
            if (j >= 0 && intensity[j] >= threshold) {
                *dataIndex = j;
                *refIndex = r;
                return 1;
            }
        }
    }
    return 0;
}

int32_t MatchPeakLists(CalPeakList* data, const CalPeakList* ref, const CalParams* params, int32_t* matchIndex) {
    const int32_t nref = ref->nCount > 0 ? ref->nCount : 0;
    for (int32_t r = 1; r <= nref; ++r) matchIndex[r] = -1;
    const double threshold = IntensityThreshold(data, params);
    const float* d = ReferenceSpacings(ref, 0);
    if (!d) return CAL_ERR_NO_MEMORY;
    int32_t anchorData = -1, a = -1;
    if (!FindAnchorPeak(data, ref, params, static_cast<float>(threshold), &anchorData, &a)) {
        ReferenceSpacings(ref, 1);
        return CAL_ERR_NO_MATCH;
    }
    matchIndex[a + 1] = anchorData;
    int32_t matched = 1;
    if (nref == 1) {
        ReferenceSpacings(ref, 1);
        return matched;
    }
    const auto* mass = array_data<const float>(data->Mass);
    auto* intensity = array_data<float>(data->Intensity);
    // The anchor's data peak is taken like any other, so that no neighbour
    // can match it a second time when the window is as wide as a spacing.
    intensity[anchorData] = -intensity[anchorData];
    const float window = params->PeakWindow;

    if (a > 0) {
        float p = mass[anchorData] - d[a - 1];
        for (int32_t k = a - 1; k >= 0; --k) {
            accept_near(data, intensity, window, threshold, p, matchIndex[k + 1], matched);
            if (k > 0) p = p - d[k - 1];
        }
    }
    float p = mass[anchorData] + (a < nref - 1 ? d[a] : 0.0f);
    for (int32_t k = a + 1; k < nref; ++k) {
        accept_near(data, intensity, window, threshold, p, matchIndex[k + 1], matched);
        if (k < nref - 1) p = p + d[k];
    }

    for (int32_t i = 0; i < data->nCount; ++i) intensity[i] = std::fabs(intensity[i]);
    ReferenceSpacings(ref, 1);
    return matched;
}

void BuildMatchedPeaks(CalRecord* rec, const int32_t* matchIndex) {
    const CalPeakList& data = rec->DataPeaks;
    CalPeakList& out = rec->MatchPeaks;
    const bool detail = data.Flags.hMem && out.Width.hMem && data.Extra.hMem && data.bDetail != 0;

    // Never more slots than every array written can hold.
    int32_t capacity = std::min({capacity_of(out.Mass, 4), capacity_of(out.Intensity, 4),
                                 capacity_of(rec->Errors, 4), capacity_of(rec->RootErrors, 4)});
    if (detail)
        capacity = std::min({capacity, capacity_of(out.Flags, 1), capacity_of(out.Width, 4),
                             capacity_of(out.Extra, 4)});

    const auto* refMass = array_data<const float>(rec->RefPeaks.Mass);
    const auto* mass = array_data<const float>(data.Mass);
    const auto* intensity = array_data<const float>(data.Intensity);
    int32_t slots = 0, run = 0, longest = 0;
    for (int32_t r = 0; r < rec->RefPeaks.nCount; ++r) {
        const int32_t j = matchIndex[r + 1];
        if (j < 0) {
            longest = std::max(longest, ++run);
            continue;
        }
        run = 0;
        if (detail && (array_data<const unsigned char>(data.Flags)[j] & CAL_PEAK_LEFT_OUT)) continue;
        if (slots >= capacity) continue;
        const float m = mass[j], ref = refMass[r];
        array_data<float>(out.Mass)[slots] = m;
        array_data<float>(out.Intensity)[slots] = intensity[j];
        array_data<float>(rec->Errors)[slots] = m - ref;
        array_data<float>(rec->RootErrors)[slots] =
            static_cast<float>(std::sqrt(static_cast<double>(m)) - std::sqrt(static_cast<double>(ref)));
        if (detail) {
            array_data<unsigned char>(out.Flags)[slots] = array_data<const unsigned char>(data.Flags)[j];
            array_data<float>(out.Width)[slots] = array_data<const float>(data.Width)[j];
            array_data<int32_t>(out.Extra)[slots] = array_data<const int32_t>(data.Extra)[j];
        }
        ++slots;
    }
    out.bDetail = detail ? 1 : 0;
    out.nCount = slots;
    rec->nMaxUnmatched = longest;
}

int32_t CalMatchPeaks(CalRecord* rec) {
    const int32_t nref = rec->RefPeaks.nCount > 0 ? rec->RefPeaks.nCount : 0;
    CalArray index{};
    const int32_t status = masscal::core::alloc_float_vector(&index, nref);
    if (status != CAL_OK) {
        rec->MatchPeaks.nCount = 0;
        return status;
    }
    auto* matchIndex = array_data<int32_t>(index);
    rec->MatchPeaks.nCount = 0;
    for (int32_t r = 1; r <= nref; ++r) matchIndex[r] = -1;
    const int32_t result = MatchPeakLists(&rec->DataPeaks, &rec->RefPeaks, &rec->Params, matchIndex);
    BuildMatchedPeaks(rec, matchIndex);
    CalFree(&index);
    return result;
}
