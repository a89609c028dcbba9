#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "axes/spin_ears.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/messages.hpp"
#include "platform/win/window.hpp"

using namespace masscal::platform;

namespace {

constexpr int kEdit = 40, kOther = 41;

// What the dialog heard from its edits: (control id, notification).
std::vector<std::pair<int, int>>* g_heard = nullptr;

std::intptr_t listening_proc(CalWnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t) {
    if (msg == kMsgCommand && g_heard) g_heard->emplace_back(low_word(wParam), high_word(wParam));
    return msg == kMsgCommand ? 1 : 0;
}

auto as_tuple(const EarSettings& s) {
    return std::tuple{s.style, s.acceleration, s.step, s.page, s.max, s.min, s.decimals, s.clamp, s.notify};
}

constexpr ControlTemplate kControls[] = {
    {kEdit, ControlKind::edit, "", 8, 8, 50, 12, kWsTabStop},
    {kOther, ControlKind::edit, "", 8, 24, 50, 12, kWsTabStop},
};
constexpr DialogTemplate kDialog{"EARS", nullptr, "Ears", "Helv", 8, kWsPopup | kWsCaption, 0, 0, 80, 50, kControls, 2};

class SpinEars : public ::testing::Test {
protected:
    void SetUp() override {
        g_heard = &heard_;
        dlg_ = CreateDialogIndirectParam(kDialog, nullptr, listening_proc, 0);
        ASSERT_NE(dlg_, nullptr);
        edit_ = GetDlgItem(dlg_, kEdit);
        heard_.clear();
    }
    void TearDown() override {
        DestroyWindow(dlg_);
        g_heard = nullptr;
    }
    std::string text() {
        char t[80] = "";
        GetWindowText(edit_, t, sizeof t);
        return t;
    }
    void set(const char* t) {
        SetWindowText(edit_, t);
        heard_.clear();
    }
    std::vector<std::pair<int, int>> heard_;
    CalWnd dlg_ = nullptr, edit_ = nullptr;
};

TEST_F(SpinEars, StepsAndPagesWithinTheLimits) {
    ASSERT_EQ(EarAddEars(edit_, 0, 0.1, 0.5, 10.0, 100.0, 0.0, 2, 1, 0), 1);
    struct Case {
        const char* start;
        int count, page;
        const char* after;
    } cases[] = {
        {"1", 1, 0, "1.50"},      {"1", 3, 0, "2.50"},     {"1", -1, 0, "0.50"},   {"1", -3, 0, "0.00"},
        {"99.8", 1, 0, "100.00"}, {"50", 1, 1, "60.00"},   {"95", 1, 1, "100.00"}, {"5", -1, 1, "0.00"},
        {"", 1, 0, "0.50"},       {"abc", 2, 0, "1.00"},   {"150", 0, 0, "100.00"}, {"-4", 0, 0, "0.00"},
        {"2.125", 0, 0, "2.12"},  {"2.135", 0, 0, "2.13"},
    };
    for (const Case& c : cases) {
        set(c.start);
        ASSERT_EQ(EarSpin(edit_, c.count, c.page), 1);
        EXPECT_EQ(text(), c.after) << c.start << " " << c.count << (c.page ? " pages" : " steps");
    }
    EXPECT_TRUE(heard_.empty()) << "not asked to notify";
}

TEST_F(SpinEars, DecimalsAndUnclampedValues) {
    struct Case {
        int decimals, clamp;
        const char* start;
        int count;
        const char* after;
    } cases[] = {
        {0, 1, "3", 1, "4"},        {0, 1, "5", 1, "5"},         {0, 1, "1", -1, "1"},
        {1, 1, "1.25", 0, "1.2"},   {3, 1, "1", 1, "2.000"},     {0, 0, "5", 3, "8"},
        {0, 0, "1", -4, "-3"},      {-2, 1, "2.7", 0, "3"},      {40, 1, "1", 0, "1.000000000000000"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(EarAddEars(edit_, 0, 0.1, 1.0, 1.0, 5.0, 1.0, c.decimals, c.clamp, 0), 1);
        set(c.start);
        ASSERT_EQ(EarSpin(edit_, c.count, 0), 1);
        EXPECT_EQ(text(), c.after) << c.decimals << " decimals, clamp " << c.clamp << ", " << c.start;
    }
    // Limits given the wrong way round still hold.
    ASSERT_EQ(EarAddEars(edit_, 0, 0.1, 1.0, 1.0, 0.0, 10.0, 0, 1, 0), 1);
    for (auto [count, after] : {std::pair{5, "10"}, std::pair{-50, "0"}}) {
        set("9");
        EarSpin(edit_, count, 0);
        EXPECT_EQ(text(), after);
    }
}

TEST_F(SpinEars, TheParentHearsEachChangeWhenAsked) {
    ASSERT_EQ(EarAddEars(edit_, 0, 0.1, 1.0, 1.0, 10.0, 0.0, 0, 1, 1), 1);
    set("3");
    EarSpin(edit_, 1, 0);
    EarSpin(edit_, -1, 1);
    const std::pair<int, int> change{kEdit, static_cast<int>(kEnChange)};
    EXPECT_EQ(heard_, (std::vector{change, change}));
    EXPECT_EQ(text(), "3");

    // An edit without a parent spins quietly.
    CalWnd lone = CreateHeadlessWindow(nullptr, CalRect{0, 0, 50, 12}, nullptr, nullptr);
    ASSERT_EQ(EarAddEars(lone, 0, 0.1, 1.0, 1.0, 10.0, 0.0, 0, 1, 1), 1);
    EXPECT_EQ(EarSpin(lone, 1, 0), 1);
    DestroyWindow(lone);
}

TEST_F(SpinEars, SettingsAreKeptPerEditAndReplaced) {
    CalWnd other = GetDlgItem(dlg_, kOther);
    ASSERT_EQ(EarAddEars(edit_, 3, 0.25, 0.1, 2.0, 100.0, -5.0, 1, 1, 1), 1);
    EarSettings s{};
    ASSERT_EQ(EarGetSettings(edit_, &s), 1);
    EXPECT_EQ(as_tuple(s), as_tuple(EarSettings{3, 0.25, 0.1, 2.0, 100.0, -5.0, 1, 1, 1}));
    EXPECT_EQ(EarGetSettings(edit_, nullptr), 1);

    EXPECT_EQ(EarGetSettings(other, &s), 0);
    SetWindowText(other, "7");
    EXPECT_EQ(EarSpin(other, 1, 0), 0) << "no ears";
    char t[8] = "";
    GetWindowText(other, t, sizeof t);
    EXPECT_STREQ(t, "7");

    ASSERT_EQ(EarAddEars(edit_, 0, 0.1, 5.0, 5.0, 50.0, 0.0, 0, 0, 0), 1);
    ASSERT_EQ(EarGetSettings(edit_, &s), 1);
    EXPECT_EQ(as_tuple(s), as_tuple(EarSettings{0, 0.1, 5.0, 5.0, 50.0, 0.0, 0, 0, 0}));
}

TEST_F(SpinEars, DestroyedEditsLoseTheirEars) {
    EXPECT_EQ(EarAddEars(nullptr, 0, 0.1, 1, 1, 1, 0, 0, 1, 1), 0);
    EXPECT_EQ(EarSpin(nullptr, 1, 0), 0);
    CalWnd dlg = CreateDialogIndirectParam(kDialog, nullptr, listening_proc, 0);
    CalWnd edit = GetDlgItem(dlg, kEdit);
    ASSERT_EQ(EarAddEars(edit, 0, 0.1, 1, 1, 10, 0, 0, 1, 1), 1);
    DestroyWindow(dlg);
    EarSettings s{};
    EXPECT_EQ(EarGetSettings(edit, &s), 0);
    EXPECT_EQ(EarSpin(edit, 1, 0), 0);
    EXPECT_EQ(EarAddEars(edit, 0, 0.1, 1, 1, 10, 0, 0, 1, 1), 0);
    // Nor do the edits of dialogs made later, some of which may be
    // allocated where it was.
    std::vector<CalWnd> later;
    for (int i = 0; i < 8; ++i) later.push_back(CreateDialogIndirectParam(kDialog, nullptr, listening_proc, 0));
    for (CalWnd d : later) {
        EXPECT_EQ(EarGetSettings(GetDlgItem(d, kEdit), nullptr), 0);
        EXPECT_EQ(EarGetSettings(GetDlgItem(d, kOther), nullptr), 0);
        DestroyWindow(d);
    }
}

}  // namespace
