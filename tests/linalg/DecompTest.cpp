// Decompositions and solvers: plain step-by-step references bit for bit,
// defining properties on generated matrices, high-precision reference values,
// closed forms and the failure answers.
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "LinalgTestUtil.h"
#include "host/Plugin.h"

namespace {

using namespace linalg_test;
using DecompTest = LinalgTest;

// Tolerance tiers, in units of eps times the order: residuals relative to
// ||A|| ||x|| (backward-stable elimination, Householder and QR steps) and
// forward errors relative to cond(A).
constexpr double kBackward = 8.0;
constexpr double kForward = 4.0;

// Runs SVD on a copy of a and owns what it hands over.
struct Svd {
    Matrix u;
    MatVectorCol* w = nullptr;
    Matrix* v = nullptr;
    int ok;
    explicit Svd(const Matrix& a) : u(a), ok(u.SVD(w, v)) {}
    Svd(const Svd&) = delete;
    ~Svd() {
        delete w;
        delete v;
    }
    Values W() const { return {w->GetData(), w->GetData() + w->Len()}; }
};

// Plain Gaussian elimination over all columns with partial pivoting (ties
// keep the upper row) and the same row operations on r; answers the sign of
// the permutation, or 0 at a zero pivot.
double PlainEliminate(Matrix& a, Matrix& r) {
    const int n = a.X();
    double sign = 1.0;
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i)
            if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
        if (p != k) sign = -sign;
        for (int j = 0; j < n && p != k; ++j) std::swap(a(k, j), a(p, j));
        for (int j = 0; j < r.X() && p != k; ++j) std::swap(r(k, j), r(p, j));
        if (a(k, k) == 0.0) return 0.0;
        for (int i = k + 1; i < n; ++i) {
            const double f = a(i, k) / a(k, k);
            for (int j = 0; j < n; ++j) a(i, j) -= f * a(k, j);
            for (int j = 0; j < r.X(); ++j) r(i, j) -= f * r(k, j);
        }
    }
    return sign;
}

// Back substitution on every column of r. The first `solves` columns are
// solved as SolveSystem does (a zero numerator gives 0.0 without dividing),
// the others as Inverse.
Matrix PlainBack(const Matrix& a, const Matrix& r, int solves) {
    Matrix x(r.Y(), r.X());
    for (int c = 0; c < r.X(); ++c)
        for (int i = a.X() - 1; i >= 0; --i) {
            double s = r(i, c);
            for (int j = a.X() - 1; j > i; --j) s -= a(i, j) * x(j, c);
            x(i, c) = c < solves && s == 0.0 ? 0.0 : s / a(i, i);
        }
    return x;
}

// Det, SolveSystem and Inverse skip work whose result is never read and are
// blocked for speed; their answers must equal the plain steps bit for bit.
TEST_F(DecompTest, EliminationsMatchPlainStepsBitForBit) {
    Generator g(31);
    for (int n : {3, 12, 150, 530}) {
        Matrix a = g.Random(n, n), ea(a), r(n, n + 1);  // r = [b | I]
        const Matrix b = g.Random(n, 1);
        for (int i = 0; i < n; ++i)
            a(i, 0) = ea(i, 0) = i % 2 ? 0.5 : -0.5;  // ties keep the upper row
        a(n - 1, 1) = ea(n - 1, 1) = -0.0;
        for (int i = 0; i < n; ++i) r(i, 0) = b(i, 0), r(i, i + 1) = 1.0;
        const double sign = PlainEliminate(ea, r);
        const Matrix x = PlainBack(ea, r, 1);
        double det = ea(0, 0);
        for (int k = 1; k < n; ++k) det *= ea(k, k);
        det = sign < 0 ? -det : det;
        std::unique_ptr<double[]> xs(a.SolveSystem(b[0]));
        std::unique_ptr<Matrix> inv(a.Inverse());
        Matrix got(n, n + 1);  // [x | A^-1]
        for (int i = 0; i < n; ++i) {
            got(i, 0) = xs[i];
            for (int j = 0; j < n; ++j) got(i, j + 1) = (*inv)(i, j);
        }
        EXPECT_TRUE(SameBits(got, x)) << n;
        const double gotDet = a.Det();
        EXPECT_EQ(std::memcmp(&gotDet, &det, sizeof det), 0) << n;
    }
    // Infinite input gives NaN factors; the answer must still agree.
    Matrix nanRows = FromRows({{HUGE_VAL, 1, 2}, {HUGE_VAL, 2, 1}, {1, 1, 1}}), id = Identity(3);
    std::unique_ptr<Matrix> inv(nanRows.Inverse());
    PlainEliminate(nanRows, id);
    EXPECT_TRUE(SameBits(*inv, PlainBack(nanRows, id, 0)));
}

TEST_F(DecompTest, SolveAndInverseOnGeneratedMatrices) {
    Generator g(2026);
    for (int n : {1, 2, 3, 5, 8, 13, 24, 40}) {
        for (double cond : {0.0, 1e6, 1e12}) {  // 0: plain random entries
            std::vector<double> s(n);
            for (int i = 0; i < n; ++i) s[i] = std::pow(cond, -double(i) / std::max(n - 1, 1));
            const Matrix a = cond == 0.0 ? g.Random(n, n) : g.Scaled(n, n, s);
            const Matrix b = g.Random(n, 1);
            const double normA = NormInf(a);
            std::unique_ptr<double[]> x(a.SolveSystem(b[0]));
            std::unique_ptr<Matrix> inv(a.Inverse());
            const Matrix xm(n, 1, x.get());
            EXPECT_LE(DiffInf(Product(a, xm), b),
                      kBackward * n * kEps * (normA * NormInf(xm) + NormInf(b)));
            EXPECT_LE(DiffInf(Product(a, *inv), Identity(n)),
                      kBackward * n * kEps * normA * NormInf(*inv));
        }
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

// L L^T = A on well and badly conditioned matrices; L also equals the plain
// steps bit for bit, although several sums are formed at once.
TEST_F(DecompTest, CholeskyOnGeneratedPositiveDefiniteMatrices) {
    Generator g(9);
    for (int n : {1, 2, 6, 17, 40}) {
        for (double shift : {double(n), 1e-8}) {
            Matrix b = g.Random(n, n), a = Product(Transposed(b), b), plain(n);
            for (int i = 0; i < n; ++i) a(i, i) += shift;
            for (int i = 0; i < n; ++i)
                for (int j = i; j < n; ++j) {
                    double s = a(i, j);
                    for (int k = i - 1; k >= 0; --k) s -= plain(i, k) * plain(j, k);
                    plain(j, i) = j == i ? std::sqrt(s) : s / plain(i, i);
                }
            std::unique_ptr<Matrix> l(a.CholeskyDecompse());
            ASSERT_TRUE(l) << n;
            EXPECT_TRUE(SameBits(*l, plain)) << n;
            EXPECT_LE(DiffInf(Product(*l, Transposed(*l)), a), kBackward * n * kEps * NormInf(a))
                << n;
        }
    }
}

// Square, tall, wide, rank-deficient (rank about half the smaller size) and
// zero matrices.
TEST_F(DecompTest, SvdPseudoInverseAndLeastSquaresOnGeneratedMatrices) {
    Generator g(77);
    std::vector<Matrix> cases{Matrix(4, 3)};
    const int shapes[][2] = {{1, 1},  {5, 5},   {7, 3}, {3, 7}, {20, 6},
                             {6, 20}, {31, 31}, {1, 4}, {4, 1}};
    for (const auto& s : shapes) {
        cases.push_back(g.Random(s[0], s[1]));
        const int k = std::min(s[0], s[1]);
        std::vector<double> sv;
        for (int i = 0; i < (k + 1) / 2; ++i) sv.push_back(std::pow(10.0, -6.0 * i / k));
        cases.push_back(g.Scaled(s[0], s[1], sv));
    }
    for (const Matrix& a : cases) {
        const int m = a.Y(), n = a.X(), k = std::min(m, n);
        const double normA = NormInf(a), tol = kBackward * std::max(m, n) * kEps;
        const Svd svd(a);
        ASSERT_EQ(svd.ok, 1);
        Matrix wd(n), uk(m, k);
        for (int i = 0; i < n; ++i) wd(i, i) = (*svd.w)[i];
        for (int i = 0; i < n; ++i)
            EXPECT_TRUE(wd(i, i) >= 0.0 && (i == 0 || wd(i - 1, i - 1) >= wd(i, i)));
        EXPECT_LE(DiffInf(Product(Product(svd.u, wd), Transposed(*svd.v)), a), tol * normA);
        EXPECT_LE(DiffInf(Product(Transposed(*svd.v), *svd.v), Identity(n)), tol * n);
        // The columns of U that belong to the leading min(m, n) values are
        // orthonormal (with m < n the others are zero).
        for (int i = 0; i < m * k; ++i) uk(i / k, i % k) = svd.u(i / k, i % k);
        EXPECT_LE(DiffInf(Product(Transposed(uk), uk), Identity(k)), tol * k);

        // The four Moore-Penrose conditions.
        std::unique_ptr<Matrix> x(a.PseudoInverse());
        ASSERT_TRUE(x->Y() == n && x->X() == m);
        const double normX = NormInf(*x), scale = normA * normX;
        const Matrix ax = Product(a, *x), xa = Product(*x, a);
        EXPECT_LE(DiffInf(Product(ax, a), a), tol * scale * normA);
        EXPECT_LE(DiffInf(Product(xa, *x), *x), tol * scale * normX);
        EXPECT_LE(DiffInf(Transposed(ax), ax), tol * scale);
        EXPECT_LE(DiffInf(Transposed(xa), xa), tol * scale);

        // Minimum-norm least squares: the residual is orthogonal to the
        // columns of A, and x lies in the row space of A (X A x = x).
        const Matrix b = g.Random(m, 1);
        std::unique_ptr<double[]> sol(a.SolveSystemBySVD(b[0]));
        const Matrix xs(n, 1, sol.get());
        Matrix r = Product(a, xs);
        r -= b;
        EXPECT_LE(NormInf(Product(Transposed(a), r)),
                  tol * scale * normA * (normA * NormInf(xs) + NormInf(b)));
        EXPECT_LE(DiffInf(Product(xa, xs), xs), tol * scale * NormInf(xs));
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

// Determinants, log-determinants and singular values of Hilbert, Vandermonde,
// Kahan and graded matrices against 60-digit values.
TEST_F(DecompTest, AgreesWithHighPrecisionReference) {
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/linalg_reference.txt");
    std::string line, name, bar, det, logDet, cond;
    int cases = 0;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        int rows = 0, cols = 0;
        s >> name >> rows >> cols >> bar;
        std::vector<double> entries(static_cast<size_t>(rows) * cols), sv(std::min(rows, cols));
        for (auto& e : entries) s >> e;
        s >> bar >> det >> logDet >> cond >> bar;  // "nan" for rectangular ones
        for (auto& e : sv) s >> e;
        ASSERT_TRUE(s) << name;
        ++cases;
        const Matrix a(rows, cols, entries.data());
        if (rows == cols) {
            const double rel = kForward * rows * kEps * std::stod(cond);
            EXPECT_NEAR(a.Det(), std::stod(det), rel * std::fabs(std::stod(det))) << name;
            EXPECT_NEAR(a.LogAbsDet(), std::stod(logDet), rel) << name;
        }
        const Svd svd(a);
        for (size_t i = 0; i < sv.size(); ++i)
            EXPECT_NEAR((*svd.w)[int(i)], sv[i], kBackward * std::max(rows, cols) * kEps * sv[0])
                << name << i;
    }
    EXPECT_EQ(cases, 18);
}

TEST_F(DecompTest, RotationsHaveClosedForms) {
    for (double angle : {0.3, 1.0, 2.5, -1.2}) {
        const double c = std::cos(angle), s = std::sin(angle);
        const Matrix r = FromRows({{c, -s, 0}, {s, c, 0}, {0, 0, 1}});
        EXPECT_NEAR(r.Det(), 1.0, 4 * kEps);
        EXPECT_NEAR(r.LogAbsDet(), 0.0, 8 * kEps);
        std::unique_ptr<Matrix> inv(r.Inverse()), pinv(r.PseudoInverse());
        EXPECT_LE(DiffInf(*inv, Transposed(r)), 4 * kEps);
        EXPECT_LE(DiffInf(*pinv, Transposed(r)), 8 * kEps);
        const Svd svd(r);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR((*svd.w)[i], 1.0, 8 * kEps);
    }
}

// Every finite log |det| comes out finite, whatever the range of the
// elements: exact values ln 10 · k where the determinant is a power of ten.
TEST_F(DecompTest, LogAbsDetAcrossTheWholeRange) {
    const double ln10 = std::log(10.0);
    struct Row {
        Matrix a;
        double expected, tol;
    };
    const Row rows[] = {
        {FromRows({{1e200, 0}, {0, 1e200}}), 400 * ln10, 1e-13},
        {FromRows({{1e-200, 0}, {0, 1e-200}}), -400 * ln10, 1e-13},
        {FromRows({{1e300, 0, 0}, {0, 1e-300, 0}, {0, 0, 1}}), 0.0, 1e-13},  // Det says 1
        {FromRows({{1e-310, 0, 0}, {0, 1e-310, 0}, {0, 0, 1e-310}}), 3 * std::log(1e-310), 1e-12},
        {FromRows({{5e-324}}), std::log(5e-324), 0.0},
        {FromRows({{1e300, 1e300, 0}, {1e300, -1e300, 0}, {0, 0, 1e300}}), std::log(2.0) + 900 * ln10,
         1e-12},
    };
    for (const Row& r : rows) {
        const double got = r.a.LogAbsDet();
        EXPECT_TRUE(std::isfinite(got)) << r.expected;
        EXPECT_NEAR(got, r.expected, r.tol + 4 * kEps * std::fabs(r.expected));
    }
    EXPECT_DOUBLE_EQ(FromRows({{1e300, 0, 0}, {0, 1e-300, 0}, {0, 0, 1}}).Det(), 1.0);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(DecompTest, SmallCasesAndFailures) {
    const Matrix singular = FromRows({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}});
    const double b[3] = {2, 2, 3};
    EXPECT_EQ(FromRows({{0, 1}, {1, 0}}).Det(), -1.0);
    // First column (1, 3, 2): rows 0 and 1 are exchanged once.
    EXPECT_EQ(FromRows({{1, 2, 3}, {3, 2, 1}, {2, 1, 3}}).Det(), -12.0);
    EXPECT_DOUBLE_EQ(FromRows({{2, 0, 0}, {0, 3, 0}, {0, 0, 4}}).LogAbsDet(), std::log(24.0));
    std::unique_ptr<Matrix> l(FromRows({{4, 2}, {2, 3}}).CholeskyDecompse()),
        empty(Matrix(0).Inverse());
    EXPECT_TRUE(SameBits(*l, FromRows({{2, 0}, {1, std::sqrt(2.0)}})));
    EXPECT_TRUE(Matrix(0).Det() == 1.0 && Matrix(0).LogAbsDet() == 0.0 &&
                SameBits(*empty, Matrix(0)));
    EXPECT_EQ(Svd(FromRows({{1, 0, 0}, {0, 3, 0}, {0, 0, 2}})).W(), (Values{3, 2, 1}));
    EXPECT_EQ(Svd(FromRows({{-2, 0}, {0, -5}})).W(), (Values{5, 2}));
    // Singular x + y = 2 (twice): the minimum-norm solution (1, 1).
    std::unique_ptr<double[]> minNorm(FromRows({{1, 1}, {1, 1}}).SolveSystemBySVD(b));
    EXPECT_NEAR(minNorm[0], 1.0, 4 * kEps);
    EXPECT_NEAR(minNorm[1], 1.0, 4 * kEps);
    // Singular: Det 0.0 and LogAbsDet the logarithm of that zero, no error.
    EXPECT_EQ(singular.Det(), 0.0);
    for (const Matrix& a : {singular, Matrix(3), Matrix(1), FromRows({{1, 2}, {2, 4}})})
        EXPECT_EQ(a.LogAbsDet(), -HUGE_VAL);
    EXPECT_TRUE(vrt::Errors().empty());

    std::unique_ptr<double[]> x(singular.SolveSystem(b)),
        noB(Matrix(3, 2).SolveSystemBySVD(nullptr));
    EXPECT_TRUE(x[0] == 0.0 && x[1] == 0.0 && x[2] == 0.0 && noB[0] == 0.0 && noB[1] == 0.0);
    // The zero appears only in the last pivot: still singular.
    EXPECT_EQ(FromRows({{1, 2}, {2, 4}}).Inverse(), nullptr);
    EXPECT_EQ(FromRows({{2, 0, 0}, {0, 3, 0}, {0, 0, 0}}).Inverse(), nullptr);
    EXPECT_TRUE(Matrix(2, 3).Det() == 0.0 && Matrix(2, 3).LogAbsDet() == 0.0);
    EXPECT_EQ(Matrix(2, 3).SolveSystem(b), nullptr);
    EXPECT_EQ(Matrix(2, 3).Inverse(), nullptr);
    EXPECT_EQ(Matrix(2).SolveSystem(nullptr), nullptr);
    EXPECT_EQ(Codes(), (std::vector<int>{10, 3, 10, 10, 3, 3, 3, 3, 3}));
    vrt::ClearErrors();
    EXPECT_EQ(FromRows({{1, 2}, {2, 1}}).CholeskyDecompse(), nullptr);
    EXPECT_EQ(Matrix(2, 3).CholeskyDecompse(), nullptr);
    ASSERT_EQ(Codes(), (std::vector<int>{3, 3}));
    EXPECT_EQ(vrt::Errors()[0].text, "Matrix, with rounding errors, is is not positive defined");
    EXPECT_EQ(vrt::Errors()[1].text, "Matrix is not symmetric");
    vrt::ClearErrors();
    // A zero pivot is not positive either: null, not a factor of NaNs.
    EXPECT_EQ(Matrix(2).CholeskyDecompse(), nullptr);
    EXPECT_EQ(FromRows({{0, 0}, {0, 1}}).CholeskyDecompse(), nullptr);
    EXPECT_EQ(Codes(), (std::vector<int>{3, 3}));
}

// Singular values count as zero only up to 1e-15 of their sum: 1e-13 is
// still inverted.
TEST_F(DecompTest, PseudoInverseKeepsSmallSingularValues) {
    std::unique_ptr<Matrix> pinv(FromRows({{1, 0}, {0, 1e-13}}).PseudoInverse()),
        cut(FromRows({{1, 0}, {0, 1e-16}}).PseudoInverse());
    EXPECT_LE(DiffInf(*pinv, FromRows({{1, 0}, {0, 1e13}})), 4 * kEps * 1e13);
    EXPECT_LE(DiffInf(*cut, FromRows({{1, 0}, {0, 0}})), 4 * kEps);
    EXPECT_TRUE(vrt::Errors().empty());
}

// NaN keeps the QR steps from converging; the split test must not read
// before w while searching with a NaN norm.
TEST_F(DecompTest, SvdWithoutConvergenceReportsAndKeepsOwnership) {
    const Matrix bad = FromRows({{1, std::nan("")}, {2, 3}});
    const Svd svd(bad);
    EXPECT_EQ(svd.ok, 0);
    EXPECT_TRUE(svd.w->Len() == 2 && svd.v->X() == 2);
    ASSERT_EQ(Codes(), std::vector<int>{VeskModuleErrorCode});
    EXPECT_EQ(vrt::Errors()[0].text, "no convergence in 30 SVD iterations");
    EXPECT_EQ(bad.PseudoInverse(), nullptr);
    const double b[2] = {1, 1};
    std::unique_ptr<double[]> x(bad.SolveSystemBySVD(b));
    EXPECT_TRUE(x[0] == 0.0 && x[1] == 0.0);
}

}  // namespace
