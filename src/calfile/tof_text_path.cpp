#include "calfile/tof_text_path.hpp"

#include <cstring>

namespace masscal::calfile {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Copies n characters of src into a field of size bytes; false when they
// do not fit.
bool copy_field(char* field, std::size_t size, const char* src, std::size_t n) {
    if (n >= size) return false;
    std::memcpy(field, src, n);
    field[n] = '\0';
    return true;
}

void append(char* out, std::size_t size, std::size_t& used, const char* s, std::size_t n) {
    if (used + 1 >= size) return;
    if (n > size - 1 - used) n = size - 1 - used;
    std::memcpy(out + used, s, n);
    used += n;
    out[used] = '\0';
}

}  // namespace

void tof_ref_to_path(const RawFileRef* ref, char* out, std::size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    std::size_t used = 0;
    const std::size_t dir = strnlen(ref->szDirectory, sizeof ref->szDirectory);
    append(out, size, used, ref->szDirectory, dir);
    if (dir > 0 && !is_separator(ref->szDirectory[dir - 1])) append(out, size, used, "/", 1);
    append(out, size, used, ref->szName, strnlen(ref->szName, sizeof ref->szName));
    const std::size_t ext = strnlen(ref->szExtension, sizeof ref->szExtension);
    if (ext > 0) {
        if (ref->szExtension[0] != '.') append(out, size, used, ".", 1);
        append(out, size, used, ref->szExtension, ext);
    }
}

bool tof_path_to_ref(const char* path, RawFileRef* ref) {
    std::memset(ref, 0, sizeof *ref);
    ref->wKind = CAL_FILEREF_KIND_PLAIN;
    const std::size_t len = std::strlen(path);
    std::size_t name = len;
    while (name > 0 && !is_separator(path[name - 1])) --name;
    bool fits = copy_field(ref->szDirectory, sizeof ref->szDirectory, path, name);
    // A leading dot (a hidden file) or a trailing one is part of the name.
    const char* base = path + name;
    const std::size_t base_len = len - name;
    const char* last_dot = std::strrchr(base, '.');
    if (last_dot && last_dot != base && last_dot != base + base_len - 1) {
        fits = fits && copy_field(ref->szName, sizeof ref->szName, base, static_cast<std::size_t>(last_dot - base));
        fits = fits && copy_field(ref->szExtension, sizeof ref->szExtension, last_dot + 1,
                                  base + base_len - last_dot - 1);
    } else {
        fits = fits && copy_field(ref->szName, sizeof ref->szName, base, base_len);
    }
    if (!fits) {
        std::memset(ref, 0, sizeof *ref);
        ref->wKind = CAL_FILEREF_KIND_PLAIN;
    }
    return fits;
}

}  // namespace masscal::calfile
