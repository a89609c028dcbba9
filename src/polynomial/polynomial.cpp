#include <cmath>
#include <cstdio>
#include <cstring>

#include "masscal/polynomial.hpp"
#include "platform/c_locale.hpp"
#include "polynomial/polynomial_text.hpp"

using masscal::platform::c_atof;
using masscal::platform::c_atoi;
using masscal::platform::c_snprintf;
using namespace masscal::polynomial;

namespace {
// Target of out-of-range writes through operator[]; nothing reads it.
thread_local double t_scratch = 0.0;
}  // namespace

const int CPolynomial::m_snMaxOrder = 20;

CPolynomial::CPolynomial() : m_nOrder(-1), m_pCoeffs(nullptr), m_pszText(nullptr) {}

CPolynomial::CPolynomial(int nOrder, const double* pCoeffs) : CPolynomial() {
    if (nOrder < 0 || !pCoeffs) return;
    m_pCoeffs = new double[static_cast<size_t>(nOrder) + 1];
    std::memcpy(m_pCoeffs, pCoeffs, sizeof(double) * (static_cast<size_t>(nOrder) + 1));
    m_nOrder = nOrder;
}

CPolynomial::CPolynomial(const char* psz) : CPolynomial() { CPolynomial::operator=(psz); }

CPolynomial::CPolynomial(const CPolynomial& src) : CPolynomial() { CPolynomial::operator=(src); }

CPolynomial::~CPolynomial() {
    ClearCoeffs();
    ClearString();
}

CPolynomial& CPolynomial::operator=(const CPolynomial& src) {
    if (this == &src) return *this;
    ClearCoeffs();
    ClearString();
    if (src.m_nOrder >= 0 && src.m_pCoeffs) {
        m_pCoeffs = new double[static_cast<size_t>(src.m_nOrder) + 1];
        std::memcpy(m_pCoeffs, src.m_pCoeffs, sizeof(double) * (static_cast<size_t>(src.m_nOrder) + 1));
        m_nOrder = src.m_nOrder;
    }
    return *this;
}

CPolynomial& CPolynomial::operator=(const char* psz) {
    ClearCoeffs();
    ClearString();
    if (!psz) return *this;
    const int len = static_cast<int>(std::strlen(psz));
    int pos = 0;
    char token[kMaxTokenLength + 1];

    skip_separators(psz, len, pos, false);
    if (read_number_token(psz, len, pos, token) == 0) return *this;
    const int order = c_atoi(token);
    if (order < 0) return *this;

    // A text of len characters holds fewer than len more numbers; every
    // coefficient past them would stay 0.0 and be trimmed below, so the
    // array is not made larger than the text can fill.
    const int room = order < len ? order : len;
    m_pCoeffs = new double[static_cast<size_t>(room) + 1]();
    m_nOrder = room;
    for (int i = 0; i <= room; ++i) {
        skip_separators(psz, len, pos, true);
        if (read_number_token(psz, len, pos, token) > 0) m_pCoeffs[i] = c_atof(token);
    }
    RemoveZeroes();
    return *this;
}

CPolynomial::operator const char*() {
    if (m_pszText) return m_pszText;
    m_pszText = new char[kTextBufferSize];
    char* p = m_pszText;
    size_t room = kTextBufferSize;
    auto append = [&](int n) {
        // Past the buffer the text is cut; it stays terminated.
        const size_t used = n < 0 ? 0 : static_cast<size_t>(n);
        const size_t step = used < room ? used : room - 1;
        p += step;
        room -= step;
    };
    append(c_snprintf(p, room, "%d", m_nOrder));
    if (m_nOrder >= 0) {
        append(c_snprintf(p, room, " %.16G", m_pCoeffs[0]));
        for (int i = 1; i <= m_nOrder && room > 1; ++i) append(c_snprintf(p, room, " + %.16Gx^%d", m_pCoeffs[i], i));
    }
    return m_pszText;
}

CPolynomial::operator int() const { return m_nOrder; }

int CPolynomial::operator!() const { return m_nOrder < 0; }

double CPolynomial::operator[](int i) const { return (i >= 0 && i <= m_nOrder) ? m_pCoeffs[i] : 0.0; }

double& CPolynomial::operator[](int i) { return (i >= 0 && i <= m_nOrder) ? m_pCoeffs[i] : t_scratch; }

double CPolynomial::Calc(double x) {
    if (m_nOrder < 0) return 0.0;
    // A power sum from the lowest power up, not Horner: stored calibrations
    // are evaluated exactly as they always were.
    double sum = m_pCoeffs[0];
    double p = 1.0;
    for (int i = 1; i <= m_nOrder; ++i) {
        p = p * x;
        sum = sum + p * m_pCoeffs[i];
    }
    return sum;
}

double CPolynomial::Deriv(double x) {
    if (m_nOrder < 1) return 0.0;
    double sum = m_pCoeffs[1];
    double p = 1.0;
    for (int i = 2; i <= m_nOrder; ++i) {
        p = p * x;
        sum = sum + (static_cast<double>(i) * p) * m_pCoeffs[i];
    }
    return sum;
}

double CPolynomial::Inverse(double y, double dLow, double dHigh, double dTol) {
    double x = (dLow + dHigh) * 0.5;
    for (int step = 0; step < 20; ++step) {
        const double dx = (Calc(x) - y) / Deriv(x);
        x = x - dx;
        // Bounds first: a step that converges outside the interval fails.
        if (x < dLow || x > dHigh || std::isnan(x)) return -1.0;
        if (std::fabs(dx) < dTol) return x;
    }
    return -1.0;
}

void CPolynomial::RemoveZeroes() {
    if (m_nOrder < 0) return;
    int zeros = 0;
    for (int i = m_nOrder; i >= 0 && m_pCoeffs[i] == 0.0; --i) ++zeros;
    if (zeros == 0) return;
    if (zeros > m_nOrder) {
        ClearCoeffs();
        return;
    }
    const int order = m_nOrder - zeros;
    auto* coeffs = new double[static_cast<size_t>(order) + 1];
    std::memcpy(coeffs, m_pCoeffs, sizeof(double) * (static_cast<size_t>(order) + 1));
    delete[] m_pCoeffs;
    m_pCoeffs = coeffs;
    m_nOrder = order;
}

void CPolynomial::ClearCoeffs() {
    if (!m_pCoeffs) return;
    delete[] m_pCoeffs;
    m_pCoeffs = nullptr;
    m_nOrder = -1;
}

void CPolynomial::ClearString() {
    delete[] m_pszText;
    m_pszText = nullptr;
}

int CPolynomial::IsWhiteSpace(char c) {
    switch (c) {
        case '\0': case '\t': case '\n': case ' ': case '+': case ',': case '^': case 'x': return 1;
        default: return 0;
    }
}

int CPolynomial::IsNumber(char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e';
}
