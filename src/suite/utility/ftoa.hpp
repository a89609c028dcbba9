// A number as text with a given precision.
//
// Fixed notation with `precision` decimals (0 to 15), where a magnitude
// below 1 gets as many more decimals as it takes to show `precision`
// significant digits: ftoa(0.5, b, 2) is "0.50", ftoa(2, b, 2) "2.00",
// ftoa(0.001, b, 2) "0.0010", ftoa(123.456, b, 2) "123.46". So a small
// setting such as a threshold of 0.001 survives being written with two
// decimals. Magnitudes of 1e15 and more or below 1e-6 are written as
// mantissa and exponent with `precision` significant digits ("1.2e-07");
// NaN as "nan", infinities as "inf" and "-inf"; a value that rounds to zero
// has no minus sign. The text is always in the C locale.
#pragma once

#include <cstddef>

// The longest text ftoa writes, terminator included.
inline constexpr std::size_t kFtoaBufferSize = 40;

// Writes value into buffer (at least kFtoaBufferSize bytes); returns buffer.
char* ftoa(double value, char* buffer, int precision);
