#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>
#include <random>
#include <tuple>

#include "suite/charge/charge.hpp"
#include "suite/combine/centroid_stream.hpp"
#include "suite/combine/combine.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"
#include "support/test_files.hpp"

namespace {

namespace dm = masscal::dm;
namespace cb = masscal::combine;

dm::Spectrum make_spectrum(std::vector<float> m, std::vector<float> in) {
    dm::Spectrum s;
    s.mass = std::move(m);
    s.intensity = std::move(in);
    return s;
}

// A request as the spectrum input fills it from the default settings block.
std::vector<unsigned char> request(int first, int count, std::vector<std::int32_t> settings = {}) {
    std::vector<std::int32_t> block(cb::kBlockValues, 0);
    block[cb::kMode] = 1;
    block[cb::kMergeCentroids] = 1;
    float one = 1.0f;
    std::memcpy(&block[cb::kIntensityScale], &one, 4);
    std::memcpy(&block[cb::kGridTolerance], &one, 4);
    for (std::size_t i = 0; i + 1 < settings.size(); i += 2) block[settings[i]] = settings[i + 1];
    std::vector<unsigned char> r(cb::kRequestSize, 0);
    dm::store_field<std::int32_t>(r.data(), cb::kReqFirstScan, first);
    dm::store_field<std::int32_t>(r.data(), cb::kReqScanCount, count);
    dm::store_field<std::int32_t>(r.data(), cb::kReqOne, 1);
    std::memcpy(r.data() + cb::kReqSettings, &block[2], 44);
    return r;
}

TEST(Combine, ProfileScansOnOneGridAddUpExactly) {
    auto a = make_spectrum({100, 100.5f, 101}, {1, 2, 3});
    auto b = make_spectrum({100, 100.5f, 101}, {10, 20, 30});
    a.continuum = b.continuum = true;
    dm::Spectrum s = cb::combine_spectra({a, b}, true, {});
    EXPECT_EQ(s.mass, (std::vector<float>{100, 100.5f, 101}));
    EXPECT_EQ(s.intensity, (std::vector<float>{11, 22, 33}));
    EXPECT_TRUE(s.continuum);
    cb::Settings mean;
    mean.mean = true;
    EXPECT_EQ(cb::combine_spectra({a, b}, true, mean).intensity, (std::vector<float>{5.5f, 11, 16.5f}));
}

TEST(Combine, ProfileScansOnShiftedGridsAreInterpolated) {
    auto a = make_spectrum({100, 101, 102}, {0, 10, 0});
    auto b = make_spectrum({100.5f, 101.5f}, {4, 8});
    dm::Spectrum s = cb::combine_spectra({a, b}, true, {});
    ASSERT_EQ(s.mass, (std::vector<float>{100, 100.5f, 101, 101.5f, 102}));
    // a at 100.5 and 101.5 is 5; b at 101 is 6; b is 0 outside 100.5..101.5.
    EXPECT_EQ(s.intensity, (std::vector<float>{0, 9, 16, 13, 0}));
}

TEST(Combine, CentroidsMergeWithinTheTolerance) {
    auto a = make_spectrum({100.0000f, 200.0000f, 300.0f}, {100, 50, 10});
    auto b = make_spectrum({100.0005f, 200.0100f}, {300, 50});
    cb::Settings s;  // 10 ppm: 0.001 at 100, 0.002 at 200
    dm::Spectrum c = cb::combine_spectra({a, b}, false, s);
    ASSERT_EQ(c.mass.size(), 4u);
    EXPECT_NEAR(c.mass[0], 100.000375, 1e-5);  // intensity-weighted
    EXPECT_FLOAT_EQ(c.intensity[0], 400);
    EXPECT_FLOAT_EQ(c.mass[1], 200.0f);  // 50 ppm apart: not merged
    EXPECT_FLOAT_EQ(c.mass[2], 200.01f);

    s.minScans = 2;
    c = cb::combine_spectra({a, b}, false, s);
    ASSERT_EQ(c.mass.size(), 1u);
    s.minScans = 0;
    s.toleranceInAmu = true;
    s.tolerance = 0.02f;
    EXPECT_EQ(cb::combine_spectra({a, b}, false, s).mass.size(), 3u);
    s.mergeCentroids = false;
    EXPECT_EQ(cb::combine_spectra({a, b}, false, s).mass.size(), 5u);
}

TEST(Combine, DetailChannelsSurviveWhenEveryScanHasThem) {
    auto a = make_spectrum({100.0f}, {100});
    auto b = make_spectrum({100.0f}, {300});
    a.flags = {2};
    b.flags = {16};
    a.width = {0.1f};
    b.width = {0.2f};
    a.extra = {7};
    b.extra = {9};
    dm::Spectrum c = cb::combine_spectra({a, b}, false, {});
    EXPECT_EQ(c.flags, (std::vector<std::uint8_t>{18}));
    ASSERT_EQ(c.width.size(), 1u);
    EXPECT_NEAR(c.width[0], 0.175, 1e-6);
    EXPECT_EQ(c.extra, (std::vector<std::uint32_t>{9}));
    b.flags.clear();
    EXPECT_TRUE(cb::combine_spectra({a, b}, false, {}).flags.empty());
}

auto as_tuple(const cb::Settings& s) {
    return std::tuple{s.mean,           s.minScans,  s.mergeCentroids,  s.toleranceInAmu,
                      s.intensityScale, s.tolerance, s.gridTolerancePpm};
}

TEST(Combine, RequestSettingsAndDefaults) {
    EXPECT_EQ(as_tuple(cb::settings_from_request(request(1, 2).data())), as_tuple({}));
    EXPECT_EQ(as_tuple(cb::settings_from_request(nullptr)), as_tuple({}));
    const auto m = cb::settings_from_request(request(1, 2, {cb::kMode, 2, cb::kToleranceUnit, 1}).data());
    EXPECT_EQ(as_tuple(m), as_tuple({.mean = true, .toleranceInAmu = true, .tolerance = 0.01f}));
}

TEST(Combine, ScanRangeOfARealCentroidedRun) {
    const RawFileRef ref = testfiles::ref_to("/usr/share/doc/openms/examples/LCMS-centroided.mzML");
    std::size_t total = 0, largest = 0;
    for (int k = 10; k <= 14; ++k) {
        dm::Spectrum s;
        dm::FunctionDescription d;
        ASSERT_TRUE(dm::dm_read_scan(ref, 1, k, s, d)) << dm::dm_last_error();
        total += s.mass.size();
        largest = std::max(largest, s.mass.size());
    }
    auto r = request(10, 5);
    dm::DmHandle h = CombineExt(nullptr, 0, 0, &ref, 0, r.data(), 0);
    ASSERT_NE(h, nullptr) << dm::dm_last_error();
    const auto* id = static_cast<const unsigned char*>(dm::DmLockID(h));
    const auto n = dm::load_field<std::uint32_t>(id, dm::kIdPeakCount);
    // One centroid per ion: the centroids of an ion wander about 20 ppm from
    // scan to scan here, twice the default tolerance.
    EXPECT_GT(n, 0u);
    EXPECT_LE(n, largest * 3 / 2) << "scans hold " << total << " peaks, at most " << largest << " in one";
    EXPECT_EQ(dm::load_field<std::uint32_t>(id, dm::kIdContinuum), 0u);
    const auto number = dm::load_field<std::uint16_t>(id, dm::kIdSingle);
    ASSERT_NE(number, 0);
    dm::DmReleaseHandle(h, 0);

    RawFileRef single = ref;
    single.wSingle = number;
    dm::Spectrum c;
    dm::FunctionDescription d;
    ASSERT_TRUE(dm::dm_read_reference(single, c, d));
    EXPECT_TRUE(std::is_sorted(c.mass.begin(), c.mass.end()));
    double sumIn = 0, sumOut = 0;
    for (float v : c.intensity) sumOut += v;
    for (int k = 10; k <= 14; ++k) {
        dm::Spectrum s;
        dm::dm_read_scan(ref, 1, k, s, d);
        for (float v : s.intensity) sumIn += v;
    }
    EXPECT_NEAR(sumOut, sumIn, 1e-4 * sumIn);  // a sum loses no intensity
    dm::dm_release_spectrum(number);

    // A range past the end is cut; one that starts past the end fails.
    r = request(110, 10);
    h = CombineExt(nullptr, 0, 0, &ref, 0, r.data(), 0);
    ASSERT_NE(h, nullptr);
    dm::dm_release_spectrum(dm::load_field<std::uint16_t>(dm::DmLockID(h), dm::kIdSingle));
    dm::DmReleaseHandle(h, 0);
    r = request(113, 2);
    EXPECT_EQ(CombineExt(nullptr, 0, 0, &ref, 0, r.data(), 0), nullptr);
    EXPECT_NE(std::string(dm::dm_last_error()).find("no scan 113"), std::string::npos) << dm::dm_last_error();
}

// An isotope cluster of charge z whose monoisotopic singly protonated mass
// is mh: peaks at the m/z of each isotope.
void add_cluster(std::vector<float>& m, std::vector<float>& in, double mh, int z, std::vector<float> heights) {
    const double mono = (mh - kProtonatedShift) / z + kProtonatedShift;
    for (std::size_t k = 0; k < heights.size(); ++k) {
        m.push_back(static_cast<float>(mono + static_cast<double>(k) * kIsotopeSpacing / z));
        in.push_back(heights[k]);
    }
}

struct Inferred {
    std::vector<float> mass, intensity;
    std::vector<int> charge;
};

Inferred infer(std::vector<float> m, std::vector<float> in) {
    std::vector<std::size_t> order(m.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](auto a, auto b) { return m[a] < m[b]; });
    std::vector<float> ms, is;
    for (auto i : order) ms.push_back(m[i]), is.push_back(in[i]);
    int n = static_cast<int>(ms.size());
    Inferred r;
    r.mass.resize(ms.size());
    r.intensity.resize(ms.size());
    r.charge.resize(ms.size());
    const int lo = static_cast<int>(ms.front() + 0.5f), hi = static_cast<int>(ms.back() + 0.5f);
    EXPECT_EQ(InferMassesMultiplyCharged1_C(0, ms.data(), is.data(), &n, 0.5f, lo, hi, 4, r.mass.data(),
                                            r.intensity.data(), r.charge.data()),
              1);
    r.mass.resize(static_cast<std::size_t>(n));
    r.intensity.resize(static_cast<std::size_t>(n));
    r.charge.resize(static_cast<std::size_t>(n));
    return r;
}

TEST(Charge, ClustersOfCharges1To4) {
    std::vector<float> m, in;
    add_cluster(m, in, 1001.00782, 2, {100, 80, 30});
    add_cluster(m, in, 1500.5, 1, {50, 40});
    add_cluster(m, in, 2400.25, 3, {60, 70, 40, 10});
    add_cluster(m, in, 3000.75, 4, {20, 30, 25, 12, 5});
    Inferred r = infer(m, in);
    ASSERT_EQ(r.mass.size(), 4u);
    struct Want {
        double mh;
        int z;
        float sum;
    } want[] = {{1001.00782, 2, 210}, {2400.25, 3, 180}, {3000.75, 4, 92}, {1500.5, 1, 90}};
    for (const Want& w : want) {
        auto it = std::find_if(r.mass.begin(), r.mass.end(), [&](float v) { return std::fabs(v - w.mh) < 0.01; });
        ASSERT_NE(it, r.mass.end()) << w.mh;
        const auto i = static_cast<std::size_t>(it - r.mass.begin());
        EXPECT_EQ(r.charge[i], w.z) << w.mh;
        EXPECT_NEAR(r.mass[i], w.mh, 2e-4) << w.mh;
        EXPECT_FLOAT_EQ(r.intensity[i], w.sum);
    }
    // The charge-2 cluster back at its m/z is 501.00782.
    const auto i = static_cast<std::size_t>(
        std::find_if(r.charge.begin(), r.charge.end(), [](int z) { return z == 2; }) - r.charge.begin());
    EXPECT_NEAR((r.mass[i] - 1.00782) / 2 + 1.00782, 501.00782, 1e-4);
}

TEST(Charge, ZeroIntensitiesAndLonePeaks) {
    Inferred r = infer({100.0f, 150.0f, 150.5017f, 200.0f}, {10, 0, 0, 5});
    // The zeroed pair takes no part.
    EXPECT_EQ(r.mass, (std::vector<float>{100, 200}));
    EXPECT_EQ(r.charge, (std::vector<int>{1, 1}));
}

TEST(Charge, BadArgumentsAndAnEmptyList) {
    int n = -1;
    EXPECT_EQ(InferMassesMultiplyCharged1_C(0, nullptr, nullptr, &n, 0.5f, 0, 0, 4, nullptr, nullptr, nullptr), 0);
    n = 0;
    EXPECT_EQ(InferMassesMultiplyCharged1_C(0, nullptr, nullptr, &n, 0.5f, 0, 0, 4, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(InferMassesMultiplyCharged1_C(0, nullptr, nullptr, nullptr, 0.5f, 0, 0, 4, nullptr, nullptr, nullptr), 0);
}

}  // namespace

// Combining through spilled mass bands gives what combining in memory
// gives, to the bit: ties, zero masses, masses outside the stated range and
// on band edges, every setting that changes the grouping.
TEST(Combine, StreamedCentroidsEqualTheInMemoryCombine) {
    std::mt19937 rng(19);
    std::vector<dm::Spectrum> scans;
    for (int k = 0; k < 40; ++k) {
        std::vector<float> mass, height;
        for (int i = 0; i < 300; ++i) {
            const int kind = static_cast<int>(rng() % 10);
            float m = kind == 0 ? 0.0f : kind == 1 ? 150.0f + static_cast<float>(rng() % 5) * 0.25f  // ties
                      : kind == 2 ? 2500.0f + static_cast<float>(rng() % 100)  // beyond the range
                                  : std::uniform_real_distribution<float>(50.0f, 1100.0f)(rng);
            mass.push_back(m);
            height.push_back(std::uniform_real_distribution<float>(-5.0f, 1000.0f)(rng));
        }
        std::vector<std::size_t> order(mass.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return mass[a] < mass[b]; });
        std::vector<float> m, h;
        for (std::size_t i : order) m.push_back(mass[i]), h.push_back(height[i]);
        scans.push_back(make_spectrum(m, h));
    }
    cb::Settings settings[5];
    settings[1].minScans = 3;
    settings[2].mean = true, settings[2].intensityScale = 2.5f;
    settings[3].toleranceInAmu = true, settings[3].tolerance = 0.3f;
    settings[4].mergeCentroids = false;
    for (const cb::Settings& s : settings) {
        const dm::Spectrum expected = cb::combine_spectra(scans, false, s);
        for (const std::size_t limit : {std::size_t{1000}, cb::CentroidStream::kHeldLimit}) {
            cb::CentroidStream stream(100.0, 1000.0, s, limit);
            std::string why;
            for (const dm::Spectrum& scan : scans) ASSERT_TRUE(stream.add(scan, why)) << why;
            dm::Spectrum got;
            ASSERT_TRUE(stream.finish(got, why)) << why;
            EXPECT_EQ(got.mass, expected.mass);
            EXPECT_EQ(got.intensity, expected.intensity);
        }
    }
}
