// TFunc: a function y(x) given by a table of n points with ascending
// abscissae x[0..n-1] and ordinates y[0..n-1].
//
// Between points the function is the straight line through its neighbours;
// beyond the ends it continues as the constant y[0] or y[n-1]. Ascending
// order is assumed by every lookup and never checked.
//
// Storage: the arrays are owned (external == 0: made with array new, released
// by the destructor and by assignment) or borrowed from the caller
// (external != 0: used in place, never released, every modifying member
// writes into them; they must outlive the object). A failed allocation
// raises error 1 (nothing is thrown) and leaves an empty table (n == 0). A negative n or a null array with n > 0 raises
// error 3 and also leaves an empty table.
//
// Errors: division by a zero number, or by a table that is zero where this
// one is not, raises error 10. The calculus members raise nothing except
// error 1 when their result or scratch storage cannot be obtained.
//
// Client modules link against the members in their declared form (non-const
// members, plain pointers and references). Where a const-correct form helps
// callers it stands beside the declared one; the const form holds the
// implementation and the declared form forwards to it (tfunc/TFuncForms.cpp).
#pragma once

#include "host/Export.h"

class MatVector;

class VESK_MATH_API TFunc {
public:
    // n points x[i] = i, y[i] = 0.
    explicit TFunc(int n);
    // Owned copies of n abscissae and ordinates.
    TFunc(double* x, double* y, int n);
    // external != 0: borrows the caller's arrays as they are; 0: copies them.
    TFunc(double* x, double* y, int n, int external);
    // Owned copies of the other's points, whatever its flag.
    TFunc(const TFunc& f);
    // Owned copies of the other's points; the table's own arrays are released
    // when it owns them. Assigning a table to itself changes nothing.
    TFunc& operator=(const TFunc& f);
    ~TFunc();

    // Linear interpolation with constant continuation; 0 for an empty table.
    double operator()(double x) const;
    // Index of the nearest point (a tie goes to the lower index); 0 when empty.
    int pos(double x) const;
    int pos(double x);
    // Index of the last point whose abscissa is not above x; -1 below the
    // table, 0 when empty.
    int Index(double x) const;
    int Index(double x);

    // x[0] and x[n-1]; 0 and 1e-7 for an empty table.
    double minX() const;
    double maxX() const;
    double minX();
    double maxX();
    // Smallest and largest ordinate (the search starts from the first
    // entry, so the answer is always a value of the table); 0 and 1e-7 when
    // empty.
    double minY() const;
    double maxY() const;
    double minY();
    double maxY();
    // Index of the first smallest and first largest ordinate; 0 when empty.
    int minYindex() const;
    int maxYindex() const;
    int minYindex();
    int maxYindex();

    // Element-wise arithmetic on the ordinates; each answers the table.
    // A table operand g is evaluated by its operator() at this table's
    // abscissae. g may be this table itself: it is then read from a copy
    // (error 1, nothing changes, when the copy cannot be made).
    TFunc& operator+=(double c);
    TFunc& operator-=(double c);
    TFunc& operator*=(double c);
    // c == 0: error 10, nothing changes.
    TFunc& operator/=(double c);
    TFunc& operator+=(const TFunc& g);
    TFunc& operator-=(const TFunc& g);
    TFunc& operator*=(const TFunc& g);
    TFunc& operator+=(TFunc& g);
    TFunc& operator-=(TFunc& g);
    TFunc& operator*=(TFunc& g);
    // Where g is 0 the ordinate becomes 0, raising error 10 first when it was
    // not 0; the remaining points are still divided.
    TFunc& operator/=(const TFunc& g);
    TFunc& operator/=(TFunc& g);
    // y[i] = pow(y[i], p).
    TFunc& pow(double p);

    // Abscissa transformations (ordinates unchanged, order not checked):
    // x + d, x * k, ln x, e^x.
    void Shift(double d);
    void ScaleX(double k);
    void LnX();
    void ExpX();

    // Calculus. Definite integrals run between any limits a and b (a > b
    // gives the negated integral) over the interpolated function continued
    // as a constant; they answer 0 for fewer than two points.
    //
    // Cumulative trapezoid integral F(x[i]) from x[0], as a new table owned by
    // the caller (null, error 1, when it cannot be made); F(x[0]) = 0, also
    // for a one-point table.
    TFunc* Integral() const;
    TFunc* Integral();
    // Cumulative integral by parabolas through consecutive triples (exact
    // for polynomials up to degree 2 on any spacing); new table as above.
    TFunc* IntegralSimpson() const;
    TFunc* IntegralSimpson();
    // Integral of the piecewise-linear interpolant from a to b.
    double Integral(double a, double b) const;
    double Integral(double a, double b);
    // Integral from a to b by parabolas over pairs of intervals; spans of
    // fewer than six intervals answer Integral(a, b).
    double IntegralSimpson(double a, double b) const;
    double IntegralSimpson(double a, double b);
    // Abscissae where the interpolant crosses or touches zero, in ascending
    // order of interval, as a new vector owned by the caller (null, error 1,
    // when it cannot be made).
    MatVector* Zero() const;
    MatVector* Zero();
    // The first largest / smallest ordinate and its abscissa, searched from
    // the first point; (0, 0) for an empty table.
    void Max(double& x, double& y) const;
    void Min(double& x, double& y) const;
    void Max(double& x, double& y);
    void Min(double& x, double& y);
    // ln of the integral of e^y(x) over the table, y linear between points;
    // -inf when no interval has non-zero width; NaN with error 1 when the
    // scratch storage cannot be obtained.
    double LogIntegralExp() const;
    double LogIntegralExp();

    int external;
    double* x;
    double* y;
    int n;

private:
    void MakeEmpty();
    void CopyPoints(const double* px, const double* py, int count);
    void Release();
    // Lower and upper bisection indices: x[lo] <= t < x[hi] (n >= 2).
    void Bisect(double t, int& lo, int& hi) const;
    struct Span {
        double lo, hi, sign;
        int i1, i2;
    };
    Span MakeSpan(double a, double b) const;
    double PieceTo(double t, int i) const;
    double PieceFrom(int i, double t) const;
    template <class Op>
    TFunc& CombineWith(const TFunc& g, Op op);
};
