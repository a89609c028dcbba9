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

}  // namespace masscal::platform
