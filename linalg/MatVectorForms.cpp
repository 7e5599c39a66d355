// Vectors: the members in the form client modules link against (non-const
// members, plain pointers and references). Each forwards to the const form
// beside it, which holds the one implementation.
#include <utility>

#include "linalg/MatVector.h"
#include "linalg/Matrix.h"

MatVector::MatVector(double* p, int n) : MatVector(static_cast<const double*>(p), n) {}
void MatVector::Set(double* p, int n) { Set(static_cast<const double*>(p), n); }

// int MatVector::operator==(const MatVector&), the declared non-const form,
// exported under its mangled name for clients compiled against that
// declaration (a member function receives `this` as its first argument, like
// this function). It is not declared in the class: beside the const form it
// would make comparisons ambiguous under C++20's reversed operators.
VESK_MATH_API int MatVectorEqualsDeclared(MatVector* self, const MatVector& v) __asm__("_ZN9MatVectoreqERKS_");
int MatVectorEqualsDeclared(MatVector* self, const MatVector& v) { return std::as_const(*self) == v; }

void MatVector::ExportToVector(Variable& out) { std::as_const(*this).ExportToVector(out); }
void MatVector::ExportToMVector(Variable& out) { std::as_const(*this).ExportToMVector(out); }

double MatVector::Norm() { return std::as_const(*this).Norm(); }
double MatVector::Norm(Matrix& M) { return std::as_const(*this).Norm(std::as_const(M)); }
double MatVector::Distance(MatVector& v) { return std::as_const(*this).Distance(std::as_const(v)); }
double MatVector::MahalonabisDistance(MatVector& v, Matrix& M) {
    return std::as_const(*this).MahalonabisDistance(std::as_const(v), std::as_const(M));
}
double MatVector::Cosine(MatVector& v) { return std::as_const(*this).Cosine(std::as_const(v)); }
double MatVector::MahalonabisCosine(MatVector& v, Matrix& M) {
    return std::as_const(*this).MahalonabisCosine(std::as_const(v), std::as_const(M));
}
double MatVector::ScalarMultiply(MatVector& v) { return std::as_const(*this).ScalarMultiply(std::as_const(v)); }
double MatVector::Max() { return std::as_const(*this).Max(); }
double MatVector::Min() { return std::as_const(*this).Min(); }
int MatVector::MaxIndex() { return std::as_const(*this).MaxIndex(); }
int MatVector::MinIndex() { return std::as_const(*this).MinIndex(); }
MatVector& MatVector::DivByItem(MatVector& d) { return DivByItem(std::as_const(d)); }
int MatVector::Bind(MatVector& bounds) { return Bind(std::as_const(bounds)); }

MatVectorCol MatVectorCol::operator+(const MatVectorCol& v) { return std::as_const(*this) + v; }
MatVectorCol MatVectorCol::operator-(const MatVectorCol& v) { return std::as_const(*this) - v; }
MatVectorCol MatVectorCol::operator+(double d) { return std::as_const(*this) + d; }
MatVectorCol MatVectorCol::operator-(double d) { return std::as_const(*this) - d; }
MatVectorCol MatVectorCol::operator*(double d) { return std::as_const(*this) * d; }
MatVectorRow MatVectorCol::T() { return std::as_const(*this).T(); }
Matrix* MatVectorCol::operator*(const MatVectorRow& r) { return std::as_const(*this) * r; }
void MatVectorCol::RightMultiply(Matrix& out, const MatVectorRow& r) { std::as_const(*this).RightMultiply(out, r); }

MatVectorRow MatVectorRow::operator+(const MatVectorRow& v) { return std::as_const(*this) + v; }
MatVectorRow MatVectorRow::operator-(const MatVectorRow& v) { return std::as_const(*this) - v; }
MatVectorRow MatVectorRow::operator+(double d) { return std::as_const(*this) + d; }
MatVectorRow MatVectorRow::operator-(double d) { return std::as_const(*this) - d; }
MatVectorRow MatVectorRow::operator*(double d) { return std::as_const(*this) * d; }
MatVectorCol MatVectorRow::T() { return std::as_const(*this).T(); }
double MatVectorRow::operator*(const MatVectorCol& c) { return std::as_const(*this) * c; }
MatVectorRow* MatVectorRow::operator*(const Matrix& M) { return std::as_const(*this) * M; }
void MatVectorRow::RightMultiply(MatVectorRow& out, const Matrix& M) { std::as_const(*this).RightMultiply(out, M); }

MatVectorColSet::MatVectorColSet(MatVectorColSet& s) : MatVectorColSet(std::as_const(s)) {}
MatVectorColSet& MatVectorColSet::operator=(MatVectorColSet& s) { return *this = std::as_const(s); }
