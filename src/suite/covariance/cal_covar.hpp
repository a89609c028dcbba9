// The covariance of a calibration polynomial's coefficients: the packed
// lower triangle of the 6 x 6 matrix (21 values) and its text form.
#pragma once

class CCalCovar {
public:
    // From the 21 packed values of a polynomial of the given order, scaled.
    CCalCovar(bool bRootMass, const double* pCovar, int nOrder, double dScale);
    // From the text that Format writes; a text that does not parse gives
    // all zeros.
    CCalCovar(bool bRootMass, const char* pszText);

    // Writes the text form into buf (cut to size, terminated); returns its
    // length.
    int Format(char* buf, int size) const;
    // Copies the packed values into out, at most 21 whatever nMax says
    // beyond that; returns the number copied.
    int GetCovariances(double* out, int nMax) const;

private:
    bool m_bRootMass;
    int m_nOrder;
    double m_dCovar[21];
};
