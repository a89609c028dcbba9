// Polynomials in one variable with double coefficients, their one-line text
// forms, evaluation, derivative and inverse; and the calibration polynomial,
// which adds a calibration type and converts to and from RawCalibCoEffs.
#ifndef MASSCAL_POLYNOMIAL_HPP
#define MASSCAL_POLYNOMIAL_HPP

#include "masscal/export.h"
#include "masscal/records.h"

class MASSCAL_API CPolynomial {
public:
    CPolynomial();
    CPolynomial(int nOrder, const double* pCoeffs);
    explicit CPolynomial(const char* psz);
    CPolynomial(const CPolynomial& src);
    virtual ~CPolynomial();

    CPolynomial& operator=(const CPolynomial& src);
    // Parses the polynomial text: "order c0 + c1x^1 + ...".
    virtual CPolynomial& operator=(const char* psz);
    // The polynomial text; cached until the next assignment.
    virtual operator const char*();

    operator int() const;                 // the order, -1 when empty
    int operator!() const;                // nonzero when empty
    double operator[](int i) const;       // 0.0 outside 0..order
    double& operator[](int i);            // outside 0..order: a scratch value

    double Calc(double x);
    double Deriv(double x);
    // x in [dLow, dHigh] with Calc(x) == y by Newton's method, or -1.0.
    double Inverse(double y, double dLow, double dHigh, double dTol);
    void RemoveZeroes();

    static int IsWhiteSpace(char c);
    static int IsNumber(char c);

protected:
    void ClearCoeffs();
    void ClearString();

    static const int m_snMaxOrder;

    int m_nOrder;
    double* m_pCoeffs;
    char* m_pszText;
};

class MASSCAL_API CCalibPolynomial : public CPolynomial {
public:
    CCalibPolynomial();
    CCalibPolynomial(int nOrder, const double* pCoeffs);
    explicit CCalibPolynomial(const char* psz);
    explicit CCalibPolynomial(const CPolynomial& src);
    explicit CCalibPolynomial(const RawCalibCoEffs* pRec);
    CCalibPolynomial(const CCalibPolynomial& src);
    ~CCalibPolynomial() override;

    CCalibPolynomial& operator=(const CCalibPolynomial& src);
    CCalibPolynomial& operator=(const RawCalibCoEffs* pRec);
    // Parses the calibration polynomial text: "type order c0 + c1x^1 ...".
    CPolynomial& operator=(const char* psz) override;
    operator const char*() override;

    // Fills and returns the calling thread's one shared record; the next
    // conversion overwrites it.
    operator RawCalibCoEffs*() const;

    // f(x) -> x - f(x): a mass-correction polynomial into its error form.
    void ConvertToError();

    int m_nCalibType;
};

#endif
