// The calibration window on a real (virtual) screen: the display opened
// through the GTK backend, a user made of GTK calls and synthesised GDK
// events, and screenshots read back from the X server.
#pragma once

#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "axes/axes.hpp"
#include "masscal/display.h"
#include "masscal/window.h"
#include "platform/gtk/gtk_backend.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/window.hpp"
#include "support/bundled_example.hpp"
#include "support/scoped_env.hpp"
#include "window/window_state.hpp"

namespace masscal::testing {

struct Rgb {
    int r, g, b;
};

// A picture of a widget as the X server shows it.
class Shot {
public:
    explicit Shot(GtkWidget* w) {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        GdkWindow* gw = gtk_widget_get_window(gtk_widget_get_toplevel(w));
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(w, gtk_widget_get_toplevel(w), 0, 0, &x, &y);
        pb_ = gdk_pixbuf_get_from_window(gw, x, y, a.width, a.height);
    }
    ~Shot() {
        if (pb_) g_object_unref(pb_);
    }
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;

    bool valid() const { return pb_ != nullptr; }
    int width() const { return pb_ ? gdk_pixbuf_get_width(pb_) : 0; }
    int height() const { return pb_ ? gdk_pixbuf_get_height(pb_) : 0; }
    Rgb at(int x, int y) const {
        if (!pb_ || x < 0 || y < 0 || x >= width() || y >= height()) return {-1, -1, -1};
        const guchar* p = gdk_pixbuf_get_pixels(pb_) + y * gdk_pixbuf_get_rowstride(pb_) +
                          x * gdk_pixbuf_get_n_channels(pb_);
        return {p[0], p[1], p[2]};
    }
    // Pixels of the column x from y0 to y1 (excluded) that pass test.
    int count_column(int x, int y0, int y1, const std::function<bool(Rgb)>& test) const {
        int n = 0;
        for (int y = y0; y < y1; ++y) n += test(at(x, y)) ? 1 : 0;
        return n;
    }
    int count_rect(const CalRect& r, const std::function<bool(Rgb)>& test) const {
        int n = 0;
        for (int x = r.left; x < r.right; ++x) n += count_column(x, r.top, r.bottom, test);
        return n;
    }
    bool save(const std::string& path) const { return pb_ && gdk_pixbuf_save(pb_, path.c_str(), "png", nullptr, nullptr); }

private:
    GdkPixbuf* pb_ = nullptr;
};

inline bool is_red(Rgb c) { return c.r > 150 && c.g < 90 && c.b < 90; }
inline bool is_dark(Rgb c) { return c.r < 90 && c.g < 90 && c.b < 90; }
inline bool is_orange(Rgb c) { return c.r > 180 && c.g > 60 && c.g < 150 && c.b < 60; }
inline bool is_blue(Rgb c) { return c.b > 150 && c.r < 80 && c.g < 140; }
inline bool is_white(Rgb c) { return c.r > 245 && c.g > 245 && c.b > 245; }

// Runs the main loop until nothing is left to do: events, posted messages,
// the frame that paints.
inline void settle() {
    for (int quiet = 0, i = 0; quiet < 4 && i < 1000; ++i) {
        if (gtk_events_pending()) {
            gtk_main_iteration_do(FALSE);
            quiet = 0;
        } else {
            gdk_display_sync(gdk_display_get_default());
            g_usleep(10000);
            ++quiet;
        }
    }
}

// Runs step from the main loop (also inside a nested one: a modal dialog,
// a message box) every 20 ms until it answers true, at most about 10 s, or
// until the returned guard goes out of scope.
class Step {
public:
    explicit Step(std::function<bool()> step) : step_(std::move(step)) {
        id_ = g_timeout_add(20, &Step::tick, this);
    }
    ~Step() {
        if (id_) g_source_remove(id_);
    }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    static gboolean tick(gpointer p) {
        auto* s = static_cast<Step*>(p);
        if (s->step_() || --s->left_ <= 0) {
            s->id_ = 0;
            return G_SOURCE_REMOVE;
        }
        return G_SOURCE_CONTINUE;
    }
    std::function<bool()> step_;
    int left_ = 500;
    guint id_ = 0;
};

[[nodiscard]] inline std::unique_ptr<Step> when(std::function<bool()> step) {
    return std::make_unique<Step>(std::move(step));
}

// The widgets under root (internal children too) that pass test.
inline void find_all(GtkWidget* root, const std::function<bool(GtkWidget*)>& test, std::vector<GtkWidget*>& out) {
    if (test(root)) out.push_back(root);
    if (!GTK_IS_CONTAINER(root)) return;
    struct Walk {
        const std::function<bool(GtkWidget*)>* test;
        std::vector<GtkWidget*>* out;
    } walk{&test, &out};
    gtk_container_forall(
        GTK_CONTAINER(root),
        [](GtkWidget* w, gpointer d) {
            auto* k = static_cast<Walk*>(d);
            find_all(w, *k->test, *k->out);
        },
        &walk);
}

inline GtkWidget* find_one(GtkWidget* root, const std::function<bool(GtkWidget*)>& test) {
    std::vector<GtkWidget*> all;
    if (root) find_all(root, test, all);
    return all.empty() ? nullptr : all.front();
}

inline GtkWidget* named(GtkWidget* root, const std::string& name) {
    return find_one(root, [&](GtkWidget* w) { return name == gtk_widget_get_name(w); });
}

// A mapped top-level window that passes test.
inline GtkWidget* toplevel(const std::function<bool(GtkWidget*)>& test) {
    GList* all = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* l = all; l && !found; l = l->next)
        if (gtk_widget_get_mapped(GTK_WIDGET(l->data)) && test(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
    g_list_free(all);
    return found;
}

inline std::string title_of(GtkWidget* w) {
    const char* t = GTK_IS_WINDOW(w) ? gtk_window_get_title(GTK_WINDOW(w)) : nullptr;
    return t ? t : "";
}

struct Finished {
    CalWnd window;
    int accepted;
};

class ScreenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(CalOpenDisplay(), 1) << "no display: run under tests/support/with_xvfb.sh"; }

    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("masscal-screen-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        env_.emplace("MASSCAL_SETTINGS", path("settings.ini").c_str());
        unit_ = CalSetResidualUnitAmu(1);
        owner_ = CalCreateOwnerWindow(&ScreenTest::on_finished, this);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        close();
        CalDestroyOwnerWindow(owner_);
        CalSetResidualUnitAmu(unit_);
        settle();
        env_.reset();
        std::filesystem::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The window on a bundled example, the time-of-flight window for
    // time-of-flight data, as the program opens it; with a mode, the second
    // time-of-flight window.
    void open(const char* data, int order, int tofMode = 0) {
        rec_ = bundled_example(data, order, owner_);
        if (rec_->bTofFunction) rec_->bExternalFunction = rec_->bTofCalibLoaded = 1;
        rec_->bTof2 = tofMode;
        ASSERT_EQ(CalDisplayCalibration(owner_, rec_.get()), 1);
        wnd_ = CalGetCalibrationWindow();
        ASSERT_NE(wnd_, nullptr);
        wait_for([&] { return gtk_widget_get_mapped(area()) && draws_ > 0; });
    }
    void close() {
        if (wnd_ && platform::IsWindow(wnd_)) CalCloseCalibrationWindow(wnd_, rec_.get());
        wnd_ = nullptr;
        settle();
    }

    GtkWidget* window() const { return GTK_WIDGET(platform::gtk::gtk_window_of(wnd_)); }
    GtkWidget* area() {
        GtkWidget* a = find_one(window(), [](GtkWidget* w) { return GTK_IS_DRAWING_AREA(w); });
        if (a && a != watched_) {
            watched_ = a;
            draws_ = 0;
            g_signal_connect_after(a, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer self) -> gboolean {
                                       ++static_cast<ScreenTest*>(self)->draws_;
                                       return FALSE;
                                   }),
                                   this);
            gtk_widget_queue_draw(a);
        }
        return a;
    }

    // Runs the loop until ready() or about 10 s.
    void wait_for(const std::function<bool()>& ready) {
        for (int i = 0; i < 1000 && !ready(); ++i) {
            if (gtk_events_pending())
                gtk_main_iteration_do(FALSE);
            else
                g_usleep(10000);
        }
        ASSERT_TRUE(ready());
        settle();
    }
    // After a change: the loop until the area has been drawn again.
    void wait_drawn(int before) {
        wait_for([&] { return draws_ > before; });
    }

    // Where the graph area's origin lies in the client area.
    CalPoint area_offset() const {
        CalRect rc{}, dlg{};
        platform::GetWindowRect(platform::GetDlgItem(wnd_, 300), &rc);
        platform::GetWindowRect(wnd_, &dlg);
        return CalPoint{rc.left - dlg.left, rc.top - dlg.top};
    }
    // Client coordinates of a mass and a value on graph g.
    CalPoint at(int graph, float mass, float value) const {
        AxsHandle axes = window::state().layout.hAxes[graph];
        const CalPoint o = area_offset();
        return CalPoint{AxsXToPixel(axes, mass) + o.x, AxsYToPixel(axes, value) + o.y};
    }
    // The mass at client x on graph g.
    float mass_at(int graph, int x) const {
        return AxsGetValue(window::state().layout.hAxes[graph], 0, x - area_offset().x, 0, 1);
    }
    // The plot area of graph g in client coordinates.
    CalRect plot(int graph) const {
        CalRect p{};
        AxsGetArea(window::state().layout.hAxes[graph], 0, &p, 0);
        const CalPoint o = area_offset();
        return CalRect{p.left + o.x, p.top + o.y, p.right + o.x, p.bottom + o.y};
    }

    // The pointer on the client area, as the X server would deliver it.
    void mouse(GdkEventType type, int button, CalPoint p) {
        GtkWidget* a = area();
        GdkEvent* ev = gdk_event_new(type);
        GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
        if (type == GDK_MOTION_NOTIFY) {
            ev->motion.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(a)));
            ev->motion.time = GDK_CURRENT_TIME;
            ev->motion.x = p.x;
            ev->motion.y = p.y;
            ev->motion.state = button ? GDK_BUTTON1_MASK : 0;
        } else {
            ev->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(a)));
            ev->button.time = GDK_CURRENT_TIME;
            ev->button.x = p.x;
            ev->button.y = p.y;
            ev->button.button = static_cast<guint>(button);
        }
        gdk_event_set_device(ev, pointer);
        gtk_main_do_event(ev);
        gdk_event_free(ev);
    }
    // A key pressed and released on the window, as the keyboard gives it.
    void key(guint keyval, GdkModifierType state) {
        GdkDisplay* display = gdk_display_get_default();
        GdkKeymapKey* keys = nullptr;
        gint n = 0;
        gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &n);
        for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
            GdkEvent* ev = gdk_event_new(type);
            ev->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window())));
            ev->key.time = GDK_CURRENT_TIME;
            ev->key.keyval = keyval;
            ev->key.state = state;
            ev->key.hardware_keycode = n > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
            gdk_event_set_device(ev, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
            gtk_main_do_event(ev);
            gdk_event_free(ev);
        }
        g_free(keys);
    }
    void right_click(CalPoint p) {
        const int before = draws_;
        mouse(GDK_BUTTON_PRESS, 3, p);
        mouse(GDK_BUTTON_RELEASE, 3, p);
        wait_drawn(before);
    }

    static std::string label_of(GtkWidget* w) {
        const char* l = GTK_IS_MENU_ITEM(w) ? gtk_menu_item_get_label(GTK_MENU_ITEM(w)) : nullptr;
        std::string plain;
        for (const char* c = l ? l : ""; *c; ++c)
            if (*c != '_') plain += *c;
        return plain;
    }
    GtkWidget* menu_bar() { return find_one(window(), [](GtkWidget* w) { return GTK_IS_MENU_BAR(w); }); }
    // The item of a popup whose label (without mnemonics) begins with label;
    // the popups hang off the menu bar's items.
    GtkWidget* menu_item(const std::string& label) {
        std::vector<GtkWidget*> heads;
        find_all(menu_bar(), [](GtkWidget* w) { return GTK_IS_MENU_ITEM(w); }, heads);
        for (GtkWidget* h : heads) {
            GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(h));
            if (GtkWidget* it = sub ? find_one(sub, [&](GtkWidget* w) { return label_of(w).rfind(label, 0) == 0; })
                                    : nullptr)
                return it;
        }
        return nullptr;
    }
    // Chooses a menu item as a click on it would; returns after the command
    // (and any modal dialog it ran) and what it posted and painted.
    void choose(const std::string& label) {
        GtkWidget* item = menu_item(label);
        ASSERT_NE(item, nullptr) << label;
        gtk_menu_item_activate(GTK_MENU_ITEM(item));
        settle();
    }

    static void on_finished(void* user, CalWnd wnd, int32_t accepted, intptr_t) {
        static_cast<ScreenTest*>(user)->finished_.push_back({wnd, accepted});
    }

    std::filesystem::path dir_;
    std::optional<ScopedEnv> env_;
    int unit_ = 1;
    CalWnd owner_ = nullptr;
    CalWnd wnd_ = nullptr;
    RecordPtr rec_;
    std::vector<Finished> finished_;
    GtkWidget* watched_ = nullptr;
    int draws_ = 0;
};

}  // namespace masscal::testing
