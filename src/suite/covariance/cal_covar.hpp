// The covariance of a calibration polynomial's coefficients: the packed
// lower triangle of the 6 x 6 matrix (21 values, row by row: element (i, j),
// j <= i, at i(i+1)/2 + j) and its text form.
//
// Text form, tokens separated by blanks:
//     <order> <k> <v1> ... <vk>
// order is the polynomial's order (-1..5), k (0..21) the number of values
// written; the values are the packed elements up to the last non-zero one,
// each printed with "%.17G" in the C locale, so a text read back gives the
// same doubles bit for bit. The elements after the k-th are zero. Example:
//     "5 21 1.2E-08 -3.4000000000000001E-11 ..."
// A text that breaks any of these rules (a missing or extra token, a value
// that is not a finite number, an order or count out of range) reads as all
// zeros: a covariance that cannot be trusted must not widen or narrow a
// confidence band.
#pragma once

class CCalCovar {
public:
    // The number of packed values.
    static constexpr int kValues = 21;

    // From the 21 packed values of a polynomial of the given order (clamped
    // to -1..5), each multiplied by dScale (a factor on the variances). A
    // null pCovar gives all zeros.
    CCalCovar(bool bRootMass, const double* pCovar, int nOrder, double dScale);
    // From the text that Format writes; a text that does not parse gives
    // all zeros.
    CCalCovar(bool bRootMass, const char* pszText);

    // Writes the text form into buf (terminated) and returns its length.
    // When the whole text does not fit in size bytes, buf gets the empty
    // text and the result is 0: a cut text could read back as wrong numbers.
    int Format(char* buf, int size) const;
    // Copies the packed values into out, at most 21 whatever nMax says
    // beyond that; returns the number copied.
    int GetCovariances(double* out, int nMax) const;

    int GetOrder() const { return m_nOrder; }
    bool IsRootMass() const { return m_bRootMass; }

private:
    bool m_bRootMass;
    int m_nOrder;
    double m_dCovar[21];
};
