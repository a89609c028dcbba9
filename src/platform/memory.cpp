#include "platform/memory.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

struct CalMemBlock {
    std::uint32_t magic;
    std::uint32_t locks;
    std::size_t bytes;
    // Keeps the payload aligned for any element type.
    alignas(std::max_align_t) unsigned char data[1];
};

namespace masscal::platform {
namespace {

constexpr std::uint32_t kMagic = 0x4d43424bu;  // "MCBK"

thread_local unsigned t_fail_countdown = 0;
thread_local unsigned t_alloc_count = 0;

bool should_fail() {
    ++t_alloc_count;
    if (t_fail_countdown == 0) return false;
    return --t_fail_countdown == 0;
}

}  // namespace

CalMemHandle mem_alloc(std::size_t bytes) {
    if (should_fail()) return nullptr;
    const std::size_t header = offsetof(CalMemBlock, data);
    if (bytes > SIZE_MAX - header - 1) return nullptr;
    // Always at least one payload byte, so a zero-sized block has an address.
    void* raw = std::calloc(1, header + (bytes ? bytes : 1));
    if (!raw) return nullptr;
    auto* block = new (raw) CalMemBlock;
    block->magic = kMagic;
    block->locks = 0;
    block->bytes = bytes;
    return block;
}

void* mem_lock(CalMemHandle h) {
    if (!h || h->magic != kMagic) return nullptr;
    ++h->locks;
    return h->data;
}

void mem_unlock(CalMemHandle h) {
    if (h && h->magic == kMagic && h->locks > 0) --h->locks;
}

void mem_free(CalMemHandle h) {
    if (!h || h->magic != kMagic) return;
    h->magic = 0;
    std::free(h);
}

std::size_t mem_size(CalMemHandle h) { return (h && h->magic == kMagic) ? h->bytes : 0; }

void* heap_alloc(std::size_t bytes) {
    if (should_fail()) return nullptr;
    return std::calloc(1, bytes ? bytes : 1);
}

void heap_free(void* p) { std::free(p); }

void set_alloc_failure(unsigned nth) { t_fail_countdown = nth; }
unsigned alloc_count() { return t_alloc_count; }
void reset_alloc_count() { t_alloc_count = 0; }

}  // namespace masscal::platform
