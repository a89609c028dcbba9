#include "suite/covariance/cal_covar.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/c_locale.hpp"

namespace {

constexpr int kMinOrder = -1;
constexpr int kMaxOrder = 5;

int clamp_order(int n) { return n < kMinOrder ? kMinOrder : (n > kMaxOrder ? kMaxOrder : n); }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* skip_blanks(const char* p, const char* end) {
    while (p < end && is_blank(*p)) ++p;
    return p;
}

// One token that must end at a blank or at the end of the text.
template <class T>
bool read_token(const char*& p, const char* end, T& value) {
    p = skip_blanks(p, end);
    if (p == end) return false;
    const auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || (next < end && !is_blank(*next))) return false;
    p = next;
    return true;
}

}  // namespace

CCalCovar::CCalCovar(bool bRootMass, const double* pCovar, int nOrder, double dScale)
    : m_bRootMass(bRootMass), m_nOrder(clamp_order(nOrder)), m_dCovar{} {
    if (!pCovar) return;
    // pCovar may be a record's 4-aligned member: copy the bytes first.
    std::memcpy(m_dCovar, pCovar, sizeof m_dCovar);
    for (double& v : m_dCovar) v *= dScale;
}

CCalCovar::CCalCovar(bool bRootMass, const char* pszText) : m_bRootMass(bRootMass), m_nOrder(0), m_dCovar{} {
    if (!pszText) return;
    const char* p = pszText;
    const char* const end = pszText + std::strlen(pszText);
    int order = 0, count = 0;
    if (!read_token(p, end, order) || order < kMinOrder || order > kMaxOrder) return;
    if (!read_token(p, end, count) || count < 0 || count > kValues) return;
    double values[kValues] = {};
    for (int i = 0; i < count; ++i)
        if (!read_token(p, end, values[i]) || !std::isfinite(values[i])) return;
    if (skip_blanks(p, end) != end) return;
    m_nOrder = order;
    std::memcpy(m_dCovar, values, sizeof values);
}

int CCalCovar::Format(char* buf, int size) const {
    if (!buf || size <= 0) return 0;
    int count = kValues;
    // Only +0 is left out: a -0 must read back as -0.
    while (count > 0 && m_dCovar[count - 1] == 0.0 && !std::signbit(m_dCovar[count - 1])) --count;
    // Room for the longest text: 21 values of at most 24 characters each.
    char text[kValues * 26 + 32];
    int len = masscal::platform::c_snprintf(text, sizeof text, "%d %d", m_nOrder, count);
    for (int i = 0; i < count; ++i)
        len += masscal::platform::c_snprintf(text + len, sizeof text - static_cast<std::size_t>(len), " %.17G",
                                             m_dCovar[i]);
    if (len >= size) {
        buf[0] = '\0';
        return 0;
    }
    std::memcpy(buf, text, static_cast<std::size_t>(len) + 1);
    return len;
}

int CCalCovar::GetCovariances(double* out, int nMax) const {
    if (!out || nMax <= 0) return 0;
    const int n = nMax < kValues ? nMax : kValues;
    std::memcpy(out, m_dCovar, static_cast<std::size_t>(n) * sizeof(double));
    return n;
}
