// Vectors of doubles: MatVector (values and operations), its two
// orientations MatVectorCol and MatVectorRow, and MatVectorColSet, a fixed
// array of column vectors.
//
// Storage: one contiguous block of Len() doubles owned by the vector (array
// allocation). Copying copies the values. A failed allocation raises error 1
// (nothing is thrown) and leaves a vector of length 0 (constructors,
// assignment) or an unchanged one (SetSize); operators answering a new
// vector or matrix then answer null.
//
// Sums run with the index rising, starting from 0.0. Indices are never
// tested. Length mismatches raise no error: operators answering a pointer
// answer null, ScalarMultiply and the measures answer 0.0, operator+ and
// operator- with a vector answer an unchanged copy, in-place operators change
// nothing.
//
// MatVector::DefaultSize, the length of default-constructed vectors, is a
// process-wide value (initially 1) without a lock; SetDefaultSize, the
// conversion of a host value into a MatVectorColSet and the minimizer change
// it, nothing restores it.
//
// Client modules link against the members in their declared form (non-const
// members, plain pointers and references). Where a const-correct form helps
// callers it stands beside the declared one; the const form holds the
// implementation and the declared form forwards to it (linalg/MatVectorForms.cpp).
#pragma once

#include "host/Export.h"

#include "host/VeskHost.h"

class Matrix;

class VESK_MATH_API MatVector {
public:
    // Length DefaultSize, all 0.0.
    MatVector();
    // n values 0.0 (a negative n gives length 0).
    explicit MatVector(int n);
    // Copy of the n values at p.
    MatVector(const double* p, int n);
    MatVector(double* p, int n);
    MatVector(const MatVector& v);
    // Conversion from a host value that reports a dimension (GetDim, negative
    // counts as 0) and presents its elements through GetArray; the elements
    // may be of any numeric host type. Without an element array the values
    // are 0.0. Storage for one value more than the length is obtained, so
    // even an empty vector made this way has storage.
    explicit MatVector(Variable& v);
    ~MatVector();

    // Storage renewed only when the lengths differ; v's values copied.
    MatVector& operator=(const MatVector& v);
    // As the conversion from a host value; storage renewed only when the
    // length changes.
    MatVector& operator=(Variable& v);

    // n values copied from p; storage renewed only when n differs.
    void Set(const double* p, int n);
    void Set(double* p, int n);
    // Resizes to n values keeping the first min(n, Len()) and filling the
    // rest with 0.0; nothing changes when n equals Len() or the storage
    // cannot be obtained.
    void SetSize(int n);
    // Every value becomes d.
    void Set(double d);

    int Len() const { return len; }
    double* GetData() const { return data; }
    operator double*() const { return data; }
    double& operator[](int i) { return data[i]; }
    double operator[](int i) const { return data[i]; }

    // 1 when the lengths are equal and the stored bytes identical, else 0
    // (0.0 and -0.0 differ; identical NaN patterns are equal).
    // (The declared non-const form is exported too, without a declaration
    // here: see linalg/MatVectorForms.cpp.)
    int operator==(const MatVector& v) const;

    // Writes the values as doubles into out, made a plain host array
    // (type 1024) of Len() elements.
    void ExportToVector(Variable& out) const;
    void ExportToVector(Variable& out);
    // Makes out a new instance of the host script class "MVector" (its
    // constructor receives the length) and writes the values into its
    // elements. Without a current processor out is left untouched; when the
    // instance presents no element array only the instance is made.
    void ExportToMVector(Variable& out) const;
    void ExportToMVector(Variable& out);

    static void SetDefaultSize(int n);
    static int GetDefaultSize();
    static int DefaultSize;

    // Measures; x is this vector of length n. Each answers 0.0 when an
    // operand is shorter than n or M is not n x n.
    //   Norm()                  sqrt(sum x(i)^2)
    //   Norm(M)                 sqrt(sum_i x(i) * sum_j M(i,j) x(j))
    //   Distance(v)             sqrt(sum (x(i) - v(i))^2)
    //   MahalonabisDistance(v,M) Norm(M) of d = x - v
    //   Cosine(v)               (x.v) / sqrt((v.v)(x.x)); 0.0 when either
    //                           sum of squares is not above 0
    //   MahalonabisCosine(v,M)  (x M v) / sqrt((v M v)(x M x)); 0.0 when n is
    //                           0 or either quadratic form is not above 0
    //   ScalarMultiply(v)       x.v for equal lengths, else 0.0
    double Norm() const;
    double Norm(const Matrix& M) const;
    double Distance(const MatVector& v) const;
    double MahalonabisDistance(const MatVector& v, const Matrix& M) const;
    double Cosine(const MatVector& v) const;
    double MahalonabisCosine(const MatVector& v, const Matrix& M) const;
    double ScalarMultiply(const MatVector& v) const;
    double Norm();
    double Norm(Matrix& M);
    double Distance(MatVector& v);
    double MahalonabisDistance(MatVector& v, Matrix& M);
    double Cosine(MatVector& v);
    double MahalonabisCosine(MatVector& v, Matrix& M);
    double ScalarMultiply(MatVector& v);

    // Largest or smallest value; the search starts from -1e300 or 1e300, so
    // an empty vector answers that start value.
    double Max() const;
    double Min() const;
    // Index of the first occurrence of the largest or smallest value; 0 for
    // an empty vector.
    int MaxIndex() const;
    int MinIndex() const;
    double Max();
    double Min();
    int MaxIndex();
    int MinIndex();

    // In place, element by element for equal lengths; otherwise nothing.
    MatVector& operator+=(const MatVector& v);
    MatVector& operator-=(const MatVector& v);
    MatVector& operator+=(double d);
    MatVector& operator-=(double d);
    MatVector& operator*=(double d);
    // x(i) /= d(i) for every i below Len(); nothing when d is shorter.
    MatVector& DivByItem(const MatVector& d);
    MatVector& DivByItem(MatVector& d);
    // Clamps value i to [bounds(2i), bounds(2i+1)]: a value below its lower
    // bound becomes the lower bound, otherwise one above its upper bound
    // becomes the upper bound. Answers 1 when a value changed, else 0 (also
    // when bounds holds fewer than 2n values, changing nothing).
    int Bind(const MatVector& bounds);
    int Bind(MatVector& bounds);

protected:
    // Makes the storage hold n values (renewed only when n differs from len);
    // answers false, with length 0, when it cannot be obtained.
    bool Resize(int n);
    void ReadVariable(Variable& v);

    int len;
    double* data;
};

class MatVectorRow;

// Column vector: a MatVector that multiplies a row into a matrix.
class VESK_MATH_API MatVectorCol : public MatVector {
public:
    MatVectorCol() = default;
    explicit MatVectorCol(int n) : MatVector(n) {}
    MatVectorCol(const double* p, int n) : MatVector(p, n) {}
    MatVectorCol(const MatVectorCol& v) = default;
    MatVectorCol(const MatVector& v) : MatVector(v) {}
    explicit MatVectorCol(Variable& v) : MatVector(v) {}

    MatVectorCol& operator=(const MatVectorCol& v);
    MatVectorCol& operator=(const MatVector& v);
    MatVectorCol& operator=(Variable& v);

    MatVectorCol& operator+=(const MatVector& v);
    MatVectorCol& operator-=(const MatVector& v);
    MatVectorCol& operator+=(double d);
    MatVectorCol& operator-=(double d);
    MatVectorCol& operator*=(double d);

    // A copy with the matching in-place operation applied; with a vector of
    // another length the copy is answered unchanged.
    MatVectorCol operator+(const MatVectorCol& v) const;
    MatVectorCol operator-(const MatVectorCol& v) const;
    MatVectorCol operator+(double d) const;
    MatVectorCol operator-(double d) const;
    MatVectorCol operator*(double d) const;
    MatVectorCol operator+(const MatVectorCol& v);
    MatVectorCol operator-(const MatVectorCol& v);
    MatVectorCol operator+(double d);
    MatVectorCol operator-(double d);
    MatVectorCol operator*(double d);

    // Row vector holding a copy of the values.
    MatVectorRow T() const;
    MatVectorRow T();

    // Outer product: new Matrix (caller releases) of Len() rows and r.Len()
    // columns, element (i, j) = r(j) * x(i).
    Matrix* operator*(const MatVectorRow& r) const;
    Matrix* operator*(const MatVectorRow& r);
    // The outer product into out, which is SetSize(Len(), r.Len()) first.
    void RightMultiply(Matrix& out, const MatVectorRow& r) const;
    void RightMultiply(Matrix& out, const MatVectorRow& r);
};

// Row vector: a MatVector that multiplies a column or a matrix from the left.
class VESK_MATH_API MatVectorRow : public MatVector {
public:
    MatVectorRow() = default;
    explicit MatVectorRow(int n) : MatVector(n) {}
    MatVectorRow(const double* p, int n) : MatVector(p, n) {}
    MatVectorRow(const MatVectorRow& v) = default;
    MatVectorRow(const MatVector& v) : MatVector(v) {}
    explicit MatVectorRow(Variable& v) : MatVector(v) {}

    MatVectorRow& operator=(const MatVectorRow& v);
    MatVectorRow& operator=(const MatVector& v);
    MatVectorRow& operator=(Variable& v);

    MatVectorRow& operator+=(const MatVector& v);
    MatVectorRow& operator-=(const MatVector& v);
    MatVectorRow& operator+=(double d);
    MatVectorRow& operator-=(double d);
    MatVectorRow& operator*=(double d);

    MatVectorRow operator+(const MatVectorRow& v) const;
    MatVectorRow operator-(const MatVectorRow& v) const;
    MatVectorRow operator+(double d) const;
    MatVectorRow operator-(double d) const;
    MatVectorRow operator*(double d) const;
    MatVectorRow operator+(const MatVectorRow& v);
    MatVectorRow operator-(const MatVectorRow& v);
    MatVectorRow operator+(double d);
    MatVectorRow operator-(double d);
    MatVectorRow operator*(double d);

    // Column vector holding a copy of the values.
    MatVectorCol T() const;
    MatVectorCol T();

    // ScalarMultiply(c): 0.0 when the lengths differ.
    double operator*(const MatVectorCol& c) const;
    double operator*(const MatVectorCol& c);
    // x * M for Len() == M.Y(): new MatVectorRow (caller releases) of length
    // M.X(), value c = sum_j x(j) M(j, c); null otherwise.
    MatVectorRow* operator*(const Matrix& M) const;
    MatVectorRow* operator*(const Matrix& M);
    // The same sums into out (SetSize(M.X()), then Set(0.0)); out is
    // untouched when Len() != M.Y().
    void RightMultiply(MatVectorRow& out, const Matrix& M) const;
    void RightMultiply(MatVectorRow& out, const Matrix& M);
};

// Fixed-size array of column vectors.
class VESK_MATH_API MatVectorColSet {
public:
    // n column vectors of length DefaultSize, all 0.0.
    explicit MatVectorColSet(int n);
    MatVectorColSet(const MatVectorColSet& s);
    MatVectorColSet(MatVectorColSet& s);
    // Conversion from a host array of arrays: count = GetDim of v (at least
    // 1), len = GetDim of v[0] (at least 1, and 1 when v has no elements);
    // DefaultSize becomes len and stays so. Vector i reads its first len
    // values from element i of v; an element without an element array leaves
    // its vector all 0.0, one holding fewer than len values fills only those.
    explicit MatVectorColSet(Variable& v);
    ~MatVectorColSet();

    // Rebuilt with default-constructed vectors when the counts differ; then
    // every vector is assigned from s's.
    MatVectorColSet& operator=(const MatVectorColSet& s);
    MatVectorColSet& operator=(MatVectorColSet& s);

    MatVectorCol& operator[](int i) { return items[i]; }
    const MatVectorCol& operator[](int i) const { return items[i]; }
    int Len() const { return count; }

private:
    MatVectorCol* items;
    int count;
};
