#include "suite/settings/window_position.hpp"

#include <cstdio>

#include "platform/c_locale.hpp"
#include "platform/win/window.hpp"
#include "suite/settings/settings.hpp"

namespace {

constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;

}  // namespace

int ObtainWindPos(CalWnd wnd, WindowPlacement* out) {
    if (!out || !masscal::platform::IsWindow(wnd)) return 0;
    CalRect rect{};
    masscal::platform::GetWindowRect(wnd, &rect);
    out->showCmd = masscal::platform::IsIconic(wnd) ? kShowMinimized : kShowNormal;
    out->rcNormal = rect;
    return 1;
}

int SetIniWindPos(const char* section, const char* key, const WindowPlacement* placement, int save) {
    if (!section || !key || !placement) return 0;
    char text[96];
    const CalRect& r = placement->rcNormal;
    masscal::platform::c_snprintf(text, sizeof text, "%d,%d,%d,%d,%d", static_cast<int>(placement->showCmd),
                        static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                        static_cast<int>(r.bottom));
    int ok = SetIniString(section, key, text, 1);
    // Loaded settings hold the change until their owner saves; a save
    // request writes it now through a nested load.
    if (ok && save && IsIniLoaded() && InitIni(0)) ok = FreeIni(0, 1);
    return ok;
}

int GetIniWindPos(const char* section, const char* key, int, CalRect* rect) {
    if (!section || !key || !rect) return 0;
    char text[96] = "";
    if (GetIniString(section, key, "", text, sizeof text) <= 0) return 0;
    int show = 0, left = 0, top = 0, right = 0, bottom = 0;
    char tail = 0;
    if (std::sscanf(text, "%d,%d,%d,%d,%d%c", &show, &left, &top, &right, &bottom, &tail) != 5) return 0;
    if (right <= left || bottom <= top) return 0;
    *rect = CalRect{left, top, right, bottom};
    return 1;
}
