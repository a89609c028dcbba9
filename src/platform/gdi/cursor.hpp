// The mouse cursor. Headless drawing has none to show, so setting one only
// remembers it; a window system backend shows it.
#pragma once

namespace masscal::platform {

enum class Cursor { arrow, wait, size_we };

// Sets the cursor of the calling thread's windows; returns the previous one.
Cursor SetCursor(Cursor c);
// The calling thread's cursor, for a window system to show.
Cursor GetCursor();

}  // namespace masscal::platform
