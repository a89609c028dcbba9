// RawCalibInfo has 2-byte packing, so pointers to its members may be
// misaligned for their types. Its members are worked on in aligned copies,
// loaded and stored byte for byte.
#pragma once

#include <cstddef>
#include <cstring>

namespace masscal::calfile {

template <typename T>
T load_field(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

template <typename T>
void store_field(void* record, std::size_t offset, const T& value) {
    std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}

}  // namespace masscal::calfile
