#include "suite/signature/signature.hpp"

namespace {

int grant(const char* path, SignedFileCallback callback, void* data) {
    if (!path || !*path || !callback) return 0;
    callback(path, data);
    return 1;
}

}  // namespace

int RequestOpen(const char* path, SignedFileCallback callback, void* data, std::uint32_t, CalWnd) {
    return grant(path, callback, data);
}

int RequestSave(int, int, int, const char* path, int, SignedFileCallback callback, void* data, CalWnd) {
    return grant(path, callback, data);
}
