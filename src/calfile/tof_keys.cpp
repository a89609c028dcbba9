#include "calfile/tof_keys.hpp"

#include <cstdio>

#include "calfile/profile_keys.hpp"
#include "calfile/text_readers.hpp"
#include "platform/c_locale.hpp"

using masscal::platform::c_atof;
using masscal::platform::c_snprintf;

namespace masscal::calfile {

const char kTofReal[] = "%.7f";

void tof_section_name(char* out, std::size_t size, const tagHASCALTYPE* type) {
    if (type)
        std::snprintf(out, size, "TOF%d", static_cast<int>(*type));
    else
        std::snprintf(out, size, "TOF");
}

void format_reflectron(char* out, std::size_t size, const float* values, int count) {
    std::size_t used = 0;
    out[0] = '\0';
    for (int i = 0; i < count && used + 1 < size; ++i) {
        const int n = c_snprintf(out + used, size - used, "%f ", static_cast<double>(values[i]));
        if (n < 0) break;
        used += static_cast<std::size_t>(n) < size - used ? static_cast<std::size_t>(n) : size - used - 1;
    }
}

void read_reflectron(const char* file, const char* section, float* values) {
    char buf[kValueBufferSize];
    read_text(file, section, "Reflectron", buf, sizeof buf);
    read_float_list(buf, values, CAL_MAX_SEGMENTS);
}

void read_cal_temperature(const char* file, const char* section, float* value) {
    char buf[kValueBufferSize];
    read_text(file, section, "CalTemperature", buf, sizeof buf);
    if (buf[0] != '\0') *value = static_cast<float>(c_atof(buf));
}

}  // namespace masscal::calfile
