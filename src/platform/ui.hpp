// The UI provider: every message box of the library goes through it, so the
// library itself never talks to a terminal or a toolkit.
#pragma once

#include <cstdint>
#include <string>

#include "masscal/ui.h"

namespace masscal::platform {

// A request to choose a file. It carries the initial choice in and, when the
// user chose a file, the choice out.
struct FileDialogRequest {
    bool save = false;              // a save dialog (else an open dialog)
    std::string title;
    std::string filter;             // "Text (*.txt)|*.txt||"; empty = all files
    std::string default_extension;  // without the dot
    std::uint32_t flags = 0;        // the caller's option flags, passed through
    std::string directory;          // with or without a trailing separator
    std::string name;               // without the extension
    std::string extension;          // without the dot
    double function = 0.0;          // selectors of a data file: function number
    double selector = 0.0;          // and the second selector

    // directory + name + "." + extension ('/' between the first two when
    // the directory does not end in a separator).
    std::string path() const;
    // Takes a full path apart at its last '/' or '\' into directory (with
    // that separator) and file, and the file at its last '.' into name and
    // extension (a leading dot belongs to the name).
    void set_path(const std::string& path);
};

class UiProvider {
public:
    virtual ~UiProvider() = default;
    // Shows text with caption; returns the button chosen (CAL_IDOK, ...).
    virtual int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) = 0;
    // Lets the user choose a file; non-zero when one was chosen (request then
    // holds it), 0 when cancelled. Without a dialog to show: cancelled.
    virtual int file_dialog(CalWnd owner, FileDialogRequest& request);
    // Plays the user of a modal dialog that has just been initialised: may
    // type, click and choose (platform/win/controls.hpp) until the dialog's
    // procedure ends it. Returning without an end cancels the dialog. The
    // default does nothing.
    virtual void run_modal(CalWnd dialog);
};

// The answer of a user who only ever confirms or declines: OK where that is
// offered, No to a question, Cancel to a retry.
int default_answer(std::uint32_t type);

// Writes "caption: text" to stderr and gives the default answer.
class StderrUiProvider final : public UiProvider {
public:
    int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) override;
};

// Installs p for the whole process (null restores the default) and returns
// the previous provider.
UiProvider* set_ui_provider(UiProvider* p);
UiProvider& ui_provider();
// The provider in force when none is installed: the stderr one, or that of
// an open display. Returns the previous default (null: the stderr one).
UiProvider* set_default_ui_provider(UiProvider* p);
UiProvider& default_ui_provider();

int MessageBox(CalWnd owner, const char* text, const char* caption, std::uint32_t type);
int FileDialog(CalWnd owner, FileDialogRequest& request);

}  // namespace masscal::platform
