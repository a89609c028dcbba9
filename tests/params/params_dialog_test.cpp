#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "axes/spin_ears.hpp"
#include "masscal/params.h"
#include "platform/ui.hpp"
#include "platform/win/controls.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/window.hpp"
#include "support/recording_ui.hpp"

using namespace masscal::platform;
using masscal::testing::RecordingUi;

namespace {

namespace fs = std::filesystem;

constexpr int kPeakWindow = 101, kInitialError = 102, kIntensityWeight = 201, kThreshold = 202, kPolyOrder = 203,
              kAutoRestrain = 204, kAutoPeakMatch = 1000, kCalibrateDisplay = 1001;

std::string text_of(CalWnd dlg, int id) {
    char text[128] = "";
    GetDlgItemText(dlg, id, text, sizeof text);
    return text;
}

bool enabled(CalWnd dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)); }

// A block of distinct, valid values.
CalParams sample() {
    CalParams p{};
    p.PolyOrder = 3;
    p.PeakWindow = 0.5f;
    p.InitialError = 2.0f;
    p.IntensityWeight = 1;
    p.Threshold = 0.001f;
    p.bSinglePoint = 7;
    p.AutoPeakMatch = 1;
    p.CalibrateDisplay = 0;
    p.AutoPolyOrder = 1;
    return p;
}

class ParamsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("masscal-params-dialog-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        forget_file();
    }
    void TearDown() override {
        forget_file();
        fs::remove_all(dir_);
    }
    // Leaves the library's remembered file reference empty for the next test.
    void forget_file() {
        RecordingUi quiet;
        CalParams p = sample();
        CalEditParamsExt(nullptr, &p, nullptr);
    }
    // A peak list with the given header lines; returns a reference to it.
    RawFileRef data_file(const std::string& name, const std::string& header) {
        const fs::path path = dir_ / (name + ".txt");
        std::ofstream(path) << header << "100 10\n200 20\n300 5\n";
        RawFileRef r{};
        r.wKind = 19;
        std::snprintf(r.szDirectory, sizeof r.szDirectory, "%s/", dir_.c_str());
        std::snprintf(r.szName, sizeof r.szName, "%s", name.c_str());
        std::snprintf(r.szExtension, sizeof r.szExtension, "%s", "txt");
        r.nFunction = 1;
        return r;
    }
    // Runs the dialog on p with one scripted user; returns the result.
    int edit(CalParams& p, std::function<void(CalWnd)> user, RawFileRef* file = nullptr, bool ext = false) {
        ui_.modal_scripts.push_back(std::move(user));
        return ext ? CalEditParamsExt(nullptr, &p, file) : CalEditParams(nullptr, &p);
    }
    RecordingUi ui_;
    fs::path dir_;
};

TEST_F(ParamsDialog, OpensWithTheBlockShown) {
    struct Case {
        float peakWindow, initialError, threshold;
        int polyOrder;
        const char *window, *error, *thresh, *order;
    } cases[] = {
        {0.5f, 2.0f, 0.001f, 1, "0.50", "2.00", "0.0010", "1"},
        {0.0f, 100.0f, 12.5f, 5, "0.00", "100.00", "12.50", "5"},
        {0.25f, 0.05f, 99.999f, 2, "0.25", "0.050", "100.00", "2"},
    };
    for (const Case& c : cases) {
        CalParams p = sample();
        p.PeakWindow = c.peakWindow;
        p.InitialError = c.initialError;
        p.Threshold = c.threshold;
        p.PolyOrder = c.polyOrder;
        std::string window, error, thresh, order;
        EXPECT_EQ(edit(p,
                       [&](CalWnd dlg) {
                           window = text_of(dlg, kPeakWindow);
                           error = text_of(dlg, kInitialError);
                           thresh = text_of(dlg, kThreshold);
                           order = text_of(dlg, kPolyOrder);
                           ClickDlgItem(dlg, kIdCancel);
                       }),
                  0);
        EXPECT_EQ(window, c.window);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(thresh, c.thresh);
        EXPECT_EQ(order, c.order);
    }
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(ParamsDialog, OpensWithTheTitleChecksAndFocus) {
    CalParams p = sample();
    p.IntensityWeight = 1;
    p.AutoPeakMatch = 0;
    p.CalibrateDisplay = 1;
    edit(p, [](CalWnd dlg) {
        char title[64] = "";
        GetWindowText(dlg, title, sizeof title);
        EXPECT_STREQ(title, "Calibration Parameters");
        EXPECT_EQ(IsDlgButtonChecked(dlg, kIntensityWeight), 1);
        EXPECT_EQ(IsDlgButtonChecked(dlg, kAutoPeakMatch), 0);
        EXPECT_EQ(IsDlgButtonChecked(dlg, kCalibrateDisplay), 1);
        // The order field has the focus, its whole text selected.
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, kPolyOrder));
        int first = -1, last = -1;
        ASSERT_TRUE(GetEditSelection(GetDlgItem(dlg, kPolyOrder), &first, &last));
        EXPECT_EQ(first, 0);
        EXPECT_EQ(last, 1);
        ClickDlgItem(dlg, kIdCancel);
    });
    EXPECT_EQ(ui_.modal_dialogs.size(), 1u);
}

TEST_F(ParamsDialog, EditsHaveSpinEarsWithinTheirLimits) {
    CalParams p = sample();
    edit(p, [](CalWnd dlg) {
        struct Ear {
            int id;
            double step, max, min;
            int decimals;
        } ears[] = {{kPeakWindow, 0.1, 100, 0, 1},
                    {kInitialError, 0.1, 100, 0, 1},
                    {kThreshold, 1.0, 100, 0, 1},
                    {kPolyOrder, 1.0, 5, 1, 0}};
        for (const Ear& e : ears) {
            EarSettings s{};
            ASSERT_EQ(EarGetSettings(GetDlgItem(dlg, e.id), &s), 1) << e.id;
            EXPECT_DOUBLE_EQ(s.step, e.step) << e.id;
            EXPECT_DOUBLE_EQ(s.page, e.step) << e.id;
            EXPECT_DOUBLE_EQ(s.max, e.max) << e.id;
            EXPECT_DOUBLE_EQ(s.min, e.min) << e.id;
            EXPECT_EQ(s.decimals, e.decimals) << e.id;
            EXPECT_EQ(s.clamp, 1) << e.id;
            EXPECT_EQ(s.notify, 1) << e.id;
        }
        // Spinning the order past its top stops at 5; OK then takes it.
        EarSpin(GetDlgItem(dlg, kPolyOrder), 10, 0);
        EXPECT_EQ(text_of(dlg, kPolyOrder), "5");
        ClickDlgItem(dlg, kIdOk);
    });
    EXPECT_EQ(p.PolyOrder, 5);
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(ParamsDialog, LimitsOfTheRealValuesAreAccepted) {
    struct Case {
        int id;
        const char* text;
        float CalParams::*field;
        float expected;
    } cases[] = {
        {kPeakWindow, "0", &CalParams::PeakWindow, 0.0f},     {kPeakWindow, "100", &CalParams::PeakWindow, 100.0f},
        {kInitialError, "0", &CalParams::InitialError, 0.0f}, {kInitialError, "100", &CalParams::InitialError, 100.0f},
        {kThreshold, "0", &CalParams::Threshold, 0.0f},       {kThreshold, "100", &CalParams::Threshold, 100.0f},
        {kPeakWindow, "12.75", &CalParams::PeakWindow, 12.75f},
    };
    for (const Case& c : cases) {
        CalParams p = sample();
        EXPECT_EQ(edit(p,
                       [&](CalWnd dlg) {
                           TypeText(GetDlgItem(dlg, c.id), c.text);
                           ClickDlgItem(dlg, kIdOk);
                       }),
                  1)
            << c.id << " " << c.text;
        EXPECT_FLOAT_EQ(p.*c.field, c.expected) << c.id << " " << c.text;
    }
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(ParamsDialog, OutOfRangeValuesAreRefusedAndTheDialogStaysOpen) {
    struct Case {
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {kPeakWindow, "100.01", "Peak window must be between 0 and 100."},
        {kPeakWindow, "-0.01", "Peak window must be between 0 and 100."},
        {kPeakWindow, "nan", "Peak window must be between 0 and 100."},
        {kInitialError, "100.01", "Initial error must be between 0 and 100."},
        {kInitialError, "-1", "Initial error must be between 0 and 100."},
        {kThreshold, "100.01", "Threshold must be between 0 and 100."},
        {kThreshold, "1e9", "Threshold must be between 0 and 100."},
        {kPolyOrder, "0", "Polynomial order must be between 1 and 5."},
        {kPolyOrder, "6", "Polynomial order must be between 1 and 5."},
        {kPolyOrder, "", "Polynomial order must be between 1 and 5."},
        {kPolyOrder, "-3", "Polynomial order must be between 1 and 5."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " \"" + c.text + "\"");
        ui_.calls.clear();
        CalParams p = sample();
        const CalParams before = p;
        bool stayedOpen = false;
        const int result = edit(p, [&](CalWnd dlg) {
            TypeText(GetDlgItem(dlg, c.id), c.text);
            ClickDlgItem(dlg, kIdOk);
            stayedOpen = !IsDialogEnded(dlg, nullptr) && IsWindow(dlg);
            // The user then gives up.
            ClickDlgItem(dlg, kIdCancel);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(stayedOpen);
        ASSERT_EQ(ui_.calls.size(), 1u);
        EXPECT_EQ(ui_.calls[0].text, c.message);
        EXPECT_EQ(ui_.calls[0].caption, "Calibrate");
        EXPECT_EQ(ui_.calls[0].type, static_cast<std::uint32_t>(CAL_MB_ICONEXCLAMATION));
        EXPECT_EQ(std::memcmp(&before, &p, sizeof p), 0);
    }
}

TEST_F(ParamsDialog, ARefusedValueCanBeCorrectedBeforeOk) {
    CalParams p = sample();
    const int result = edit(p, [](CalWnd dlg) {
        TypeText(GetDlgItem(dlg, kPolyOrder), "6");
        TypeText(GetDlgItem(dlg, kPeakWindow), "100.01");
        ClickDlgItem(dlg, kIdOk);
        // Only the first failing check is reported.
        TypeText(GetDlgItem(dlg, kPeakWindow), "1.5");
        ClickDlgItem(dlg, kIdOk);
        TypeText(GetDlgItem(dlg, kPolyOrder), "4");
        ClickDlgItem(dlg, kIdOk);
    });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(ui_.calls[0].text, "Peak window must be between 0 and 100.");
    EXPECT_EQ(ui_.calls[1].text, "Polynomial order must be between 1 and 5.");
    EXPECT_FLOAT_EQ(p.PeakWindow, 1.5f);
    EXPECT_EQ(p.PolyOrder, 4);
}

TEST_F(ParamsDialog, CancelLeavesTheBlockUntouched) {
    CalParams p = sample();
    const CalParams before = p;
    EXPECT_EQ(edit(p,
                   [](CalWnd dlg) {
                       TypeText(GetDlgItem(dlg, kPeakWindow), "9");
                       TypeText(GetDlgItem(dlg, kInitialError), "8");
                       TypeText(GetDlgItem(dlg, kThreshold), "7");
                       TypeText(GetDlgItem(dlg, kPolyOrder), "2");
                       ClickDlgItem(dlg, kIntensityWeight);
                       ClickDlgItem(dlg, kAutoPeakMatch);
                       ClickDlgItem(dlg, kCalibrateDisplay);
                       ClickDlgItem(dlg, kIdCancel);
                   }),
              0);
    EXPECT_EQ(std::memcmp(&before, &p, sizeof p), 0);

    // A dialog the user closes without a button is cancelled too.
    EXPECT_EQ(edit(p, [](CalWnd dlg) { TypeText(GetDlgItem(dlg, kPolyOrder), "4"); }), 0);
    EXPECT_EQ(std::memcmp(&before, &p, sizeof p), 0);
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(ParamsDialog, OkStoresEveryFieldAndKeepsTheSinglePointFlag) {
    CalParams p = sample();
    EXPECT_EQ(edit(p,
                   [](CalWnd dlg) {
                       TypeText(GetDlgItem(dlg, kPeakWindow), "1.25");
                       TypeText(GetDlgItem(dlg, kInitialError), "0.75");
                       TypeText(GetDlgItem(dlg, kThreshold), "3");
                       TypeText(GetDlgItem(dlg, kPolyOrder), "2");
                       ClickDlgItem(dlg, kIntensityWeight);   // was on
                       ClickDlgItem(dlg, kAutoPeakMatch);     // was on
                       ClickDlgItem(dlg, kCalibrateDisplay);  // was off
                       ClickDlgItem(dlg, kIdOk);
                   }),
              1);
    EXPECT_FLOAT_EQ(p.PeakWindow, 1.25f);
    EXPECT_FLOAT_EQ(p.InitialError, 0.75f);
    EXPECT_FLOAT_EQ(p.Threshold, 3.0f);
    EXPECT_EQ(p.PolyOrder, 2);
    EXPECT_EQ(p.IntensityWeight, 0);
    EXPECT_EQ(p.AutoPeakMatch, 0);
    EXPECT_EQ(p.CalibrateDisplay, 1);
    EXPECT_EQ(p.bSinglePoint, 7);
}

TEST_F(ParamsDialog, NullBlockIsRefusedWithoutADialog) {
    RawFileRef file{};
    EXPECT_EQ(CalEditParams(nullptr, nullptr), 0);
    EXPECT_EQ(CalEditParamsExt(nullptr, nullptr, &file), 0);
    EXPECT_TRUE(ui_.modal_dialogs.empty());
}

TEST_F(ParamsDialog, WithoutADataFileTheRestraintIsNotOffered) {
    for (const bool ext : {false, true}) {
        SCOPED_TRACE(ext ? "CalEditParamsExt" : "CalEditParams");
        CalParams p = sample();
        ASSERT_EQ(p.AutoPolyOrder, 1);
        bool restrain = true, order = false, weight = false;
        int checked = -1;
        EXPECT_EQ(edit(
                      p,
                      [&](CalWnd dlg) {
                          restrain = enabled(dlg, kAutoRestrain);
                          order = enabled(dlg, kPolyOrder);
                          weight = enabled(dlg, kIntensityWeight);
                          checked = IsDlgButtonChecked(dlg, kAutoRestrain);
                          // A click on the disabled box does nothing.
                          EXPECT_FALSE(ClickDlgItem(dlg, kAutoRestrain));
                          ClickDlgItem(dlg, kIdOk);
                      },
                      nullptr, ext),
                  1);
        EXPECT_FALSE(restrain);
        EXPECT_TRUE(order);
        EXPECT_TRUE(weight);
        EXPECT_EQ(checked, 0);
        EXPECT_EQ(p.AutoPolyOrder, 0);
    }
}

TEST_F(ParamsDialog, AFileThatIsNotThereOffersNoRestraint) {
    RawFileRef file = data_file("absent", "");
    std::filesystem::remove(dir_ / "absent.txt");
    CalParams p = sample();
    bool restrain = true;
    edit(
        p,
        [&](CalWnd dlg) {
            restrain = enabled(dlg, kAutoRestrain);
            ClickDlgItem(dlg, kIdOk);
        },
        &file, true);
    EXPECT_FALSE(restrain);
    EXPECT_EQ(p.AutoPolyOrder, 0);
}

TEST_F(ParamsDialog, TheRestraintIsOfferedByTheKindOfData) {
    struct Case {
        const char* name;
        const char* header;
        bool offered;
    } cases[] = {
        {"accurate", "# accurate mass: yes\n", true},
        {"plain", "", false},
        {"word0", "# acquisition word: 0\n", false},
        {"word3", "# acquisition word: 3\n", false},
        {"word5", "# acquisition word: 5\n", false},
        {"word6", "# acquisition word: 6\n", true},
        {"word255", "# acquisition word: 255\n", true},
        {"word2048", "# acquisition word: 2048\n", true},  // bit 11: not one of bits 8 to 10
        {"word256", "# acquisition word: 256\n", false},
        {"word1030", "# acquisition word: 1030\n", false},  // bit 10 with low byte 6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawFileRef file = data_file(c.name, c.header);
        CalParams p = sample();
        p.AutoPolyOrder = 0;
        bool restrain = !c.offered;
        edit(
            p,
            [&](CalWnd dlg) {
                restrain = enabled(dlg, kAutoRestrain);
                ClickDlgItem(dlg, kIdCancel);
            },
            &file, true);
        EXPECT_EQ(restrain, c.offered);
    }
}

TEST_F(ParamsDialog, OfferedRestraintOpensFromTheBlockAndToggles) {
    RawFileRef file = data_file("accurate", "# accurate mass: yes\n");
    file.wFunction = 0;

    // Restraint on: the order is disabled, and so is the weighting.
    CalParams p = sample();
    p.AutoPolyOrder = 1;
    EXPECT_EQ(edit(
                  p,
                  [](CalWnd dlg) {
                      EXPECT_TRUE(enabled(dlg, kAutoRestrain));
                      EXPECT_EQ(IsDlgButtonChecked(dlg, kAutoRestrain), 1);
                      EXPECT_FALSE(enabled(dlg, kPolyOrder));
                      EXPECT_FALSE(enabled(dlg, kIntensityWeight));
                      ClickDlgItem(dlg, kAutoRestrain);
                      EXPECT_EQ(IsDlgButtonChecked(dlg, kAutoRestrain), 0);
                      EXPECT_TRUE(enabled(dlg, kPolyOrder));
                      EXPECT_TRUE(enabled(dlg, kIntensityWeight));
                      ClickDlgItem(dlg, kAutoRestrain);
                      EXPECT_FALSE(enabled(dlg, kPolyOrder));
                      EXPECT_FALSE(enabled(dlg, kIntensityWeight));
                      ClickDlgItem(dlg, kAutoRestrain);
                      ClickDlgItem(dlg, kIdOk);
                  },
                  &file, true),
              1);
    EXPECT_EQ(p.AutoPolyOrder, 0);

    // Restraint off: the order stays enabled; the weighting opens disabled.
    EXPECT_EQ(edit(
                  p,
                  [](CalWnd dlg) {
                      EXPECT_EQ(IsDlgButtonChecked(dlg, kAutoRestrain), 0);
                      EXPECT_TRUE(enabled(dlg, kPolyOrder));
                      EXPECT_FALSE(enabled(dlg, kIntensityWeight));
                      ClickDlgItem(dlg, kAutoRestrain);
                      ClickDlgItem(dlg, kIdOk);
                  },
                  &file, true),
              1);
    EXPECT_EQ(p.AutoPolyOrder, 1);

    // The order is taken even from its disabled field, and checked.
    EXPECT_EQ(edit(
                  p,
                  [](CalWnd dlg) {
                      SetDlgItemText(dlg, kPolyOrder, "9");
                      ClickDlgItem(dlg, kIdOk);
                      SetDlgItemText(dlg, kPolyOrder, "5");
                      ClickDlgItem(dlg, kIdOk);
                  },
                  &file, true),
              1);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].text, "Polynomial order must be between 1 and 5.");
    EXPECT_EQ(p.PolyOrder, 5);
    EXPECT_EQ(p.AutoPolyOrder, 1);
}

TEST_F(ParamsDialog, TheFileIsRememberedUntilForgotten) {
    RawFileRef file = data_file("accurate", "# accurate mass: yes\n");
    CalParams p = sample();
    edit(p, [](CalWnd dlg) { ClickDlgItem(dlg, kIdCancel); }, &file, true);

    bool restrain = false;
    edit(p, [&](CalWnd dlg) {
        restrain = enabled(dlg, kAutoRestrain);
        ClickDlgItem(dlg, kIdCancel);
    });
    EXPECT_TRUE(restrain) << "CalEditParams uses the file of the last CalEditParamsExt";

    edit(p, [](CalWnd dlg) { ClickDlgItem(dlg, kIdCancel); }, nullptr, true);
    edit(p, [&](CalWnd dlg) {
        restrain = enabled(dlg, kAutoRestrain);
        ClickDlgItem(dlg, kIdCancel);
    });
    EXPECT_FALSE(restrain);
}

}  // namespace
