#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/cal_error.hpp"
#include "support/recording_ui.hpp"

namespace {

CalRecord make_record(int order, const char* name) {
    CalRecord r;
    std::memset(&r, 0, sizeof r);
    r.Params.PolyOrder = order;
    std::strncpy(r.DataFile.szName, name, sizeof r.DataFile.szName - 1);
    return r;
}

struct TextCase {
    int code;
    int order;
    const char* name;
    const char* text;
};

class CalErrorText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CalErrorText, ComposesTheFragmentsInOrder) {
    const TextCase& tc = GetParam();
    masscal::testing::RecordingUi ui;
    const CalRecord rec = make_record(tc.order, tc.name);
    CalShowError(reinterpret_cast<CalWnd>(0x42), tc.code, &rec);
    EXPECT_STREQ(GetCalError(), tc.text);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].text, tc.text);
    EXPECT_EQ(ui.calls[0].caption, "Calibrate");
    EXPECT_EQ(ui.calls[0].type, 48u);
    EXPECT_EQ(ui.calls[0].owner, reinterpret_cast<CalWnd>(0x42));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CalErrorText,
    ::testing::Values(
        TextCase{0, 1, "", "No Error"},
        TextCase{-1, 1, "", "An internal error has occurred. The curve fitting algorithm has received a badly-formed "
                            "set of equations."},
        TextCase{-2, 1, "", "An internal error has occurred. The calibration software requires more memory than is "
                            "currently available. If you have iconised applications, try closing them and repeating "
                            "the calibration."},
        TextCase{-3, 1, "", "An internal error has occurred. The curve fitting algorithm has received a set of "
                            "equations to which no unique solution exists."},
        TextCase{-4, 1, "", "Unable to access file"},
        TextCase{-6, 1, "", "Too many peaks in reference file"},
        TextCase{-7, 1, "", "Unknown Error no. -7"},
        TextCase{3, 1, "", "Unknown Error no. 3"},
        TextCase{-8, 0, "", "To fit a horizontal line you need to match 1 peaks in the data with peaks in the "
                            "reference file."},
        TextCase{-8, 1, "", "To fit a straight line you need to match 2 peaks in the data with peaks in the "
                            "reference file."},
        TextCase{-8, 2, "", "To fit a quadratic curve you need to match 3 peaks in the data with peaks in the "
                            "reference file."},
        TextCase{-8, 4, "", "To fit a fourth-order curve you need to match 5 peaks in the data with peaks in the "
                            "reference file."},
        TextCase{-8, 7, "", "To fit a 7th order curve you need to match 8 peaks in the data with peaks in the "
                            "reference file."},
        TextCase{-8, -3, "", "To fit a -3th order curve you need to match -2 peaks in the data with peaks in the "
                             "reference file."},
        TextCase{-10, 1, "", "Unable to find a suitable match for any of the peaks in the reference file. If the "
                             "reference file is suitable for this data, try increasing the value of the Initial "
                             "Error parameter. Or match the peaks up manually using the right mouse button. "},
        TextCase{-12, 1, "NAI_TOF01", "No peaks were detected in the data file NAI_TOF01."},
        TextCase{-13, 1, "", "For single-point PSD calibration, Polynomial Order must be set to 1."},
        TextCase{-14, 1, "", "For single-point PSD calibration, exactly one peak must match the reference file."},
        TextCase{-15, 1, "", "The first segment calibration must contain two points."}));

TEST(CalError, SwitchSilencesBoxesButKeepsTheText) {
    masscal::testing::RecordingUi ui;
    ShowCalError(0);
    CalShowError(nullptr, -4, nullptr);
    ShowCalError(5);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_STREQ(GetCalError(), "Unable to access file");
    CalShowError(nullptr, -4, nullptr);
    EXPECT_EQ(ui.calls.size(), 1u);
}

TEST(CalError, ClearEmptiesTheBuffer) {
    masscal::testing::RecordingUi ui;
    CalShowError(nullptr, -6, nullptr);
    ClearCalError();
    EXPECT_STREQ(GetCalError(), "");
}

TEST(CalError, LongestFileNameFits) {
    masscal::testing::RecordingUi ui;
    const std::string name(255, 'n');
    const CalRecord rec = make_record(1, name.c_str());
    CalShowError(nullptr, -12, &rec);
    EXPECT_EQ(std::string(GetCalError()), "No peaks were detected in the data file " + name + ".");
    // A name field without a terminator is read only within its 256 bytes.
    CalRecord full = make_record(1, "");
    std::memset(full.DataFile.szName, 'q', sizeof full.DataFile.szName);
    CalShowError(nullptr, -12, &full);
    EXPECT_EQ(std::strlen(GetCalError()), std::strlen("No peaks were detected in the data file .") + 256);
}

}  // namespace
