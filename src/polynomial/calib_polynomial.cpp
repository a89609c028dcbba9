#include <cstdio>
#include <cstring>

#include "masscal/polynomial.hpp"
#include "platform/c_locale.hpp"
#include "polynomial/polynomial_text.hpp"

using masscal::platform::c_atoi;
using masscal::platform::c_snprintf;
using namespace masscal::polynomial;

namespace {
// The record behind operator RawCalibCoEffs*: one per thread, so that
// calibrations on separate threads never overwrite each other's.
thread_local RawCalibCoEffs t_shared_record;
}  // namespace

CCalibPolynomial::CCalibPolynomial() : m_nCalibType(-1) {}

CCalibPolynomial::CCalibPolynomial(int nOrder, const double* pCoeffs)
    : CPolynomial(nOrder, pCoeffs), m_nCalibType(-1) {}

CCalibPolynomial::CCalibPolynomial(const char* psz) : m_nCalibType(-1) { CCalibPolynomial::operator=(psz); }

CCalibPolynomial::CCalibPolynomial(const CPolynomial& src) : m_nCalibType(-1) { CPolynomial::operator=(src); }

CCalibPolynomial::CCalibPolynomial(const RawCalibCoEffs* pRec) : m_nCalibType(-1) { operator=(pRec); }

CCalibPolynomial::CCalibPolynomial(const CCalibPolynomial& src) : CPolynomial(src), m_nCalibType(src.m_nCalibType) {}

CCalibPolynomial::~CCalibPolynomial() = default;

CCalibPolynomial& CCalibPolynomial::operator=(const CCalibPolynomial& src) {
    CPolynomial::operator=(src);
    m_nCalibType = src.m_nCalibType;
    return *this;
}

CCalibPolynomial& CCalibPolynomial::operator=(const RawCalibCoEffs* pRec) {
    ClearCoeffs();
    ClearString();
    if (!pRec) return *this;
    m_nCalibType = pRec->nType;
    // The record has room for six coefficients: a larger order cannot be
    // read from it and is cut to 5 instead of reading past its end.
    int order = pRec->nOrder;
    if (order > CAL_MAX_ORDER) order = CAL_MAX_ORDER;
    if (order < 0) return *this;
    m_pCoeffs = new double[static_cast<size_t>(order) + 1];
    std::memcpy(m_pCoeffs, pRec->dCoeffs, sizeof(double) * (static_cast<size_t>(order) + 1));
    m_nOrder = order;
    return *this;
}

CPolynomial& CCalibPolynomial::operator=(const char* psz) {
    if (!psz) {
        CPolynomial::operator=(psz);
        m_nCalibType = 0;
        return *this;
    }
    const int len = static_cast<int>(std::strlen(psz));
    int pos = 0;
    char token[kMaxTokenLength + 1];
    skip_separators(psz, len, pos, false);
    m_nCalibType = read_number_token(psz, len, pos, token) > 0 ? c_atoi(token) : 0;
    return CPolynomial::operator=(psz + pos);
}

CCalibPolynomial::operator const char*() {
    if (m_pszText) return m_pszText;
    CPolynomial::operator const char*();
    char prefix[16];
    const int n = c_snprintf(prefix, sizeof prefix, "%d ", m_nCalibType);
    const size_t body = std::strlen(m_pszText);
    // The prefix goes in front within the same buffer; a tail that no
    // longer fits is cut.
    const size_t keep = body + static_cast<size_t>(n) < kTextBufferSize ? body : kTextBufferSize - 1 - n;
    std::memmove(m_pszText + n, m_pszText, keep);
    std::memcpy(m_pszText, prefix, static_cast<size_t>(n));
    m_pszText[n + keep] = '\0';
    return m_pszText;
}

CCalibPolynomial::operator RawCalibCoEffs*() const {
    RawCalibCoEffs* rec = &t_shared_record;
    std::memset(rec, 0, sizeof *rec);
    rec->nOrder = m_nOrder;
    rec->nType = m_nCalibType;
    for (int i = 0; i <= m_nOrder && i <= CAL_MAX_ORDER; ++i) rec->dCoeffs[i] = m_pCoeffs[i];
    return rec;
}

void CCalibPolynomial::ConvertToError() {
    if (m_nOrder < 0) return;
    if (m_nOrder == 1 && m_pCoeffs[1] == 1.0) {
        auto* coeffs = new double[1];
        coeffs[0] = -m_pCoeffs[0];
        delete[] m_pCoeffs;
        m_pCoeffs = coeffs;
        m_nOrder = 0;
        return;
    }
    if (m_nOrder >= 1) m_pCoeffs[1] -= 1.0;
    for (int i = 0; i <= m_nOrder; ++i) m_pCoeffs[i] = -m_pCoeffs[i];
}
