// Message boxes as GTK message dialogs and file choice as GTK file choosers,
// each modal over the window that asked.
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "masscal/ui_provider.h"
#include "platform/gtk/gtk_backend.hpp"
#include "platform/ui.hpp"

namespace masscal::platform::gtk {
namespace {

struct Button {
    const char* label;
    int answer;
};

std::vector<Button> buttons_of(std::uint32_t type) {
    switch (type & CAL_MB_TYPEMASK) {
        case CAL_MB_OKCANCEL: return {{"_OK", CAL_IDOK}, {"_Cancel", CAL_IDCANCEL}};
        case CAL_MB_ABORTRETRYIGNORE: return {{"_Abort", CAL_IDABORT}, {"_Retry", CAL_IDRETRY}, {"_Ignore", CAL_IDIGNORE}};
        case CAL_MB_YESNOCANCEL: return {{"_Yes", CAL_IDYES}, {"_No", CAL_IDNO}, {"_Cancel", CAL_IDCANCEL}};
        case CAL_MB_YESNO: return {{"_Yes", CAL_IDYES}, {"_No", CAL_IDNO}};
        case CAL_MB_RETRYCANCEL: return {{"_Retry", CAL_IDRETRY}, {"_Cancel", CAL_IDCANCEL}};
        default: return {{"_OK", CAL_IDOK}};
    }
}

// The icon bits: stop, question, exclamation, information.
void icon_of(std::uint32_t type, GtkMessageType* kind, const char** icon) {
    switch (type & 0xF0) {
        case CAL_MB_ICONSTOP: *kind = GTK_MESSAGE_ERROR; *icon = "dialog-error"; return;
        case CAL_MB_ICONQUESTION: *kind = GTK_MESSAGE_QUESTION; *icon = "dialog-question"; return;
        case CAL_MB_ICONEXCLAMATION: *kind = GTK_MESSAGE_WARNING; *icon = "dialog-warning"; return;
        case CAL_MB_ICONINFORMATION: *kind = GTK_MESSAGE_INFO; *icon = "dialog-information"; return;
        default: *kind = GTK_MESSAGE_OTHER; *icon = nullptr; return;
    }
}

// "*.scl" -> "*.[sS][cC][lL]": the chooser's patterns heed case, names on
// disk were written in either.
std::string any_case(const std::string& pattern) {
    std::string out;
    for (char ch : pattern) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalpha(c)) {
            out += '[';
            out += static_cast<char>(std::tolower(c));
            out += static_cast<char>(std::toupper(c));
            out += ']';
        } else {
            out += ch;
        }
    }
    return out;
}

// "Text (*.txt)|*.txt;*.text|All|*.*||": name and patterns in pairs.
void add_filters(GtkFileChooser* chooser, const std::string& filter) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= filter.size()) {
        const auto bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        GtkFileFilter* f = gtk_file_filter_new();
        gtk_file_filter_set_name(f, parts[i].c_str());
        std::string::size_type from = 0;
        const std::string& patterns = parts[i + 1];
        while (from <= patterns.size()) {
            const auto semi = patterns.find(';', from);
            const std::string p = patterns.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
            if (!p.empty()) gtk_file_filter_add_pattern(f, any_case(p).c_str());
            if (semi == std::string::npos) break;
            from = semi + 1;
        }
        gtk_file_chooser_add_filter(chooser, f);
    }
    GtkFileFilter* all = gtk_file_filter_new();
    gtk_file_filter_set_name(all, "All Files");
    gtk_file_filter_add_pattern(all, "*");
    gtk_file_chooser_add_filter(chooser, all);
}

class GtkUi final : public UiProvider {
public:
    int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) override {
        GtkMessageType kind;
        const char* icon;
        icon_of(type, &kind, &icon);
        GtkWidget* d = gtk_message_dialog_new(gtk_window_of(owner), GTK_DIALOG_MODAL, kind, GTK_BUTTONS_NONE, "%s",
                                              text ? text : "");
        gtk_window_set_title(GTK_WINDOW(d), caption ? caption : "");
        if (icon) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(d), gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG));
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        const std::vector<Button> buttons = buttons_of(type);
        for (const Button& b : buttons) gtk_dialog_add_button(GTK_DIALOG(d), b.label, b.answer);
        gtk_dialog_set_default_response(GTK_DIALOG(d), buttons.front().answer);
        gtk_widget_show_all(d);
        const int response = gtk_dialog_run(GTK_DIALOG(d));
        gtk_widget_destroy(d);
        for (const Button& b : buttons)
            if (b.answer == response) return response;
        // Closed without a button: Cancel where there is one, else as a
        // user who only declines.
        for (const Button& b : buttons)
            if (b.answer == CAL_IDCANCEL) return CAL_IDCANCEL;
        return default_answer(type);
    }

    int file_dialog(CalWnd owner, FileDialogRequest& request) override {
        const GtkFileChooserAction action = request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
        const std::string title = !request.title.empty() ? request.title : request.save ? "Save As" : "Open";
        GtkWidget* d = gtk_file_chooser_dialog_new(title.c_str(), gtk_window_of(owner), action, "_Cancel",
                                                   GTK_RESPONSE_CANCEL, request.save ? "_Save" : "_Open",
                                                   GTK_RESPONSE_ACCEPT, nullptr);
        auto* chooser = GTK_FILE_CHOOSER(d);
        gtk_dialog_set_default_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
        add_filters(chooser, request.filter);
        std::error_code ec;
        const std::string path = request.path();
        if (!request.directory.empty() && std::filesystem::is_directory(request.directory, ec))
            gtk_file_chooser_set_current_folder(chooser, request.directory.c_str());
        if (request.save) {
            const std::string file = request.extension.empty() ? request.name : request.name + "." + request.extension;
            if (!file.empty()) gtk_file_chooser_set_current_name(chooser, file.c_str());
            gtk_file_chooser_set_do_overwrite_confirmation(chooser, (request.flags & CAL_FILE_OVERWRITE_PROMPT) != 0);
        } else if (std::filesystem::is_regular_file(path, ec)) {
            gtk_file_chooser_set_filename(chooser, path.c_str());
        }
        int chosen = 0;
        if (gtk_dialog_run(GTK_DIALOG(d)) == GTK_RESPONSE_ACCEPT) {
            if (gchar* file = gtk_file_chooser_get_filename(chooser)) {
                request.set_path(file);
                g_free(file);
                chosen = 1;
            }
        }
        gtk_widget_destroy(d);
        return chosen;
    }
};

}  // namespace

void install_ui_provider() {
    static GtkUi ui;
    set_default_ui_provider(&ui);
}

}  // namespace masscal::platform::gtk
