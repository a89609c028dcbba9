// Reference-file text and lock-mass lists: a sorted list of at most 100
// finite, non-zero peaks in range, the same whether lines end in CR LF or LF;
// the double-precision lock list is ascending, positive, and holds what the
// float reader reads.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/reference_file.hpp"
#include "platform/ui.hpp"

namespace {

class SilentUi final : public masscal::platform::UiProvider {
public:
    int message_box(CalWnd, const char*, const char*, std::uint32_t) override { return CAL_IDOK; }
};

struct List {
    float mass[CAL_REF_CAPACITY];
    float intensity[CAL_REF_CAPACITY];
    int32_t count = 0;
};

void parse(const std::string& text, float low, float high, bool csv, List* l) {
    (csv ? masscal::engine::parse_lock_mass_csv : masscal::engine::parse_reference_text)(nullptr, text.c_str(), text.size(), l->mass, l->intensity,
                                                        &l->count, low, high);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentUi ui;
    static const bool installed = (masscal::platform::set_ui_provider(&ui), true);
    (void)installed;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool ranged = size % 2 == 1;
    const float low = ranged ? 10.0f : 0.0f, high = ranged ? 500.0f : 0.0f;
    const bool csv = size % 4 >= 2;

    List a;
    parse(text, low, high, csv, &a);
    if (a.count < 0 || a.count > CAL_REF_CAPACITY) std::abort();
    for (int32_t i = 0; i < a.count; ++i) {
        if (!std::isfinite(a.mass[i]) || a.mass[i] == 0.0f || !std::isfinite(a.intensity[i])) std::abort();
        if (ranged && !(a.mass[i] >= low && a.mass[i] <= high)) std::abort();
        if (i > 0 && a.mass[i - 1] > a.mass[i]) std::abort();
    }

    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
    List b;
    parse(lf, low, high, csv, &b);
    if (b.count != a.count) std::abort();
    for (int32_t i = 0; i < a.count; ++i)
        if (a.mass[i] != b.mass[i] || a.intensity[i] != b.intensity[i]) std::abort();

    std::vector<double> locks;
    std::string why;
    const bool read = masscal::engine::parse_lock_masses(text.c_str(), text.size(), csv, locks, why);
    if (read != why.empty()) std::abort();
    if (!read) return 0;
    if (locks.empty() || locks.size() > CAL_REF_CAPACITY) std::abort();
    for (std::size_t i = 0; i < locks.size(); ++i) {
        if (!(locks[i] > 0.0) || !std::isfinite(locks[i]) || (i > 0 && !(locks[i - 1] < locks[i]))) std::abort();
        if (ranged || a.count == CAL_REF_CAPACITY) continue;
        bool listed = false;
        for (int32_t k = 0; k < a.count; ++k) listed |= a.mass[k] == static_cast<float>(locks[i]);
        if (!listed) std::abort();
    }
    return 0;
}
