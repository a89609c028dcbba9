#include "platform/win/window_class.hpp"

#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

namespace masscal::platform {
namespace {

std::mutex& classes_mutex() {
    static std::mutex m;
    return m;
}
// Function-local, so that registration from a load-time constructor finds
// the table built whatever the order of static initialisation.
std::vector<WindowClass>& classes() {
    static std::vector<WindowClass> table;
    return table;
}

WindowClass* find_locked(const char* name) {
    for (WindowClass& c : classes())
        if (strcasecmp(c.name, name) == 0) return &c;
    return nullptr;
}

}  // namespace

bool RegisterWindowClass(const WindowClass& cls) {
    if (!cls.name || !cls.name[0]) return false;
    std::lock_guard<std::mutex> lock(classes_mutex());
    if (find_locked(cls.name)) return false;
    try {
        classes().push_back(cls);
    } catch (...) {
        return false;
    }
    return true;
}

bool UnregisterWindowClass(const char* name) {
    if (!name) return false;
    std::lock_guard<std::mutex> lock(classes_mutex());
    auto& t = classes();
    for (auto it = t.begin(); it != t.end(); ++it)
        if (strcasecmp(it->name, name) == 0) {
            t.erase(it);
            return true;
        }
    return false;
}

const WindowClass* FindWindowClass(const char* name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> lock(classes_mutex());
    // Entries are never moved while registered classes are looked up: the
    // table only grows at start-up.
    return find_locked(name);
}

}  // namespace masscal::platform
