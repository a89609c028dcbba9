#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <tuple>

#include "support/test_files.hpp"
#include "masscal/calibrate.h"
#include "masscal/params.h"
#include "masscal/quality.h"
#include "masscal/tofcal.h"
#include "platform/gdi/device_context.hpp"
#include "platform/win/controls.hpp"
#include "platform/win/input.hpp"
#include "platform/win/menu.hpp"
#include "suite/print/print.hpp"
#include "suite/utility/file_ref_path.hpp"
#include "suite/utility/global_files.hpp"
#include "support/bundled_example.hpp"
#include "support/pdf_pages.hpp"
#include "window_fixture.hpp"

using namespace masscal::platform;
using masscal::testing::CalibrationWindowTest;
using masscal::testing::Kind;
using masscal::testing::MessageBoxCall;

namespace {

constexpr int kExit = 1703, kParams = 1707, kOpen = 1708, kSaveAs = 1709, kNew = 1710, kAccept = 1711,
              kReject = 1712, kSwitch = 1713, kPrint = 1701, kDefault = 1706, kUndo = 1714;

using Window = CalibrationWindowTest;

TEST_F(Window, TitlesOfTheVariants) {
    open(Kind::quadrupole);
    EXPECT_EQ(title(), "Calibrate - PEG 200-1000 in MeOH, ESI+");
    close();

    rec_ = make_record(Kind::quadrupole);
    rec_->szDataName[0] = '\0';
    rec_->bCheckOnly = 1;
    ASSERT_EQ(CalDisplayCalibration(owner_, rec_.get()), 1);
    wnd_ = CalGetCalibrationWindow();
    EXPECT_EQ(title(), "Verify");
    EXPECT_NE(GetMenuState(GetMenu(wnd_), kParams, kMfByCommand) & kMfGrayed, 0u);
    close();

    open(Kind::tof);
    EXPECT_EQ(title(), "Calibration - [DEFAULT.CAL]");
}

TEST_F(Window, SecondCallBringsUpTheOpenWindow) {
    open(Kind::quadrupole);
    ShowWindow(wnd_, kSwMinimize);
    ASSERT_TRUE(IsIconic(wnd_));
    auto other = make_record(Kind::tof);
    const RawCalibCoEffs before = other->MassFunc;
    EXPECT_EQ(CalDisplayCalibration(owner_, other.get()), 0);
    EXPECT_FALSE(IsIconic(wnd_));
    EXPECT_EQ(GetFocus(), wnd_);
    EXPECT_EQ(CalGetCalibrationWindow(), wnd_);
    EXPECT_EQ(std::memcmp(&before, &other->MassFunc, sizeof before), 0);
}

struct CloseCase {
    const char* name;
    Kind kind;
    bool verify;
    int action;  // a command, or 0 for the close box
    std::deque<int> answers;
    int accepted;
    bool asked;
};

TEST_F(Window, CloseProtocol) {
    const CloseCase cases[] = {
        {"exit, answered no", Kind::quadrupole, false, kExit, {CAL_IDNO}, 0, true},
        {"exit, answered yes", Kind::quadrupole, false, kExit, {CAL_IDYES}, 1, true},
        {"close box, answered yes", Kind::quadrupole, false, 0, {CAL_IDYES}, 1, true},
        {"verify exit", Kind::quadrupole, true, kExit, {}, 0, false},
        {"verify close box", Kind::tof, true, 0, {}, 0, false},
        {"accept by menu", Kind::tof2, false, kAccept, {}, 1, false},
        {"the next window asks again", Kind::tof2, false, 0, {CAL_IDNO}, 0, true},
        {"reject by menu", Kind::tof2, false, kReject, {}, 0, false},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        rec_ = make_record(c.kind);
        rec_->bCheckOnly = c.verify;
        ASSERT_EQ(CalDisplayCalibration(owner_, rec_.get()), 1);
        wnd_ = CalGetCalibrationWindow();
        pump();
        ui_.calls.clear();
        ui_.answers = c.answers;
        finished_.clear();
        if (c.action)
            EXPECT_TRUE(CalWindowCommand(wnd_, c.action));
        else
            EXPECT_TRUE(CalWindowCloseBox(wnd_));
        // The close request is posted: nothing happens before the pump.
        EXPECT_TRUE(finished_.empty());
        pump();
        ASSERT_EQ(finished_.size(), 1u);
        EXPECT_EQ(std::tie(finished_[0].window, finished_[0].accepted, finished_[0].param),
                  std::make_tuple(wnd_, c.accepted, std::intptr_t{0}));
        ASSERT_EQ(ui_.calls.size(), c.asked ? 1u : 0u);
        if (c.asked)
            EXPECT_EQ(ui_.calls[0], (MessageBoxCall{ui_.calls[0].owner, "Accept this calibration ?", "Calibration",
                                                    CAL_MB_YESNO | CAL_MB_ICONQUESTION}));
        // The window waits for its owner.
        EXPECT_TRUE(IsWindow(wnd_));
        close();
    }
}

TEST_F(Window, ButtonsAnswerWithoutAsking) {
    open(Kind::quadrupole);
    EXPECT_TRUE(CalWindowClick(wnd_, 1));
    EXPECT_TRUE(CalWindowClick(wnd_, 2));
    ASSERT_EQ(finished_.size(), 2u);
    EXPECT_EQ(finished_[0].accepted, 1);
    EXPECT_EQ(finished_[1].accepted, 0);
    EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(Window, DialogClosedMakesTheErrorFunctionTheMassFunction) {
    open(Kind::quadrupole);
    rec_->MassFunc = RawCalibCoEffs{};
    CalCloseCalibrationWindow(wnd_, rec_.get());
    wnd_ = nullptr;
    EXPECT_EQ(CalGetCalibrationWindow(), nullptr);
    RawCalibCoEffs expected = rec_->ErrorFunc;
    CalMassFunction(&expected);
    EXPECT_EQ(std::memcmp(&expected, &rec_->MassFunc, sizeof expected), 0);
}

TEST_F(Window, AxisSwitchTextFollowsTheUnitAcrossWindows) {
    open(Kind::quadrupole);
    HMenu menu = GetMenu(wnd_);
    SendMessage(wnd_, kMsgInitMenuPopup, 0, 2);
    EXPECT_EQ(GetMenuString(menu, kSwitch), "&Switch Residuals Graph Axis to PPM");
    EXPECT_TRUE(CalWindowCommand(wnd_, kSwitch));
    EXPECT_EQ(CalGetResidualUnitAmu(), 0);
    SendMessage(wnd_, kMsgInitMenuPopup, 0, 2);
    EXPECT_EQ(GetMenuString(menu, kSwitch), "&Switch Residuals Graph Axis to amu");
    close();
    open(Kind::quadrupole);
    SendMessage(wnd_, kMsgInitMenuPopup, 0, 2);
    EXPECT_EQ(GetMenuString(GetMenu(wnd_), kSwitch), "&Switch Residuals Graph Axis to amu");
    close();

    rec_ = make_record(Kind::quadrupole);
    rec_->bCheckOnly = 1;
    CalDisplayCalibration(owner_, rec_.get());
    wnd_ = CalGetCalibrationWindow();
    EXPECT_FALSE(CalWindowCommand(wnd_, kSwitch));  // greyed when the popup opens
    EXPECT_EQ(CalGetResidualUnitAmu(), 0);
}

TEST_F(Window, NewCalibrationsCountOnAndMapMassesToThemselves) {
    open(Kind::tof);
    int first = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(CalWindowCommand(wnd_, kNew));
        const std::string t = title();
        ASSERT_EQ(t.rfind("Calibration - [SCL", 0), 0u) << t;
        const int n = std::atoi(t.c_str() + std::strlen("Calibration - [SCL"));
        if (i == 0) first = n;
        EXPECT_EQ(t, "Calibration - [SCL" + std::to_string(first + i) + ".SCL]");
    }
    for (const RawCalibCoEffs& s : rec_->TofCalib.Segments)
        EXPECT_EQ(std::make_tuple(s.nOrder, +s.dCoeffs[0], +s.dCoeffs[1]), std::make_tuple(1, 0.0, 1.0));
    close();
    // The second variant names its new calibration "Graph".
    open(Kind::tof2, false);
    EXPECT_EQ(title(), "Calibration - [Graph.]");
}

TEST_F(Window, SaveAsWritesTheFunctionCalibrationAndOpenReadsItBack) {
    open(Kind::tof);
    rec_->DataFile.wFunction = 3;
    FileDialogRequest choice;
    choice.directory = dir_.string();
    choice.name = "saved";
    choice.extension = "scl";
    ui_.file_answers = {choice};
    ASSERT_TRUE(CalWindowCommand(wnd_, kSaveAs));
    EXPECT_EQ(title(), "Calibration - [saved.scl]");
    ASSERT_EQ(ui_.file_dialogs.size(), 1u);
    EXPECT_TRUE(ui_.file_dialogs[0].save);
    EXPECT_EQ(std::tie(ui_.file_dialogs[0].filter, ui_.file_dialogs[0].name),
              std::make_tuple("Spectrum Calibration (*.scl)|*.scl||", "DEFAULT"));

    RawFileRef ref{};
    ConvertPathToQBFile(&ref, path("saved.scl").c_str());
    std::vector<unsigned char> storage(sizeof(RawCalibInfo) + 2);
    auto* info = reinterpret_cast<RawCalibInfo*>(storage.data());
    ASSERT_EQ(ReadCalibrationFunctionsQB(&ref, info), 1);
    // The functions sit at 2-byte alignment: read by bytes.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(info);
    std::int32_t functions = 0, segments = 0;
    std::memcpy(&functions, bytes + offsetof(RawCalibInfo, nFunctions), sizeof functions);
    std::memcpy(&segments, bytes + offsetof(RawCalibInfo, Functions) + 2 * sizeof(tagRAWCALIBFUNC) +
                               offsetof(tagRAWCALIBFUNC, nSegments), sizeof segments);
    EXPECT_EQ(std::make_pair(functions, segments), std::make_pair(3, 1));
    RawCalibCoEffs segment;
    std::memcpy(&segment, reinterpret_cast<const unsigned char*>(info) + offsetof(RawCalibInfo, Functions) +
                              2 * sizeof(tagRAWCALIBFUNC) + offsetof(tagRAWCALIBFUNC, Segments),
                sizeof segment);
    // The file keeps the polynomial; its statistics stay with the record.
    EXPECT_EQ(segment.nOrder, rec_->MassFunc.nOrder);
    for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(segment.dCoeffs[i], rec_->MassFunc.dCoeffs[i]) << i;

    // The remembered file is where the next dialog starts.
    RawFileRef remembered{};
    EXPECT_EQ(GetGlobalFile("SystemList", "SavedPPCalibration", nullptr, &remembered), 1);
    EXPECT_STREQ(remembered.szName, "saved");

    const _TOFCALIBRATION saved = rec_->TofCalib;
    rec_->TofCalib.Segments[4].dCoeffs[0] = 0.5;
    ui_.file_answers = {choice};
    ASSERT_TRUE(CalWindowCommand(wnd_, kOpen));
    EXPECT_EQ(ui_.file_dialogs.back().name, "saved");
    EXPECT_FALSE(ui_.file_dialogs.back().save);
    EXPECT_EQ(+rec_->TofCalib.Segments[4].dCoeffs[0], +saved.Segments[4].dCoeffs[0]);
    EXPECT_EQ(title(), "Calibration - [saved.scl]");

    // A cancelled dialog changes nothing.
    ui_.file_answers.clear();
    CalWindowCommand(wnd_, kNew);
    const std::string before = title();
    CalWindowCommand(wnd_, kOpen);
    CalWindowCommand(wnd_, kSaveAs);
    EXPECT_EQ(title(), before);
}

TEST_F(Window, SaveRefusesAFunctionBeyondTheFileLimit) {
    open(Kind::tof);
    rec_->DataFile.wFunction = 33;
    FileDialogRequest choice;
    choice.directory = dir_.string();
    choice.name = "big";
    choice.extension = "scl";
    ui_.file_answers = {choice};
    ui_.calls.clear();
    CalWindowCommand(wnd_, kSaveAs);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_NE(ui_.calls[0].text.find("at most 32 functions"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("big.scl")));
}

// The reference peak that the data peak of a match measures.
struct MatchedPeak {
    int pair;
    float data;
    float ref;
    float intensity;
    float refIntensity;
};

MatchedPeak strong_match(const CalRecord& rec) {
    const auto* m = static_cast<const float*>(rec.MatchPeaks.Mass.pData);
    const auto* in = static_cast<const float*>(rec.MatchPeaks.Intensity.pData);
    const auto* e = static_cast<const float*>(rec.Errors.pData);
    int best = 0;
    for (int i = 1; i < rec.MatchPeaks.nCount; ++i)
        if (in[i] > in[best]) best = i;
    const float r = m[best] - e[best];
    const auto* rm = static_cast<const float*>(rec.RefPeaks.Mass.pData);
    const auto* ri = static_cast<const float*>(rec.RefPeaks.Intensity.pData);
    int k = 0;
    for (int i = 1; i < rec.RefPeaks.nCount; ++i)
        if (std::fabs(rm[i] - r) < std::fabs(rm[k] - r)) k = i;
    return {best, m[best], rm[k], in[best], ri[k]};
}

// A time-of-flight window pairs with the reference clicked first; a
// quadrupole window needs no pending pick.
TEST_F(Window, RightClicksPairAndUnpair) {
    open(Kind::quadrupole);
    masscal::window::state().pending = {-1.0f, 0.0f};
    MatchedPeak p = strong_match(*rec_);
    int before = rec_->MatchPeaks.nCount;
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    EXPECT_EQ(rec_->MatchPeaks.nCount, before - 1);
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    EXPECT_EQ(rec_->MatchPeaks.nCount, before);
    close();

    open(Kind::tof);
    p = strong_match(*rec_);
    before = rec_->MatchPeaks.nCount;
    right_click(at(CAL_GRAPH_REFERENCE, p.ref, p.refIntensity * 0.5f));
    EXPECT_FLOAT_EQ(masscal::window::state().pending.mass, p.ref);
    EXPECT_EQ(rec_->MatchPeaks.nCount, before);

    // The data peak is paired with the pending reference: the click unpairs it.
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    EXPECT_EQ(rec_->MatchPeaks.nCount, before - 1);
    // And the next click pairs it again, refitted.
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    ASSERT_EQ(rec_->MatchPeaks.nCount, before);
    const auto* m = static_cast<const float*>(rec_->MatchPeaks.Mass.pData);
    EXPECT_FLOAT_EQ(m[p.pair], p.data);
}

// The pairs and the fit made of them.
struct Fit {
    std::vector<float> mass, errors;
    std::vector<double> coeffs;
    bool operator==(const Fit&) const = default;
};

Fit fit_of(const CalRecord& rec) {
    const auto* m = static_cast<const float*>(rec.MatchPeaks.Mass.pData);
    const auto* e = static_cast<const float*>(rec.Errors.pData);
    const int n = rec.MatchPeaks.nCount;
    RawCalibCoEffs f;
    std::memcpy(&f, &rec.ErrorFunc, sizeof f);
    return {std::vector<float>(m, m + n), std::vector<float>(e, e + n),
            std::vector<double>(f.dCoeffs, f.dCoeffs + f.nOrder + 1)};
}

// A mis-click pairs a data peak with the wrong reference peak; Undo puts
// back the pairs (and so the fit) as each click found them.
TEST_F(Window, UndoPairingPutsBackWhatEachClickChanged) {
    open(Kind::tof);
    EXPECT_FALSE(CalWindowCommand(wnd_, kUndo));
    const MatchedPeak p = strong_match(*rec_);
    const auto* refs = static_cast<const float*>(rec_->RefPeaks.Mass.pData);
    const auto* refIn = static_cast<const float*>(rec_->RefPeaks.Intensity.pData);
    int wrong = 0;
    while (wrong < rec_->RefPeaks.nCount && refs[wrong] <= p.ref) ++wrong;
    ASSERT_LT(wrong, rec_->RefPeaks.nCount);
    const Fit original = fit_of(*rec_);

    right_click(at(CAL_GRAPH_REFERENCE, p.ref, p.refIntensity * 0.5f));
    EXPECT_FALSE(CalWindowCommand(wnd_, kUndo));  // a pending pick changes no pair
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    const Fit unpaired = fit_of(*rec_);
    ASSERT_EQ(unpaired.mass.size() + 1, original.mass.size());
    right_click(at(CAL_GRAPH_REFERENCE, refs[wrong], refIn[wrong] * 0.5f));
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    // The wrong reference peak leaves its own pair for this data peak.
    EXPECT_NE(fit_of(*rec_), unpaired);

    EXPECT_TRUE(CalWindowCommand(wnd_, kUndo));
    EXPECT_EQ(fit_of(*rec_), unpaired);
    EXPECT_TRUE(CalWindowCommand(wnd_, kUndo));
    // The record's first fit was not the driver's: the pairs are compared.
    const Fit back = fit_of(*rec_);
    EXPECT_EQ(std::tie(back.mass, back.errors), std::tie(original.mass, original.errors));
    EXPECT_FALSE(CalWindowCommand(wnd_, kUndo));

    // A calibration made anew from the parameters starts a new history.
    right_click(at(CAL_GRAPH_SPECTRUM, p.data, p.intensity * 0.5f));
    ui_.modal_scripts.push_back([](CalWnd dlg) { ClickDlgItem(dlg, kIdOk); });
    CalWindowCommand(wnd_, kParams);
    EXPECT_FALSE(CalWindowCommand(wnd_, kUndo));
}

TEST_F(Window, FlaggedPeakCannotBeSelected) {
    open(Kind::tof);
    const CalPeakList& d = rec_->DataPeaks;
    const auto* flags = static_cast<const std::uint8_t*>(d.Flags.pData);
    const auto* mass = static_cast<const float*>(d.Mass.pData);
    const auto* in = static_cast<const float*>(d.Intensity.pData);
    int flagged = -1;
    for (int i = 0; i < d.nCount; ++i)
        if ((flags[i] & 16) && (flagged < 0 || in[i] > in[flagged])) flagged = i;
    ASSERT_GE(flagged, 0);
    masscal::window::state().pending = {500.0f, 1.0f};
    const int before = rec_->MatchPeaks.nCount;
    ui_.calls.clear();
    right_click(at(CAL_GRAPH_SPECTRUM, mass[flagged], in[flagged] * 0.5f));
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0],
              (MessageBoxCall{ui_.calls[0].owner,
                              "A possible mass measurement error has been detected with the peak you are trying to "
                              "select.  This peak has been automatically excluded from the calibration and cannot be "
                              "selected.",
                              "Calibration", CAL_MB_ICONINFORMATION}));
    EXPECT_EQ(rec_->MatchPeaks.nCount, before);
}

// The pixel column whose mass is nearest m.
int column_of(AxsHandle axes, float m) {
    int best = AxsXToPixel(axes, m);
    for (int x = best - 3; x <= best + 3; ++x)
        if (std::fabs(AxsGetValue(axes, 0, x, 0, 1) - m) < std::fabs(AxsGetValue(axes, 0, best, 0, 1) - m)) best = x;
    return best;
}

TEST_F(Window, DragZoomsEveryGraphToWholeMasses) {
    open(Kind::quadrupole);
    GraphLayout& layout = masscal::window::state().layout;
    // Narrow the range first, so that a pixel is finer than a tenth of a mass unit.
    layout.fMassLow = 190.0f;
    layout.fMassHigh = 360.0f;
    CalUpdateGraphRanges(rec_.get(), &layout);
    CalPaint(graph_area(), rec_.get(), &layout);
    AxsHandle axes = layout.hAxes[CAL_GRAPH_SPECTRUM];
    const int x0 = column_of(axes, 201.4f), x1 = column_of(axes, 349.6f);
    ASSERT_EQ(std::floor(AxsGetValue(axes, 0, x0, 0, 1)), 201.0f);
    ASSERT_EQ(std::ceil(AxsGetValue(axes, 0, x1, 0, 1)), 350.0f);
    const int dx = area_offset().x, y = at(CAL_GRAPH_SPECTRUM, 250.0f, 10.0f).y;
    CalRect plot{};
    AxsGetArea(axes, 0, &plot, 0);
    CalDC image = GetWindowSurface(wnd_);
    const auto picture = [&] {
        std::vector<std::uint32_t> p;
        for (int py = 0; py < image->height(); ++py)
            for (int px = 0; px < image->width(); ++px) p.push_back(image->pixel(px, py));
        return p;
    };
    const std::vector<std::uint32_t> still = picture();

    // Too short a drag leaves the range, and the band leaves no trace.
    CalWindowMouse(wnd_, CAL_MOUSE_LEFT_DOWN, x0 + dx, y);
    CalWindowMouse(wnd_, CAL_MOUSE_MOVE, x1 + dx, y);
    // The band shows while dragging: its edge inverts the plot's column.
    const int top = plot.top + area_offset().y;
    for (int py = top + 1; py < top + plot.bottom - plot.top - 1; py += 7)
        EXPECT_EQ(image->pixel(x1 + dx, py), still[static_cast<std::size_t>(py * image->width() + x1 + dx)] ^ 0xFFFFFFu);
    CalWindowMouse(wnd_, CAL_MOUSE_MOVE, x0 + dx + 4, y);
    CalWindowMouse(wnd_, CAL_MOUSE_LEFT_UP, x0 + dx + 4, y);
    EXPECT_EQ(std::make_pair(layout.fMassLow, layout.fMassHigh), std::make_pair(190.0f, 360.0f));
    EXPECT_TRUE(picture() == still);

    CalWindowMouse(wnd_, CAL_MOUSE_LEFT_DOWN, x0 + dx, y);
    EXPECT_EQ(GetCapture(), wnd_);
    CalWindowMouse(wnd_, CAL_MOUSE_MOVE, x1 + dx, y);
    CalWindowMouse(wnd_, CAL_MOUSE_LEFT_UP, x1 + dx, y);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(std::make_pair(layout.fMassLow, layout.fMassHigh), std::make_pair(201.0f, 350.0f));
    for (AxsHandle g : layout.hAxes) {
        AxsSystem sys;
        ASSERT_TRUE(AxsGetSystem(g, &sys));
        EXPECT_EQ(std::make_pair(sys.fXLow, sys.fXHigh), std::make_pair(201.0f, 350.0f));
    }
    // Default undoes it.
    CalWindowCommand(wnd_, kDefault);
    EXPECT_EQ(std::make_pair(layout.fMassLow, layout.fMassHigh),
              std::make_pair(layout.fDefaultMassLow, layout.fDefaultMassHigh));
}

TEST_F(Window, ResizingKeepsTheGraphAreaMargins) {
    open(Kind::quadrupole);
    CalRect before{};
    GetWindowRect(wnd_, &before);
    MoveWindow(wnd_, before.left, before.top, 900, 700, true);
    for (int id : {300, 301}) {
        CalRect child{}, dlg{};
        GetWindowRect(GetDlgItem(wnd_, id), &child);
        GetWindowRect(wnd_, &dlg);
        const int left = child.left - dlg.left;
        EXPECT_EQ(dlg.right - child.right, left) << id;
        EXPECT_EQ(dlg.bottom - child.bottom, left) << id;
    }
}

TEST_F(Window, PositionIsSavedAndRestored) {
    open(Kind::quadrupole);
    MoveWindow(wnd_, 120, 80, 700, 500, true);
    close();
    open(Kind::tof);
    CalRect r{};
    GetWindowRect(wnd_, &r);
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(120, 80, 820, 580));
    EXPECT_TRUE(IsTopMost(wnd_));
}

TEST_F(Window, PrintWritesTheReportWithItsGraphs) {
    open(Kind::quadrupole);
    ASSERT_TRUE(PrnSetOutputFile(path("report.pdf").c_str()));
    CalWindowCommand(wnd_, kPrint);
    PrnSetOutputFile("calibration-report.pdf");
    // The owned window finds its owner, so the graphs are painted below the
    // header, and the detail pages follow.
    const auto words = masscal::testing::pdf_words(path("report.pdf"), 1);
    std::set<std::string> texts;
    for (const auto& w : words) texts.insert(w.text);
    for (const char* t : {"Calibration", "Printed:", "matches", "Reference:", "Residual", "M/z"})
        EXPECT_TRUE(texts.count(t)) << t;
    EXPECT_GE(masscal::testing::pdf_page_count(path("report.pdf")), 2);
}

TEST_F(Window, ParametersDialogRefitsOnOkOnly) {
    open(Kind::quadrupole);
    // Windows wide enough for the simulated error, narrow enough to miss the isotopes.
    rec_->Params.PolyOrder = 2;
    rec_->Params.PeakWindow = 0.2f;
    rec_->Params.InitialError = 0.1f;
    rec_->Params.AutoPeakMatch = 1;
    const CalParams before = rec_->Params;
    ui_.modal_scripts.push_back([](CalWnd dlg) { ClickDlgItem(dlg, 2); });
    CalWindowCommand(wnd_, kParams);
    EXPECT_EQ(std::memcmp(&before, &rec_->Params, sizeof before), 0);

    ui_.modal_scripts.push_back([](CalWnd dlg) {
        TypeText(GetDlgItem(dlg, 203), "1");
        ClickDlgItem(dlg, 1);
    });
    CalWindowCommand(wnd_, kParams);
    EXPECT_EQ(rec_->Params.PolyOrder, 1);
    EXPECT_EQ(ui_.modal_dialogs.size(), 2u);
    EXPECT_GT(rec_->MatchPeaks.nCount, 10);
    EXPECT_EQ(rec_->ErrorFunc.nOrder, 1);
}

TEST_F(Window, PicturesOfTheWindows) {
    // The documentation's pictures when MASSCAL_DOC_IMAGES names a folder.
    const char* docs = std::getenv("MASSCAL_DOC_IMAGES");
    for (const auto& [data, order, name] : {std::tuple{"nai_quad.txt", 1, "window.png"},
                                            std::tuple{"nai_tof.txt", -1, "window-tof.png"}}) {
        auto rec = masscal::testing::bundled_example(data, order, owner_);
        // The time-of-flight window, with its saved calibration loaded.
        rec->bExternalFunction = rec->bTofCalibLoaded = rec->bTofFunction;
        open(std::move(rec));
        const std::string out = docs ? std::string(docs) + "/" + name : path(name);
        ASSERT_TRUE(CalWriteWindowPng(wnd_, out.c_str()));
        // The graphs make the picture: a frame with an empty area compresses to a few kilobytes.
        EXPECT_GT(std::filesystem::file_size(out), 20000u) << name;
        close();
    }
}

}  // namespace
