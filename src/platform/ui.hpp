// The UI provider: every message box of the library goes through it, so the
// library itself never talks to a terminal or a toolkit.
#pragma once

#include <cstdint>

#include "masscal/ui.h"

namespace masscal::platform {

class UiProvider {
public:
    virtual ~UiProvider() = default;
    // Shows text with caption; returns the button chosen (CAL_IDOK, ...).
    virtual int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) = 0;
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

int MessageBox(CalWnd owner, const char* text, const char* caption, std::uint32_t type);

}  // namespace masscal::platform
