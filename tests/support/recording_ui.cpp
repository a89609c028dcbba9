#include "support/recording_ui.hpp"

namespace masscal::testing {

RecordingUi::RecordingUi() : previous_(platform::set_ui_provider(this)) {}

RecordingUi::~RecordingUi() { platform::set_ui_provider(previous_); }

int RecordingUi::message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) {
    calls.push_back({owner, text ? text : "", caption ? caption : "", type});
    if (answers.empty()) return platform::default_answer(type);
    const int a = answers.front();
    answers.pop_front();
    return a;
}

int RecordingUi::file_dialog(CalWnd owner, platform::FileDialogRequest& request) {
    file_dialogs.push_back(request);
    file_dialog_owners.push_back(owner);
    if (file_answers.empty()) return 0;
    const std::optional<platform::FileDialogRequest> a = file_answers.front();
    file_answers.pop_front();
    if (!a) return 0;
    request.directory = a->directory;
    request.name = a->name;
    request.extension = a->extension;
    request.function = a->function;
    request.selector = a->selector;
    return 1;
}

void RecordingUi::run_modal(CalWnd dialog) {
    modal_dialogs.push_back(dialog);
    if (modal_scripts.empty()) return;
    auto script = std::move(modal_scripts.front());
    modal_scripts.pop_front();
    script(dialog);
}

}  // namespace masscal::testing
