// A calibration window opened on a calibrated record, owned by a host owner
// window that records every finished notification, with the settings in a
// temporary file and a scripted user.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/synthetic_calibration.hpp"
#include "masscal/window.h"
#include "platform/win/dialog.hpp"
#include "platform/win/message_queue.hpp"
#include "platform/win/window.hpp"
#include "support/recording_ui.hpp"
#include "support/scoped_env.hpp"
#include "axes/axes.hpp"
#include "window/window_state.hpp"

namespace masscal::testing {

struct Finished {
    CalWnd window;
    int accepted;
    std::intptr_t param;
};

enum class Kind { quadrupole, tof, tof2 };

class CalibrationWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("masscal-window-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        env_.emplace("MASSCAL_SETTINGS", path("settings.ini").c_str());
        unit_ = CalSetResidualUnitAmu(1);
        owner_ = CalCreateOwnerWindow(&CalibrationWindowTest::on_finished, this);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        close();
        CalDestroyOwnerWindow(owner_);
        CalSetResidualUnitAmu(unit_);
        env_.reset();
        std::filesystem::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    RecordPtr make_record(Kind kind, bool tofCalibLoaded = true) {
        RecordPtr r = make_synthetic_calibration();
        r->bExternalFunction = kind != Kind::quadrupole;
        r->bTof2 = kind == Kind::tof2 ? 6 : 0;
        r->bTofCalibLoaded = tofCalibLoaded;
        r->hOwnerWnd = owner_;
        return r;
    }

    // Opens the window for rec_ (made with make_record) and pumps.
    void open(Kind kind, bool tofCalibLoaded = true) { open(make_record(kind, tofCalibLoaded)); }
    void open(RecordPtr rec) {
        rec_ = std::move(rec);
        ASSERT_EQ(CalDisplayCalibration(owner_, rec_.get()), 1);
        wnd_ = CalGetCalibrationWindow();
        ASSERT_NE(wnd_, nullptr);
        platform::PumpMessages();
    }
    void close() {
        if (wnd_ && platform::IsWindow(wnd_)) CalCloseCalibrationWindow(wnd_, rec_.get());
        wnd_ = nullptr;
    }

    std::string title() const {
        char buf[512];
        platform::GetWindowText(wnd_, buf, sizeof buf);
        return buf;
    }
    void pump() { platform::PumpMessages(); }

    // Dialog client coordinates of a mass and a value on graph g.
    CalPoint at(int graph, float mass, float value) const {
        AxsHandle axes = window::state().layout.hAxes[graph];
        const CalPoint o = area_offset();
        return CalPoint{AxsXToPixel(axes, mass) + o.x, AxsYToPixel(axes, value) + o.y};
    }
    // Where the graph area's client origin lies in the dialog's.
    CalPoint area_offset() const {
        CalRect rc{}, dlg{};
        platform::GetWindowRect(graph_area(), &rc);
        platform::GetWindowRect(wnd_, &dlg);
        return CalPoint{rc.left - dlg.left, rc.top - dlg.top};
    }
    CalWnd graph_area() const { return platform::GetDlgItem(wnd_, 300); }
    void right_click(CalPoint p) {
        CalWindowMouse(wnd_, CAL_MOUSE_RIGHT_DOWN, p.x, p.y);
        CalWindowMouse(wnd_, CAL_MOUSE_RIGHT_UP, p.x, p.y);
        pump();
    }

    static void on_finished(void* user, CalWnd wnd, int32_t accepted, intptr_t param) {
        static_cast<CalibrationWindowTest*>(user)->finished_.push_back({wnd, accepted, param});
    }

    RecordingUi ui_;
    std::filesystem::path dir_;
    CalWnd owner_ = nullptr;
    CalWnd wnd_ = nullptr;
    RecordPtr rec_;
    std::vector<Finished> finished_;
    int unit_ = 1;
    std::optional<ScopedEnv> env_;
};

}  // namespace masscal::testing
