// The signature library: a file operation is requested, the request is
// granted or refused, and a granted one runs the caller's callback on the
// file. Here every request is granted; the audit trail and signature prompts
// of a regulated installation plug in behind these two calls.
#pragma once

#include <cstdint>

#include "masscal/ui.h"

// Does the work on path with the caller's data; its result is the work's.
using SignedFileCallback = int (*)(const char* path, void* data);

// Requests to read path (access: the access right wanted). Non-zero when
// granted (the callback then ran), 0 when refused: a null path or callback.
int RequestOpen(const char* path, SignedFileCallback callback, void* data, std::uint32_t access, CalWnd wnd);
// Requests to write path; event, reason and comment identify the operation
// to the audit trail and are passed as they are. Results as for RequestOpen.
int RequestSave(int event, int reason, int comment, const char* path, int flags, SignedFileCallback callback,
                void* data, CalWnd wnd);
