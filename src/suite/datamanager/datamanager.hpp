// The data manager operations through which spectra, function headers and
// acquisition parameters reach the library.
#pragma once

#include <cstdint>
#include <string>

#include "masscal/records.h"
#include "suite/datamanager/records.hpp"

namespace masscal::dm {

// How references are read: the file is directory/name.extension, its
// backend chosen by the extension; nFunction (0 counts as 1) selects the
// function and nIndex (0 counts as 1) the scan; a non-zero wSingle names an
// in-memory spectrum made from that file by combining or centroiding (when
// there is none by that number, the file's own function is read).
// Opened files are kept by path and re-opened when the file changes.

// Opaque handle of an identified spectrum or function; null = none.
using DmHandle = struct DmObject*;

// Fills the identifier of the reference's file.
int DmRawFileToID(const RawFileRef* ref, void* identifier);
// Handle of the identified function (0, 544, identifier, 2, 4, 0); completes
// the identifier with the function header.
DmHandle DmGetHandle(int reserved, int idSize, void* identifier, int recordType, int mode, int flags);
// Spectrum handle with the given channel element sizes; record type 5 asks
// for all five channels, 2 for all but the flags.
DmHandle DmGetHandleEx(int reserved, int idSize, void* identifier, int recordType, const int* channelSizes,
                       int flags);
void* DmLockID(DmHandle h);
void DmUnlockID(DmHandle h);
// 0 when count values from first are available.
int DmGetData(DmHandle h, int first, int count, int flags);
void* DmLockData(DmHandle h, int channel, int first, int count);
void DmUnlockData(DmHandle h, int channel);
void DmReleaseHandle(DmHandle h, int flags);
// Non-zero on success; buffer has kFunctionInfoSize bytes.
int DmRawGetFunctionInfo(const RawFileRef* ref, void* buffer);
int DmRawIsTOFFunction(const RawFileRef* ref, std::uint16_t function);
int DmRawIsExternalFunction(const RawFileRef* ref, std::uint16_t function);
// Non-zero for accurate-mass data; otherwise *word describes the acquisition.
int DmRawIsAccurateMass(const RawFileRef* ref, std::uint16_t* word);

// The text of the calling thread's last data-manager failure ("" if none):
// it names the file and what is wrong with it. Kept until the next failure.
const char* dm_last_error();
void dm_clear_error();
// Records a failure of another operation on data files in the same place.
void dm_set_error(std::string text);

// Number of handles not yet released (all threads); for leak checks.
int dm_open_handle_count();
// Forgets every opened file (the next access reopens it).
void dm_clear_file_cache();

}  // namespace masscal::dm
