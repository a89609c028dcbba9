#include <gtest/gtest.h>

#include <cmath>

#include "pair_record.hpp"
#include "window/peak_editing.hpp"

using masscal::testing::arr;
using masscal::testing::make_pair_record;
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
        EXPECT_EQ(within, c.within) << c.target;
        EXPECT_EQ(nearest, c.nearest) << c.target;
        EXPECT_EQ(insert, c.insert) << c.target;
    }
}

TEST(FindNearest, OverDifferences) {
    const float a[] = {100.2f, 200.3f, 300.1f};
    const float b[] = {0.2f, 0.3f, 0.1f};
    int nearest = -1, insert = -1;
    EXPECT_TRUE(find_nearest(a, b, 3, 200.0f, &nearest, &insert));
    EXPECT_EQ(nearest, 1);
}

constexpr float kUnset = -1.0f;

// In a time-of-flight record the pending reference decides the pair.
TEST(ManualAssignment, TofPairThenUnpairTheSamePeak) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {});
    rec->bExternalFunction = 1;
    manual_assignment(rec.get(), 200.4f, 55.0f, 200.0f, 0.004f, 7.0f);
    ASSERT_EQ(rec->MatchPeaks.nCount, 1);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Mass)[0], 200.4f);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Intensity)[0], 55.0f);
    EXPECT_FLOAT_EQ(arr(rec->Errors)[0], 200.4f - 200.0f);
    EXPECT_FLOAT_EQ(arr(rec->RootErrors)[0], static_cast<float>(std::sqrt(double{200.4f}) - std::sqrt(200.0)));
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Width)[0], 0.004f);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Extra)[0], 7.0f);
    EXPECT_FLOAT_EQ(arr(rec->SparePeaks.Mass)[0], static_cast<float>(std::sqrt(200.4)));
    EXPECT_FLOAT_EQ(arr(rec->SparePeaks.Width)[0], static_cast<float>(0.004 / (2 * std::sqrt(200.4f))));
    EXPECT_FLOAT_EQ(arr(rec->SparePeaks.Extra)[0], 7.0f);

    manual_assignment(rec.get(), 200.4f, 55.0f, 200.0f, 0.004f, 7.0f);
    EXPECT_EQ(rec->MatchPeaks.nCount, 0);
}

TEST(ManualAssignment, SecondPeakForTheSameReferenceReplacesThePair) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {});
    rec->bExternalFunction = 1;
    manual_assignment(rec.get(), 200.4f, 55.0f, 200.0f, 0.004f, 0.0f);
    manual_assignment(rec.get(), 199.8f, 66.0f, 200.0f, 0.002f, 0.0f);
    ASSERT_EQ(rec->MatchPeaks.nCount, 1);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Mass)[0], 199.8f);
    EXPECT_FLOAT_EQ(arr(rec->Errors)[0], 199.8f - 200.0f);
}

TEST(ManualAssignment, InsertKeepsPairsSortedAndEveryArrayInStep) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {{100.1f, 100.0f}, {300.3f, 300.0f}});
    rec->bExternalFunction = 1;
    manual_assignment(rec.get(), 200.2f, 5.0f, 200.0f, 0.009f, 3.0f);
    ASSERT_EQ(rec->MatchPeaks.nCount, 3);
    const float masses[] = {100.1f, 200.2f, 300.3f};
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Mass)[i], masses[i]);
    // The pair that moved up took its own values along.
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Width)[2], 0.002f);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Extra)[2], 11.0f);
    EXPECT_FLOAT_EQ(arr(rec->Errors)[2], 300.3f - 300.0f);
    EXPECT_FLOAT_EQ(arr(rec->SparePeaks.Width)[2], 0.2f);
}

// Removing a pair in a quadrupole record moves every pair array, so the next
// fit reads each peak's own uncertainty.
TEST(ManualAssignment, QuadrupoleRemovalMovesEveryPairArray) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {{100.1f, 100.0f}, {200.2f, 200.0f}, {300.3f, 300.0f}});
    manual_assignment(rec.get(), 200.2f, 0.0f, kUnset, 0.0f, 0.0f);
    ASSERT_EQ(rec->MatchPeaks.nCount, 2);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Mass)[1], 300.3f);
    EXPECT_FLOAT_EQ(arr(rec->Errors)[1], 300.3f - 300.0f);
    EXPECT_FLOAT_EQ(arr(rec->RootErrors)[1], static_cast<float>(std::sqrt(double{300.3f}) - std::sqrt(300.0)));
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Width)[1], 0.003f);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Extra)[1], 12.0f);
    EXPECT_FLOAT_EQ(arr(rec->SparePeaks.Width)[1], 0.3f);
}

// A quadrupole record pairs with the reference peak nearest the data peak.
TEST(ManualAssignment, QuadrupolePairsWithTheNearestReference) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {});
    manual_assignment(rec.get(), 299.7f, 1.0f, kUnset, 0.0f, 0.0f);
    ASSERT_EQ(rec->MatchPeaks.nCount, 1);
    EXPECT_FLOAT_EQ(arr(rec->Errors)[0], 299.7f - 300.0f);
}

// A matched data peak given to another reference peak leaves its old pair.
TEST(ManualAssignment, ReassignmentMovesTheDataPeak) {
    auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {{200.2f, 200.0f}});
    rec->bExternalFunction = 1;
    manual_assignment(rec.get(), 200.2f, 1.0f, 300.0f, 0.0f, 0.0f);
    ASSERT_EQ(rec->MatchPeaks.nCount, 1);
    EXPECT_FLOAT_EQ(arr(rec->MatchPeaks.Mass)[0], 200.2f);
    EXPECT_FLOAT_EQ(arr(rec->Errors)[0], 200.2f - 300.0f);
}

TEST(ManualAssignment, FullPairListsAndMissingReferencesChangeNothing) {
    {
        std::vector<float> refs;
        std::vector<std::pair<float, float>> pairs;
        for (int i = 0; i < 100; ++i) {
            pairs.push_back({100.0f + i + 0.01f, 100.0f + i});
        }
        refs.push_back(250.0f);
        auto rec = make_pair_record(refs, pairs);
        rec->bExternalFunction = 1;
        manual_assignment(rec.get(), 250.1f, 1.0f, 250.0f, 0.0f, 0.0f);
        EXPECT_EQ(rec->MatchPeaks.nCount, 100);
    }
    {
        // Pair arrays smaller than 100 bound the list too.
        auto rec = make_pair_record({100.0f, 200.0f, 300.0f}, {{100.1f, 100.0f}, {200.2f, 200.0f}}, 2);
        rec->bExternalFunction = 1;
        manual_assignment(rec.get(), 300.3f, 1.0f, 300.0f, 0.0f, 0.0f);
        EXPECT_EQ(rec->MatchPeaks.nCount, 2);
    }
    {
        auto rec = make_pair_record({}, {});
        rec->bExternalFunction = 1;
        manual_assignment(rec.get(), 300.3f, 1.0f, 300.0f, 0.0f, 0.0f);
        EXPECT_EQ(rec->MatchPeaks.nCount, 0);
    }
}

}  // namespace
