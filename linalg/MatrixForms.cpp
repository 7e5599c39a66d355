// Matrix: the members in the form client modules link against (non-const
// members, plain pointers and references). Each forwards to the const form
// beside it, which holds the one implementation.
#include <utility>

#include "linalg/Matrix.h"

Matrix::Matrix(int rows, int cols, double* src) : Matrix(rows, cols, static_cast<const double*>(src)) {}

void Matrix::SetDiagonal(MatVector& d) { SetDiagonal(std::as_const(d)); }
Matrix* Matrix::Transpose() { return std::as_const(*this).Transpose(); }
Matrix* Matrix::GetMinor(IntArray& rows, IntArray& cols) { return std::as_const(*this).GetMinor(rows, cols); }

Matrix* Matrix::operator*(const Matrix& B) { return std::as_const(*this) * B; }
MatVectorCol* Matrix::operator*(const MatVectorCol& v) { return std::as_const(*this) * v; }
void Matrix::Mul(MatVector& out, const MatVectorCol& v) { std::as_const(*this).Mul(out, v); }
void Matrix::RightMultiply(MatVectorCol& out, const MatVectorCol& v) { std::as_const(*this).RightMultiply(out, v); }
Matrix& Matrix::MultByDiagonalMatrix(MatVector& d) { return MultByDiagonalMatrix(std::as_const(d)); }

void Matrix::MaxItemIndex(int& x, int& y) { std::as_const(*this).MaxItemIndex(x, y); }
void Matrix::MinItemIndex(int& x, int& y) { std::as_const(*this).MinItemIndex(x, y); }
double Matrix::Convolove(const Matrix& B) { return std::as_const(*this).Convolove(B); }

double Matrix::Det() { return std::as_const(*this).Det(); }
double Matrix::LogAbsDet() { return std::as_const(*this).LogAbsDet(); }
double* Matrix::SolveSystem(double* b) { return std::as_const(*this).SolveSystem(static_cast<const double*>(b)); }
Matrix* Matrix::Inverse() { return std::as_const(*this).Inverse(); }
Matrix* Matrix::CholeskyDecompse() { return std::as_const(*this).CholeskyDecompse(); }
double* Matrix::SolveSystemBySVD(double* b) {
    return std::as_const(*this).SolveSystemBySVD(static_cast<const double*>(b));
}
Matrix* Matrix::PseudoInverse() { return std::as_const(*this).PseudoInverse(); }
