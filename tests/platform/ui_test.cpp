#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "masscal/ui.h"
#include "platform/ui.hpp"
#include "support/recording_ui.hpp"

namespace {

using masscal::platform::MessageBox;

TEST(UiProvider, DefaultAnswersConfirmOrDecline) {
    using masscal::platform::default_answer;
    EXPECT_EQ((std::vector<int>{default_answer(CAL_MB_OK | CAL_MB_ICONEXCLAMATION), default_answer(CAL_MB_OKCANCEL),
                                default_answer(CAL_MB_YESNO | CAL_MB_ICONQUESTION), default_answer(CAL_MB_YESNOCANCEL),
                                default_answer(CAL_MB_RETRYCANCEL)}),
              (std::vector<int>{CAL_IDOK, CAL_IDOK, CAL_IDNO, CAL_IDNO, CAL_IDCANCEL}));
}

TEST(UiProvider, DefaultWritesCaptionAndTextToStderr) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox(nullptr, "Out of memory", "Calibrate", 48), CAL_IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Calibrate: Out of memory\n");
}

// A provider installed for a scope gets the calls and answers them; the one
// before returns after it.
TEST(UiProvider, ProvidersNestAndRestore) {
    {
        masscal::testing::RecordingUi ui;
        ui.answers = {CAL_IDYES};
        auto* owner = reinterpret_cast<CalWnd>(0x10);
        EXPECT_EQ(MessageBox(owner, "Retry?", "Calibration", CAL_MB_YESNO), CAL_IDYES);
        EXPECT_EQ(ui.calls, (std::vector<masscal::testing::MessageBoxCall>{
                                {owner, "Retry?", "Calibration", CAL_MB_YESNO}}));
    }
    ::testing::internal::CaptureStderr();
    MessageBox(nullptr, "t", "c", 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "c: t\n");
}

TEST(UiProvider, HostHandlerThroughTheCInterface) {
    struct Seen {
        int calls = 0;
        std::string text;
    } seen;
    CalSetMessageBoxHandler(
        [](void* user, CalWnd, const char* text, const char*, uint32_t) -> int32_t {
            auto* s = static_cast<Seen*>(user);
            ++s->calls;
            s->text = text;
            return CAL_IDRETRY;
        },
        &seen);
    EXPECT_EQ(MessageBox(nullptr, "hello", "Calibrate", CAL_MB_RETRYCANCEL), CAL_IDRETRY);
    CalSetMessageBoxHandler(nullptr, nullptr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.text, "hello");
}

}  // namespace
