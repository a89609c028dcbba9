// Internal parts of the spectrum input.
#pragma once

#include <string>

#include "masscal/input.h"

// Non-zero when the data carries the per-peak detail channels (flags, widths,
// extra values); 0 for a null reference.
int32_t CalHasPeakDetail(const RawFileRef* ref);

// 1 for the instrument "TALVEX2", 2 for "TALVEXPRIME" (key Instrument of the
// settings section Acquisition, compared exactly), 0 for any other or when
// the settings cannot be opened.
int32_t CalGetInstrumentType();

namespace masscal::input {

// A function's information (kFunctionInfoSize bytes) and header
// (kHeaderSize bytes), read as every caller reads them; false when either
// cannot be read.
bool read_function_header(const RawFileRef& ref, unsigned char* info, unsigned char* header);

// Why a rewritten copy of in may not be written to out ("" when it may):
// out names in, or something that is not a regular file.
std::string copy_target_problem(const std::string& in, const std::string& out);

}  // namespace masscal::input
