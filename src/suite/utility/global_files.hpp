// The list of system files: named file references kept in a section of the
// settings store (the list name is the section, e.g. "SystemList").
#pragma once

#include "masscal/records.h"

// Copies the reference registered under name in list into out, or def when
// none is registered (def and out may be the same record). Non-zero when a
// registered file was found.
int GetGlobalFile(const char* list, const char* name, const RawFileRef* def, RawFileRef* out);
// Registers ref under name in list. Non-zero on success.
int SetGlobalFile(const char* list, const char* name, const RawFileRef* ref);
