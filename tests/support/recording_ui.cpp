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

}  // namespace masscal::testing
