#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "support/fit_test_support.hpp"
#include "fitting/peak_match.hpp"
#include "platform/memory.hpp"

namespace {

using fittest::Normal;
using fittest::TestRecord;

struct Peak {
    float mass, intensity;
    unsigned char flags = 0;
};

// A record with the given data and reference peaks; MatchPeaks gets the
// capacity of the data list, as Calibrate allocates it.
struct MatchRecord : TestRecord {
    MatchRecord(const std::vector<Peak>& data, const std::vector<float>& refs, bool detail = false)
        : TestRecord(static_cast<int>(data.size()), static_cast<int>(data.size()) > 0 ? static_cast<int>(data.size()) : 1) {
        for (std::size_t i = 0; i < data.size(); ++i) {
            dmass()[i] = data[i].mass;
            dint()[i] = data[i].intensity;
            masscal::core::array_data<unsigned char>(rec.DataPeaks.Flags)[i] = data[i].flags;
            masscal::core::array_data<float>(rec.DataPeaks.Width)[i] = 0.001f * static_cast<float>(i + 1);
            masscal::core::array_data<int32_t>(rec.DataPeaks.Extra)[i] = 100 + static_cast<int32_t>(i);
        }
        rec.DataPeaks.nCount = static_cast<int32_t>(data.size());
        rec.DataPeaks.bDetail = detail ? 1 : 0;
        for (std::size_t i = 0; i < refs.size(); ++i) masscal::core::array_data<float>(rec.RefPeaks.Mass)[i] = refs[i];
        rec.RefPeaks.nCount = static_cast<int32_t>(refs.size());
        rec.Params.InitialError = 0.5f;
        rec.Params.PeakWindow = 0.4f;
        rec.Params.Threshold = 0.0f;
    }
    float* dmass() { return masscal::core::array_data<float>(rec.DataPeaks.Mass); }
    float* dint() { return masscal::core::array_data<float>(rec.DataPeaks.Intensity); }
};

// The plain scan from index 0, to check the bisection against.
int32_t scan_window(const std::vector<float>& m, const std::vector<float>& in, float low, float high) {
    int32_t best = -1;
    for (std::size_t i = 0; i < m.size() && m[i] <= high; ++i)
        if (m[i] > low && (best < 0 || in[i] > in[best])) best = static_cast<int32_t>(i);
    return best;
}

TEST(FindPeakInWindow, HalfOpenWindowMostIntenseFirstOnTies) {
    const std::vector<float> m = {10.0f, 10.5f, 11.0f, 11.0f, 12.0f}, in = {5, 1, 3, 3, 9};
    struct Case {
        float low, high;
        int32_t expected;
    } cases[] = {
        {10.0f, 10.5f, 1},   // 10.0 at the low bound is outside, 10.5 at the high bound inside
        {9.0f, 11.0f, 0},    // the first data peak competes on intensity
        {10.2f, 11.5f, 2},   // equal intensities: the lower index
        {11.0f, 11.9f, -1},  // nothing in (11, 11.9]
        {12.0f, 99.0f, -1},  // the last peak exactly at the low bound
        {-5.0f, 9.9f, -1},
        {11.5f, 12.0f, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindPeakInWindow(m.data(), in.data(), 5, c.low, c.high), c.expected) << c.low << " " << c.high;
    EXPECT_EQ(FindPeakInWindow(m.data(), in.data(), 0, 0.0f, 100.0f), -1);
    // A peak already taken (negative) loses against any other.
    const std::vector<float> taken = {-50, 1, 3, 3, 9};
    EXPECT_EQ(FindPeakInWindow(m.data(), taken.data(), 5, 9.0f, 10.6f), 1);
    EXPECT_EQ(FindPeakInWindow(m.data(), taken.data(), 5, 9.0f, 10.2f), 0);
}

TEST(FindPeakInWindow, BisectionFindsWhatTheScanFinds) {
    Normal rnd(7);
    std::vector<float> m, in;
    float x = 100.0f;
    for (int i = 0; i < 3000; ++i) {
        // Repeated masses and intensities on purpose.
        if (rnd.uniform() > 0.1) x += static_cast<float>(rnd.uniform() * 0.3);
        m.push_back(x);
        in.push_back(static_cast<float>(std::floor(rnd.uniform() * 20.0)));
    }
    for (int t = 0; t < 5000; ++t) {
        const float c = static_cast<float>(90.0 + rnd.uniform() * 500.0);
        const float w = static_cast<float>(rnd.uniform() * 2.0);
        const float low = t % 7 == 0 ? m[t % m.size()] : c - w;
        const float high = t % 11 == 0 ? m[(t * 3) % m.size()] : c + w;
        ASSERT_EQ(FindPeakInWindow(m.data(), in.data(), static_cast<int32_t>(m.size()), low, high),
                  scan_window(m, in, low, high))
            << low << " " << high;
    }
}

TEST(Matching, IntensityThresholdIsAPercentageOfTheLargest) {
    MatchRecord r({{1, 5}, {2, 40}, {3, 7}}, {2});
    r.rec.Params.Threshold = 2.5f;
    EXPECT_DOUBLE_EQ(IntensityThreshold(&r.rec.DataPeaks, &r.rec.Params), 1.0);
    r.rec.DataPeaks.nCount = 0;
    EXPECT_EQ(IntensityThreshold(&r.rec.DataPeaks, &r.rec.Params), 0.0);

    // Every length and position of the maximum, against one running maximum.
    Normal rnd(11);
    for (int n = 1; n <= 40; ++n) {
        std::vector<Peak> peaks;
        for (int i = 0; i < n; ++i) peaks.push_back({static_cast<float>(i), static_cast<float>(rnd.uniform() * 100)});
        if (n % 5 == 0) peaks[n / 2].intensity = NAN;
        MatchRecord m(peaks, {1});
        m.rec.Params.Threshold = 100.0f;
        float largest = peaks[0].intensity;
        for (const Peak& p : peaks)
            if (p.intensity > largest) largest = p.intensity;
        EXPECT_EQ(IntensityThreshold(&m.rec.DataPeaks, &m.rec.Params), static_cast<double>(largest)) << n;
    }
    // A NaN first intensity stays, as in one running maximum.
    MatchRecord nan({{1, NAN}, {2, 5}, {3, 7}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 9}, {10, 1}}, {1});
    nan.rec.Params.Threshold = 100.0f;
    EXPECT_TRUE(std::isnan(IntensityThreshold(&nan.rec.DataPeaks, &nan.rec.Params)));
}

TEST(Matching, AnchorIsSoughtFromTheMiddleOutward) {
    // Four reference peaks try 2, 2, 1, 3, 0: give data only near some.
    const std::vector<float> refs = {100, 200, 300, 400};
    struct Case {
        std::vector<Peak> data;
        int32_t ref, data_index;
    } cases[] = {
        {{{100.1f, 1}, {399.9f, 1}}, 3, 1},
        {{{100.1f, 1}, {200.2f, 1}, {399.9f, 1}}, 1, 1},
        {{{100.1f, 1}, {200.2f, 1}, {300.3f, 1}, {399.9f, 1}}, 2, 2},
        {{{100.1f, 1}}, 0, 0},
    };
    for (const Case& c : cases) {
        MatchRecord r(c.data, refs);
        int32_t j = -1, k = -1;
        ASSERT_EQ(FindAnchorPeak(&r.rec.DataPeaks, &r.rec.RefPeaks, &r.rec.Params, 0.0f, &j, &k), 1);
        EXPECT_EQ(k, c.ref);
        EXPECT_EQ(j, c.data_index);
    }
    // A peak below the threshold does not anchor.
    MatchRecord weak({{100.2f, 5}, {300.1f, 1}}, refs);
    int32_t j = -1, k = -1;
    ASSERT_EQ(FindAnchorPeak(&weak.rec.DataPeaks, &weak.rec.RefPeaks, &weak.rec.Params, 2.0f, &j, &k), 1);
    EXPECT_EQ(k, 0);
    EXPECT_EQ(FindAnchorPeak(&weak.rec.DataPeaks, &weak.rec.RefPeaks, &weak.rec.Params, 6.0f, &j, &k), 0);
}

TEST(Matching, WalksFollowADriftingError) {
    MatchRecord r({{100.0f, 10}, {200.3f, 10}, {300.6f, 10}}, {100, 200, 300});
    ASSERT_EQ(CalMatchPeaks(&r.rec), 3);
    ASSERT_EQ(r.rec.MatchPeaks.nCount, 3);
    const float* m = masscal::core::array_data<float>(r.rec.MatchPeaks.Mass);
    const float* e = r.errors();
    const float* re = masscal::core::array_data<float>(r.rec.RootErrors);
    EXPECT_EQ(std::vector<float>(m, m + 3), (std::vector<float>{100.0f, 200.3f, 300.6f}));
    EXPECT_EQ(std::vector<float>(e, e + 3), (std::vector<float>{0.0f, 200.3f - 200.0f, 300.6f - 300.0f}));
    EXPECT_EQ(re[2], static_cast<float>(std::sqrt(static_cast<double>(300.6f)) - std::sqrt(300.0)));
    EXPECT_EQ(std::make_pair(r.rec.nMaxUnmatched, r.rec.MatchPeaks.bDetail), std::make_pair(0, 0));
    EXPECT_EQ(std::vector<float>(r.dint(), r.dint() + 3), std::vector<float>(3, 10.0f));
}

TEST(Matching, MostIntensePeakInTheWindowAndIntensitiesRestored) {
    MatchRecord r({{99.8f, 3}, {100.1f, 8}, {150.0f, -4}, {199.9f, 2}, {200.2f, 2}, {300.1f, 1}},
                  {100, 200, 300});
    r.rec.Params.Threshold = 10.0f;  // of 8: 0.8
    EXPECT_EQ(CalMatchPeaks(&r.rec), 3);
    const float* m = masscal::core::array_data<float>(r.rec.MatchPeaks.Mass);
    // Anchor 200: 199.9 and 200.2 tie, the lower one wins; then 100.1 from
    // the prediction 99.9 + ... and 300.1.
    EXPECT_EQ(std::vector<float>(m, m + 3), (std::vector<float>{100.1f, 199.9f, 300.1f}));
    // Every intensity is non-negative again, the one negative on entry too.
    EXPECT_EQ(std::make_pair(r.dint()[1], r.dint()[2]), std::make_pair(8.0f, 4.0f));
}

TEST(Matching, UnmatchedRunsAndNoAnchor) {
    MatchRecord r({{300.05f, 5}, {600.0f, 5}}, {100, 200, 300, 400, 500, 600, 700});
    // 400, 500 unmatched in a row (and 100, 200 before).
    EXPECT_EQ(std::make_tuple(CalMatchPeaks(&r.rec), r.rec.MatchPeaks.nCount, r.rec.nMaxUnmatched),
              std::make_tuple(2, 2, 2));
    MatchRecord none({{1000.0f, 5}}, {100, 200, 300, 400});
    EXPECT_EQ(std::make_tuple(CalMatchPeaks(&none.rec), none.rec.MatchPeaks.nCount, none.rec.nMaxUnmatched),
              std::make_tuple(int(CAL_ERR_NO_MATCH), 0, 4));

    MatchRecord one({{100.2f, 5}}, {100});
    EXPECT_EQ(CalMatchPeaks(&one.rec), 1);
    EXPECT_EQ(one.rec.MatchPeaks.nCount, 1);
    MatchRecord lone({{101.0f, 5}}, {100});
    EXPECT_EQ(CalMatchPeaks(&lone.rec), CAL_ERR_NO_MATCH);

    MatchRecord empty({{101.0f, 5}}, {});
    EXPECT_EQ(CalMatchPeaks(&empty.rec), CAL_ERR_NO_MATCH);
    EXPECT_EQ(empty.rec.nMaxUnmatched, 0);
}

TEST(Matching, FlaggedPeaksAreLeftOutButCountAsMatched) {
    MatchRecord r({{100.0f, 5, 0x02}, {200.0f, 5, 0x10}, {300.0f, 5, 0x01}, {400.0f, 5, 0}},
                  {100, 200, 300, 400, 500}, true);
    EXPECT_EQ(CalMatchPeaks(&r.rec), 4);
    const CalPeakList& l = r.rec.MatchPeaks;
    EXPECT_EQ(std::make_tuple(l.nCount, l.bDetail, r.rec.nMaxUnmatched), std::make_tuple(2, 1, 1));
    const float* m = masscal::core::array_data<float>(l.Mass);
    EXPECT_EQ(std::make_tuple(m[0], m[1], int(masscal::core::array_data<unsigned char>(l.Flags)[0]), masscal::core::array_data<float>(l.Width)[1],
                              masscal::core::array_data<int32_t>(l.Extra)[0]),
              std::make_tuple(300.0f, 400.0f, 0x01, 0.004f, 102));
    // Without the detail flag nothing is left out.
    MatchRecord plain({{100.0f, 5, 0x02}, {200.0f, 5, 0x10}}, {100, 200});
    EXPECT_EQ(CalMatchPeaks(&plain.rec), 2);
    EXPECT_EQ(plain.rec.MatchPeaks.nCount, 2);
}

// The anchor's data peak is taken: a neighbour whose window reaches it does
// not match it again, and the one-entry matched list is not overrun.
TEST(Matching, TheAnchorsPeakIsNotMatchedTwice) {
    MatchRecord r({{200.0f, 5}}, {199, 200, 201});
    r.rec.Params.PeakWindow = 1.5f;
    EXPECT_EQ(CalMatchPeaks(&r.rec), 1);
    EXPECT_EQ(std::make_tuple(r.rec.MatchPeaks.nCount, r.errors()[0], r.rec.nMaxUnmatched, r.dint()[0]),
              std::make_tuple(1, 0.0f, 1, 5.0f));

    // A negative threshold lets taken peaks through; the list still stops
    // at its capacity.
    MatchRecord neg({{200.0f, 5}}, {199, 200, 201});
    neg.rec.Params.PeakWindow = 1.5f;
    neg.rec.Params.Threshold = -200.0f;
    EXPECT_EQ(CalMatchPeaks(&neg.rec), 3);
    EXPECT_EQ(neg.rec.MatchPeaks.nCount, 1);
}

TEST(Matching, BuildStopsAtTheSmallestCapacity) {
    MatchRecord r({{100.0f, 5}, {200.0f, 6}}, {100, 200, 300, 400});
    const int32_t index[5] = {0, 0, 1, 1, 0};
    BuildMatchedPeaks(&r.rec, index);
    EXPECT_EQ(r.rec.MatchPeaks.nCount, 2);  // capacity of MatchPeaks: 2
    EXPECT_EQ(r.rec.nMaxUnmatched, 0);
    // A list without arrays gets nothing.
    CalAllocPeakList(&r.rec.MatchPeaks, 0, 1);
    BuildMatchedPeaks(&r.rec, index);
    EXPECT_EQ(r.rec.MatchPeaks.nCount, 0);
}

TEST(Matching, OutOfMemory) {
    using masscal::platform::set_alloc_failure;
    MatchRecord r({{100.0f, 5}, {200.0f, 6}}, {100, 200});
    set_alloc_failure(1);  // the match index array
    EXPECT_EQ(CalMatchPeaks(&r.rec), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(r.rec.MatchPeaks.nCount, 0);
    set_alloc_failure(2);  // the reference spacings
    EXPECT_EQ(CalMatchPeaks(&r.rec), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(r.rec.MatchPeaks.nCount, 0);
    EXPECT_EQ(r.rec.nMaxUnmatched, 2);
    set_alloc_failure(0);
    EXPECT_EQ(CalMatchPeaks(&r.rec), 2);
}

TEST(Matching, SpacingsOfTheReferenceList) {
    MatchRecord r({{1, 1}}, {100, 150, 175});
    const float* d = ReferenceSpacings(&r.rec.RefPeaks, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d[0], 50.0f);
    EXPECT_EQ(d[1], 25.0f);
    EXPECT_EQ(ReferenceSpacings(&r.rec.RefPeaks, 1), nullptr);
}

}  // namespace
