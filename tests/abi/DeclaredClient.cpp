// A native client compiled against the declared signatures and linked with
// the shared module alone. Every member is named through a pointer of its
// declared type, so a missing or differently qualified export fails to
// compile or to link; each call is compared with the const-correct form.
#include <gtest/gtest.h>

#include <utility>

#include "containers/Arrays.h"
#include "linalg/MatVector.h"
#include "linalg/Matrix.h"
#include "special/Gamma.h"
#include "tfunc/TFunc.h"

// int MatVector::operator==(const MatVector&), the declared non-const form,
// which the header leaves out (it would make C++20 comparisons ambiguous):
// reached by its mangled name, `this` first.
int DeclaredEquals(MatVector* self, const MatVector& v) __asm__("_ZN9MatVectoreqERKS_");

namespace {

double a3[] = {4, 1, 2, 1, 5, 3, 2, 3, 6};  // symmetric positive definite

TEST(DeclaredForms, MatrixDecompositionsAndSolvers) {
    double (Matrix::*det)() = &Matrix::Det;
    double (Matrix::*logAbsDet)() = &Matrix::LogAbsDet;
    double* (Matrix::*solve)(double*) = &Matrix::SolveSystem;
    double* (Matrix::*solveSvd)(double*) = &Matrix::SolveSystemBySVD;
    Matrix* (Matrix::*inverse)() = &Matrix::Inverse;
    Matrix* (Matrix::*cholesky)() = &Matrix::CholeskyDecompse;
    Matrix* (Matrix::*pseudo)() = &Matrix::PseudoInverse;

    Matrix m(3, 3, a3);
    const Matrix& c = m;
    EXPECT_EQ((m.*det)(), c.Det());
    EXPECT_EQ((m.*logAbsDet)(), c.LogAbsDet());
    double b[] = {1, 2, 3};
    double* x = (m.*solve)(b);
    double* xc = c.SolveSystem(b);
    double* y = (m.*solveSvd)(b);
    ASSERT_TRUE(x && xc && y);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(x[i], xc[i]);
        EXPECT_NEAR(y[i], x[i], 1e-12);
    }
    delete[] x;
    delete[] xc;
    delete[] y;
    for (Matrix* (Matrix::*f)() : {inverse, cholesky, pseudo}) {
        Matrix* r = (m.*f)();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->X(), 3);
        delete r;
    }
}

TEST(DeclaredForms, MatrixArithmeticAndStructure) {
    Matrix& (Matrix::*multDiag)(MatVector&) = &Matrix::MultByDiagonalMatrix;
    void (Matrix::*setDiag)(MatVector&) = &Matrix::SetDiagonal;
    Matrix* (Matrix::*transpose)() = &Matrix::Transpose;
    Matrix* (Matrix::*product)(const Matrix&) = &Matrix::operator*;
    double (Matrix::*convolove)(const Matrix&) = &Matrix::Convolove;
    void (Matrix::*maxIndex)(int&, int&) = &Matrix::MaxItemIndex;

    Matrix m(3, 3, a3);
    MatVector d(3);
    d.Set(2.0);
    (m.*multDiag)(d);
    EXPECT_EQ(m(1, 1), 10.0);
    (m.*setDiag)(d);
    EXPECT_EQ(m(2, 2), 2.0);
    Matrix* t = (m.*transpose)();
    Matrix* p = (m.*product)(*t);
    ASSERT_TRUE(t && p);
    EXPECT_EQ((m.*convolove)(*t), std::as_const(m).Convolove(*t));
    EXPECT_EQ((*p)(0, 0), 2 * 2 + 2 * 2 + 4 * 4);
    int x = -1, y = -1;
    (m.*maxIndex)(x, y);
    EXPECT_EQ(x * 10 + y, 21);  // 6 at column 2 of row 1, the first in storage order
    delete t;
    delete p;
}

TEST(DeclaredForms, Vectors) {
    double (MatVector::*distance)(MatVector&, Matrix&) = &MatVector::MahalonabisDistance;
    double (MatVector::*cosineM)(MatVector&, Matrix&) = &MatVector::MahalonabisCosine;
    double (MatVector::*cosine)(MatVector&) = &MatVector::Cosine;
    int (MatVector::*bind)(MatVector&) = &MatVector::Bind;

    double pa[] = {1, 2, 3}, pb[] = {3, 1, -1};
    MatVector a(pa, 3), b(pb, 3);
    Matrix m(3, 3, a3);
    const MatVector& ca = a;
    EXPECT_EQ((a.*distance)(b, m), ca.MahalonabisDistance(b, m));
    EXPECT_EQ((a.*cosineM)(b, m), ca.MahalonabisCosine(b, m));
    EXPECT_EQ((a.*cosine)(b), ca.Cosine(b));
    EXPECT_EQ(DeclaredEquals(&a, MatVector(pa, 3)) * 10 + DeclaredEquals(&a, b), 10);
    double bounds[] = {0, 0.5, 0, 5, 4, 6};
    MatVector box(bounds, 6);
    EXPECT_EQ((a.*bind)(box), 1);
    EXPECT_EQ(a[0] * 100 + a[1] * 10 + a[2], 50 + 20 + 4);
}

TEST(DeclaredForms, ArraysTablesAndFTest) {
    int (DoubleArrayEx::*findMax)(int) = &DoubleArrayEx::FindMaxIndex;
    int (TFunc::*pos)(double) = &TFunc::pos;
    TFunc& (TFunc::*divide)(TFunc&) = &TFunc::operator/=;
    double (*ftest)(double*, int, double*, int, double*) = &FTest;

    DoubleArrayEx records(3, 2);
    records(1, 1) = 7;
    EXPECT_EQ((records.*findMax)(1), 1);
    double x[] = {0, 1, 2}, y[] = {2, 4, 8};
    TFunc f(x, y, 3), g(x, y, 3);
    EXPECT_EQ((f.*pos)(1.4), 1);
    (f.*divide)(g);
    EXPECT_EQ(f.y[2], 1.0);
    double s1[] = {1, 2, 3, 4, 5}, s2[] = {2, 4, 6, 8, 10}, ratio = 0;
    double p = ftest(s1, 5, s2, 5, &ratio);
    EXPECT_EQ(p, FTest(static_cast<const double*>(s1), 5, static_cast<const double*>(s2), 5, &ratio));
    EXPECT_EQ(ratio, 4.0);
}

}  // namespace
