// A UI provider for tests: records every message box and answers from a
// script (then with the default answer).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ui.hpp"

namespace masscal::testing {

struct MessageBoxCall {
    CalWnd owner;
    std::string text;
    std::string caption;
    std::uint32_t type;
    bool operator==(const MessageBoxCall&) const = default;
};
inline void PrintTo(const MessageBoxCall& c, std::ostream* os) {
    *os << "{" << c.owner << ", \"" << c.text << "\", \"" << c.caption << "\", " << c.type << "}";
}

class RecordingUi final : public platform::UiProvider {
public:
    RecordingUi();   // installs itself
    ~RecordingUi() override;  // restores the previous provider
    RecordingUi(const RecordingUi&) = delete;
    RecordingUi& operator=(const RecordingUi&) = delete;

    int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) override;
    // Records the request as it arrived; answers from file_answers: a value
    // is the user's choice (directory, name, extension, function, selector
    // copied into the request), nullopt or an empty script cancels.
    int file_dialog(CalWnd owner, platform::FileDialogRequest& request) override;

    // Runs the next modal script on the dialog (none left: the dialog is
    // cancelled, as a user closing it would).
    void run_modal(CalWnd dialog) override;

    std::vector<MessageBoxCall> calls;
    std::deque<std::function<void(CalWnd)>> modal_scripts;
    std::vector<CalWnd> modal_dialogs;
    std::deque<int> answers;
    std::vector<platform::FileDialogRequest> file_dialogs;
    std::vector<CalWnd> file_dialog_owners;
    std::deque<std::optional<platform::FileDialogRequest>> file_answers;

private:
    platform::UiProvider* previous_;
};

}  // namespace masscal::testing
