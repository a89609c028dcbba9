// The calibration settings checked as the parameters dialog checks them, for
// values given on the command line and for values found in the settings
// file (which the library reads leniently: "inf" or "abc" pass there).
#pragma once

#include <string>

namespace cli {

struct SettingLimits {
    const char* key;
    double low, high;
    bool whole;
    const char* message;  // the dialog's own words
};

// The settings file as the environment names it now; empty when none.
std::string settings_file();

// The limits of a numeric setting; null for the switches and unknown keys.
const SettingLimits* setting_limits(const std::string& key);

// A finite number and nothing else but blanks around it.
bool parse_setting_number(const std::string& text, double& value);

// Whether value passes the limits.
bool within(const SettingLimits& limits, double value);

// Empty when every numeric setting stored in the section is one the dialog
// accepts (a missing key takes its default); else one line naming the
// settings file, the key and the dialog's message.
std::string settings_problem(const std::string& section);

}  // namespace cli
