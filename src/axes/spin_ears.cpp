#include "axes/spin_ears.hpp"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/c_locale.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/messages.hpp"
#include "platform/win/window.hpp"

using namespace masscal::platform;

namespace {

// The serial tells the edit the ears were given to from a later window at
// the same address.
struct Ears {
    std::uint64_t serial;
    EarSettings settings;
};

std::mutex ears_mutex;
std::map<CalWnd, Ears> ears;

// Forgets the ears of windows destroyed since, so a new window at the same
// address starts without any.
void prune() {
    for (auto it = ears.begin(); it != ears.end();)
        it = GetWindowSerial(it->first) == it->second.serial ? std::next(it) : ears.erase(it);
}

bool settings_of(CalWnd edit, EarSettings* out) {
    std::lock_guard<std::mutex> lock(ears_mutex);
    prune();
    const auto it = ears.find(edit);
    if (it == ears.end()) return false;
    *out = it->second.settings;
    return true;
}

}  // namespace

int EarAddEars(CalWnd edit, int style, double acceleration, double step, double page, double max, double min,
               int decimals, int clamp, int notify) {
    const std::uint64_t serial = GetWindowSerial(edit);
    if (!serial) return 0;
    std::lock_guard<std::mutex> lock(ears_mutex);
    prune();
    const EarSettings settings{style, acceleration, step, page, max, min, std::clamp(decimals, 0, 15), clamp, notify};
    ears[edit] = Ears{serial, settings};
    return 1;
}

int EarGetSettings(CalWnd edit, EarSettings* out) {
    EarSettings s{};
    if (!settings_of(edit, &s)) return 0;
    if (out) *out = s;
    return 1;
}

int EarSpin(CalWnd edit, int count, int page) {
    EarSettings s{};
    if (!settings_of(edit, &s)) return 0;
    char text[80] = "";
    GetWindowText(edit, text, sizeof text);
    double value = c_atof(text) + count * (page ? s.page : s.step);
    if (s.clamp) value = std::clamp(value, std::min(s.min, s.max), std::max(s.min, s.max));
    c_snprintf(text, sizeof text, "%.*f", s.decimals, value);
    SetWindowText(edit, text);
    if (s.notify) {
        if (CalWnd parent = GetParent(edit))
            SendMessage(parent, kMsgCommand, make_wparam(GetDlgCtrlID(edit), kEnChange),
                        reinterpret_cast<std::intptr_t>(edit));
    }
    return 1;
}
