#include "platform/gdi/cursor.hpp"

namespace masscal::platform {
namespace {
thread_local Cursor t_cursor = Cursor::arrow;
}

Cursor SetCursor(Cursor c) {
    Cursor old = t_cursor;
    t_cursor = c;
    return old;
}

Cursor GetCursor() { return t_cursor; }

}  // namespace masscal::platform
