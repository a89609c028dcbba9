#include "suite/utility/file_ref_path.hpp"

#include <cstring>
#include <string>
#include <string_view>

namespace {

std::string_view field(const char* text, std::size_t size) { return std::string_view(text, strnlen(text, size)); }

bool ends_in_separator(std::string_view dir) { return !dir.empty() && (dir.back() == '/' || dir.back() == '\\'); }

void store(char* out, std::size_t size, std::string_view text) {
    std::memset(out, 0, size);
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
}

}  // namespace

int ConvertQBFileToPath(char* path, int size, const RawFileRef* ref) {
    if (!path || size <= 0) return 0;
    path[0] = '\0';
    if (!ref) return 0;
    const std::string_view dir = field(ref->szDirectory, sizeof ref->szDirectory);
    const std::string_view name = field(ref->szName, sizeof ref->szName);
    const std::string_view ext = field(ref->szExtension, sizeof ref->szExtension);
    std::string p(dir);
    if (!dir.empty() && !ends_in_separator(dir)) p += '/';
    p += name;
    if (!ext.empty()) {
        p += '.';
        p += ext;
    }
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    const std::size_t n = p.size() < room ? p.size() : room;
    std::memcpy(path, p.data(), n);
    path[n] = '\0';
    return p.size() <= room ? 1 : 0;
}

int ConvertPathToQBFile(RawFileRef* ref, const char* path) {
    if (!ref || !path) return 0;
    const std::string_view p(path);
    const std::size_t sep = p.find_last_of("/\\");
    const std::string_view dir = sep == std::string_view::npos ? std::string_view() : p.substr(0, sep + 1);
    const std::string_view file = sep == std::string_view::npos ? p : p.substr(sep + 1);
    const std::size_t dot = file.rfind('.');
    // ".profile" is a name, not an extension.
    const bool has_ext = dot != std::string_view::npos && dot > 0;
    const std::string_view name = has_ext ? file.substr(0, dot) : file;
    const std::string_view ext = has_ext ? file.substr(dot + 1) : std::string_view();
    if (dir.size() >= sizeof ref->szDirectory || name.size() >= sizeof ref->szName ||
        ext.size() >= sizeof ref->szExtension)
        return 0;
    store(ref->szDirectory, sizeof ref->szDirectory, dir);
    store(ref->szName, sizeof ref->szName, name);
    store(ref->szExtension, sizeof ref->szExtension, ext);
    ref->wKind = CAL_FILEREF_KIND_PLAIN;
    return 1;
}
