// Decompositions and solvers: defining properties on generated matrices,
// high-precision reference values, closed forms and the failure answers.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "LinalgTestUtil.h"
#include "host/Plugin.h"

namespace {

using linalg_test::DiffInf;
using linalg_test::FromRows;
using linalg_test::Generator;
using linalg_test::Identity;
using linalg_test::kEps;
using linalg_test::LinalgTest;
using linalg_test::NormInf;
using linalg_test::Product;
using linalg_test::SameBits;
using linalg_test::Transposed;

using DecompTest = LinalgTest;

// Tolerance tiers, in units of eps times a size factor. Partial-pivoting
// elimination and Householder/QR methods are backward stable with errors
// growing at most linearly in the order for these inputs.
constexpr double kBackward = 8.0;   // residuals relative to ||A|| ||x||
constexpr double kForward = 4.0;    // forward errors relative to cond(A)

Matrix Diagonal(const MatVector& w, int rows, int cols) {
    Matrix d(rows, cols);
    for (int i = 0; i < std::min(rows, cols); ++i) d(i, i) = w[i];
    return d;
}

// The generated matrices of the property tests.
struct Case {
    std::string name;
    Matrix a;
};

std::vector<Case> SquareCases() {
    Generator g(2026);
    std::vector<Case> cases;
    for (int n : {1, 2, 3, 4, 5, 8, 13, 24, 40}) {
        cases.push_back({"random" + std::to_string(n), g.Random(n, n)});
        for (double cond : {1e6, 1e12}) {
            std::vector<double> s(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                s[static_cast<size_t>(i)] = n == 1 ? 1.0 : std::pow(cond, -double(i) / (n - 1));
            cases.push_back({"cond" + std::to_string(n), g.WithSingularValues(n, n, s)});
        }
    }
    return cases;
}

std::vector<Case> RectangularCases() {
    Generator g(77);
    std::vector<Case> cases;
    const int shapes[][2] = {{1, 1}, {5, 5}, {7, 3}, {3, 7}, {20, 6}, {6, 20}, {31, 31}, {1, 4}, {4, 1}};
    for (const auto& s : shapes) {
        cases.push_back({"random", g.Random(s[0], s[1])});
        const int k = std::min(s[0], s[1]);
        // Rank-deficient: about half the singular values exactly zero, the
        // others spread over six orders of magnitude.
        std::vector<double> sv;
        for (int i = 0; i < (k + 1) / 2; ++i) sv.push_back(std::pow(10.0, -6.0 * i / std::max(1, k)));
        cases.push_back({"rank" + std::to_string(sv.size()), g.WithSingularValues(s[0], s[1], sv)});
    }
    Matrix zero(4, 3);
    cases.push_back({"zero", zero});
    return cases;
}

TEST_F(DecompTest, SolveInverseAndDeterminantOnGeneratedMatrices) {
    Generator g(5);
    for (const Case& c : SquareCases()) {
        const Matrix& a = c.a;
        const int n = a.X();
        const double normA = NormInf(a);
        std::vector<double> b(static_cast<size_t>(n));
        for (auto& v : b) v = g.Next();
        const std::vector<double> bCopy = b;
        std::unique_ptr<double[]> x(a.SolveSystem(b.data()));
        ASSERT_TRUE(x) << c.name;
        EXPECT_EQ(b, bCopy) << c.name;
        Matrix xm(n, 1, x.get());
        Matrix bm(n, 1, b.data());
        EXPECT_LE(DiffInf(Product(a, xm), bm),
                  kBackward * n * kEps * (normA * NormInf(xm) + NormInf(bm)))
            << c.name;

        std::unique_ptr<Matrix> inv(a.Inverse());
        ASSERT_TRUE(inv) << c.name;
        EXPECT_LE(DiffInf(Product(a, *inv), Identity(n)), kBackward * n * kEps * normA * NormInf(*inv))
            << c.name;

        // det(A) and log|det A| against the product of the singular values,
        // an independent route.
        Matrix u(a);
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        ASSERT_EQ(u.SVD(w, v), 1);
        double logSv = 0.0;
        for (int i = 0; i < n; ++i) logSv += std::log((*w)[i]);
        const double cond = NormInf(a) * NormInf(*inv);
        EXPECT_NEAR(a.LogAbsDet(), logSv, kForward * n * kEps * cond) << c.name;
        EXPECT_NEAR(std::log(std::fabs(a.Det())), logSv, kForward * n * kEps * cond) << c.name;
        delete w;
        delete v;
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(DecompTest, CholeskyOnGeneratedSymmetricPositiveMatrices) {
    Generator g(9);
    for (int n : {1, 2, 3, 6, 17, 40}) {
        for (double shift : {double(n), 1e-8}) {
            Matrix b = g.Random(n, n);
            Matrix a = Product(Transposed(b), b);
            for (int i = 0; i < n; ++i) a(i, i) += shift;
            std::unique_ptr<Matrix> l(a.CholeskyDecompse());
            ASSERT_TRUE(l) << n;
            for (int i = 0; i < n; ++i) {
                EXPECT_GT((*l)(i, i), 0.0);
                for (int j = i + 1; j < n; ++j) EXPECT_EQ((*l)(i, j), 0.0);
            }
            EXPECT_LE(DiffInf(Product(*l, Transposed(*l)), a), kBackward * n * kEps * NormInf(a)) << n;
        }
    }
}

TEST_F(DecompTest, SvdPseudoInverseAndLeastSquaresOnGeneratedMatrices) {
    Generator g(13);
    for (const Case& c : RectangularCases()) {
        const Matrix& a = c.a;
        const int m = a.Y(), n = a.X(), big = std::max(m, n);
        const double normA = NormInf(a);
        const double tol = kBackward * big * kEps;
        Matrix u(a);
        MatVectorCol* wp = nullptr;
        Matrix* vp = nullptr;
        ASSERT_EQ(u.SVD(wp, vp), 1) << c.name;
        std::unique_ptr<MatVectorCol> w(wp);
        std::unique_ptr<Matrix> v(vp);
        ASSERT_EQ(w->Len(), n);
        for (int i = 0; i < n; ++i) {
            EXPECT_GE((*w)[i], 0.0) << c.name;
            if (i > 0) {
                EXPECT_GE((*w)[i - 1], (*w)[i]) << c.name;
            }
        }
        EXPECT_LE(DiffInf(Product(Product(u, Diagonal(*w, n, n)), Transposed(*v)), a),
                  tol * std::max(normA, 1e-300))
            << c.name;
        EXPECT_LE(DiffInf(Product(Transposed(*v), *v), Identity(n)), tol * n) << c.name;
        // Columns of U belonging to the leading min(m, n) values are
        // orthonormal (with m < n the others are zero).
        const int k = std::min(m, n);
        Matrix uk(m, k);
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < k; ++j) uk(i, j) = u(i, j);
        EXPECT_LE(DiffInf(Product(Transposed(uk), uk), Identity(k)), tol * k) << c.name;

        // The four Moore-Penrose conditions.
        std::unique_ptr<Matrix> x(a.PseudoInverse());
        ASSERT_TRUE(x) << c.name;
        ASSERT_EQ(x->Y(), n);
        ASSERT_EQ(x->X(), m);
        const double normX = NormInf(*x);
        Matrix ax = Product(a, *x);
        Matrix xa = Product(*x, a);
        const double scale = normA * normX;
        EXPECT_LE(DiffInf(Product(ax, a), a), tol * scale * normA + 1e-300) << c.name;
        EXPECT_LE(DiffInf(Product(xa, *x), *x), tol * scale * normX + 1e-300) << c.name;
        EXPECT_LE(DiffInf(Transposed(ax), ax), tol * scale + 1e-300) << c.name;
        EXPECT_LE(DiffInf(Transposed(xa), xa), tol * scale + 1e-300) << c.name;

        // Minimum-norm least squares: the residual is orthogonal to the
        // columns of A (normal equations) and x lies in the row space of A,
        // that is x = A^T y, which is X A x = x for the projector X A.
        std::vector<double> b(static_cast<size_t>(m));
        for (auto& e : b) e = g.Next();
        std::unique_ptr<double[]> sol(a.SolveSystemBySVD(b.data()));
        ASSERT_TRUE(sol);
        Matrix xs(n, 1, sol.get());
        Matrix bm(m, 1, b.data());
        Matrix r = Product(a, xs);
        r -= bm;
        EXPECT_LE(NormInf(Product(Transposed(a), r)),
                  tol * normA * normX * normA * (normA * NormInf(xs) + NormInf(bm)) + 1e-300)
            << c.name;
        EXPECT_LE(DiffInf(Product(xa, xs), xs), tol * scale * NormInf(xs) + 1e-300) << c.name;
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

// Reference table: determinants, log-determinants and singular values of
// Hilbert, Vandermonde, Kahan and graded matrices at high precision.
TEST_F(DecompTest, AgreesWithHighPrecisionReference) {
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/linalg_reference.txt");
    ASSERT_TRUE(in) << "missing tests/data/linalg_reference.txt";
    std::string line;
    int cases = 0;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string name, bar;
        int rows = 0, cols = 0;
        s >> name >> rows >> cols >> bar;
        std::vector<double> entries(static_cast<size_t>(rows) * cols);
        for (auto& e : entries) s >> e;
        // Rectangular matrices carry "nan" here, which operator>> cannot read.
        std::string detText, logText, condText;
        s >> bar >> detText >> logText >> condText >> bar;
        const double det = std::strtod(detText.c_str(), nullptr);
        const double logDet = std::strtod(logText.c_str(), nullptr);
        const double cond = std::strtod(condText.c_str(), nullptr);
        std::vector<double> sv(static_cast<size_t>(std::min(rows, cols)));
        for (auto& e : sv) s >> e;
        ASSERT_TRUE(s) << name;
        ++cases;
        const Matrix a(rows, cols, entries.data());
        const int big = std::max(rows, cols);
        if (rows == cols) {
            const double rel = kForward * rows * kEps * cond;
            EXPECT_NEAR(a.Det(), det, rel * std::fabs(det)) << name;
            EXPECT_NEAR(a.LogAbsDet(), logDet, rel) << name;
        }
        Matrix u(a);
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        ASSERT_EQ(u.SVD(w, v), 1);
        for (size_t i = 0; i < sv.size(); ++i)
            EXPECT_NEAR((*w)[static_cast<int>(i)], sv[i], kBackward * big * kEps * sv[0]) << name << " " << i;
        delete w;
        delete v;
    }
    EXPECT_EQ(cases, 18);
}

TEST_F(DecompTest, RotationsHaveClosedForms) {
    for (double angle : {0.3, 1.0, 2.5, -1.2}) {
        const double c = std::cos(angle), s = std::sin(angle);
        Matrix r = FromRows({{c, -s, 0}, {s, c, 0}, {0, 0, 1}});
        EXPECT_NEAR(r.Det(), 1.0, 4 * kEps);
        EXPECT_NEAR(r.LogAbsDet(), 0.0, 8 * kEps);
        std::unique_ptr<Matrix> inv(r.Inverse()), pinv(r.PseudoInverse());
        EXPECT_LE(DiffInf(*inv, Transposed(r)), 4 * kEps);
        EXPECT_LE(DiffInf(*pinv, Transposed(r)), 8 * kEps);
        Matrix u(r);
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        ASSERT_EQ(u.SVD(w, v), 1);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR((*w)[i], 1.0, 8 * kEps);
        delete w;
        delete v;
    }
}

TEST_F(DecompTest, DeterminantCases) {
    EXPECT_EQ(FromRows({{0, 1}, {1, 0}}).Det(), -1.0);
    // First column (1, 3, 2): rows 0 and 1 are exchanged once.
    EXPECT_EQ(FromRows({{1, 2, 3}, {3, 2, 1}, {2, 1, 3}}).Det(), -12.0);
    EXPECT_EQ(FromRows({{7}}).Det(), 7.0);
    EXPECT_EQ(Matrix(0).Det(), 1.0);
    EXPECT_EQ(Matrix(0).LogAbsDet(), 0.0);
    EXPECT_DOUBLE_EQ(FromRows({{2, 0}, {0, 3}}).LogAbsDet(), std::log(6.0));
    EXPECT_DOUBLE_EQ(FromRows({{2, 0, 0}, {0, 3, 0}, {0, 0, 4}}).LogAbsDet(), std::log(24.0));
    EXPECT_DOUBLE_EQ(FromRows({{-0.5}}).LogAbsDet(), std::log(0.5));

    // Singular: Det answers 0.0; LogAbsDet the logarithm of that zero.
    const Matrix singular = FromRows({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
    const double minusInf = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(singular.Det(), 0.0);
    EXPECT_EQ(singular.LogAbsDet(), minusInf);
    EXPECT_EQ(Matrix(3).LogAbsDet(), minusInf);
    EXPECT_EQ(FromRows({{1, 2}, {2, 4}}).LogAbsDet(), minusInf);
    EXPECT_TRUE(vrt::Errors().empty());

    EXPECT_EQ(Matrix(2, 3).Det(), 0.0);
    EXPECT_EQ(Matrix(2, 3).LogAbsDet(), 0.0);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
}

TEST_F(DecompTest, SolveAndInverseFailures) {
    const Matrix singular = FromRows({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
    const double b[3] = {1, 2, 3};
    std::unique_ptr<double[]> x(singular.SolveSystem(b));
    ASSERT_TRUE(x);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(x[2], 0.0);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});

    vrt::ClearErrors();
    EXPECT_EQ(Matrix(2, 3).SolveSystem(b), nullptr);
    EXPECT_EQ(Matrix(2, 3).Inverse(), nullptr);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));

    // The zero appears only in the last pivot: still singular.
    vrt::ClearErrors();
    EXPECT_EQ(FromRows({{1, 2}, {2, 4}}).Inverse(), nullptr);
    EXPECT_EQ(FromRows({{2, 0, 0}, {0, 3, 0}, {0, 0, 0}}).Inverse(), nullptr);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{10, 10}));

    vrt::ClearErrors();
    std::unique_ptr<Matrix> swap(FromRows({{0, 1}, {1, 0}}).Inverse());
    EXPECT_TRUE(SameBits(*swap, FromRows({{0, 1}, {1, 0}})));
    std::unique_ptr<Matrix> empty(Matrix(0).Inverse());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->X(), 0);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(DecompTest, CholeskyCases) {
    std::unique_ptr<Matrix> l(FromRows({{4, 2}, {2, 3}}).CholeskyDecompse());
    ASSERT_TRUE(l);
    EXPECT_TRUE(SameBits(*l, FromRows({{2, 0}, {1, std::sqrt(2.0)}})));
    EXPECT_EQ(FromRows({{1, 2}, {2, 1}}).CholeskyDecompse(), nullptr);
    EXPECT_EQ(Matrix(2, 3).CholeskyDecompse(), nullptr);
    ASSERT_EQ(vrt::Errors().size(), 2u);
    EXPECT_EQ(vrt::Errors()[0].code, 3);
    EXPECT_EQ(vrt::Errors()[0].text, "Matrix, with rounding errors, is is not positive defined");
    EXPECT_EQ(vrt::Errors()[1].code, 3);
    EXPECT_EQ(vrt::Errors()[1].text, "Matrix is not symmetric");
}

TEST_F(DecompTest, SvdOrderingAndSmallPseudoInverse) {
    Matrix a = FromRows({{1, 0, 0}, {0, 3, 0}, {0, 0, 2}});
    MatVectorCol* w = nullptr;
    Matrix* v = nullptr;
    ASSERT_EQ(a.SVD(w, v), 1);
    EXPECT_EQ((*w)[0], 3.0);
    EXPECT_EQ((*w)[1], 2.0);
    EXPECT_EQ((*w)[2], 1.0);
    // Columns follow their values: U and V are the matching permutations.
    EXPECT_EQ(std::fabs(a(1, 0)), 1.0);
    EXPECT_EQ(std::fabs(a(2, 1)), 1.0);
    EXPECT_EQ(std::fabs(a(0, 2)), 1.0);
    EXPECT_EQ(std::fabs((*v)(1, 0)), 1.0);
    EXPECT_EQ(std::fabs((*v)(2, 1)), 1.0);
    delete w;
    delete v;

    // A negative diagonal gives non-negative values.
    Matrix neg = FromRows({{-2, 0}, {0, -5}});
    ASSERT_EQ(neg.SVD(w, v), 1);
    EXPECT_EQ((*w)[0], 5.0);
    EXPECT_EQ((*w)[1], 2.0);
    delete w;
    delete v;

    std::unique_ptr<Matrix> p(FromRows({{1}, {1}}).PseudoInverse());
    ASSERT_TRUE(p);
    ASSERT_EQ(p->Y(), 1);
    ASSERT_EQ(p->X(), 2);
    EXPECT_NEAR((*p)(0, 0), 0.5, kEps);
    EXPECT_NEAR((*p)(0, 1), 0.5, kEps);

    // Singular system: the minimum-norm solution of x + y = 2 (twice).
    const double b[2] = {2, 2};
    std::unique_ptr<double[]> x(FromRows({{1, 1}, {1, 1}}).SolveSystemBySVD(b));
    ASSERT_TRUE(x);
    EXPECT_NEAR(x[0], 1.0, 4 * kEps);
    EXPECT_NEAR(x[1], 1.0, 4 * kEps);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(DecompTest, SolversRefuseNullRightHandSide) {
    EXPECT_EQ(Matrix(2).SolveSystem(nullptr), nullptr);
    std::unique_ptr<double[]> x(Matrix(3, 2).SolveSystemBySVD(nullptr));
    ASSERT_TRUE(x);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(x[1], 0.0);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
}

TEST_F(DecompTest, SvdWithoutConvergenceReportsAndKeepsOwnership) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Matrix a = FromRows({{1, nan}, {2, 3}});
    MatVectorCol* w = nullptr;
    Matrix* v = nullptr;
    EXPECT_EQ(a.SVD(w, v), 0);
    ASSERT_TRUE(w);
    ASSERT_TRUE(v);
    EXPECT_EQ(w->Len(), 2);
    EXPECT_EQ(v->X(), 2);
    delete w;
    delete v;
    ASSERT_EQ(vrt::Errors().size(), 1u);
    EXPECT_EQ(vrt::Errors()[0].code, VeskModuleErrorCode);
    EXPECT_EQ(vrt::Errors()[0].text, "no convergence in 30 SVD iterations");

    const Matrix bad = FromRows({{1, nan}, {2, 3}});
    EXPECT_EQ(bad.PseudoInverse(), nullptr);
    const double b[2] = {1, 1};
    std::unique_ptr<double[]> x(bad.SolveSystemBySVD(b));
    ASSERT_TRUE(x);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(x[1], 0.0);
}

// The eliminations skip work whose result is never read and keep the
// inverse's identity in compact form; the answers must still equal the plain
// elimination over all columns bit for bit.
int PlainPivot(const Matrix& a, int k) {
    int p = k;
    for (int i = k + 1; i < a.Y(); ++i)
        if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
    return p;
}

Matrix PlainInverse(const Matrix& src) {
    const int n = src.X();
    Matrix a(src), r0 = Identity(n), r(n);
    for (int k = 0; k < n; ++k) {
        const int p = PlainPivot(a, k);
        for (int j = 0; j < n; ++j) {
            std::swap(a(k, j), a(p, j));
            std::swap(r0(k, j), r0(p, j));
        }
        for (int i = k + 1; i < n; ++i) {
            const double f = a(i, k) / a(k, k);
            for (int j = 0; j < n; ++j) {
                a(i, j) -= f * a(k, j);
                r0(i, j) -= f * r0(k, j);
            }
        }
    }
    for (int c = 0; c < n; ++c)
        for (int i = n - 1; i >= 0; --i) {
            double s = r0(i, c);
            for (int j = n - 1; j > i; --j) s -= a(i, j) * r(j, c);
            r(i, c) = s / a(i, i);
        }
    return r;
}

// Plain elimination over all columns; the same row operations on b. Answers
// the determinant's sign, or 0 at a zero pivot.
double PlainEliminate(Matrix& a, std::vector<double>& b) {
    const int n = a.X();
    double sign = 1.0;
    for (int k = 0; k < n; ++k) {
        const int p = PlainPivot(a, k);
        if (p != k) {
            sign = -sign;
            for (int j = 0; j < n; ++j) std::swap(a(k, j), a(p, j));
            std::swap(b[static_cast<size_t>(k)], b[static_cast<size_t>(p)]);
        }
        if (a(k, k) == 0.0) return 0.0;
        for (int i = k + 1; i < n; ++i) {
            const double f = a(i, k) / a(k, k);
            for (int j = 0; j < n; ++j) a(i, j) -= f * a(k, j);
            b[static_cast<size_t>(i)] -= f * b[static_cast<size_t>(k)];
        }
    }
    return sign;
}

double PlainDet(const Matrix& src) {
    Matrix a(src);
    std::vector<double> b(static_cast<size_t>(a.X()));
    const double sign = PlainEliminate(a, b);
    if (sign == 0.0) return 0.0;
    double d = a(0, 0);
    for (int k = 1; k < a.X(); ++k) d *= a(k, k);
    return sign < 0 ? -d : d;
}

std::vector<double> PlainSolve(const Matrix& src, std::vector<double> b) {
    const int n = src.X();
    Matrix a(src);
    PlainEliminate(a, b);
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = n - 1; i >= 0; --i) {
        double s = b[static_cast<size_t>(i)];
        for (int j = n - 1; j > i; --j) s -= a(i, j) * x[static_cast<size_t>(j)];
        x[static_cast<size_t>(i)] = s == 0.0 ? 0.0 : s / a(i, i);
    }
    return x;
}

TEST_F(DecompTest, EliminationsMatchPlainAlgorithmBitForBit) {
    Generator g(31);
    for (int n : {3, 4, 7, 12, 33, 150}) {
        Matrix a = g.Random(n, n);
        a(n - 1, 0) = -0.0;
        std::unique_ptr<Matrix> inv(a.Inverse());
        ASSERT_TRUE(inv);
        EXPECT_TRUE(SameBits(*inv, PlainInverse(a))) << n;
        const double det = a.Det();
        const double plain = PlainDet(a);
        EXPECT_EQ(std::memcmp(&det, &plain, sizeof det), 0) << n;
        std::vector<double> b(static_cast<size_t>(n));
        for (auto& v : b) v = g.Next();
        std::unique_ptr<double[]> x(a.SolveSystem(b.data()));
        const std::vector<double> plainX = PlainSolve(a, b);
        EXPECT_EQ(std::memcmp(x.get(), plainX.data(), sizeof(double) * plainX.size()), 0) << n;
    }
    // The elimination works in panels and column segments; one order large
    // enough for several of each.
    const Matrix big = g.Random(530, 530);
    std::vector<double> b(530);
    for (auto& v : b) v = g.Next();
    std::unique_ptr<double[]> x(big.SolveSystem(b.data()));
    const std::vector<double> plainX = PlainSolve(big, b);
    EXPECT_EQ(std::memcmp(x.get(), plainX.data(), sizeof(double) * plainX.size()), 0);
    // Cholesky forms several sums at once; each must keep its own order.
    for (int n : {5, 9, 31}) {
        Matrix b = g.Random(n, n);
        Matrix spd = Product(Transposed(b), b);
        for (int i = 0; i < n; ++i) spd(i, i) += n;
        Matrix plain(n);
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) {
                double s = spd(i, j);
                for (int k = i - 1; k >= 0; --k) s -= plain(i, k) * plain(j, k);
                if (j == i)
                    plain(i, i) = std::sqrt(s);
                else
                    plain(j, i) = s / plain(i, i);
            }
        std::unique_ptr<Matrix> l(spd.CholeskyDecompse());
        ASSERT_TRUE(l);
        EXPECT_TRUE(SameBits(*l, plain)) << n;
    }
    // Overflowing factors turn skipped zeros into NaN in the plain method.
    Matrix huge = FromRows({{1e-300, 1, 2}, {1e300, 1e-300, 3}, {1, 5, 1e300}});
    std::unique_ptr<Matrix> inv(huge.Inverse());
    if (inv) {
        const Matrix plain = PlainInverse(huge);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const double x = (*inv)(i, j), y = plain(i, j);
                EXPECT_TRUE((std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0);
            }
    }
}

}  // namespace

namespace {

// The Golub-Reinsch steps written plainly, column loops and rotations in
// place, as the reference for the restructured traversal of Matrix::SVD.
double PlainPythag(double a, double b) {
    const double p = std::fabs(a), q = std::fabs(b);
    if (p > q) return p * std::sqrt(1.0 + (q / p) * (q / p));
    return q == 0.0 ? 0.0 : q * std::sqrt(1.0 + (p / q) * (p / q));
}

void Rotate(Matrix& m, int p, int q, double c, double s) {
    for (int r = 0; r < m.Y(); ++r) {
        const double y = m(r, p), z = m(r, q);
        m(r, p) = y * c + z * s;
        m(r, q) = z * c - y * s;
    }
}

bool PlainSvd(Matrix& a, std::vector<double>& w, Matrix& v) {
    const int m = a.Y(), n = a.X();
    w.assign(static_cast<size_t>(n), 0.0);
    std::vector<double> e(static_cast<size_t>(n), 0.0);
    v.SetSize(n, n);
    double g = 0, scale = 0, anorm = 0, s = 0;
    int l = 0;
    for (int i = 0; i < n; ++i) {
        l = i + 1;
        e[i] = scale * g;
        g = s = scale = 0.0;
        if (i < m) {
            for (int k = i; k < m; ++k) scale += std::fabs(a(k, i));
            if (scale != 0.0) {
                for (int k = i; k < m; ++k) {
                    a(k, i) /= scale;
                    s += a(k, i) * a(k, i);
                }
                const double f = a(i, i);
                g = f >= 0 ? -std::sqrt(s) : std::sqrt(s);
                const double h = f * g - s;
                a(i, i) = f - g;
                for (int j = l; j < n; ++j) {
                    double t = 0.0;
                    for (int k = i; k < m; ++k) t += a(k, i) * a(k, j);
                    const double ff = t / h;
                    for (int k = i; k < m; ++k) a(k, j) += ff * a(k, i);
                }
                for (int k = i; k < m; ++k) a(k, i) *= scale;
            }
        }
        w[i] = scale * g;
        g = s = scale = 0.0;
        if (i < m && i != n - 1) {
            for (int k = l; k < n; ++k) scale += std::fabs(a(i, k));
            if (scale != 0.0) {
                for (int k = l; k < n; ++k) {
                    a(i, k) /= scale;
                    s += a(i, k) * a(i, k);
                }
                const double f = a(i, l);
                g = f >= 0 ? -std::sqrt(s) : std::sqrt(s);
                const double h = f * g - s;
                a(i, l) = f - g;
                for (int k = l; k < n; ++k) e[k] = a(i, k) / h;
                for (int j = l; j < m; ++j) {
                    double t = 0.0;
                    for (int k = l; k < n; ++k) t += a(j, k) * a(i, k);
                    for (int k = l; k < n; ++k) a(j, k) += t * e[k];
                }
                for (int k = l; k < n; ++k) a(i, k) *= scale;
            }
        }
        const double span = std::fabs(w[i]) + std::fabs(e[i]);
        anorm = anorm > span ? anorm : span;
    }
    for (int i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                for (int j = l; j < n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;
                for (int j = l; j < n; ++j) {
                    double t = 0.0;
                    for (int k = l; k < n; ++k) t += a(i, k) * v(k, j);
                    for (int k = l; k < n; ++k) v(k, j) += t * v(k, i);
                }
            }
            for (int j = l; j < n; ++j) v(i, j) = v(j, i) = 0.0;
        }
        v(i, i) = 1.0;
        g = e[i];
        l = i;
    }
    for (int i = std::min(m, n) - 1; i >= 0; --i) {
        l = i + 1;
        g = w[i];
        for (int j = l; j < n; ++j) a(i, j) = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j < n; ++j) {
                double t = 0.0;
                for (int k = l; k < m; ++k) t += a(k, i) * a(k, j);
                const double f = (t / a(i, i)) * g;
                for (int k = i; k < m; ++k) a(k, j) += f * a(k, i);
            }
            for (int j = i; j < m; ++j) a(j, i) *= g;
        } else {
            for (int j = i; j < m; ++j) a(j, i) = 0.0;
        }
        a(i, i) += 1.0;
    }
    for (int k = n - 1; k >= 0; --k) {
        for (int its = 1; its <= 30; ++its) {
            bool flag = true;
            int nm = 0;
            for (l = k; l >= 0; --l) {
                nm = l - 1;
                if (std::fabs(e[l]) + anorm == anorm) {
                    flag = false;
                    break;
                }
                if (std::fabs(w[nm]) + anorm == anorm) break;
            }
            if (flag) {
                double c = 0.0;
                s = 1.0;
                for (int i = l; i <= k; ++i) {
                    const double f = s * e[i];
                    e[i] = c * e[i];
                    if (std::fabs(f) + anorm == anorm) break;
                    g = w[i];
                    double h = PlainPythag(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    Rotate(a, nm, i, c, s);
                }
            }
            double z = w[k];
            if (l == k) {
                if (z < 0.0) {
                    w[k] = -z;
                    for (int j = 0; j < n; ++j) v(j, k) = -v(j, k);
                }
                break;
            }
            if (its == 30) return false;
            double x = w[l];
            nm = k - 1;
            double y = w[nm];
            g = e[nm];
            double h = e[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = PlainPythag(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + (f >= 0 ? g : -g))) - h)) / x;
            double c = 1.0;
            s = 1.0;
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = e[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = PlainPythag(f, h);
                e[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y = y * c;
                Rotate(v, j, i, c, s);
                z = PlainPythag(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                Rotate(a, j, i, c, s);
            }
            e[l] = 0.0;
            e[k] = f;
            w[k] = x;
        }
    }
    return true;
}

TEST_F(DecompTest, SvdMatchesPlainAlgorithmBitForBit) {
    Generator g(47);
    const int shapes[][2] = {{6, 6}, {9, 4}, {4, 9}, {30, 30}, {45, 20}};
    for (const auto& shape : shapes) {
        const Matrix a = g.Random(shape[0], shape[1]);
        Matrix u(a), plainU(a), plainV(1);
        std::vector<double> plainW;
        ASSERT_TRUE(PlainSvd(plainU, plainW, plainV));
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        ASSERT_EQ(u.SVD(w, v), 1);
        // Compare as sets of (value, column of U, column of V): the final
        // ordering is checked elsewhere, and equal values may come in any
        // order.
        auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
        for (int i = 0; i < shape[1]; ++i) {
            bool found = false;
            for (int j = 0; j < shape[1] && !found; ++j) {
                bool all = same(plainW[static_cast<size_t>(j)], (*w)[i]);
                for (int r = 0; r < shape[0] && all; ++r) all = same(u(r, i), plainU(r, j));
                for (int r = 0; r < shape[1] && all; ++r) all = same((*v)(r, i), plainV(r, j));
                found = all;
            }
            EXPECT_TRUE(found) << shape[0] << "x" << shape[1] << " value " << i;
        }
        delete w;
        delete v;
    }
}

}  // namespace
