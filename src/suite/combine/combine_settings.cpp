#include <cmath>
#include <cstdint>
#include <cstring>

#include "formats/text_number.hpp"
#include "suite/combine/combine.hpp"
#include "suite/settings/settings.hpp"

namespace {

struct Key {
    const char* name;
    int index;
    bool real;
};

constexpr Key kKeys[] = {
    {"FirstScan", masscal::combine::kFirstScan, false},
    {"NumberOfScans", masscal::combine::kScanCount, false},
    {"Mode", masscal::combine::kMode, false},
    {"MinScans", masscal::combine::kMinScans, false},
    {"MergeCentroids", masscal::combine::kMergeCentroids, false},
    {"ToleranceUnit", masscal::combine::kToleranceUnit, false},
    {"IntensityScale", masscal::combine::kIntensityScale, true},
    {"Tolerance", masscal::combine::kTolerance, true},
    {"GridTolerance", masscal::combine::kGridTolerance, true},
};

}  // namespace

int CombineGetIniFile(const char* section, std::int32_t* block) {
    if (!section || !block) return 0;
    const bool opened = IsIniLoaded() == 0;
    if (opened && !InitIni(0)) return 0;
    for (const Key& k : kKeys) {
        char buf[81] = {};
        GetIniString(section, k.name, "", buf, sizeof buf);
        if (k.real) {
            double d = 0;
            if (!masscal::dm::parse_double(buf, d) || std::fabs(d) > 3.4e38) continue;
            const auto v = static_cast<float>(d);
            std::memcpy(&block[k.index], &v, sizeof v);
        } else {
            std::int64_t n = 0;
            if (!masscal::dm::parse_int64(buf, n) || n < INT32_MIN || n > INT32_MAX) continue;
            block[k.index] = static_cast<std::int32_t>(n);
        }
    }
    if (opened) FreeIni(0, 0);
    return 1;
}
