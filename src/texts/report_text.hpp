// The translatable texts of the report and the graph headers: keys, their
// English defaults, and bounded forms of the translate and format calls.
#pragma once

#include <cstddef>

#include "masscal/report.h"

namespace masscal::report {

struct ReportText {
    const char* key;
    const char* text;
};

// Every key with its default text, in the order of the texts table.
extern const ReportText kReportTexts[12];

inline constexpr const char kCalibrationReport[] = "tCalReport_CalibrationReport";
inline constexpr const char kCalibrationVerificationReport[] = "tCalReport_CalibrationVerifcationReport";
inline constexpr const char kPagesText[] = "tCalReport_PagesText";
inline constexpr const char kPrintedText[] = "tCalReport_PrintedText";
inline constexpr const char kMatchesText[] = "tCalReport_MatchesText";
inline constexpr const char kDataFileCalibrated[] = "tCalReport_DataFileCalibrated";
inline constexpr const char kDataFileUncalibrated[] = "tCalReport_DataFileUncalibrated";
inline constexpr const char kReferenceText[] = "tCalReport_ReferenceText";
inline constexpr const char kMeanResidualStatistics[] = "tCalReport_MeanResidualStatistics";
inline constexpr const char kAxisAndPolyOrder[] = "tCalReport_AxisAndPolyOrder";
inline constexpr const char kRmsResidualAmu[] = "tCalReport_RMSResidualAMU";
inline constexpr const char kRmsResidualPpm[] = "tCalReport_RMSResidualPPM";

// The default text of a key ("" for an unknown one).
const char* default_text(const char* key);

// The text of key through the translate hook into dest (size bytes,
// terminated); returns dest.
char* translate(char* dest, std::size_t size, const char* key);
// Formats through the format hook into dest (size bytes, terminated; a hook
// writes into scratch first so that it cannot run past dest); returns the
// hook's or vsnprintf's result.
int format(char* dest, std::size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

}  // namespace masscal::report
