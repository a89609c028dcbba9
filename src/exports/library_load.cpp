// What happens when the library is loaded into a process: the window
// classes of the calibration window are registered, so a host learns of a
// failure (CalWindowClassesRegistered) before its first window call.
#include "window/window_classes.hpp"

namespace {

__attribute__((constructor)) void register_window_classes_at_load() { masscal::window::ensure_window_classes(); }

}  // namespace
