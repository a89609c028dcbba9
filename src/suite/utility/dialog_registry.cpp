#include "suite/utility/dialog_registry.hpp"

#include <array>
#include <cstdint>
#include <mutex>

#include "platform/win/window.hpp"

namespace {

// The serial tells the stored window from a later one at the same address.
struct Entry {
    CalWnd wnd = nullptr;
    std::uint64_t serial = 0;
};

std::mutex registry_mutex;
std::array<Entry, kDialogSlots> registry{};

bool in_range(int slot) { return slot >= 0 && slot < kDialogSlots; }

}  // namespace

CalWnd GetGlobalDialogWnd(int slot) {
    if (!in_range(slot)) return nullptr;
    std::lock_guard<std::mutex> lock(registry_mutex);
    Entry& e = registry[static_cast<std::size_t>(slot)];
    if (e.wnd && (e.serial == 0 || masscal::platform::GetWindowSerial(e.wnd) != e.serial)) e = Entry{};
    return e.wnd;
}

void SetGlobalDialogWnd(int slot, CalWnd wnd) {
    if (!in_range(slot)) return;
    std::lock_guard<std::mutex> lock(registry_mutex);
    registry[static_cast<std::size_t>(slot)] = Entry{wnd, masscal::platform::GetWindowSerial(wnd)};
}
