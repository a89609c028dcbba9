// The calibration window on a screen, driven as a user drives it: every
// step is checked on the record (or the file it writes) and on the pixels
// the X server shows.
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include <algorithm>

#include "engine/driver.hpp"
#include "masscal/calfile.h"
#include "masscal/input.h"
#include "masscal/tofcal.h"
#include "platform/ui.hpp"
#include "platform/win/menu.hpp"
#include "screen_session.hpp"
#include "suite/print/print.hpp"
#include "support/pdf_pages.hpp"

using namespace masscal::platform;
using masscal::testing::Rgb;
using masscal::testing::ScreenTest;
using masscal::testing::Shot;

namespace {

using Screen = ScreenTest;

// The columns of a plot that show a stick in colour test (three pixels or
// more), counted once for each run of neighbouring columns.
int stick_columns(const Shot& s, const CalRect& plot, bool (*test)(Rgb)) {
    int n = 0;
    bool previous = false;
    for (int x = plot.left + 1; x < plot.right - 1; ++x) {
        const bool here = s.count_column(x, plot.top + 1, plot.bottom - 1, test) >= 3;
        n += here && !previous ? 1 : 0;
        previous = here;
    }
    return n;
}

// Pairs of the record whose data mass lies in [low, high].
int pairs_between(const CalRecord& rec, float low, float high) {
    const auto* m = static_cast<const float*>(rec.MatchPeaks.Mass.pData);
    int n = 0;
    for (int i = 0; i < rec.MatchPeaks.nCount; ++i) n += m[i] >= low && m[i] <= high ? 1 : 0;
    return n;
}

// The reference mass paired with data mass m, or 0.
float paired_reference(const CalRecord& rec, float m) {
    const auto* mass = static_cast<const float*>(rec.MatchPeaks.Mass.pData);
    const auto* err = static_cast<const float*>(rec.Errors.pData);
    for (int i = 0; i < rec.MatchPeaks.nCount; ++i)
        if (std::fabs(mass[i] - m) < 1e-4f) return mass[i] - err[i];
    return 0.0f;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void save_doc_image(const Shot& s, const char* name) {
    if (const char* docs = std::getenv("MASSCAL_DOC_IMAGES")) {
        EXPECT_TRUE(s.save(std::string(docs) + "/" + name));
    }
}

TEST_F(Screen, EditingTheTimeOfFlightExample) {
    open("nai_tof.txt", -1);
    ASSERT_TRUE(rec_->bExternalFunction);
    const GraphLayout& layout = masscal::window::state().layout;
    const CalRect spectrum = plot(CAL_GRAPH_SPECTRUM), reference = plot(CAL_GRAPH_REFERENCE);
    {
        // As opened: the matched sticks red in the spectrum, the reference sticks red.
        Shot s(area());
        ASSERT_TRUE(s.valid());
        EXPECT_EQ(stick_columns(s, spectrum, masscal::testing::is_red),
                  pairs_between(*rec_, layout.fMassLow, layout.fMassHigh));
        EXPECT_GE(stick_columns(s, reference, masscal::testing::is_red), 15);
        save_doc_image(Shot(window()), "window-screen-tof.png");
    }

    // Zoom: a drag from 600 to 1400 over the spectrum; the band shows while
    // dragging, and the range becomes the whole masses around the drag.
    const int middle = (spectrum.top + spectrum.bottom) / 2;
    const CalPoint from{at(CAL_GRAPH_SPECTRUM, 600.0f, 0).x, middle}, to{at(CAL_GRAPH_SPECTRUM, 1400.0f, 0).x, middle};
    const float low = std::floor(mass_at(CAL_GRAPH_SPECTRUM, from.x)), high = std::ceil(mass_at(CAL_GRAPH_SPECTRUM, to.x));
    mouse(GDK_BUTTON_PRESS, 1, from);
    mouse(GDK_MOTION_NOTIFY, 1, CalPoint{(from.x + to.x) / 2, from.y});
    mouse(GDK_MOTION_NOTIFY, 1, to);
    int before = draws_;
    wait_drawn(before);
    {
        Shot s(area());
        const int height = spectrum.bottom - spectrum.top;
        EXPECT_GT(s.count_column(to.x, spectrum.top + 1, spectrum.bottom - 1, masscal::testing::is_dark), height * 3 / 4);
    }
    before = draws_;
    mouse(GDK_BUTTON_RELEASE, 1, to);
    wait_drawn(before);
    EXPECT_EQ(layout.fMassLow, low);
    EXPECT_EQ(layout.fMassHigh, high);
    const int inView = pairs_between(*rec_, low, high);
    ASSERT_GE(inView, 3);
    {
        Shot s(area());
        EXPECT_EQ(stick_columns(s, spectrum, masscal::testing::is_red), inView);
    }

    // A matched data peak in view and its reference peak, clicked half way
    // up their sticks.
    const auto* mass = static_cast<const float*>(rec_->MatchPeaks.Mass.pData);
    const auto* intensity = static_cast<const float*>(rec_->MatchPeaks.Intensity.pData);
    float m = 0, mi = 0;
    for (int i = 0; i < rec_->MatchPeaks.nCount && m == 0; ++i)
        if (mass[i] > 700 && mass[i] < 1300) {
            m = mass[i];
            mi = intensity[i];
        }
    ASSERT_GT(m, 0.0f);
    const float r = paired_reference(*rec_, m);
    const auto reference_stick = [&](float mass) {
        const auto* refs = static_cast<const float*>(rec_->RefPeaks.Mass.pData);
        const auto* in = static_cast<const float*>(rec_->RefPeaks.Intensity.pData);
        for (int i = 0; i < rec_->RefPeaks.nCount; ++i)
            if (refs[i] == mass) return at(CAL_GRAPH_REFERENCE, mass, in[i] * 0.5f);
        ADD_FAILURE() << "no reference peak at " << mass;
        return CalPoint{};
    };
    const int pairs = rec_->MatchPeaks.nCount;
    const RawCalibCoEffs fitted = rec_->ErrorFunc;
    const double rms = rec_->dRmsResidual;
    const int xm = at(CAL_GRAPH_SPECTRUM, m, 0).x;

    // Right click on the reference peak: it is the pending pick, marked.
    right_click(reference_stick(r));
    EXPECT_FLOAT_EQ(masscal::window::state().pending.mass, r);
    {
        Shot s(area());
        const int xr = at(CAL_GRAPH_REFERENCE, r, 0).x;
        EXPECT_GT(s.count_column(xr, reference.top, reference.bottom, masscal::testing::is_blue), 10);
    }
    // On the data peak: unpaired, its stick no longer red, the edit marked.
    right_click(at(CAL_GRAPH_SPECTRUM, m, mi * 0.5f));
    EXPECT_EQ(rec_->MatchPeaks.nCount, pairs - 1);
    EXPECT_EQ(paired_reference(*rec_, m), 0.0f);
    {
        Shot s(area());
        EXPECT_EQ(s.count_column(xm, spectrum.top, spectrum.bottom, masscal::testing::is_red), 0);
        EXPECT_GT(s.count_column(xm, spectrum.top, spectrum.bottom, masscal::testing::is_orange), 10);
        EXPECT_EQ(stick_columns(s, spectrum, masscal::testing::is_red), inView - 1);
    }
    // Again: paired again, and fitted as before.
    right_click(at(CAL_GRAPH_SPECTRUM, m, mi * 0.5f));
    EXPECT_EQ(rec_->MatchPeaks.nCount, pairs);
    EXPECT_FLOAT_EQ(paired_reference(*rec_, m), r);
    EXPECT_EQ(std::memcmp(fitted.dCoeffs, rec_->ErrorFunc.dCoeffs, sizeof fitted.dCoeffs), 0);
    {
        Shot s(area());
        EXPECT_GT(s.count_column(xm, spectrum.top, spectrum.bottom, masscal::testing::is_red), 3);
        EXPECT_EQ(stick_columns(s, spectrum, masscal::testing::is_red), inView);
        save_doc_image(Shot(window()), "window-screen-pairing.png");
    }

    // A mis-click: the data peak paired with the next reference peak. The
    // residual shows it, and Undo puts the right pair back.
    const auto* refs = static_cast<const float*>(rec_->RefPeaks.Mass.pData);
    float wrong = 0;
    for (int i = 0; i < rec_->RefPeaks.nCount && wrong == 0; ++i)
        if (refs[i] > r + 1 && refs[i] < high) wrong = refs[i];
    ASSERT_GT(wrong, 0.0f);
    right_click(reference_stick(wrong));
    right_click(at(CAL_GRAPH_SPECTRUM, m, mi * 0.5f));
    EXPECT_FLOAT_EQ(paired_reference(*rec_, m), wrong);
    EXPECT_GT(rec_->dRmsResidual, 10 * rms);
    choose("Undo Pairing");
    EXPECT_FLOAT_EQ(paired_reference(*rec_, m), r);
    EXPECT_EQ(rec_->MatchPeaks.nCount, pairs);
    EXPECT_EQ(std::memcmp(fitted.dCoeffs, rec_->ErrorFunc.dCoeffs, sizeof fitted.dCoeffs), 0);
    {
        Shot s(area());
        EXPECT_EQ(stick_columns(s, spectrum, masscal::testing::is_red), inView);
    }

    // Calibration Parameters: a narrower peak window, and the fit follows.
    bool typed = false;
    auto parameters = masscal::testing::when([&] {
        GtkWidget* d = masscal::testing::toplevel(
            [](GtkWidget* w) { return masscal::testing::title_of(w) == "Calibration Parameters"; });
        GtkWidget* edit = d ? masscal::testing::named(d, "ctl-101") : nullptr;
        if (!edit) return false;
        // The dialog drawn: its edit control white, holding the window in force.
        Shot s(edit);
        if (s.count_rect(CalRect{2, 2, s.width() - 2, s.height() - 2}, masscal::testing::is_white) < 50) return false;
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(edit)), "0.14");
        gtk_entry_set_text(GTK_ENTRY(edit), "0.02");
        gtk_button_clicked(GTK_BUTTON(masscal::testing::named(d, "ctl-1")));
        typed = true;
        return true;
    });
    choose("Calibration Parameters...");
    ASSERT_TRUE(typed);
    EXPECT_FLOAT_EQ(rec_->Params.PeakWindow, 0.02f);
    auto expected = masscal::testing::bundled_example("nai_tof.txt", -1, nullptr);
    expected->bExternalFunction = expected->bTofCalibLoaded = 1;
    expected->Params.PeakWindow = 0.02f;
    ASSERT_EQ(CalRunCalibration(nullptr, expected.get(), 1), 1);
    EXPECT_EQ(rec_->MatchPeaks.nCount, expected->MatchPeaks.nCount);
    EXPECT_LT(rec_->MatchPeaks.nCount, pairs);
    EXPECT_EQ(std::memcmp(expected->ErrorFunc.dCoeffs, rec_->ErrorFunc.dCoeffs, sizeof fitted.dCoeffs), 0);
    {
        Shot s(area());
        EXPECT_EQ(stick_columns(s, spectrum, masscal::testing::is_red), pairs_between(*rec_, low, high));
    }

    // The residuals in ppm: the menu says so, and the residual graph changes.
    const CalRect residuals = plot(CAL_GRAPH_RESIDUAL);
    Shot amu(area());
    choose("Switch Residuals Graph Axis");
    EXPECT_EQ(CalGetResidualUnitAmu(), 0);
    {
        Shot s(area());
        int changed = 0;
        for (int y = residuals.top; y < residuals.bottom; ++y)
            for (int x = 0; x < s.width(); ++x) {
                const Rgb a = amu.at(x, y), b = s.at(x, y);
                changed += a.r != b.r || a.g != b.g || a.b != b.b ? 1 : 0;
            }
        EXPECT_GT(changed, 100);
    }
    // Alt+D opens the Display menu, whose item now offers the way back.
    key(GDK_KEY_d, GDK_MOD1_MASK);
    GtkWidget* item = menu_item("Switch Residuals Graph Axis");
    ASSERT_NE(item, nullptr);
    wait_for([&] { return gtk_widget_get_mapped(item); });
    EXPECT_EQ(label_of(item), "Switch Residuals Graph Axis to amu");
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(menu_bar()));
    masscal::testing::settle();

    // Printer Setup chooses the file; Print writes it.
    const std::string pdf = path("report.pdf");
    int ticks = 0;
    bool answered = false;
    auto chooser = masscal::testing::when([&] {
        GtkWidget* d = masscal::testing::toplevel([](GtkWidget* w) { return GTK_IS_FILE_CHOOSER_DIALOG(w); });
        if (!d) return answered;
        // The name typed; Save pressed until the chooser, which looks at the
        // folder first, takes it.
        if (ticks++ == 0) {
            EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_SAVE);
            EXPECT_EQ(masscal::testing::title_of(d), "Print to File");
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(d), dir_.c_str());
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), "report.pdf");
        } else if (ticks % 10 == 0) {
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
            answered = true;
        }
        return false;
    });
    choose("Printer Setup...");
    PrnSetup setup;
    ASSERT_TRUE(PrnPrintGCV(&setup));
    EXPECT_EQ(std::string(setup.szOutputFile), pdf);
    choose("Print...");
    PrnSetOutputFile("calibration-report.pdf");
    const auto words = masscal::testing::pdf_words(pdf, 1);
    EXPECT_TRUE(std::any_of(words.begin(), words.end(), [](const auto& w) { return w.text == "nai_tof.txt"; }));

    // Exit, answered Yes: accepted, and the calibration file holds the fit.
    std::string question;
    auto answer = masscal::testing::when([&] {
        GtkWidget* box = masscal::testing::toplevel([](GtkWidget* w) { return GTK_IS_MESSAGE_DIALOG(w); });
        if (!box) return false;
        question = masscal::testing::title_of(box);
        gtk_dialog_response(GTK_DIALOG(box), CAL_IDYES);
        return true;
    });
    choose("Exit");
    EXPECT_EQ(question, "Calibration");
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].accepted, 1);
    close();
    char why[256] = "";
    ASSERT_EQ(CalWriteTofSection(path("run.cal").c_str(), &rec_->TofCalib, why, sizeof why), 1) << why;
    _TOFCALIBRATION back{};
    const RawFileRef file = testfiles::ref_to(path("run.cal"));
    ASSERT_EQ(ReadTofCalibrationQB(&file, &back), 1);
    RawCalibCoEffs want = expected->ErrorFunc;
    CalMassFunction(&want);
    _TOFCALIBRATION scratch{};
    const int segment = CalReadDataParams(&rec_->DataFile, &scratch);
    ASSERT_GE(segment, 1);
    const RawCalibCoEffs& stored = back.Segments[segment - 1];
    EXPECT_EQ(std::memcmp(want.dCoeffs, rec_->MassFunc.dCoeffs, sizeof want.dCoeffs), 0);
    ASSERT_EQ(stored.nOrder, want.nOrder);
    for (int i = 0; i <= want.nOrder; ++i) EXPECT_DOUBLE_EQ(stored.dCoeffs[i], want.dCoeffs[i]) << i;
}

TEST_F(Screen, QuadrupoleWindowButtonsSizeAndPlace) {
    open("nai_quad.txt", 1);
    GtkWidget* ok = masscal::testing::named(window(), "ctl-1");
    ASSERT_TRUE(ok && GTK_IS_BUTTON(ok));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(ok)), "OK");
    {
        Shot s(window());
        save_doc_image(s, "window-screen.png");
        Shot button(ok);
        // A button face, not the window's white.
        EXPECT_LT(button.count_rect(CalRect{0, 0, button.width(), button.height()}, masscal::testing::is_white),
                  button.width() * button.height() / 2);
        Shot graphs(area());
        const GraphLayout& layout = masscal::window::state().layout;
        EXPECT_EQ(stick_columns(graphs, plot(CAL_GRAPH_SPECTRUM), masscal::testing::is_red),
                  pairs_between(*rec_, layout.fMassLow, layout.fMassHigh));
    }

    // The user moves and sizes the window: the layer follows, the graphs
    // fill the new size.
    gtk_window_move(GTK_WINDOW(window()), 210, 150);
    gtk_window_resize(GTK_WINDOW(window()), 720, 560);
    wait_for([&] {
        CalRect r{};
        GetWindowRect(wnd_, &r);
        return r.left == 210 && r.top == 150 && r.right - r.left == 720;
    });
    CalRect client{}, graphs{};
    GetWindowRect(wnd_, &client);
    GetWindowRect(GetDlgItem(wnd_, 300), &graphs);
    EXPECT_EQ(graphs.right, client.right - (graphs.left - client.left));
    {
        Shot s(area());
        EXPECT_EQ(s.width(), 720);
        const GraphLayout& layout = masscal::window::state().layout;
        EXPECT_EQ(stick_columns(s, plot(CAL_GRAPH_SPECTRUM), masscal::testing::is_red),
                  pairs_between(*rec_, layout.fMassLow, layout.fMassHigh));
    }

    // Cancel rejects without a question; the place is remembered.
    gtk_button_clicked(GTK_BUTTON(masscal::testing::named(window(), "ctl-2")));
    masscal::testing::settle();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].accepted, 0);
    close();
    const std::string stored = "Position=1,210,150,930," + std::to_string(client.bottom);
    EXPECT_NE(slurp(path("settings.ini")).find(stored), std::string::npos) << slurp(path("settings.ini"));

    open("nai_quad.txt", 1);
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window()), &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(210, 150));
    EXPECT_EQ(gtk_widget_get_allocated_width(area()), 720);
    EXPECT_EQ(gtk_widget_get_allocated_height(area()), client.bottom - client.top);
}

// The third variant ends from its own menu, without a question.
TEST_F(Screen, SecondTimeOfFlightWindowAcceptsFromItsMenu) {
    open("nai_tof.txt", -1, 6);
    EXPECT_EQ(masscal::testing::title_of(window()), "Calibration - [DEFAULT.CAL]");
    ASSERT_NE(menu_item("Reject Calibration"), nullptr);
    {
        Shot s(area());
        const GraphLayout& layout = masscal::window::state().layout;
        EXPECT_EQ(stick_columns(s, plot(CAL_GRAPH_SPECTRUM), masscal::testing::is_red),
                  pairs_between(*rec_, layout.fMassLow, layout.fMassHigh));
    }
    choose("Accept Calibration");
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].accepted, 1);
}

struct BoxCase {
    std::uint32_t type;
    std::vector<std::string> buttons;
    int response;  // what the user does: a button, or closing the box
    int answer;
};

TEST_F(Screen, MessageBoxesShowTheirCaptionIconAndButtons) {
    const BoxCase cases[] = {
        {CAL_MB_OK | CAL_MB_ICONEXCLAMATION, {"_OK"}, CAL_IDOK, CAL_IDOK},
        {CAL_MB_YESNO | CAL_MB_ICONQUESTION, {"_Yes", "_No"}, CAL_IDNO, CAL_IDNO},
        {CAL_MB_YESNO | CAL_MB_ICONQUESTION, {"_Yes", "_No"}, GTK_RESPONSE_DELETE_EVENT, CAL_IDNO},
        {CAL_MB_YESNOCANCEL, {"_Yes", "_No", "_Cancel"}, GTK_RESPONSE_DELETE_EVENT, CAL_IDCANCEL},
        {CAL_MB_RETRYCANCEL | CAL_MB_ICONSTOP, {"_Retry", "_Cancel"}, CAL_IDRETRY, CAL_IDRETRY},
        {CAL_MB_ABORTRETRYIGNORE, {"_Abort", "_Retry", "_Ignore"}, CAL_IDIGNORE, CAL_IDIGNORE},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.type);
        std::vector<std::string> shown;
        std::string title, text;
        bool icon = false;
        auto user = masscal::testing::when([&] {
            GtkWidget* box = masscal::testing::toplevel([](GtkWidget* w) { return GTK_IS_MESSAGE_DIALOG(w); });
            if (!box) return false;
            title = masscal::testing::title_of(box);
            std::vector<GtkWidget*> buttons;
            masscal::testing::find_all(box, [](GtkWidget* w) { return GTK_IS_BUTTON(w); }, buttons);
            for (GtkWidget* b : buttons) shown.emplace_back(gtk_button_get_label(GTK_BUTTON(b)));
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            icon = gtk_message_dialog_get_image(GTK_MESSAGE_DIALOG(box)) != nullptr;
            G_GNUC_END_IGNORE_DEPRECATIONS
            gchar* t = nullptr;
            g_object_get(box, "text", &t, nullptr);
            text = t ? t : "";
            g_free(t);
            gtk_dialog_response(GTK_DIALOG(box), c.response);
            return true;
        });
        EXPECT_EQ(MessageBox(nullptr, "The reference file holds no peaks.", "Calibrate", c.type), c.answer);
        EXPECT_EQ(title, "Calibrate");
        EXPECT_EQ(text, "The reference file holds no peaks.");
        EXPECT_EQ(shown, c.buttons);
        EXPECT_EQ(icon, (c.type & 0xF0) != 0);
    }
}

}  // namespace
