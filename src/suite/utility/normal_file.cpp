#include "suite/utility/normal_file.hpp"

#include <cstring>
#include <string>

#include "platform/ui.hpp"

namespace {

std::string field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

void store(char* out, std::size_t size, const std::string& text) {
    std::memset(out, 0, size);
    std::memcpy(out, text.data(), text.size() < size ? text.size() : size - 1);
}

}  // namespace

std::uint16_t GenGetNormalFile(void*, CalWnd owner, NormalFileRequest* request) {
    if (!request) return 0;
    masscal::platform::FileDialogRequest r;
    r.directory = field(request->szDirectory, sizeof request->szDirectory);
    r.name = field(request->szName, sizeof request->szName);
    r.extension = field(request->szExtension, sizeof request->szExtension);
    r.default_extension = r.extension;
    r.function = request->dFunction;
    r.selector = request->dSelector;
    if (!masscal::platform::FileDialog(owner, r)) return 0;
    store(request->szDirectory, sizeof request->szDirectory, r.directory);
    store(request->szName, sizeof request->szName, r.name);
    store(request->szExtension, sizeof request->szExtension, r.extension);
    request->dFunction = r.function;
    request->dSelector = r.selector;
    return 1;
}
