#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/win/window.hpp"
#include "suite/utility/dialog_registry.hpp"

using namespace masscal::platform;

namespace {

CalWnd new_window() { return CreateOwnedWindow(nullptr, CalRect{0, 0, 100, 80}, "Dialog", nullptr, nullptr); }

class DialogRegistry : public ::testing::Test {
protected:
    void SetUp() override { empty_all(); }
    void TearDown() override { empty_all(); }
    static void empty_all() {
        for (int slot = 0; slot < kDialogSlots; ++slot) SetGlobalDialogWnd(slot, nullptr);
    }
};

TEST_F(DialogRegistry, SlotsStartEmptyAndKeepTheirWindows) {
    for (int slot = 0; slot < kDialogSlots; ++slot) EXPECT_EQ(GetGlobalDialogWnd(slot), nullptr) << slot;
    CalWnd a = new_window();
    CalWnd b = new_window();
    SetGlobalDialogWnd(0, a);
    SetGlobalDialogWnd(kDialogSlots - 1, b);
    SetGlobalDialogWnd(7, a);
    for (int slot = 0; slot < kDialogSlots; ++slot) {
        const CalWnd want = slot == 0 || slot == 7 ? a : slot == kDialogSlots - 1 ? b : nullptr;
        EXPECT_EQ(GetGlobalDialogWnd(slot), want) << slot;
    }

    SetGlobalDialogWnd(7, b);  // replaced
    EXPECT_EQ(GetGlobalDialogWnd(7), b);
    SetGlobalDialogWnd(0, nullptr);  // emptied
    EXPECT_EQ(GetGlobalDialogWnd(0), nullptr);
    // Slots out of range hold nothing and touch no other slot.
    for (int slot : {-1, kDialogSlots, kDialogSlots + 1, -1000, 1 << 30}) {
        SetGlobalDialogWnd(slot, b);
        EXPECT_EQ(GetGlobalDialogWnd(slot), nullptr) << slot;
    }
    for (int slot = 0; slot < kDialogSlots; ++slot)
        EXPECT_EQ(GetGlobalDialogWnd(slot), slot == 7 || slot == kDialogSlots - 1 ? b : nullptr) << slot;
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(DialogRegistry, ADestroyedWindowReadsAsEmptyNotAsANewOne) {
    // Windows made after the registered one was destroyed, some of which
    // may be allocated where it was.
    CalWnd a = new_window();
    SetGlobalDialogWnd(5, a);
    DestroyWindow(a);
    EXPECT_EQ(GetGlobalDialogWnd(5), nullptr);
    std::vector<CalWnd> later;
    for (int i = 0; i < 8; ++i) later.push_back(new_window());
    EXPECT_EQ(GetGlobalDialogWnd(5), nullptr);
    for (CalWnd w : later) DestroyWindow(w);
}

TEST_F(DialogRegistry, ThreadsUseTheirOwnSlots) {
    std::vector<CalWnd> windows;
    for (int i = 0; i < 4; ++i) windows.push_back(new_window());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &windows] {
            for (int i = 0; i < 2000; ++i) {
                const int slot = t * 16 + i % 16;
                SetGlobalDialogWnd(slot, windows[static_cast<std::size_t>(t)]);
                if (GetGlobalDialogWnd(slot) != windows[static_cast<std::size_t>(t)]) ADD_FAILURE() << slot;
                SetGlobalDialogWnd(slot, nullptr);
            }
        });
    for (auto& th : threads) th.join();
    for (CalWnd w : windows) DestroyWindow(w);
}

}  // namespace
