#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "support/temp_files.hpp"
#include "platform/win/window.hpp"
#include "suite/settings/settings.hpp"
#include "suite/settings/window_position.hpp"
#include "support/scoped_env.hpp"

using namespace masscal::platform;

namespace {

using masscal::testing::slurp;
using masscal::testing::spit;
using masscal::testing::ScopedEnv;
using masscal::testing::TempDir;

constexpr CalRect kSentinel{-7, -7, -7, -7};

auto corners(const CalRect& r) { return std::tuple(r.left, r.top, r.right, r.bottom); }

class WindowPosition : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(IsIniLoaded(), 0) << "a test left the settings loaded"; }
    std::string stored(const char* key) {
        char buf[96] = "";
        GetIniString("Windows", key, "(none)", buf, sizeof buf);
        return buf;
    }
    TempDir dir_;
    std::string file_ = dir_.file("settings.ini");
    ScopedEnv settings_{"MASSCAL_SETTINGS", file_.c_str()};
};

TEST_F(WindowPosition, StoredAsOneValueAndReadBack) {
    struct Case {
        WindowPlacement placement;
        const char* text;
    } cases[] = {
        {{1, {10, 20, 310, 420}}, "1,10,20,310,420"},
        {{2, {0, 0, 1, 1}}, "2,0,0,1,1"},
        {{1, {-1920, -40, -100, 1040}}, "1,-1920,-40,-100,1040"},  // a screen left of the main one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_NE(SetIniWindPos("Windows", "Calibration", &c.placement, 0), 0);
        EXPECT_EQ(stored("Calibration"), c.text);
        CalRect r = kSentinel;
        ASSERT_EQ(GetIniWindPos("Windows", "Calibration", 0, &r), 1);
        EXPECT_EQ(corners(r), corners(c.placement.rcNormal));
    }
    EXPECT_EQ(slurp(file_), "[Windows]\nCalibration=1,-1920,-40,-100,1040\n");
}

TEST_F(WindowPosition, AWindowsPlacementRoundTrips) {
    CalWnd wnd = CreateOwnedWindow(nullptr, CalRect{30, 40, 530, 440}, "Calibrate", nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    WindowPlacement p{};
    ASSERT_EQ(ObtainWindPos(wnd, &p), 1);
    EXPECT_EQ(p.showCmd, 1);
    EXPECT_EQ(corners(p.rcNormal), corners(CalRect{30, 40, 530, 440}));
    ASSERT_NE(SetIniWindPos("Windows", "Report", &p, 0), 0);

    // Minimised, it keeps the rectangle it will be restored to.
    ShowWindow(wnd, kSwMinimize);
    ASSERT_EQ(ObtainWindPos(wnd, &p), 1);
    EXPECT_EQ(p.showCmd, 2);
    EXPECT_EQ(corners(p.rcNormal), corners(CalRect{30, 40, 530, 440}));
    DestroyWindow(wnd);

    CalRect r = kSentinel;
    ASSERT_EQ(GetIniWindPos("Windows", "Report", 0, &r), 1);
    EXPECT_EQ(corners(r), corners(CalRect{30, 40, 530, 440}));

    p = WindowPlacement{5, kSentinel};
    EXPECT_EQ(ObtainWindPos(wnd, &p), 0) << "a destroyed window";
    EXPECT_EQ(p.showCmd, 5);
    EXPECT_EQ(ObtainWindPos(nullptr, &p), 0);
}

TEST_F(WindowPosition, WhatIsNotAPlacementIsNotUsed) {
    CalRect r = kSentinel;
    EXPECT_EQ(GetIniWindPos("Windows", "Calibration", 0, &r), 0);  // no file
    spit(file_, "[Windows]\nOther=1,10,20,310,420\n[Elsewhere]\nCalibration=1,10,20,310,420\n");
    EXPECT_EQ(GetIniWindPos("Windows", "Calibration", 0, &r), 0);
    EXPECT_EQ(corners(r), corners(kSentinel));
    const char* texts[] = {
        "",                  // empty
        "1,10,20,310",       // too few numbers
        "1,10,20,310,420,9", // too many
        "1,10,20,310,420x",  // a tail
        "1;10;20;310;420",   // other separators
        "normal,10,20,310,420",
        "1,300,20,300,420",  // no width
        "1,310,20,10,420",   // negative width
        "1,10,420,310,420",  // no height
        "1,10,420,310,20",   // negative height
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        spit(file_, std::string("[Windows]\nCalibration=") + text + "\n");
        CalRect r = kSentinel;
        EXPECT_EQ(GetIniWindPos("Windows", "Calibration", 0, &r), 0);
        EXPECT_EQ(corners(r), corners(kSentinel)) << "the caller's rectangle is its fallback";
    }
}

TEST_F(WindowPosition, NullArgumentsAreRefused) {
    WindowPlacement p{1, {1, 2, 3, 4}};
    CalRect r = kSentinel;
    const int answers[] = {SetIniWindPos(nullptr, "k", &p, 0), SetIniWindPos("s", nullptr, &p, 0),
                           SetIniWindPos("s", "k", nullptr, 0), GetIniWindPos(nullptr, "k", 0, &r),
                           GetIniWindPos("s", nullptr, 0, &r),  GetIniWindPos("s", "k", 0, nullptr),
                           ObtainWindPos(nullptr, nullptr)};
    for (int a : answers) EXPECT_EQ(a, 0);
    EXPECT_TRUE(slurp(file_).empty());
}

TEST_F(WindowPosition, LoadedSettingsAreWrittenOnlyWhenASaveIsAsked) {
    const WindowPlacement p{1, {10, 20, 310, 420}};
    ASSERT_NE(InitIni(0), 0);
    ASSERT_NE(SetIniWindPos("Windows", "Calibration", &p, 0), 0);
    EXPECT_TRUE(slurp(file_).empty()) << "held until the owner saves";
    CalRect r = kSentinel;
    EXPECT_EQ(GetIniWindPos("Windows", "Calibration", 0, &r), 1) << "read from the loaded copy";

    ASSERT_NE(SetIniWindPos("Windows", "Report", &p, 1), 0);
    EXPECT_NE(IsIniLoaded(), 0) << "still the owner's";
    EXPECT_EQ(slurp(file_), "[Windows]\nCalibration=1,10,20,310,420\nReport=1,10,20,310,420\n");
    EXPECT_NE(FreeIni(0, 0), 0);
    EXPECT_EQ(IsIniLoaded(), 0);

    // Not loaded, a save request changes nothing: the value goes to the file anyway.
    ASSERT_NE(SetIniWindPos("Windows", "Third", &p, 1), 0);
    EXPECT_EQ(IsIniLoaded(), 0);
    EXPECT_NE(slurp(file_).find("Third=1,10,20,310,420"), std::string::npos);
}

}  // namespace
