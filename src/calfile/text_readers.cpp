// The value scanners of CCalFile, and the reflectron list built on them.
#include <cctype>
#include <cstring>

#include "calfile/text_readers.hpp"
#include "masscal/calfile.hpp"
#include "masscal/polynomial.hpp"
#include "platform/c_locale.hpp"

using masscal::platform::c_atof;
using masscal::platform::c_atoi;

namespace {

constexpr int kMaxToken = 128;

int is_separator(char c, int& bInQuotes) {
    if (c == '"') {
        bInQuotes = !bInQuotes;
        return 0;
    }
    if (bInQuotes) return 0;
    return c == '\t' || c == '\n' || c == ' ' || c == ',';
}

// A quote is never a separator: the skip stops before it, leaving the flag
// for the reader that takes it.
void skip_separators(const char* buf, int& pos, int len, int& bInQuotes) {
    while (pos < len && buf[pos] != '"' && is_separator(buf[pos], bInQuotes)) ++pos;
}

int is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)); }

// Copies up to kMaxToken characters accepted by pred into token (room for
// kMaxToken + 1) and terminates it; returns the token's length.
template <typename Pred>
int take_token(const char* buf, int& pos, int len, Pred pred, char* token) {
    int n = 0;
    while (pos < len && n < kMaxToken && pred(buf[pos])) token[n++] = buf[pos++];
    token[n] = '\0';
    return n;
}

// A position outside the buffer reads as the end of the buffer.
bool usable(const char* buf, int pos, int len) { return buf && pos >= 0 && pos < len; }

int read_float_token(const char* buf, int& pos, int len, float& value) {
    if (!usable(buf, pos, len)) return 0;
    int quotes = 0;
    skip_separators(buf, pos, len, quotes);
    char token[kMaxToken + 1];
    if (take_token(buf, pos, len, CPolynomial::IsNumber, token) == 0) return 0;
    value = static_cast<float>(c_atof(token));
    return 1;
}

}  // namespace

int CCalFile::IsWhiteSpace(char c, int& bInQuotes) { return is_separator(c, bInQuotes); }

int CCalFile::ReadInt(char* buf, int& pos, int len) {
    if (!usable(buf, pos, len)) return 0;
    int quotes = 0;
    skip_separators(buf, pos, len, quotes);
    char token[kMaxToken + 1];
    if (take_token(buf, pos, len, is_digit, token) == 0) return 0;
    return c_atoi(token);
}

float CCalFile::ReadFloat(char* buf, int& pos, int len) {
    float value = 0.0f;
    read_float_token(buf, pos, len, value);
    return value;
}

void CCalFile::ReadString(char* out, int nMax, char* buf, int len, int& pos) {
    if (!out) return;
    out[0] = '\0';
    if (!usable(buf, pos, len)) return;
    int quotes = 0;
    skip_separators(buf, pos, len, quotes);
    int n = 0;
    while (pos < len && n < nMax && !is_separator(buf[pos], quotes)) out[n++] = buf[pos++];
    out[n] = '\0';
}

namespace masscal::calfile {

int read_float_list(const char* text, float* values, int max) {
    const int len = static_cast<int>(std::strlen(text));
    int pos = 0;
    int n = 0;
    float v = 0.0f;
    // Stops where no number follows, so trailing separators or a stray word
    // never overwrite the values beyond the list.
    while (n < max && read_float_token(text, pos, len, v)) values[n++] = v;
    return n;
}

}  // namespace masscal::calfile
