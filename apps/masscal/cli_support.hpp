// What every verb of the program shares: exit codes, the one-line error
// format, file references from paths, and the library's messages collected
// instead of shown.
#pragma once

#include <string>
#include <vector>

#include "masscal/calib.h"

namespace cli {

enum Exit { kOk = 0, kCalFailed = 1, kBadInput = 2 };

// Installs the message-box handler that collects the library's messages.
void collect_library_messages();
// The messages collected on this thread (each record runs on one thread).
std::vector<std::string>& messages();

// Prints "masscal: FILE: WHAT" (or "masscal: WHAT") on stderr; returns code.
int fail(int code, const std::string& file, const std::string& what);
// "FILE: WHAT" as fail() prints it after "masscal: ", for callers that report later.
std::string failure_text(const std::string& file, const std::string& what);

RawFileRef ref_to(const std::string& path, int function);
// The file name's extension in lower case, with its dot ("" without one).
std::string lower_extension(const std::string& path);

// Empty when the file can be read, else why not.
std::string unreadable(const std::string& path);

// Copies of packed doubles (4-aligned in the record).
std::vector<double> coeffs(const RawCalibCoEffs& c);
std::string poly_text(const RawCalibCoEffs& c);

// The mass function stored for a function of a calibration file: its TOF
// section when it has one, else the function's first segment.
bool stored_calibration(const std::string& path, int function, RawCalibCoEffs& out, std::string& why);

}  // namespace cli
