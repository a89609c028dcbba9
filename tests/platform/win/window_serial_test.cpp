#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/win/window.hpp"

using namespace masscal::platform;

namespace {

TEST(WindowSerial, EachWindowHasItsOwnAndLosesItWhenDestroyed) {
    std::vector<CalWnd> windows;
    std::set<std::uint64_t> serials;
    // Destroying and making windows in turn lets addresses be reused.
    for (int i = 0; i < 16; ++i) {
        CalWnd w = CreateHeadlessWindow(nullptr, CalRect{0, 0, 10, 10}, nullptr, nullptr);
        ASSERT_NE(w, nullptr);
        const std::uint64_t s = GetWindowSerial(w);
        EXPECT_NE(s, 0u);
        EXPECT_TRUE(serials.insert(s).second) << "serial " << s << " given twice";
        EXPECT_EQ(GetWindowSerial(w), s);
        if (i % 2) {
            DestroyWindow(w);
            EXPECT_EQ(GetWindowSerial(w), 0u);
        } else {
            windows.push_back(w);
        }
    }
    EXPECT_EQ(GetWindowSerial(nullptr), 0u);
    for (CalWnd w : windows) DestroyWindow(w);
}

}  // namespace
