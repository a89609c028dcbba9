// Records shared byte for byte are packed, so pointers to their members may
// be misaligned for their types. Their fields are worked on in aligned
// copies, loaded and stored byte for byte.
#pragma once

#include <cstddef>
#include <cstring>

namespace masscal::suite {

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

}  // namespace masscal::suite
