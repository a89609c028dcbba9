#include "texts/report_text.hpp"

#include <atomic>
#include <cstring>

#include "platform/c_locale.hpp"

namespace masscal::report {
namespace {

std::atomic<CalTranslateFunction> g_translate{nullptr};
std::atomic<CalFormatFunction> g_format{nullptr};

// Hooks write unbounded, as vsprintf does; this is the room they get.
constexpr std::size_t kScratch = 8192;

void copy_bounded(char* dest, std::size_t size, const char* src) {
    if (!dest || size == 0) return;
    std::size_t n = src ? std::strlen(src) : 0;
    if (n >= size) n = size - 1;
    if (n) std::memmove(dest, src, n);
    dest[n] = '\0';
}

}  // namespace

const ReportText kReportTexts[12] = {
    {kCalibrationReport, "Calibration Report"},
    {kCalibrationVerificationReport, "Calibration Verification Report"},
    {kPagesText, "Page %d of %d"},
    {kPrintedText, "Printed:"},
    {kMatchesText, "%d matches of %d tested references"},
    {kDataFileCalibrated, "Data file: %s - Calibrated"},
    {kDataFileUncalibrated, "Data file: %s - Uncalibrated"},
    {kReferenceText, "Reference: %s"},
    {kMeanResidualStatistics, "Mean residual = %.3g amu"},
    {kAxisAndPolyOrder, "Residual       Polynomial order = %d"},
    {kRmsResidualAmu, "RMS residual = %.3g amu"},
    {kRmsResidualPpm, "RMS residual = %.3g ppm"},
};

const char* default_text(const char* key) {
    if (!key) return "";
    for (const ReportText& t : kReportTexts)
        if (std::strcmp(t.key, key) == 0) return t.text;
    return "";
}

char* translate(char* dest, std::size_t size, const char* key) {
    if (CalTranslateFunction f = g_translate.load()) {
        char scratch[kScratch] = "";
        const char* got = f(scratch, key);
        scratch[kScratch - 1] = '\0';
        copy_bounded(dest, size, got ? got : scratch);
        return dest;
    }
    copy_bounded(dest, size, default_text(key));
    return dest;
}

int format(char* dest, std::size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n;
    if (CalFormatFunction f = g_format.load()) {
        char scratch[kScratch] = "";
        n = f(scratch, fmt, ap);
        scratch[kScratch - 1] = '\0';
        copy_bounded(dest, size, scratch);
    } else {
        n = platform::c_vsnprintf(dest, size, fmt, ap);
    }
    va_end(ap);
    return n;
}

}  // namespace masscal::report

using namespace masscal::report;

extern "C" {

MASSCAL_API char* TranslateCalText(char* pszDest, const char* pszKey, const char* pszDefault) {
    if (CalTranslateFunction f = g_translate.load()) return f(pszDest, pszKey);
    if (!pszDest) return pszDest;
    const char* src = pszDefault ? pszDefault : "";
    std::memmove(pszDest, src, std::strlen(src) + 1);
    return pszDest;
}

MASSCAL_API int32_t FormatCalText(char* pszDest, const char* pszFormat, ...) {
    va_list ap;
    va_start(ap, pszFormat);
    int n;
    if (CalFormatFunction f = g_format.load()) {
        n = f(pszDest, pszFormat, ap);
    } else {
        // The caller's buffer holds the whole text, as with vsprintf.
        n = masscal::platform::c_vsnprintf(pszDest, static_cast<std::size_t>(INT32_MAX), pszFormat, ap);
    }
    va_end(ap);
    return n;
}

MASSCAL_API CalTranslateFunction SetCalTranslationTranslateFunction(CalTranslateFunction pfn) {
    g_translate.store(pfn);
    return pfn;
}

MASSCAL_API CalFormatFunction SetCalTranslationFormatFunction(CalFormatFunction pfn) {
    g_format.store(pfn);
    return pfn;
}

}  // extern "C"
