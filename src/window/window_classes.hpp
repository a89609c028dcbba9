// The three window classes of the calibration window, registered when the
// library is loaded or, at the latest, by the first window call.
#pragma once

namespace masscal::window {

// True when all three classes are registered (registers them if not yet).
bool ensure_window_classes();

}  // namespace masscal::window
