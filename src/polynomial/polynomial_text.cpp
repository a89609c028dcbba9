#include "polynomial/polynomial_text.hpp"

#include <cctype>

#include "masscal/polynomial.hpp"

namespace masscal::polynomial {

int read_number_token(const char* s, int len, int& pos, char* token) {
    int n = 0;
    while (pos < len && n < kMaxTokenLength && CPolynomial::IsNumber(s[pos])) token[n++] = s[pos++];
    token[n] = '\0';
    return n;
}

void skip_separators(const char* s, int len, int& pos, bool skip_powers) {
    while (pos < len && CPolynomial::IsWhiteSpace(s[pos])) {
        if (skip_powers && s[pos] == '^') {
            ++pos;
            while (pos < len && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
        } else {
            ++pos;
        }
    }
}

}  // namespace masscal::polynomial
