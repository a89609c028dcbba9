#include <gtest/gtest.h>

#include "masscal/ui.h"
#include "platform/ui.hpp"
#include "support/recording_ui.hpp"

namespace {

using masscal::platform::MessageBox;

TEST(UiProvider, DefaultAnswersConfirmOrDecline) {
    EXPECT_EQ(masscal::platform::default_answer(CAL_MB_OK | CAL_MB_ICONEXCLAMATION), CAL_IDOK);
    EXPECT_EQ(masscal::platform::default_answer(CAL_MB_OKCANCEL), CAL_IDOK);
    EXPECT_EQ(masscal::platform::default_answer(CAL_MB_YESNO | CAL_MB_ICONQUESTION), CAL_IDNO);
    EXPECT_EQ(masscal::platform::default_answer(CAL_MB_YESNOCANCEL), CAL_IDNO);
    EXPECT_EQ(masscal::platform::default_answer(CAL_MB_RETRYCANCEL), CAL_IDCANCEL);
}

TEST(UiProvider, DefaultWritesCaptionAndTextToStderr) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox(nullptr, "Out of memory", "Calibrate", 48), CAL_IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Calibrate: Out of memory\n");
}

TEST(UiProvider, RecordingProviderScriptsAnswersAndRestores) {
    {
        masscal::testing::RecordingUi ui;
        ui.answers = {CAL_IDYES};
        auto* owner = reinterpret_cast<CalWnd>(0x10);
        EXPECT_EQ(MessageBox(owner, "Retry?", "Calibration", CAL_MB_YESNO), CAL_IDYES);
        EXPECT_EQ(MessageBox(owner, "again", "Calibration", CAL_MB_YESNO), CAL_IDNO);
        ASSERT_EQ(ui.calls.size(), 2u);
        EXPECT_EQ(ui.calls[0].owner, owner);
        EXPECT_EQ(ui.calls[0].text, "Retry?");
        EXPECT_EQ(ui.calls[0].caption, "Calibration");
        EXPECT_EQ(ui.calls[0].type, static_cast<uint32_t>(CAL_MB_YESNO));
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
