#include "window/window_classes.hpp"

#include <mutex>

#include "masscal/window.h"
#include "platform/win/dialog.hpp"
#include "platform/win/window_class.hpp"
#include "window/window_resources.hpp"

using namespace masscal::platform;

namespace masscal::window {
namespace {

constexpr int kIconResource = 2;
constexpr int kWindowExtraBytes = 30;
// System colour index 8 (the window colour) plus one.
constexpr int kBackgroundBrush = 9;

bool register_all() {
    for (Variant v : {Variant::quadrupole, Variant::tof, Variant::tof2}) {
        const VariantResources& r = resources(v);
        if (FindWindowClass(r.class_name)) continue;
        WindowClass cls;
        cls.name = r.class_name;
        cls.style = kCsHRedraw | kCsVRedraw;
        cls.proc = CaliWndProc;
        cls.window_extra = kWindowExtraBytes;
        cls.icon = kIconResource;
        cls.cursor = Cursor::arrow;
        cls.background = kBackgroundBrush;
        cls.menu = r.menu;
        cls.menu_name = r.menu->name;
        if (!RegisterWindowClass(cls)) return false;
    }
    return true;
}

std::once_flag g_once;
bool g_registered = false;

}  // namespace

bool ensure_window_classes() {
    std::call_once(g_once, [] { g_registered = register_all(); });
    return g_registered;
}

}  // namespace masscal::window

extern "C" MASSCAL_API intptr_t CaliWndProc(CalWnd hWnd, uint32_t nMsg, uintptr_t wParam, intptr_t lParam) {
    return DefDlgProc(hWnd, nMsg, wParam, lParam);
}

extern "C" MASSCAL_API int32_t CalWindowClassesRegistered(void) {
    return masscal::window::ensure_window_classes() ? 1 : 0;
}
