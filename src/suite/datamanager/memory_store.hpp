// In-memory spectra of the data manager: the results of combining and
// centroiding, reached through a reference whose wSingle is their number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "formats/backend.hpp"
#include "masscal/records.h"
#include "suite/datamanager/datamanager.hpp"

namespace masscal::dm {

// The file a reference names (directory/name.extension).
std::string reference_path(const RawFileRef& ref);

// Description and data of scan `scan` (1-based) of function `function` of
// what ref names (its in-memory spectrum when wSingle names one: function
// and scan 1). false with dm_last_error() set on failure.
bool dm_describe(const RawFileRef& ref, int function, FunctionDescription& out);
// The number of functions of the file at path, -1 when it cannot be read.
int dm_function_count(const std::string& path);
// The description and listing of one function; false with dm_last_error() set.
bool dm_summarize(const std::string& path, int function, FunctionDescription& desc, FunctionSummary& out);
bool dm_read_scan(const RawFileRef& ref, int function, int scan, Spectrum& out, FunctionDescription& desc);
// The spectrum the reference itself names: its in-memory spectrum, or scan
// nIndex of function nFunction (0 counting as 1 for both).
bool dm_read_reference(const RawFileRef& ref, Spectrum& out, FunctionDescription& desc);
// The same without copying the data (recently decoded scans are shared).
bool dm_read_scan_shared(const RawFileRef& ref, int function, int scan, std::shared_ptr<const Spectrum>& out,
                        FunctionDescription& desc);
bool dm_read_reference_shared(const RawFileRef& ref, std::shared_ptr<const Spectrum>& out, FunctionDescription& desc);

// Keeps a spectrum in memory under a new number (1..65535), remembering the
// file it came from; 0 when it cannot be kept.
std::uint16_t dm_store_spectrum(Spectrum spectrum, FunctionDescription desc, const std::string& sourcePath);
// Forgets an in-memory spectrum (open handles keep their data).
void dm_release_spectrum(std::uint16_t number);
int dm_stored_spectrum_count();
// A function handle of an in-memory spectrum: its locked identifier holds
// the number at the single word, the peak count and the continuum flag.
DmHandle dm_stored_handle(std::uint16_t number);

}  // namespace masscal::dm
