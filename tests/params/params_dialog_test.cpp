#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "axes/spin_ears.hpp"
#include "masscal/params.h"
#include "masscal/ui_provider.h"
#include "masscal/window.h"
#include "platform/ui.hpp"
#include "platform/win/controls.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/window.hpp"
#include "support/recording_ui.hpp"

using namespace masscal::platform;
using masscal::testing::MessageBoxCall;
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

// The restraint box (enabled, checked) and whether order and weighting are enabled.
std::array<int, 4> restraint(CalWnd dlg) {
    return {enabled(dlg, kAutoRestrain), IsDlgButtonChecked(dlg, kAutoRestrain), enabled(dlg, kPolyOrder),
            enabled(dlg, kIntensityWeight)};
}

// A block of distinct, valid values.
constexpr CalParams kSample{3, 0.5f, 2.0f, 1, 0.001f, 7, 1, 0, 1};
CalParams sample() { return kSample; }

bool same(const CalParams& a, const CalParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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
    int edit(CalParams& p, std::function<void(CalWnd)> user) {
        ui_.modal_scripts.push_back(std::move(user));
        return CalEditParams(nullptr, &p);
    }
    // The same through CalEditParamsExt with a data file.
    int edit_ext(CalParams& p, RawFileRef* file, std::function<void(CalWnd)> user) {
        ui_.modal_scripts.push_back(std::move(user));
        return CalEditParamsExt(nullptr, &p, file);
    }
    RecordingUi ui_;
    fs::path dir_;
};

// The title, the values as formatted, the boxes, and the focus on the whole
// order text.
TEST_F(ParamsDialog, OpensWithTheBlockShown) {
    struct Case {
        float peakWindow, initialError, threshold;
        int polyOrder;
        std::vector<std::string> shown;  // window, error, threshold, order
    } cases[] = {
        {0.5f, 2.0f, 0.001f, 1, {"0.50", "2.00", "0.0010", "1"}},
        {0.0f, 100.0f, 12.5f, 5, {"0.00", "100.00", "12.50", "5"}},
        {0.25f, 0.05f, 99.999f, 2, {"0.25", "0.050", "100.00", "2"}},
    };
    for (const Case& c : cases) {
        CalParams p = sample();
        p.PeakWindow = c.peakWindow;
        p.InitialError = c.initialError;
        p.Threshold = c.threshold;
        p.PolyOrder = c.polyOrder;
        p.AutoPeakMatch = 0;
        p.CalibrateDisplay = 1;
        std::vector<std::string> shown;
        int first = -1, last = -1;
        EXPECT_EQ(edit(p, [&](CalWnd dlg) {
            char title[64] = "";
            GetWindowText(dlg, title, sizeof title);
            shown.push_back(title);
            for (int id : {kPeakWindow, kInitialError, kThreshold, kPolyOrder}) shown.push_back(text_of(dlg, id));
            for (int id : {kIntensityWeight, kAutoPeakMatch, kCalibrateDisplay})
                shown.push_back(std::to_string(IsDlgButtonChecked(dlg, id)));
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, kPolyOrder));
            GetEditSelection(GetDlgItem(dlg, kPolyOrder), &first, &last);
            ClickDlgItem(dlg, kIdCancel);
        }), 0);
        std::vector<std::string> want = c.shown;
        want.insert(want.begin(), "Calibration Parameters");
        want.insert(want.end(), {"1", "0", "1"});
        EXPECT_EQ(shown, want);
        EXPECT_EQ(std::make_pair(first, last), std::make_pair(0, 1));
    }
    EXPECT_TRUE(ui_.calls.empty());
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
            EXPECT_EQ(std::make_tuple(s.step, s.page, s.max, s.min, s.decimals, s.clamp, s.notify),
                      std::make_tuple(e.step, e.step, e.max, e.min, e.decimals, 1, 1))
                << e.id;
        }
        // Spinning the order past its top stops at 5; OK then takes it.
        EarSpin(GetDlgItem(dlg, kPolyOrder), 10, 0);
        EXPECT_EQ(text_of(dlg, kPolyOrder), "5");
        ClickDlgItem(dlg, kIdOk);
    });
    EXPECT_EQ(p.PolyOrder, 5);
    EXPECT_TRUE(ui_.calls.empty());
}

// A value at a limit is taken; one past it is refused with its message and
// the dialog stays open.
TEST_F(ParamsDialog, ValuesAreCheckedAgainstTheirLimits) {
    const char* window = "Peak window must be between 0 and 100.";
    const char* error = "Initial error must be between 0 and 100.";
    const char* threshold = "Threshold must be between 0 and 100.";
    const char* order = "Polynomial order must be between 1 and 5.";
    struct Case {
        int id;
        const char* text;
        const char* message;  // null: taken
    } cases[] = {
        {kPeakWindow, "0", nullptr},      {kPeakWindow, "100", nullptr},   {kInitialError, "0", nullptr},
        {kInitialError, "100", nullptr},  {kThreshold, "0", nullptr},      {kThreshold, "100", nullptr},
        {kPeakWindow, "100.01", window},  {kPeakWindow, "-0.01", window}, {kPeakWindow, "nan", window},
        {kInitialError, "100.01", error}, {kInitialError, "-1", error},   {kThreshold, "100.01", threshold},
        {kPolyOrder, "0", order},         {kPolyOrder, "6", order},       {kPolyOrder, "", order},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " \"" + c.text + "\"");
        ui_.calls.clear();
        CalParams p = sample();
        bool stayedOpen = false;
        CalWnd owner = nullptr;
        const int result = edit(p, [&](CalWnd dlg) {
            owner = dlg;
            TypeText(GetDlgItem(dlg, c.id), c.text);
            ClickDlgItem(dlg, kIdOk);
            stayedOpen = !IsDialogEnded(dlg, nullptr) && IsWindow(dlg);
            if (stayedOpen) ClickDlgItem(dlg, kIdCancel);  // the user then gives up
        });
        EXPECT_EQ(result, c.message ? 0 : 1);
        EXPECT_EQ(stayedOpen, c.message != nullptr);
        if (!c.message) {
            EXPECT_TRUE(ui_.calls.empty());
            const float taken = c.id == kPeakWindow ? p.PeakWindow : c.id == kInitialError ? p.InitialError : p.Threshold;
            EXPECT_EQ(taken, std::stof(c.text));
            continue;
        }
        EXPECT_EQ(ui_.calls, (std::vector<MessageBoxCall>{{owner, c.message, "Calibrate", CAL_MB_ICONEXCLAMATION}}));
        EXPECT_TRUE(same(kSample, p));
    }
}

TEST_F(ParamsDialog, ARefusedValueCanBeCorrectedBeforeOk) {
    CalParams p = sample();
    EXPECT_EQ(edit(p, [](CalWnd dlg) {
        TypeText(GetDlgItem(dlg, kPolyOrder), "6");
        TypeText(GetDlgItem(dlg, kPeakWindow), "100.01");
        ClickDlgItem(dlg, kIdOk);
        // Only the first failing check is reported.
        TypeText(GetDlgItem(dlg, kPeakWindow), "1.5");
        ClickDlgItem(dlg, kIdOk);
        TypeText(GetDlgItem(dlg, kPolyOrder), "4");
        ClickDlgItem(dlg, kIdOk);
    }), 1);
    ASSERT_EQ(ui_.calls.size(), 2u);
    EXPECT_EQ(std::make_pair(ui_.calls[0].text, ui_.calls[1].text),
              std::make_pair(std::string("Peak window must be between 0 and 100."),
                             std::string("Polynomial order must be between 1 and 5.")));
    EXPECT_EQ(std::make_pair(p.PeakWindow, p.PolyOrder), std::make_pair(1.5f, 4));
}

// Every field typed and every box clicked: Cancel (or closing the dialog)
// keeps the block; OK stores every field and keeps the single-point flag.
TEST_F(ParamsDialog, CancelKeepsTheBlockAndOkStoresEveryField) {
    auto change_all = [](CalWnd dlg) {
        TypeText(GetDlgItem(dlg, kPeakWindow), "1.25");
        TypeText(GetDlgItem(dlg, kInitialError), "0.75");
        TypeText(GetDlgItem(dlg, kThreshold), "3");
        TypeText(GetDlgItem(dlg, kPolyOrder), "2");
        for (int id : {kIntensityWeight, kAutoPeakMatch, kCalibrateDisplay}) ClickDlgItem(dlg, id);
    };
    CalParams p = sample();
    EXPECT_EQ(edit(p, [&](CalWnd dlg) {
        change_all(dlg);
        ClickDlgItem(dlg, kIdCancel);
    }), 0);
    EXPECT_TRUE(same(kSample, p));
    EXPECT_EQ(edit(p, change_all), 0);  // closed without a button
    EXPECT_TRUE(same(kSample, p));
    EXPECT_EQ(edit(p, [&](CalWnd dlg) {
        change_all(dlg);
        ClickDlgItem(dlg, kIdOk);
    }), 1);
    EXPECT_TRUE(same(p, CalParams{2, 1.25f, 0.75f, 0, 3.0f, 7, 0, 1, 0}));  // no data file: no restraint
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(ParamsDialog, NullBlockIsRefusedWithoutADialog) {
    RawFileRef file{};
    EXPECT_EQ(CalEditParams(nullptr, nullptr), 0);
    EXPECT_EQ(CalEditParamsExt(nullptr, nullptr, &file), 0);
    EXPECT_TRUE(ui_.modal_dialogs.empty());
}

// Offered, the restraint opens checked from the block with the order and
// the weighting disabled; not offered, its box takes no click.
TEST_F(ParamsDialog, TheRestraintIsOfferedByTheKindOfData) {
    struct Case {
        const char* name;
        const char* header;  // null: the file is missing
        bool offered;
    } cases[] = {
        {"accurate", "# accurate mass: yes\n", true},
        {"word6", "# acquisition word: 6\n", true},  // every word is decoded in the input tests
        {"plain", "", false},
        {"absent", nullptr, false},
        {"", nullptr, false},  // no data file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawFileRef file = data_file(c.name, c.header ? c.header : "");
        if (!c.header) fs::remove(dir_ / (std::string(c.name) + ".txt"));
        CalParams p = sample();
        std::array<int, 4> state{};
        bool clicked = false;
        EXPECT_EQ(edit_ext(p, *c.name ? &file : nullptr, [&](CalWnd dlg) {
            state = restraint(dlg);
            if (!c.offered) clicked = ClickDlgItem(dlg, kAutoRestrain);
            ClickDlgItem(dlg, kIdOk);
        }), 1);
        EXPECT_EQ(state, c.offered ? (std::array<int, 4>{1, 1, 0, 0}) : (std::array<int, 4>{0, 0, 1, 1}));
        EXPECT_FALSE(clicked);
        EXPECT_EQ(p.AutoPolyOrder, c.offered ? 1 : 0);
    }
}

TEST_F(ParamsDialog, OfferedRestraintOpensFromTheBlockAndToggles) {
    RawFileRef file = data_file("accurate", "# accurate mass: yes\n");
    file.wFunction = 0;
    using State = std::array<int, 4>;

    // Restraint on, toggled off and on again.
    CalParams p = sample();
    EXPECT_EQ(edit_ext(p, &file, [](CalWnd dlg) {
        ClickDlgItem(dlg, kAutoRestrain);
        EXPECT_EQ(restraint(dlg), (State{1, 0, 1, 1}));
        ClickDlgItem(dlg, kAutoRestrain);
        EXPECT_EQ(restraint(dlg), (State{1, 1, 0, 0}));
        ClickDlgItem(dlg, kAutoRestrain);
        ClickDlgItem(dlg, kIdOk);
    }), 1);
    EXPECT_EQ(p.AutoPolyOrder, 0);

    // Restraint off: the order stays enabled; the weighting opens disabled.
    EXPECT_EQ(edit_ext(p, &file, [](CalWnd dlg) {
        EXPECT_EQ(restraint(dlg), (State{1, 0, 1, 0}));
        ClickDlgItem(dlg, kAutoRestrain);
        ClickDlgItem(dlg, kIdOk);
    }), 1);
    EXPECT_EQ(p.AutoPolyOrder, 1);

    // The order is taken even from its disabled field, and checked.
    EXPECT_EQ(edit_ext(p, &file, [](CalWnd dlg) {
        SetDlgItemText(dlg, kPolyOrder, "9");
        ClickDlgItem(dlg, kIdOk);
        SetDlgItemText(dlg, kPolyOrder, "5");
        ClickDlgItem(dlg, kIdOk);
    }), 1);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].text, "Polynomial order must be between 1 and 5.");
    EXPECT_EQ(std::make_pair(p.PolyOrder, p.AutoPolyOrder), std::make_pair(5, 1));
}

TEST_F(ParamsDialog, TheFileIsRememberedUntilForgotten) {
    RawFileRef file = data_file("accurate", "# accurate mass: yes\n");
    CalParams p = sample();
    bool restrain = false;
    auto look = [&](CalWnd dlg) {
        restrain = enabled(dlg, kAutoRestrain);
        ClickDlgItem(dlg, kIdCancel);
    };
    edit_ext(p, &file, look);
    edit(p, look);
    EXPECT_TRUE(restrain) << "CalEditParams uses the file of the last CalEditParamsExt";
    edit_ext(p, nullptr, look);
    edit(p, look);
    EXPECT_FALSE(restrain);
}

}  // namespace

namespace {

// A host outside the library plays the dialog through the C interface: it
// reads, types and clicks, and answers the complaint about a value out of
// range with its own message box.
TEST(HostProvider, PlaysTheParameterDialogThroughTheCInterface) {
    struct Host {
        std::vector<std::string> said;
        std::string shown;
        int checked = -1;
    } host;
    CalUiProvider provider{};
    provider.pUser = &host;
    provider.pfnMessageBox = [](void* user, CalWnd, const char* text, const char*, uint32_t) -> int32_t {
        static_cast<Host*>(user)->said.emplace_back(text);
        return CAL_IDOK;
    };
    provider.pfnRunDialog = [](void* user, CalWnd dlg) {
        auto* h = static_cast<Host*>(user);
        char text[32] = "";
        CalDialogItemText(dlg, CAL_PARAMS_PEAK_WINDOW, text, sizeof text);
        h->shown = text;
        CalDialogTypeText(dlg, CAL_PARAMS_PEAK_WINDOW, "500");
        CalWindowClick(dlg, CAL_PARAMS_OK);
        CalDialogTypeText(dlg, CAL_PARAMS_PEAK_WINDOW, "0.25");
        CalWindowClick(dlg, CAL_PARAMS_INTENSITY_WEIGHT);
        h->checked = CalDialogItemChecked(dlg, CAL_PARAMS_INTENSITY_WEIGHT);
        CalWindowClick(dlg, CAL_PARAMS_OK);
    };
    CalSetUiProvider(&provider);
    CalParams p = sample();
    const int result = CalEditParamsExt(nullptr, &p, nullptr);
    // Left out: the default, which cancels a dialog it cannot show.
    provider.pfnRunDialog = nullptr;
    CalSetUiProvider(&provider);
    CalParams untouched = sample();
    const int cancelled = CalEditParams(nullptr, &untouched);
    CalSetUiProvider(nullptr);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(host.shown, "0.50");
    EXPECT_EQ(host.said, std::vector<std::string>{"Peak window must be between 0 and 100."});
    EXPECT_EQ(host.checked, 0);
    EXPECT_EQ(std::make_pair(p.PeakWindow, p.IntensityWeight), std::make_pair(0.25f, 0));
    EXPECT_EQ(cancelled, 0);
    EXPECT_TRUE(same(untouched, kSample));
    EXPECT_EQ(CalDialogTypeText(nullptr, CAL_PARAMS_PEAK_WINDOW, "1"), 0);
}

}  // namespace
