// The whole-text check of a calibration polynomial that the program applies
// before the library's lenient reading: "TYPE ORDER c0 + c1x^1 + ...", with
// exactly ORDER + 1 coefficients, each power in its place.
#pragma once

#include <string_view>

namespace cli {

bool is_polynomial_text(std::string_view text);

}  // namespace cli
