#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "formats/backend.hpp"
#include "formats/peak_list_backend.hpp"
#include "mzml/mzml_backend.hpp"

namespace masscal::dm {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const Backend>> byExtension;
};

void add(Registry& r, const std::shared_ptr<const Backend>& backend) {
    for (const std::string& ext : backend->extensions()) r.byExtension[lower(ext)] = backend;
}

// Built-ins are added here rather than by static initialisers, which a
// static library would drop.
Registry& registry() {
    static Registry r;
    static std::once_flag once;
    std::call_once(once, [] {
        add(r, make_peak_list_backend());
        add(r, make_mzml_backend());
    });
    return r;
}

}  // namespace

void register_backend(std::shared_ptr<const Backend> backend) {
    if (!backend) return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    add(r, backend);
}

std::shared_ptr<const Backend> backend_for_extension(std::string_view extension) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.byExtension.find(lower(extension));
    return it == r.byExtension.end() ? nullptr : it->second;
}

}  // namespace masscal::dm
