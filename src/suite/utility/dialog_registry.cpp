#include "suite/utility/dialog_registry.hpp"

#include <array>
#include <mutex>

#include "platform/win/window.hpp"

namespace {

std::mutex registry_mutex;
std::array<CalWnd, kDialogSlots> registry{};

bool in_range(int slot) { return slot >= 0 && slot < kDialogSlots; }

}  // namespace

CalWnd GetGlobalDialogWnd(int slot) {
    if (!in_range(slot)) return nullptr;
    std::lock_guard<std::mutex> lock(registry_mutex);
    CalWnd wnd = registry[static_cast<std::size_t>(slot)];
    if (wnd && !masscal::platform::IsWindow(wnd)) {
        registry[static_cast<std::size_t>(slot)] = nullptr;
        return nullptr;
    }
    return wnd;
}

void SetGlobalDialogWnd(int slot, CalWnd wnd) {
    if (!in_range(slot)) return;
    std::lock_guard<std::mutex> lock(registry_mutex);
    registry[static_cast<std::size_t>(slot)] = wnd;
}
