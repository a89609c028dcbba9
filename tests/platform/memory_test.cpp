#include <gtest/gtest.h>

#include <thread>

#include "platform/memory.hpp"

namespace {

namespace mem = masscal::platform;

TEST(Memory, SeamFailsExactlyTheNthAllocation) {
    mem::set_alloc_failure(3);
    void* a = mem::heap_alloc(8);
    CalMemHandle b = mem::mem_alloc(8);
    void* c = mem::heap_alloc(8);  // the third fails
    CalMemHandle d = mem::mem_alloc(8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_NE(d, nullptr);
    mem::heap_free(a);
    mem::mem_free(b);
    mem::mem_free(d);
}

TEST(Memory, SeamIsPerThread) {
    mem::set_alloc_failure(1);
    CalMemHandle other = nullptr;
    std::thread t([&] { other = mem::mem_alloc(4); });
    t.join();
    EXPECT_NE(other, nullptr);
    EXPECT_EQ(mem::mem_alloc(4), nullptr);
    mem::mem_free(other);
}

TEST(Memory, BlocksAreZeroFilledAndLockable) {
    CalMemHandle h = mem::mem_alloc(64);
    ASSERT_NE(h, nullptr);
    auto* p = static_cast<unsigned char*>(mem::mem_lock(h));
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    EXPECT_EQ(mem::mem_lock(h), p);  // a block never moves
    mem::mem_unlock(h);
    mem::mem_unlock(h);
    mem::mem_free(h);
    EXPECT_EQ(mem::mem_lock(nullptr), nullptr);
}

}  // namespace
