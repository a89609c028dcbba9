// The GTK backend of the window layer. The layer stays the owner of every
// window's state and keeps painting into the top-level's image; this file
// shows the image in a GtkDrawingArea (its draw handler paints what is
// invalid, then copies the image through a device context over the widget's
// cairo context), builds the menu bar and the controls as widgets, and
// turns clicks, typing, menu choices, moves and the close box into the
// layer's calls. Every handler looks its window up again after calling into
// the layer, which may have destroyed it.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/cursor.hpp"
#include "platform/gdi/device_context.hpp"
#include "platform/gtk/gtk_backend.hpp"
#include "platform/win/backend.hpp"
#include "platform/win/controls.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/input.hpp"
#include "platform/win/menu.hpp"
#include "platform/win/message_queue.hpp"

namespace masscal::platform::gtk {
namespace {

struct TopLevel {
    CalWnd wnd = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* menubar = nullptr;
    GtkWidget* area = nullptr;   // the client area: the window's image
    GtkWidget* fixed = nullptr;  // the controls, over the area
    GtkWidget* label = nullptr;  // the last label, whose mnemonic goes to the next control
    Cursor cursor = Cursor::arrow;
    bool modal = false;
};

struct Control {
    CalWnd wnd = nullptr;
    ControlKind kind = ControlKind::plain;
    GtkWidget* widget = nullptr;
};

// "&File" -> "_File"; a literal underscore doubles.
std::string mnemonic(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            if (text[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (text[i] == '_') {
            out += "__";
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string plain(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

std::string window_text(CalWnd wnd) {
    const int n = GetWindowTextLength(wnd);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    s.resize(static_cast<std::size_t>(GetWindowText(wnd, s.data(), n + 1)));
    return s;
}

CalRect client_rect(CalWnd wnd) {
    CalRect r{};
    GetClientRect(wnd, &r);
    return r;
}

constexpr const char* kCss =
    ".masscal-controls { font-family: \"DejaVu Sans\"; font-size: 8pt; }\n"
    ".masscal-controls button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
    ".masscal-controls entry { min-height: 0; padding: 0 3px; }\n"
    ".masscal-controls combobox button { padding: 0 2px; }\n"
    ".masscal-controls checkbutton { padding: 0; }\n"
    ".masscal-controls checkbutton check { margin: 0 4px 0 0; }\n";

class GtkBackend final : public WindowBackend {
public:
    void shown(CalWnd wnd, bool visible) override;
    void changed(CalWnd wnd) override;
    void moved(CalWnd wnd) override;
    void destroying(CalWnd wnd) override;
    void capture_changed(CalWnd wnd) override;
    void posted() override;
    void run_modal(CalWnd dialog) override;
    bool draws_control(CalWnd control) override;

    TopLevel* top(CalWnd wnd) {
        auto it = tops_.find(GetAncestor(wnd));
        return it == tops_.end() ? nullptr : it->second.get();
    }

private:
    TopLevel* build(CalWnd wnd);
    void build_menu(TopLevel& t);
    void build_control(TopLevel& t, CalWnd child);
    void sync_control(Control& c);
    void sync_menu(CalWnd wnd, int popup, GtkWidget* menu);
    void place(TopLevel& t);
    void note_geometry(TopLevel& t);
    void show_cursor(TopLevel& t);

    // Signal handlers; user data is the window, looked up each time.
    static gboolean on_draw(GtkWidget* area, cairo_t* cr, gpointer wnd);
    static gboolean on_button(GtkWidget*, GdkEventButton* ev, gpointer wnd);
    static gboolean on_motion(GtkWidget*, GdkEventMotion* ev, gpointer wnd);
    static void on_area_allocate(GtkWidget*, GdkRectangle*, gpointer wnd);
    static gboolean on_configure(GtkWidget*, GdkEventConfigure*, gpointer wnd);
    static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer wnd);
    static gboolean on_key(GtkWidget*, GdkEventKey* ev, gpointer wnd);
    static void on_popup_show(GtkWidget* menu, gpointer wnd);
    static void on_menu_item(GtkMenuItem* item, gpointer wnd);
    static void on_clicked(GtkButton*, gpointer ctrl);
    static void on_toggled(GtkToggleButton* b, gpointer ctrl);
    static void on_entry_changed(GtkEditable* e, gpointer ctrl);
    static void on_combo_changed(GtkComboBox* c, gpointer ctrl);
    static gboolean pump(gpointer);

    std::unordered_map<CalWnd, std::unique_ptr<TopLevel>> tops_;
    std::unordered_map<CalWnd, Control> controls_;
    int syncing_ = 0;    // widgets set from the layer: their signals are not the user's
    bool drawing_ = false;
    bool pump_queued_ = false;
    GdkSeat* grabbed_ = nullptr;
};

GtkBackend& backend() {
    static GtkBackend b;
    return b;
}

// Builds the GtkWindow of a top-level window from its state.
TopLevel* GtkBackend::build(CalWnd wnd) {
    auto t = std::make_unique<TopLevel>();
    t->wnd = wnd;
    const DialogTemplate* tmpl = GetDialogTemplate(wnd);
    const std::uint32_t style = tmpl ? tmpl->style : 0;
    const CalRect client = client_rect(wnd);

    t->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(t->window), window_text(wnd).c_str());
    const bool sizable = !tmpl || (style & kWsThickFrame);
    gtk_window_set_resizable(GTK_WINDOW(t->window), sizable);
    if (style & kDsModalFrame) gtk_window_set_type_hint(GTK_WINDOW(t->window), GDK_WINDOW_TYPE_HINT_DIALOG);
    if (GtkWindow* owner = gtk_window_of(GetOwner(wnd))) gtk_window_set_transient_for(GTK_WINDOW(t->window), owner);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(t->window), box);
    TopLevel& ref = *t;
    if (GetMenu(wnd)) {
        build_menu(ref);
        gtk_box_pack_start(GTK_BOX(box), t->menubar, FALSE, FALSE, 0);
    }
    GtkWidget* overlay = gtk_overlay_new();
    t->area = gtk_drawing_area_new();
    // A sizable window may shrink below its first size; a fixed one shows it whole.
    gtk_widget_set_size_request(t->area, sizable ? std::min(client.right, 160) : client.right,
                                sizable ? std::min(client.bottom, 120) : client.bottom);
    gtk_widget_add_events(t->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    gtk_container_add(GTK_CONTAINER(overlay), t->area);
    t->fixed = gtk_fixed_new();
    gtk_style_context_add_class(gtk_widget_get_style_context(t->fixed), "masscal-controls");
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), t->fixed);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), t->fixed, TRUE);
    gtk_box_pack_start(GTK_BOX(box), overlay, TRUE, TRUE, 0);

    g_signal_connect(t->area, "draw", G_CALLBACK(on_draw), wnd);
    g_signal_connect(t->area, "button-press-event", G_CALLBACK(on_button), wnd);
    g_signal_connect(t->area, "button-release-event", G_CALLBACK(on_button), wnd);
    g_signal_connect(t->area, "motion-notify-event", G_CALLBACK(on_motion), wnd);
    g_signal_connect(t->area, "size-allocate", G_CALLBACK(on_area_allocate), wnd);
    g_signal_connect(t->window, "configure-event", G_CALLBACK(on_configure), wnd);
    g_signal_connect(t->window, "delete-event", G_CALLBACK(on_delete), wnd);
    g_signal_connect(t->window, "key-press-event", G_CALLBACK(on_key), wnd);

    TopLevel* raw = t.get();
    tops_[wnd] = std::move(t);
    CalWnd children[64];
    const int n = std::min(EnumChildWindows(wnd, children, 64), 64);
    for (int i = 0; i < n; ++i) build_control(*raw, children[i]);
    // Shown inside already, so that the menu bar has its height for place().
    gtk_widget_show_all(box);
    place(*raw);
    return raw;
}

void GtkBackend::build_menu(TopLevel& t) {
    t.menubar = gtk_menu_bar_new();
    HMenu bar = GetMenu(t.wnd);
    const int popups = GetMenuItemCount(bar);
    for (int p = 0; p < popups; ++p) {
        GtkWidget* head = gtk_menu_item_new_with_mnemonic(mnemonic(GetMenuString(bar, p, kMfByPosition)).c_str());
        if (GetMenuState(bar, p, kMfByPosition) & kMfRightJustify) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            gtk_menu_item_set_right_justified(GTK_MENU_ITEM(head), TRUE);
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        GtkWidget* menu = gtk_menu_new();
        g_object_set_data(G_OBJECT(menu), "masscal-popup", GINT_TO_POINTER(p));
        HMenu popup = GetSubMenu(bar, p);
        const int items = GetMenuItemCount(popup);
        for (int i = 0; i < items; ++i) {
            GtkWidget* item;
            if (GetMenuState(popup, i, kMfByPosition) & kMfSeparator) {
                item = gtk_separator_menu_item_new();
            } else {
                item = gtk_menu_item_new_with_mnemonic(mnemonic(GetMenuString(popup, i, kMfByPosition)).c_str());
                g_object_set_data(G_OBJECT(item), "masscal-popup", GINT_TO_POINTER(p));
                g_object_set_data(G_OBJECT(item), "masscal-item", GINT_TO_POINTER(i));
                g_signal_connect(item, "activate", G_CALLBACK(on_menu_item), t.wnd);
            }
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        }
        g_signal_connect(menu, "show", G_CALLBACK(on_popup_show), t.wnd);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(head), menu);
        gtk_menu_shell_append(GTK_MENU_SHELL(t.menubar), head);
        sync_menu(t.wnd, p, menu);
    }
}

void GtkBackend::build_control(TopLevel& t, CalWnd child) {
    Control c;
    c.wnd = child;
    if (!GetControlKind(child, &c.kind)) return;
    const std::string text = window_text(child);
    switch (c.kind) {
        case ControlKind::push_button:
        case ControlKind::default_push_button:
            c.widget = gtk_button_new_with_mnemonic(mnemonic(text).c_str());
            g_signal_connect(c.widget, "clicked", G_CALLBACK(on_clicked), child);
            break;
        case ControlKind::check_box:
            c.widget = gtk_check_button_new_with_mnemonic(mnemonic(text).c_str());
            g_signal_connect(c.widget, "toggled", G_CALLBACK(on_toggled), child);
            break;
        case ControlKind::edit:
            c.widget = gtk_entry_new();
            gtk_entry_set_activates_default(GTK_ENTRY(c.widget), TRUE);
            gtk_entry_set_width_chars(GTK_ENTRY(c.widget), 1);
            g_signal_connect(c.widget, "changed", G_CALLBACK(on_entry_changed), child);
            break;
        case ControlKind::combo_box:
            c.widget = gtk_combo_box_text_new();
            g_signal_connect(c.widget, "changed", G_CALLBACK(on_combo_changed), child);
            break;
        case ControlKind::text:
            c.widget = gtk_label_new_with_mnemonic(mnemonic(text).c_str());
            gtk_label_set_xalign(GTK_LABEL(c.widget), 0.0f);
            break;
        case ControlKind::group_box: c.widget = gtk_frame_new(plain(text).c_str()); break;
        case ControlKind::black_frame:
        case ControlKind::plain: return;  // painted into the image by the layer and its owner
    }
    // Widgets are told apart by their control id, as the dialog's code does.
    gtk_widget_set_name(c.widget, ("ctl-" + std::to_string(GetDlgCtrlID(child))).c_str());
    CalRect r{};
    GetWindowRect(child, &r);
    CalPoint at{r.left, r.top};
    ScreenToClient(t.wnd, &at);
    gtk_widget_set_size_request(c.widget, r.right - r.left, r.bottom - r.top);
    gtk_fixed_put(GTK_FIXED(t.fixed), c.widget, at.x, at.y);
    if (c.kind == ControlKind::default_push_button) {
        gtk_widget_set_can_default(c.widget, TRUE);
        gtk_window_set_default(GTK_WINDOW(t.window), c.widget);
    }
    // A label's mnemonic moves to the control after it.
    if (c.kind == ControlKind::text) {
        t.label = c.widget;
    } else if (c.kind != ControlKind::group_box && t.label) {
        gtk_label_set_mnemonic_widget(GTK_LABEL(t.label), c.widget);
        t.label = nullptr;
    }
    controls_[child] = c;
    sync_control(controls_[child]);
}

void GtkBackend::sync_control(Control& c) {
    ++syncing_;
    const std::string text = window_text(c.wnd);
    switch (c.kind) {
        case ControlKind::push_button:
        case ControlKind::default_push_button:
        case ControlKind::check_box:
            if (mnemonic(text) != gtk_button_get_label(GTK_BUTTON(c.widget)))
                gtk_button_set_label(GTK_BUTTON(c.widget), mnemonic(text).c_str());
            if (c.kind == ControlKind::check_box) {
                const bool checked = SendMessage(c.wnd, kBmGetCheck, 0, 0) == kChecked;
                if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c.widget)) != checked)
                    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.widget), checked);
            }
            break;
        case ControlKind::edit:
            if (text != gtk_entry_get_text(GTK_ENTRY(c.widget))) gtk_entry_set_text(GTK_ENTRY(c.widget), text.c_str());
            break;
        case ControlKind::combo_box: {
            GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(c.widget));
            const int count = static_cast<int>(SendMessage(c.wnd, kCbGetCount, 0, 0));
            bool same = gtk_tree_model_iter_n_children(model, nullptr) == count;
            std::vector<std::string> items;
            for (int i = 0; i < count; ++i) {
                std::string s(static_cast<std::size_t>(SendMessage(c.wnd, kCbGetLbTextLen, i, 0)) + 1, '\0');
                SendMessage(c.wnd, kCbGetLbText, i, reinterpret_cast<std::intptr_t>(s.data()));
                s.resize(s.size() - 1);
                items.push_back(std::move(s));
                GtkTreeIter it;
                if (same && gtk_tree_model_iter_nth_child(model, &it, nullptr, i)) {
                    gchar* have = nullptr;
                    gtk_tree_model_get(model, &it, 0, &have, -1);
                    same = have && items.back() == have;
                    g_free(have);
                }
            }
            if (!same) {
                gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(c.widget));
                for (const auto& s : items) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(c.widget), s.c_str());
            }
            const int current = static_cast<int>(SendMessage(c.wnd, kCbGetCurSel, 0, 0));
            if (gtk_combo_box_get_active(GTK_COMBO_BOX(c.widget)) != current)
                gtk_combo_box_set_active(GTK_COMBO_BOX(c.widget), current);
            break;
        }
        case ControlKind::text:
            if (mnemonic(text) != gtk_label_get_label(GTK_LABEL(c.widget)))
                gtk_label_set_text_with_mnemonic(GTK_LABEL(c.widget), mnemonic(text).c_str());
            break;
        case ControlKind::group_box: {
            const char* have = gtk_frame_get_label(GTK_FRAME(c.widget));
            if (plain(text) != (have ? have : "")) gtk_frame_set_label(GTK_FRAME(c.widget), plain(text).c_str());
            break;
        }
        default: break;
    }
    gtk_widget_set_sensitive(c.widget, IsWindowEnabled(c.wnd));
    gtk_widget_set_visible(c.widget, IsWindowVisible(c.wnd));
    --syncing_;
}

// The items' texts and states as the menu holds them now.
void GtkBackend::sync_menu(CalWnd wnd, int popup, GtkWidget* menu) {
    HMenu m = GetSubMenu(GetMenu(wnd), popup);
    if (!m) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    int i = 0;
    for (GList* l = children; l; l = l->next, ++i) {
        auto* item = GTK_WIDGET(l->data);
        if (GTK_IS_SEPARATOR_MENU_ITEM(item)) continue;
        const std::uint32_t state = GetMenuState(m, i, kMfByPosition);
        if (state == kMenuNoItem) continue;
        const std::string label = mnemonic(GetMenuString(m, i, kMfByPosition));
        if (label != gtk_menu_item_get_label(GTK_MENU_ITEM(item)))
            gtk_menu_item_set_label(GTK_MENU_ITEM(item), label.c_str());
        gtk_widget_set_sensitive(item, !(state & (kMfGrayed | kMfDisabled)));
    }
    g_list_free(children);
}

// Moves and sizes the GtkWindow to the window's rectangle: its left and top
// are the GtkWindow's position, its size that of the client area.
void GtkBackend::place(TopLevel& t) {
    CalRect r{};
    GetWindowRect(t.wnd, &r);
    int bar = 0;
    if (t.menubar) gtk_widget_get_preferred_height(t.menubar, nullptr, &bar);
    gtk_window_move(GTK_WINDOW(t.window), r.left, r.top);
    if (gtk_window_get_resizable(GTK_WINDOW(t.window)))
        gtk_window_resize(GTK_WINDOW(t.window), std::max(1, r.right - r.left), std::max(1, r.bottom - r.top + bar));
}

// The window system moved or sized the window: the layer learns it.
void GtkBackend::note_geometry(TopLevel& t) {
    if (!gtk_widget_get_realized(t.area)) return;
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(t.window), &x, &y);
    GtkAllocation a;
    gtk_widget_get_allocation(t.area, &a);
    NoteWindowRect(t.wnd, CalRect{x, y, x + a.width, y + a.height});
}

void GtkBackend::show_cursor(TopLevel& t) {
    const Cursor c = GetCursor();
    GdkWindow* gw = gtk_widget_get_window(t.area);
    if (c == t.cursor || !gw) return;
    t.cursor = c;
    const char* name = c == Cursor::wait ? "wait" : c == Cursor::size_we ? "ew-resize" : "default";
    GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(gw), name);
    gdk_window_set_cursor(gw, cursor);
    if (cursor) g_object_unref(cursor);
}

void GtkBackend::shown(CalWnd wnd, bool visible) {
    if (GetAncestor(wnd) != wnd) {
        if (auto it = controls_.find(wnd); it != controls_.end()) sync_control(it->second);
        return;
    }
    TopLevel* t = top(wnd);
    if (!visible) {
        if (t) gtk_widget_hide(t->window);
        return;
    }
    if (!t) t = build(wnd);
    gtk_widget_show_all(t->window);
    for (auto& [w, c] : controls_)
        if (GetAncestor(w) == wnd) sync_control(c);
    if (IsIconic(wnd))
        gtk_window_iconify(GTK_WINDOW(t->window));
    else
        gtk_window_present(GTK_WINDOW(t->window));
}

void GtkBackend::changed(CalWnd wnd) {
    if (auto it = controls_.find(wnd); it != controls_.end()) sync_control(it->second);
    TopLevel* t = top(wnd);
    if (!t) return;
    if (t->wnd == wnd) {
        const std::string title = window_text(wnd);
        const char* have = gtk_window_get_title(GTK_WINDOW(t->window));
        if (title != (have ? have : "")) gtk_window_set_title(GTK_WINDOW(t->window), title.c_str());
    }
    if (!drawing_) gtk_widget_queue_draw(t->area);
}

void GtkBackend::moved(CalWnd wnd) {
    if (auto it = controls_.find(wnd); it != controls_.end()) {
        TopLevel* t = top(wnd);
        CalRect r{};
        GetWindowRect(wnd, &r);
        CalPoint at{r.left, r.top};
        ScreenToClient(GetAncestor(wnd), &at);
        gtk_widget_set_size_request(it->second.widget, r.right - r.left, r.bottom - r.top);
        if (t) gtk_fixed_move(GTK_FIXED(t->fixed), it->second.widget, at.x, at.y);
        return;
    }
    TopLevel* t = top(wnd);
    if (t && t->wnd == wnd) place(*t);
}

void GtkBackend::destroying(CalWnd wnd) {
    if (auto it = controls_.find(wnd); it != controls_.end()) {
        gtk_widget_destroy(it->second.widget);
        controls_.erase(it);
        return;
    }
    auto it = tops_.find(wnd);
    if (it == tops_.end()) return;
    std::unique_ptr<TopLevel> t = std::move(it->second);
    tops_.erase(it);
    if (grabbed_ && GetCapture() && GetAncestor(GetCapture()) == wnd) {
        gdk_seat_ungrab(grabbed_);
        grabbed_ = nullptr;
    }
    gtk_widget_destroy(t->window);
}

// Capture as a pointer grab on the client area: the drag goes on outside it.
void GtkBackend::capture_changed(CalWnd wnd) {
    if (grabbed_) {
        gdk_seat_ungrab(grabbed_);
        grabbed_ = nullptr;
    }
    TopLevel* t = wnd ? top(wnd) : nullptr;
    if (!t || !gtk_widget_get_realized(t->area)) return;
    GdkWindow* gw = gtk_widget_get_window(t->area);
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gw));
    GdkEvent* ev = gtk_get_current_event();
    if (gdk_seat_grab(seat, gw, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, ev, nullptr, nullptr) ==
        GDK_GRAB_SUCCESS)
        grabbed_ = seat;
    if (ev) gdk_event_free(ev);
}

// Posted messages are dispatched when the GLib main loop is idle.
void GtkBackend::posted() {
    if (pump_queued_) return;
    pump_queued_ = true;
    g_idle_add(pump, nullptr);
}

gboolean GtkBackend::pump(gpointer) {
    backend().pump_queued_ = false;
    PumpMessages();
    return G_SOURCE_REMOVE;
}

// A nested main loop until the dialog ends or goes.
void GtkBackend::run_modal(CalWnd dialog) {
    TopLevel* t = top(dialog);
    if (!t) return WindowBackend::run_modal(dialog);
    t->modal = true;
    gtk_window_set_modal(GTK_WINDOW(t->window), TRUE);
    const std::uint64_t serial = GetWindowSerial(dialog);
    while (GetWindowSerial(dialog) == serial && !IsDialogEnded(dialog, nullptr)) g_main_context_iteration(nullptr, TRUE);
}

bool GtkBackend::draws_control(CalWnd control) { return controls_.count(control) != 0; }

gboolean GtkBackend::on_draw(GtkWidget* area, cairo_t* cr, gpointer data) {
    auto wnd = static_cast<CalWnd>(data);
    GtkBackend& b = backend();
    const std::uint64_t serial = GetWindowSerial(wnd);
    b.drawing_ = true;
    UpdateWindowTree(wnd);
    b.drawing_ = false;
    if (GetWindowSerial(wnd) != serial) return FALSE;
    CalDC image = GetWindowSurface(wnd);
    auto dc = CalDeviceContext::create_for_cairo(cr, gtk_widget_get_allocated_width(area),
                                                 gtk_widget_get_allocated_height(area));
    if (image && dc) dc->draw_image(*image, 0, 0);
    return FALSE;
}

gboolean GtkBackend::on_button(GtkWidget*, GdkEventButton* ev, gpointer data) {
    auto wnd = static_cast<CalWnd>(data);
    if (ev->type != GDK_BUTTON_PRESS && ev->type != GDK_BUTTON_RELEASE) return TRUE;
    const bool down = ev->type == GDK_BUTTON_PRESS;
    std::uint32_t msg = 0;
    if (ev->button == 1) msg = down ? kMsgLButtonDown : kMsgLButtonUp;
    if (ev->button == 3) msg = down ? kMsgRButtonDown : kMsgRButtonUp;
    if (!msg || !IsWindowEnabled(wnd)) return TRUE;
    DeliverMouse(wnd, msg, static_cast<int>(ev->x), static_cast<int>(ev->y));
    if (TopLevel* t = backend().top(wnd)) backend().show_cursor(*t);
    return TRUE;
}

gboolean GtkBackend::on_motion(GtkWidget*, GdkEventMotion* ev, gpointer data) {
    auto wnd = static_cast<CalWnd>(data);
    if (!IsWindowEnabled(wnd)) return TRUE;
    DeliverMouse(wnd, kMsgMouseMove, static_cast<int>(ev->x), static_cast<int>(ev->y));
    if (TopLevel* t = backend().top(wnd)) backend().show_cursor(*t);
    return TRUE;
}

void GtkBackend::on_area_allocate(GtkWidget*, GdkRectangle*, gpointer data) {
    if (TopLevel* t = backend().top(static_cast<CalWnd>(data))) backend().note_geometry(*t);
}

gboolean GtkBackend::on_configure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    if (TopLevel* t = backend().top(static_cast<CalWnd>(data))) backend().note_geometry(*t);
    return FALSE;
}

// The close box: the window decides (a dialog cancels, the calibration
// window asks); the layer destroys the GtkWindow when the window goes.
gboolean GtkBackend::on_delete(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessage(static_cast<CalWnd>(data), kMsgClose, 0, 0);
    return TRUE;
}

// Escape cancels a modal dialog.
gboolean GtkBackend::on_key(GtkWidget*, GdkEventKey* ev, gpointer data) {
    auto wnd = static_cast<CalWnd>(data);
    TopLevel* t = backend().top(wnd);
    if (!t || !t->modal || ev->keyval != GDK_KEY_Escape) return FALSE;
    SendMessage(wnd, kMsgCommand, make_wparam(kIdCancel, kBnClicked), 0);
    return TRUE;
}

void GtkBackend::on_popup_show(GtkWidget* menu, gpointer data) {
    auto wnd = static_cast<CalWnd>(data);
    const int p = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(menu), "masscal-popup"));
    SendMessage(wnd, kMsgInitMenuPopup, reinterpret_cast<std::uintptr_t>(GetSubMenu(GetMenu(wnd), p)), p);
    if (backend().top(wnd)) backend().sync_menu(wnd, p, menu);
}

void GtkBackend::on_menu_item(GtkMenuItem* item, gpointer data) {
    auto wnd = static_cast<CalWnd>(data);
    const int p = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "masscal-popup"));
    const int i = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "masscal-item"));
    const int id = GetMenuItemID(GetSubMenu(GetMenu(wnd), p), i);
    if (id > 0) ChooseMenuItem(wnd, id);
}

void GtkBackend::on_clicked(GtkButton*, gpointer ctrl) {
    if (backend().syncing_) return;
    ClickControl(static_cast<CalWnd>(ctrl));
}

void GtkBackend::on_toggled(GtkToggleButton* b, gpointer ctrl) {
    auto wnd = static_cast<CalWnd>(ctrl);
    if (backend().syncing_) return;
    const bool checked = SendMessage(wnd, kBmGetCheck, 0, 0) == kChecked;
    if (gtk_toggle_button_get_active(b) != checked) ClickControl(wnd);
    // A disabled control refuses the click: the widget shows the state again.
    if (auto it = backend().controls_.find(wnd); it != backend().controls_.end()) backend().sync_control(it->second);
}

void GtkBackend::on_entry_changed(GtkEditable* e, gpointer ctrl) {
    auto wnd = static_cast<CalWnd>(ctrl);
    if (backend().syncing_) return;
    const std::string text = gtk_entry_get_text(GTK_ENTRY(e));
    if (text != window_text(wnd)) TypeText(wnd, text.c_str());
}

void GtkBackend::on_combo_changed(GtkComboBox* c, gpointer ctrl) {
    auto wnd = static_cast<CalWnd>(ctrl);
    if (backend().syncing_) return;
    const int i = gtk_combo_box_get_active(c);
    if (i >= 0 && i != static_cast<int>(SendMessage(wnd, kCbGetCurSel, 0, 0))) ChooseComboEntry(wnd, i);
}

bool g_open = false;
bool g_tried = false;

}  // namespace

GtkWindow* gtk_window_of(CalWnd wnd) {
    if (!g_open || !wnd) return nullptr;
    TopLevel* t = backend().top(wnd);
    return t ? GTK_WINDOW(t->window) : nullptr;
}

bool display_open() { return g_open; }

bool open_display() {
    if (g_tried) return g_open;
    g_tried = true;
    // X11 first: only there does a window go where it was last closed.
    gdk_set_allowed_backends("x11,*");
    if (!gtk_init_check(nullptr, nullptr)) return false;
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    set_window_backend(&backend());
    install_ui_provider();
    g_open = true;
    return true;
}

}  // namespace masscal::platform::gtk
