// Number text in the "C" locale, whatever locale the host process set: a
// toolkit that calls setlocale() must not turn "0.5" into "0,5" in our files.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace masscal::platform {

// snprintf in the C locale.
int c_snprintf(char* buf, std::size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int c_vsnprintf(char* buf, std::size_t size, const char* fmt, std::va_list ap);

// atof / atoi in the C locale; atoi saturates instead of overflowing.
double c_atof(const char* s);
int c_atoi(const char* s);

}  // namespace masscal::platform
