#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/graph_scene.hpp"
#include "masscal/report.h"
#include "texts/report_text.hpp"

using namespace masscal::report;

namespace {

TEST(ReportText, EveryKeyHasItsDefault) {
    const std::map<std::string, std::string> want = {
        {"tCalReport_CalibrationReport", "Calibration Report"},
        {"tCalReport_CalibrationVerifcationReport", "Calibration Verification Report"},
        {"tCalReport_PagesText", "Page %d of %d"},
        {"tCalReport_PrintedText", "Printed:"},
        {"tCalReport_MatchesText", "%d matches of %d tested references"},
        {"tCalReport_DataFileCalibrated", "Data file: %s - Calibrated"},
        {"tCalReport_DataFileUncalibrated", "Data file: %s - Uncalibrated"},
        {"tCalReport_ReferenceText", "Reference: %s"},
        {"tCalReport_MeanResidualStatistics", "Mean residual = %.3g amu"},
        {"tCalReport_AxisAndPolyOrder", "Residual       Polynomial order = %d"},
        {"tCalReport_RMSResidualAMU", "RMS residual = %.3g amu"},
        {"tCalReport_RMSResidualPPM", "RMS residual = %.3g ppm"},
    };
    std::map<std::string, std::string> got;
    for (const ReportText& t : kReportTexts) got[t.key] = t.text;
    EXPECT_EQ(got, want);
    for (const auto& [key, text] : want) EXPECT_EQ(default_text(key.c_str()), text);
    EXPECT_STREQ(default_text("tCalReport_Unknown"), "");
}

TEST(ReportText, WithoutHooksDefaultsAndSprintf) {
    char buf[128];
    EXPECT_EQ(TranslateCalText(buf, "tCalReport_PagesText", "Page %d of %d"), buf);
    EXPECT_STREQ(buf, "Page %d of %d");
    EXPECT_EQ(FormatCalText(buf, "%d matches of %d, %.3g amu, %s", 5, 7, 0.0012345, "x"), 30);
    EXPECT_STREQ(buf, "5 matches of 7, 0.00123 amu, x");
}

char* german(char* dest, const char* key) {
    static const std::map<std::string, std::string> texts = {
        {"tCalReport_MatchesText", "%d Treffer von %d Referenzen"},
        {"tCalReport_ReferenceText", "Referenz: %s"},
        {"tCalReport_CalibrationReport", "Kalibrierbericht"},
    };
    auto it = texts.find(key);
    std::strcpy(dest, it == texts.end() ? key : it->second.c_str());
    return dest;
}

int g_format_calls = 0;
int32_t shouting(char* dest, const char* fmt, va_list ap) {
    ++g_format_calls;
    char tmp[512];
    const int n = std::vsnprintf(tmp, sizeof tmp, fmt, ap);
    for (char* p = tmp; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    std::strcpy(dest, tmp);
    return n;
}

struct HookGuard {
    ~HookGuard() {
        SetCalTranslationTranslateFunction(nullptr);
        SetCalTranslationFormatFunction(nullptr);
    }
};

TEST(ReportText, InstalledHooksTranslateAndFormat) {
    HookGuard guard;
    EXPECT_EQ(SetCalTranslationTranslateFunction(german), german);
    char buf[128];
    EXPECT_STREQ(TranslateCalText(buf, "tCalReport_ReferenceText", "Reference: %s"), "Referenz: %s");
    EXPECT_EQ(SetCalTranslationFormatFunction(shouting), shouting);
    g_format_calls = 0;
    EXPECT_EQ(FormatCalText(buf, "ab %s", "cd"), 5);
    EXPECT_STREQ(buf, "AB CD");
    EXPECT_EQ(g_format_calls, 1);
    // The bounded internal forms go through the same hooks.
    char small[8];
    translate(small, sizeof small, kCalibrationReport);
    EXPECT_STREQ(small, "Kalibri");
    format(small, sizeof small, "%s", "abcdefghij");
    EXPECT_STREQ(small, "ABCDEFG");
    EXPECT_EQ(SetCalTranslationTranslateFunction(nullptr), nullptr);
    EXPECT_STREQ(TranslateCalText(buf, "tCalReport_ReferenceText", "Reference: %s"), "Reference: %s");
}

TEST(ReportText, GraphHeadersComeThroughTheHooks) {
    HookGuard guard;
    SetCalTranslationTranslateFunction(german);
    masscal::testing::GraphScene s;
    auto dc = CalDeviceContext::create_image(900, 660);
    std::vector<masscal::platform::TextRecord> log;
    dc->record_text(&log);
    ASSERT_EQ(s.paint(dc.get()), 1);
    EXPECT_TRUE(masscal::testing::find_text(log, "22 Treffer von 23 Referenzen"));
    EXPECT_TRUE(masscal::testing::find_text(log, "Referenz: peg_na_pos.ref"));
    // Untranslated texts stay English.
    bool errors = false;
    for (auto& r : log) errors = errors || r.text.find("Errors displayed represent 95% confidence interval") != std::string::npos;
    EXPECT_TRUE(errors);
}

}  // namespace
