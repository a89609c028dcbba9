// A UI provider for tests: records every message box and answers from a
// script (then with the default answer).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/ui.hpp"

namespace masscal::testing {

struct MessageBoxCall {
    CalWnd owner;
    std::string text;
    std::string caption;
    std::uint32_t type;
};

class RecordingUi final : public platform::UiProvider {
public:
    RecordingUi();   // installs itself
    ~RecordingUi() override;  // restores the previous provider
    RecordingUi(const RecordingUi&) = delete;
    RecordingUi& operator=(const RecordingUi&) = delete;

    int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) override;

    std::vector<MessageBoxCall> calls;
    std::deque<int> answers;

private:
    platform::UiProvider* previous_;
};

}  // namespace masscal::testing
