// Matrix: dense matrix of doubles, row-major, with its arithmetic,
// decompositions and solvers.
//
// Shape: X() columns (the row stride) and Y() rows; indices are always
// (row, column) and are never tested. Every constructed matrix owns a data
// array of X*Y doubles and a row buffer of X doubles (array allocation),
// both possibly empty; negative sizes count as 0.
//
// Storage that cannot be obtained raises error 1 and never throws: a
// constructor then leaves the empty 0 x 0 matrix, operator= and SetSize
// leave the matrix as it was, the in-place operator*= leaves A unchanged,
// and every operation answering a new object answers null (SVD: 0, with w
// and v null). Decompositions whose working copy cannot be made answer
// their documented fallback (0.0 or null) after error 1.
//
// Ownership: every operation answering a Matrix*, MatVectorCol* or double*
// hands over a new object (double arrays: array allocation) that the caller
// releases. A null answer from the arithmetic means the shapes did not fit;
// shape mismatches in the arithmetic raise no error (null, 0.0 or no change).
//
// Order of operations: every sum starts at 0.0 and runs with its index
// rising (Convolove: from the last element down); results are defined by
// that order and are reproducible bit for bit.
//
// Errors (host VeskError, then the stated fallback; nothing is thrown):
//   3   bad host value, wrong shape, failed precondition
//   10  zero pivot
//   1   working storage not obtained
//   VeskModuleErrorCode  SVD without convergence
//
// Client modules link against the members in their declared form (non-const
// members, plain pointers and references). Where a const-correct form helps
// callers it stands beside the declared one; the const form holds the
// implementation and the declared form forwards to it (linalg/MatrixForms.cpp).
#pragma once

#include "host/Export.h"

#include "host/VeskHost.h"
#include "linalg/MatVector.h"

class IntArray;

class VESK_MATH_API Matrix {
public:
    // n x n, all 0.0.
    explicit Matrix(int n);
    // rows x cols, all 0.0.
    Matrix(int rows, int cols);
    // rows x cols, the first rows*cols values of src in row-major order
    // (all 0.0 when src is null).
    Matrix(int rows, int cols, const double* src);
    Matrix(int rows, int cols, double* src);
    Matrix(const Matrix& m);
    // Conversion from a host array of rows, each a host array of numbers of
    // the same non-zero length. Anything else (no rows, an empty first row,
    // rows of unequal length, a row without an element array) raises error 3
    // and gives a 1 x 1 matrix holding 0.0.
    explicit Matrix(Variable& v);
    ~Matrix();

    // Same shape: values copied into the existing storage; otherwise the
    // storage is rebuilt with m's shape (kept as it was when no storage).
    Matrix& operator=(const Matrix& m);
    // New shape with every element 0.0; the same shape changes nothing.
    void SetSize(int rows, int cols);
    // Exchanges shape and storage with m.
    void Move(Matrix& m);

    int X() const { return nX; }
    int Y() const { return nY; }

    double* operator[](int i) { return data + static_cast<long>(i) * nX; }
    const double* operator[](int i) const { return data + static_cast<long>(i) * nX; }
    double& operator()(int i, int j) { return data[static_cast<long>(i) * nX + j]; }
    double operator()(int i, int j) const { return data[static_cast<long>(i) * nX + j]; }
    double& Item(int i, int j) { return (*this)(i, j); }

    // Every element becomes d.
    void Set(double d);
    // (i, i) becomes d, or d[i], for i below min(X, Y); other elements stay.
    // With a vector shorter than min(X, Y) nothing changes.
    void SetDiagonal(double d);
    void SetDiagonal(const MatVector& d);
    void SetDiagonal(MatVector& d);

    // New X x Y matrix, the transpose. T is a second name.
    Matrix* Transpose() const;
    Matrix* Transpose();
    Matrix* T() const { return Transpose(); }
    void SwapColumns(int a, int b);
    // New matrix without the listed rows and columns, the rest in their
    // order. Both lists are sorted ascending in place. Lists holding an
    // index twice or outside the matrix answer null (error 3).
    Matrix* GetMinor(IntArray& rows, IntArray& cols) const;
    Matrix* GetMinor(IntArray& rows, IntArray& cols);

    // Element-wise A + B, A - B for the same shape; null otherwise.
    Matrix* operator+(const Matrix& B) const;
    Matrix* operator-(const Matrix& B) const;
    // In place for the same shape; otherwise nothing changes.
    Matrix& operator+=(const Matrix& B);
    Matrix& operator-=(const Matrix& B);
    // d added to, subtracted from or multiplied with every element.
    Matrix* operator+(double d) const;
    Matrix* operator-(double d) const;
    Matrix* operator*(double d) const;
    Matrix& operator+=(double d);
    Matrix& operator-=(double d);
    Matrix& operator*=(double d);
    // C(i, j) = sum_k A(i, k) B(k, j) for A.X == B.Y: new Y x B.X matrix;
    // null otherwise.
    Matrix* operator*(const Matrix& B) const;
    Matrix* operator*(const Matrix& B);
    // A = A * B for a square B of X rows and columns (one temporary); for any
    // other B, including one of X rows but another column count, A stays as
    // it is.
    Matrix& operator*=(const Matrix& B);
    // r(i) = sum_j A(i, j) v(j) for A.X == v.Len(): new column of length Y;
    // null otherwise.
    MatVectorCol* operator*(const MatVectorCol& v) const;
    MatVectorCol* operator*(const MatVectorCol& v);
    // The same sums into out (resized to Y only when its length differs);
    // out is untouched when A.X != v.Len().
    void Mul(MatVector& out, const MatVectorCol& v) const;
    void Mul(MatVector& out, const MatVectorCol& v);
    // The same sums into out after out.SetSize(Y), out.Set(0.0).
    void RightMultiply(MatVectorCol& out, const MatVectorCol& v) const;
    void RightMultiply(MatVectorCol& out, const MatVectorCol& v);
    // A = A * diag(d) in place for A.X == d.Len(); otherwise nothing changes.
    Matrix& MultByDiagonalMatrix(const MatVector& d);
    Matrix& MultByDiagonalMatrix(MatVector& d);

    // Largest / smallest element; the searches start from -1e300 / 1e300,
    // which an empty matrix answers.
    double Max() const;
    double Min() const;
    // Column x and row y of the first largest / smallest element in storage
    // order (both 0 when no element beats the start value).
    void MaxItemIndex(int& x, int& y) const;
    void MinItemIndex(int& x, int& y) const;
    void MaxItemIndex(int& x, int& y);
    void MinItemIndex(int& x, int& y);
    // sum of A(i, j) B(i, j) over all positions, from the last in storage
    // order down to the first; 0.0 for different shapes.
    double Convolove(const Matrix& B) const;
    double Convolove(const Matrix& B);

    // Decompositions. All but SVD work on a private copy; pivoting is
    // partial (largest magnitude in the column, ties keep the upper row).
    //
    // Det: the determinant. Not square: error 3, 0.0. A zero pivot answers
    // 0.0 without an error. The 0 x 0 matrix answers 1.0 (empty product).
    double Det() const;
    double Det();
    // log |det A|, computed on the copy scaled by the inverse of its mean
    // magnitude. Where that scaling (or the 2 x 2 products) would leave the
    // double range, the rows and columns are scaled by powers of two instead,
    // so every finite log |det| is answered finite (diag(1e200, 1e200) gives
    // 921.03, diag(1e300, 1e-300, 1) gives 0). Not square: error 3, 0.0. A
    // singular matrix answers -inf without an error. The 0 x 0 matrix
    // answers 0.0.
    double LogAbsDet() const;
    double LogAbsDet();
    // x with A x = b (b: n values, unchanged): new array of n doubles.
    // Not square: error 3, null. No storage for the copy of b: error 1, null.
    // Zero pivot, or zero diagonal in the back substitution with a non-zero
    // numerator: error 10, the array as computed so far.
    double* SolveSystem(const double* b) const;
    double* SolveSystem(double* b);
    // The inverse, new n x n matrix. Not square: error 3, null. Zero pivot
    // in any column, the last included: error 10, null.
    Matrix* Inverse() const;
    Matrix* Inverse();
    // Lower-triangular L with L L^T = A, reading only the diagonal and the
    // part above it. Not square: error 3 "Matrix is not symmetric", null.
    // A diagonal value of 0.0 or less met on the way: error 3 "Matrix, with
    // rounding errors, is is not positive defined", null.
    Matrix* CholeskyDecompse() const;
    Matrix* CholeskyDecompse();
    // Singular value decomposition of this m x n matrix, A = U diag(w) V^T:
    // the matrix becomes U (m x n, orthonormal columns), w a new column of n
    // values, non-negative and descending, v a new n x n orthogonal matrix;
    // w and v belong to the caller in every outcome. Answers 1, or 0 when a
    // value needs a 30th iteration (error VeskModuleErrorCode "no
    // convergence in 30 SVD iterations"; the matrix is left partly
    // transformed).
    int SVD(MatVectorCol*& w, Matrix*& v);
    // Minimum-norm least-squares solution of A x = b (b: Y values), singular
    // values at or below 1e-15 times their sum treated as zero: new array of
    // X doubles; all 0.0 when SVD fails, and with error 3 when b is null;
    // null when no storage.
    double* SolveSystemBySVD(const double* b) const;
    double* SolveSystemBySVD(double* b);
    // Moore-Penrose pseudo-inverse V diag(w+) U^T with the same threshold:
    // new X x Y matrix; null when SVD fails.
    Matrix* PseudoInverse() const;
    Matrix* PseudoInverse();

protected:
    void Swap(double& a, double& b);
    // Exchanges two rows of X doubles through the row buffer.
    void Swap(double* rowA, double* rowB);
    // sqrt(a^2 + b^2) without overflow.
    static double Pythag(double a, double b);

private:
    // Storage for rows x cols (negative counts as 0), all 0.0; when it cannot
    // be obtained: error 1, false, and the matrix is left as it was.
    bool Allocate(int rows, int cols);
    // The empty 0 x 0 shape without storage.
    void MakeEmpty();
    void Release();
    // Elimination helpers of the decompositions, used on a private copy of
    // a square matrix. PivotRow: the pivot row for column k (largest
    // |A(i, k)| for i >= k, the first on ties). Eliminate: Gaussian
    // elimination with that pivoting to upper-triangular form, the same row
    // operations on rhs when given, *negative flipped on every exchange and
    // the entries of order exchanged with the rows, when given; answers false
    // at the first zero pivot. Below the diagonal it leaves the factor of
    // each row operation (row i, column k: the factor of step k).
    int PivotRow(int k) const;
    bool Eliminate(double* rhs, bool* negative, int* order);
    // log |det| of a square matrix of order >= 1 on a copy whose rows and
    // then columns are scaled by powers of two (exactly) to a largest
    // magnitude in [0.5, 1), the exponents summed apart: no element leaves
    // the double range, so every finite log |det| comes out finite.
    double LogAbsDetEquilibrated() const;

    int nX;
    int nY;
    double* data;
    double* rowBuffer;
};
