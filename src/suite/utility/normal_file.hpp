// The utility library's file-selection dialog, shown through the UI
// provider.
#pragma once

#include <cstddef>
#include <cstdint>

#include "masscal/ui.h"

#pragma pack(push, 4)
// The file request record (832 bytes), zero-filled before use: the initial
// choice in, the user's choice out.
struct NormalFileRequest {
    unsigned char reserved0[38];
    char szDirectory[260];
    char szName[256];
    char szExtension[258];
    unsigned char reserved1[4];
    double dFunction;  // function number
    double dSelector;  // second selector
};
#pragma pack(pop)

static_assert(sizeof(NormalFileRequest) == 832, "NormalFileRequest size");
static_assert(offsetof(NormalFileRequest, szDirectory) == 38, "NormalFileRequest.szDirectory");
static_assert(offsetof(NormalFileRequest, szName) == 298, "NormalFileRequest.szName");
static_assert(offsetof(NormalFileRequest, szExtension) == 554, "NormalFileRequest.szExtension");
static_assert(offsetof(NormalFileRequest, dFunction) == 816, "NormalFileRequest.dFunction");
static_assert(offsetof(NormalFileRequest, dSelector) == 824, "NormalFileRequest.dSelector");

// Lets the user choose a file, starting from the request's directory, name,
// extension and selectors. Non-zero when a file was chosen (the request then
// holds it, each text cut to its field and terminated), 0 when cancelled.
// instance (the caller's module) is not used.
std::uint16_t GenGetNormalFile(void* instance, CalWnd owner, NormalFileRequest* request);
