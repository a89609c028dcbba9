// Movable memory blocks and the heap for work arrays, with one seam that
// makes a chosen allocation fail so that out-of-memory paths can be tested.
#pragma once

#include <cstddef>

#include "masscal/calib.h"

namespace masscal::platform {

// A zero-filled block whose handle is an opaque non-null token; null when
// the allocation fails. Blocks never move once allocated.
CalMemHandle mem_alloc(std::size_t bytes);
void* mem_lock(CalMemHandle h);
void mem_unlock(CalMemHandle h);
void mem_free(CalMemHandle h);
std::size_t mem_size(CalMemHandle h);

// Zero-filled heap storage for temporary work; null on failure.
void* heap_alloc(std::size_t bytes);
void heap_free(void* p);

// Test seam, per thread: the nth allocation from now (1 = the next one) of
// either kind fails; 0 switches failures off. fail_after counts down across
// calls, so exactly one allocation fails.
void set_alloc_failure(unsigned nth);
// Number of allocations made on this thread since the last reset.
unsigned alloc_count();
void reset_alloc_count();

}  // namespace masscal::platform
