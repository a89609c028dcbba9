#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "core/arrays.hpp"
#include "masscal/calib.h"
#include "window/peak_editing.hpp"

using masscal::window::find_nearest;
using masscal::window::manual_assignment;

namespace {

struct NearestCase {
    std::vector<float> values;
    float target;
    bool within;
    int nearest;
    int insert;
};

TEST(FindNearest, NeighbourInsertPositionAndTolerance) {
    const NearestCase cases[] = {
        {{100, 200, 300}, 199.0f, false, 1, 1},   // the one above is nearer, and above the target
        {{100, 200, 300}, 201.0f, false, 1, 2},   // nearer neighbour below, above the target
        {{100, 200, 300}, 299.0f, false, 2, 2},   // the one above is nearer
        {{100, 200, 300}, 200.05f, true, 1, 2},   // within 1/16
        {{100, 200, 300}, 200.07f, false, 1, 2},  // just outside
        {{100, 200, 300}, 350.0f, false, 2, -1},  // above all: no insert position
        {{100, 200, 300}, 50.0f, false, 0, 0},    // below all
        {{100, 101}, 100.5f, false, 0, 1},        // a tie keeps the first
        {{}, 100.0f, false, -1, -1},
    };
    for (const NearestCase& c : cases) {
        int nearest = 7, insert = 7;
        const bool within = find_nearest(c.values.data(), nullptr, static_cast<int>(c.values.size()), c.target,
                                         &nearest, &insert);
        EXPECT_EQ(std::make_tuple(within, nearest, insert), std::make_tuple(c.within, c.nearest, c.insert))
            << c.target;
    }
}

TEST(FindNearest, OverDifferences) {
    const float a[] = {100.2f, 200.3f, 300.1f};
    const float b[] = {0.2f, 0.3f, 0.1f};
    int nearest = -1, insert = -1;
    EXPECT_TRUE(find_nearest(a, b, 3, 200.0f, &nearest, &insert));
    EXPECT_EQ(nearest, 1);
}

struct RecordDeleter {
    void operator()(CalRecord* r) const {
        CalAllocArrays(r, 1);
        delete r;
    }
};
using RecordPtr = std::unique_ptr<CalRecord, RecordDeleter>;

float* arr(const CalArray& a) { return static_cast<float*>(a.pData); }

// Every value a pair keeps in the parallel arrays: data mass, intensity,
// width, extra, error, root error, and the root-mass list's mass, width and extra.
using Pair = std::array<float, 9>;

// A pair as a record would hold it.
Pair pair_of(float m, float r, float intensity, float width, float extra) {
    const double root = std::sqrt(double{m});
    return {m,     intensity, width, extra, m - r, static_cast<float>(root - std::sqrt(double{r})),
            static_cast<float>(root), static_cast<float>(width / (2 * root)), extra};
}

Pair pair_at(const CalRecord& rec, int i) {
    return {arr(rec.MatchPeaks.Mass)[i],  arr(rec.MatchPeaks.Intensity)[i], arr(rec.MatchPeaks.Width)[i],
            arr(rec.MatchPeaks.Extra)[i], arr(rec.Errors)[i],                arr(rec.RootErrors)[i],
            arr(rec.SparePeaks.Mass)[i],  arr(rec.SparePeaks.Width)[i],      arr(rec.SparePeaks.Extra)[i]};
}

// The pairs agree to float precision.
::testing::AssertionResult same_pairs(const std::vector<Pair>& got, const std::vector<Pair>& want) {
    bool same = got.size() == want.size();
    for (std::size_t i = 0; same && i < got.size(); ++i)
        for (std::size_t k = 0; k < got[i].size(); ++k)
            same = same && std::fabs(got[i][k] - want[i][k]) <= 1e-6f * std::max(1.0f, std::fabs(want[i][k]));
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ::testing::PrintToString(got) << "\n  expected "
                                         << ::testing::PrintToString(want);
}

std::vector<Pair> pairs_of(const CalRecord& rec) {
    std::vector<Pair> out;
    for (int i = 0; i < rec.MatchPeaks.nCount; ++i) out.push_back(pair_at(rec, i));
    return out;
}

// A record with reference peaks and pairs (data mass, reference mass);
// pair i has intensity 1000 + i, width 0.001 (i + 1), extra 10 + i, so a
// test sees which pair's values landed where.
RecordPtr make_pair_record(const std::vector<float>& refs, const std::vector<std::pair<float, float>>& pairs,
                           int pairCapacity = CAL_MATCH_CAPACITY) {
    RecordPtr rec(new CalRecord{});
    CalAllocArrays(rec.get(), 0);
    CalAllocPeakList(&rec->DataPeaks, 200, 0);
    CalAllocPeakList(&rec->MatchPeaks, pairCapacity, 0);
    CalAllocPeakList(&rec->SparePeaks, pairCapacity, 0);
    for (std::size_t i = 0; i < refs.size(); ++i) {
        arr(rec->RefPeaks.Mass)[i] = refs[i];
        arr(rec->RefPeaks.Intensity)[i] = 100.0f;
    }
    rec->RefPeaks.nCount = static_cast<int>(refs.size());
    rec->MatchPeaks.nCount = static_cast<int>(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const float k = static_cast<float>(i);
        const Pair p = pair_of(pairs[i].first, pairs[i].second, 1000.0f + k, 0.001f * (k + 1), 10.0f + k);
        std::size_t j = 0;
        for (CalArray* a : {&rec->MatchPeaks.Mass, &rec->MatchPeaks.Intensity, &rec->MatchPeaks.Width,
                            &rec->MatchPeaks.Extra, &rec->Errors, &rec->RootErrors, &rec->SparePeaks.Mass,
                            &rec->SparePeaks.Width, &rec->SparePeaks.Extra})
            arr(*a)[i] = p[j++];
    }
    return rec;
}

constexpr float kUnset = -1.0f;

// In a time-of-flight record the pending reference decides the pair.
TEST(ManualAssignment, TofPairThenUnpairTheSamePeak) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {});
    rec->bExternalFunction = 1;
    manual_assignment(rec.get(), 200.4f, 55.0f, 200.0f, 0.004f, 7.0f);
    EXPECT_TRUE(same_pairs(pairs_of(*rec), std::vector<Pair>{pair_of(200.4f, 200.0f, 55.0f, 0.004f, 7.0f)}));
    manual_assignment(rec.get(), 200.4f, 55.0f, 200.0f, 0.004f, 7.0f);
    EXPECT_EQ(rec->MatchPeaks.nCount, 0);
}

TEST(ManualAssignment, SecondPeakForTheSameReferenceReplacesThePair) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {});
    rec->bExternalFunction = 1;
    manual_assignment(rec.get(), 200.4f, 55.0f, 200.0f, 0.004f, 0.0f);
    manual_assignment(rec.get(), 199.8f, 66.0f, 200.0f, 0.002f, 0.0f);
    EXPECT_TRUE(same_pairs(pairs_of(*rec), std::vector<Pair>{pair_of(199.8f, 200.0f, 66.0f, 0.002f, 0.0f)}));
}

// Inserting and removing keep the pairs sorted and move every pair array,
// so the next fit reads each peak's own uncertainty.
TEST(ManualAssignment, InsertAndRemoveMoveEveryPairArray) {
    const std::vector<float> refs{100.0f, 200.0f, 300.0f};
    auto tof = make_pair_record(refs, {{100.1f, 100.0f}, {300.3f, 300.0f}});
    const std::vector<Pair> before = pairs_of(*tof);
    tof->bExternalFunction = 1;
    manual_assignment(tof.get(), 200.2f, 5.0f, 200.0f, 0.009f, 3.0f);
    EXPECT_TRUE(same_pairs(pairs_of(*tof), (std::vector<Pair>{before[0], pair_of(200.2f, 200.0f, 5.0f, 0.009f, 3.0f), before[1]})));

    auto quad = make_pair_record(refs, {{100.1f, 100.0f}, {200.2f, 200.0f}, {300.3f, 300.0f}});
    const std::vector<Pair> three = pairs_of(*quad);
    manual_assignment(quad.get(), 200.2f, 0.0f, kUnset, 0.0f, 0.0f);
    EXPECT_TRUE(same_pairs(pairs_of(*quad), (std::vector<Pair>{three[0], three[2]})));
}

TEST(ManualAssignment, WhichReferenceThePeakPairsWith) {
    // A quadrupole record pairs with the reference peak nearest the data peak.
    auto quad = make_pair_record({100.0f, 200.0f, 300.0f}, {});
    manual_assignment(quad.get(), 299.7f, 1.0f, kUnset, 0.0f, 0.0f);
    ASSERT_EQ(quad->MatchPeaks.nCount, 1);
    EXPECT_FLOAT_EQ(arr(quad->Errors)[0], 299.7f - 300.0f);
    // A matched data peak given to another reference peak leaves its old pair.
    auto tof = make_pair_record({100.0f, 200.0f, 300.0f}, {{200.2f, 200.0f}});
    tof->bExternalFunction = 1;
    manual_assignment(tof.get(), 200.2f, 1.0f, 300.0f, 0.0f, 0.0f);
    ASSERT_EQ(tof->MatchPeaks.nCount, 1);
    EXPECT_EQ(std::make_pair(arr(tof->MatchPeaks.Mass)[0], arr(tof->Errors)[0]), std::make_pair(200.2f, 200.2f - 300.0f));
}

TEST(ManualAssignment, FullPairListsAndMissingReferencesChangeNothing) {
    std::vector<std::pair<float, float>> hundred;
    for (int i = 0; i < 100; ++i) hundred.push_back({100.0f + i + 0.01f, 100.0f + i});
    struct Case {
        const char* name;
        RecordPtr rec;
        float data, ref;
        int count;
    } cases[] = {
        {"a hundred pairs", make_pair_record({250.0f}, hundred), 250.1f, 250.0f, 100},
        {"pair arrays of two", make_pair_record({100, 200, 300}, {{100.1f, 100.0f}, {200.2f, 200.0f}}, 2), 300.3f,
         300.0f, 2},
        {"no references", make_pair_record({}, {}), 300.3f, 300.0f, 0},
    };
    for (Case& c : cases) {
        c.rec->bExternalFunction = 1;
        manual_assignment(c.rec.get(), c.data, 1.0f, c.ref, 0.0f, 0.0f);
        EXPECT_EQ(c.rec->MatchPeaks.nCount, c.count) << c.name;
    }
}

}  // namespace
