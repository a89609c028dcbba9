#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "core/arrays.hpp"
#include "masscal/calib.h"
#include "platform/memory.hpp"

namespace {

using masscal::platform::set_alloc_failure;

std::unique_ptr<CalRecord> new_record() {
    auto rec = std::make_unique<CalRecord>();
    std::memset(rec.get(), 0, sizeof(CalRecord));
    return rec;
}

// Every pair CalAllocArrays owns, in the order in which it allocates them.
std::vector<const CalArray*> owned_pairs(const CalRecord& r) {
    return {&r.RefPeaks.Mass, &r.RefPeaks.Intensity, &r.RefPeaks.CalMass, &r.RefPeaks.Flags,
            &r.RefPeaks.Width, &r.RefPeaks.Extra, &r.Errors, &r.RootErrors, &r.Residuals,
            &r.FitWork, &r.BandUpper, &r.BandLower};
}

TEST(CalAlloc, AllocatesZeroFilledOnce) {
    CalArray a{};
    ASSERT_EQ(CalAlloc(&a, 10, 8), CAL_OK);
    ASSERT_NE(a.hMem, nullptr);
    auto* d = static_cast<double*>(a.pData);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(d[i], 0.0);
    d[3] = 1.5;
    const CalArray before = a;
    EXPECT_EQ(CalAlloc(&a, 1000, 8), CAL_OK);  // allocated pairs are kept
    EXPECT_EQ(a.hMem, before.hMem);
    EXPECT_EQ(a.pData, before.pData);
    EXPECT_EQ(d[3], 1.5);
    EXPECT_EQ(masscal::platform::mem_size(a.hMem), 80u);
    CalFree(&a);
    EXPECT_EQ(a.hMem, nullptr);
}

TEST(CalAlloc, FailureLeavesThePairEmpty) {
    CalArray a{};
    set_alloc_failure(1);
    EXPECT_EQ(CalAlloc(&a, 10, 4), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(a.hMem, nullptr);
    EXPECT_EQ(CalAlloc(&a, -1, 4), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(a.hMem, nullptr);
    EXPECT_EQ(CalAlloc(&a, 0, 4), CAL_OK);  // an empty block is still a block
    EXPECT_NE(a.hMem, nullptr);
    CalFree(&a);
}

TEST(CalFree, OnAnEmptyPairOnlyResetsTheHandle) {
    int dummy = 0;
    CalArray a{nullptr, &dummy};
    CalFree(&a);
    EXPECT_EQ(a.hMem, nullptr);
    EXPECT_EQ(a.pData, &dummy);
}

TEST(CalAllocArrays, AllocatesTheFixedCapacitiesOnce) {
    auto rec = new_record();
    ASSERT_EQ(CalAllocArrays(rec.get(), 0), 1);
    std::vector<std::size_t> sizes;
    for (const CalArray* a : owned_pairs(*rec)) sizes.push_back(masscal::platform::mem_size(a->hMem));
    EXPECT_EQ(sizes, (std::vector<std::size_t>{400, 400, 400, 100, 400, 400, 400, 400, 400, 400, 2000, 2000}));
    EXPECT_TRUE(!rec->DataPeaks.Mass.hMem && !rec->MatchPeaks.Mass.hMem);

    masscal::platform::reset_alloc_count();
    const CalMemHandle errors = rec->Errors.hMem;
    ASSERT_EQ(CalAllocArrays(rec.get(), 0), 1);
    EXPECT_EQ(masscal::platform::alloc_count(), 0u);  // nothing allocated the second time
    EXPECT_EQ(rec->Errors.hMem, errors);

    ASSERT_EQ(CalAllocArrays(rec.get(), 1), 1);
    for (const CalArray* a : owned_pairs(*rec)) EXPECT_EQ(a->hMem, nullptr);
}

TEST(CalAllocArrays, EveryFailureReleasesEverything) {
    const size_t n = owned_pairs(CalRecord{}).size();
    for (unsigned fail = 1; fail <= n; ++fail) {
        auto rec = new_record();
        // The lists the host and Calibrate allocate are released too.
        ASSERT_EQ(CalAllocPeakList(&rec->DataPeaks, 20, 0), 1);
        set_alloc_failure(fail);
        EXPECT_EQ(CalAllocArrays(rec.get(), 0), 0) << "failing allocation " << fail;
        set_alloc_failure(0);
        for (const CalArray* a : owned_pairs(*rec)) EXPECT_EQ(a->hMem, nullptr) << "failing allocation " << fail;
        EXPECT_EQ(rec->DataPeaks.Mass.hMem, nullptr);
    }
}

TEST(CalAllocPeakList, AllocatesSixArraysWithTheirElementSizes) {
    CalPeakList l{};
    l.nCount = 7;
    l.bDetail = -1;
    ASSERT_EQ(CalAllocPeakList(&l, 25, 0), 1);
    std::vector<std::size_t> sizes;
    for (const CalArray* a : {&l.Mass, &l.Intensity, &l.CalMass, &l.Flags, &l.Width, &l.Extra})
        sizes.push_back(masscal::platform::mem_size(a->hMem));
    EXPECT_EQ(sizes, (std::vector<std::size_t>{100, 100, 100, 25, 100, 100}));
    EXPECT_EQ(std::make_pair(l.nCount, l.bDetail), std::make_pair(7, -1));
    EXPECT_EQ(CalAllocPeakList(&l, 25, 1), 1);
    EXPECT_EQ(l.Extra.hMem, nullptr);
}

TEST(CalAllocPeakList, FailureAtEachArrayLeavesNoneAllocated) {
    for (unsigned fail = 1; fail <= 6; ++fail) {
        CalPeakList l{};
        set_alloc_failure(fail);
        EXPECT_EQ(CalAllocPeakList(&l, 10, 0), 0);
        set_alloc_failure(0);
        for (const CalArray* a : {&l.Mass, &l.Intensity, &l.CalMass, &l.Flags, &l.Width, &l.Extra})
            EXPECT_EQ(a->hMem, nullptr) << fail;
    }
}

TEST(CalRefName, SpansRefFileIntoTheTail) {
    auto rec = new_record();
    const std::string name(60, 'r');
    CalSetRefName(rec.get(), name.c_str());
    char out[100];
    EXPECT_EQ(CalGetRefName(rec.get(), out, sizeof out), 51u);
    EXPECT_EQ(std::string(out), std::string(51, 'r'));
    EXPECT_EQ(rec->AirRefFile.wKind, 0);  // never written past the 52 bytes
    EXPECT_EQ(rec->RefFile.nIndex, 0);    // nor before them

    CalSetRefName(rec.get(), "NaI clusters");
    EXPECT_EQ(rec->RefFile.wFunction, 'N' | ('a' << 8));
    char small[5];
    EXPECT_EQ(CalGetRefName(rec.get(), small, sizeof small), 4u);
    EXPECT_STREQ(small, "NaI ");

    // A text written by a host without a terminator is still read safely.
    std::memset(reinterpret_cast<char*>(&rec->RefFile.wFunction), 'z', 4);
    std::memset(rec->szRefNameTail, 'z', sizeof rec->szRefNameTail);
    EXPECT_EQ(CalGetRefName(rec.get(), out, sizeof out), 51u);
}

}  // namespace
