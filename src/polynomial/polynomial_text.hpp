// Shared pieces of the polynomial text readers.
#pragma once

#include <cstddef>

namespace masscal::polynomial {

constexpr int kTextBufferSize = 1024;
constexpr int kMaxTokenLength = 128;

// Copies at most 128 consecutive number characters of s from pos into token
// (room for 129) and advances pos; returns the token's length.
int read_number_token(const char* s, int len, int& pos, char* token);

// Skips separators. With skip_powers, a '^' is skipped together with the
// decimal digits that follow it.
void skip_separators(const char* s, int len, int& pos, bool skip_powers);

}  // namespace masscal::polynomial
