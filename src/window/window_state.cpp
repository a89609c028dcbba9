#include "window/window_state.hpp"

namespace masscal::window {

WindowState& state() {
    static WindowState s;
    return s;
}

}  // namespace masscal::window
