// Paths and file references: a path that fits a reference joins back to
// itself, one that does not is refused, never cut; a reference's fields,
// terminated or not, join into a terminated path.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "calfile/tof_text.hpp"
#include "suite/utility/file_ref_path.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path(reinterpret_cast<const char*>(data), size);
    path = path.c_str();  // a path is a C string

    RawFileRef ref;
    char joined[masscal::calfile::kTofPathSize];
    if (masscal::calfile::tof_path_to_ref(path.c_str(), &ref)) {
        masscal::calfile::tof_ref_to_path(&ref, joined, sizeof joined);
        // Joining inserts no separator the path had not and keeps every byte.
        if (std::strlen(joined) > path.size() + 1) __builtin_trap();
    } else if (ref.szDirectory[0] || ref.szName[0] || ref.szExtension[0]) {
        __builtin_trap();
    }

    char out[260];
    if (ConvertPathToQBFile(&ref, path.c_str())) {
        const int whole = ConvertQBFileToPath(out, sizeof out, &ref);
        if (std::strlen(out) >= sizeof out) __builtin_trap();
        if (whole && path.find('\\') == std::string::npos && !path.empty() && path.back() != '.' &&
            std::string(out) != path)
            __builtin_trap();
    }

    // Raw bytes as a reference, fields without terminators included.
    std::memset(&ref, 0, sizeof ref);
    std::memcpy(&ref, data, size < sizeof ref ? size : sizeof ref);
    ConvertQBFileToPath(out, sizeof out, &ref);
    if (strnlen(out, sizeof out) == sizeof out) __builtin_trap();
    masscal::calfile::tof_ref_to_path(&ref, joined, sizeof joined);
    if (strnlen(joined, sizeof joined) == sizeof joined) __builtin_trap();
    return 0;
}
