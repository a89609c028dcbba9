#include "settings_check.hpp"

#include <cmath>
#include <cstdlib>

#include "cli_support.hpp"
#include "masscal/params.h"

namespace cli {
namespace {

constexpr SettingLimits kLimits[] = {
    {"PeakWindow", 0, 100, false, "Peak window must be between 0 and 100."},
    {"InitialError", 0, 100, false, "Initial error must be between 0 and 100."},
    {"Threshold", 0, 100, false, "Threshold must be between 0 and 100."},
    {"PolyOrder", 1, 5, true, "Polynomial order must be between 1 and 5."},
};

// The settings functions read values through buffers of this size.
constexpr int kValueSize = 81;

}  // namespace

std::string settings_file() {
    const int32_t n = CalSettingsFilePath(nullptr, 0);
    std::string path(static_cast<std::size_t>(n) + 1, '\0');
    CalSettingsFilePath(path.data(), n + 1);
    path.resize(static_cast<std::size_t>(n));
    return path;
}

const SettingLimits* setting_limits(const std::string& key) {
    for (const auto& l : kLimits)
        if (key == l.key) return &l;
    return nullptr;
}

bool parse_setting_number(const std::string& text, double& value) {
    const char* b = text.c_str();
    while (*b == ' ' || *b == '\t') ++b;
    char* end = nullptr;
    value = std::strtod(b, &end);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    return end != b && end && *end == '\0' && std::isfinite(value);
}

bool within(const SettingLimits& limits, double value) {
    return value >= limits.low && value <= limits.high && (!limits.whole || std::floor(value) == value);
}

std::string settings_problem(const std::string& section) {
    for (const auto& l : kLimits) {
        char text[kValueSize];
        CalGetSetting(section.c_str(), l.key, "", text, sizeof text);
        if (!*text) continue;
        double d = 0;
        if (!parse_setting_number(text, d) || !within(l, d))
            return failure_text(settings_file(), "[" + section + "] " + l.key + "=" + text + ": " + l.message);
    }
    return "";
}

}  // namespace cli
