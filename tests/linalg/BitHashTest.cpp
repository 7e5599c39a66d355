// Results of the decompositions, solvers and vector operations are defined
// bit for bit by the order of their operations. This program hashes every
// double they answer, on fixed inputs of many sizes (every size up to 40,
// then a spread up to 300 with odd sizes and sizes at and beside powers of
// two), and compares with hashes of the results of the straightforward
// kernels the module had before its vector kernels: those must reproduce
// them exactly, at every vector width and on every platform.
//
// The inputs come from an integer generator whose doubles are exact on any
// machine (53-bit integers scaled by a power of two). Every result except
// LogAbsDet is made of + - * / and sqrt alone, which IEEE 754 rounds the same
// everywhere; LogAbsDet also calls log, so it is hashed apart (glibc on
// x86-64 and aarch64 and the mingw-w64 runtime agree on these inputs).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <cstring>
#include <memory>
#include <vector>

#include "linalg/LinalgKernels.h"
#include "linalg/MatVector.h"
#include "linalg/Matrix.h"
#include "tests/linalg/LinalgTestUtil.h"

namespace {

using linalg_test::LinalgTest;

// 64-bit linear congruential generator; its top 53 bits become a double in
// [-1, 1), exactly.
class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}
    double Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(static_cast<std::int64_t>(state_ >> 11)) * 0x1.0p-52 - 1.0;
    }
    Matrix Random(int rows, int cols) {
        Matrix m(rows, cols);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) m(i, j) = Next();
        return m;
    }
    MatVectorCol Vector(int n) {
        MatVectorCol v(n);
        for (int i = 0; i < n; ++i) v[i] = Next();
        return v;
    }

private:
    std::uint64_t state_;
};

// FNV-1a over the bytes of each value, least significant first, so the hash
// does not depend on the machine's byte order.
class Hash {
public:
    // Every NaN counts as one value: the bits of a NaN made by an operation
    // differ between processors (x86 sets the sign, ARM does not).
    void Add(double d) {
        if (std::isnan(d)) d = std::numeric_limits<double>::quiet_NaN();
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        for (int b = 0; b < 8; ++b) {
            value_ ^= (bits >> (8 * b)) & 0xffU;
            value_ *= 1099511628211ULL;
        }
    }
    void Add(int i) { Add(static_cast<double>(i)); }
    // A null answer counts as one marker value, followed by nothing.
    void Add(const Matrix* m) {
        if (m == nullptr) return Add(-7777.0);
        Add(m->Y());
        Add(m->X());
        for (int i = 0; i < m->Y(); ++i)
            for (int j = 0; j < m->X(); ++j) Add((*m)(i, j));
    }
    void Add(const MatVector* v) {
        if (v == nullptr) return Add(-7777.0);
        Add(v->Len());
        for (int i = 0; i < v->Len(); ++i) Add((*v)[i]);
    }
    void Add(const double* p, int n) {
        if (p == nullptr) return Add(-7777.0);
        for (int i = 0; i < n; ++i) Add(p[i]);
    }
    // The SVD of u: its answer, then U (u itself afterwards), w and V.
    void AddSvd(Matrix& u) {
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        Add(u.SVD(w, v));
        Add(&u);
        Add(w);
        Add(v);
        delete w;
        delete v;
    }
    std::uint64_t Value() const { return value_; }

private:
    std::uint64_t value_ = 14695981039346656037ULL;
};

// Every size to 40, then odd sizes, sizes at and beside multiples of 16, 32,
// 64, 128 and 256, and 200 and 300.
std::vector<int> Sizes() {
    std::vector<int> sizes;
    for (int n = 1; n <= 40; ++n) sizes.push_back(n);
    for (int n : {47, 63, 64, 65, 97, 129, 200, 257, 300}) sizes.push_back(n);
    return sizes;
}

// Symmetric positive definite B B^T + n I, the sums formed here in k order.
Matrix SymmetricPositive(Lcg& gen, int n) {
    const Matrix b = gen.Random(n, n);
    Matrix a(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += b(i, k) * b(j, k);
            a(i, j) = s + (i == j ? n : 0.0);
        }
    return a;
}

// The recorded hashes, one per family of results.
struct Expected {
    const char* name;
    std::uint64_t value;
};

class BitHashTest : public LinalgTest {
protected:
    // Runs body with the widest kernels the processor offers, then with each
    // narrower width down to the baseline; all must give the recorded bits.
    template <class Body>
    static void EachKernelWidth(Body body) {
        for (int lanes = linalg_kernels::UseLanes(8); lanes >= 2; lanes /= 2) {
            if (linalg_kernels::UseLanes(lanes) != lanes) continue;
            SCOPED_TRACE(testing::Message() << lanes << "-lane kernels");
            body();
        }
        linalg_kernels::UseLanes(8);
    }
    void Check(const Expected& e, const Hash& h) {
        EXPECT_EQ(h.Value(), e.value) << e.name << ": got 0x" << std::hex << h.Value() << "ULL";
    }
};

TEST_F(BitHashTest, SquareDecompositionsAndSolvers) {
    EachKernelWidth([this] {
        Hash chol, solve, inverse, det, logDet, svd, svdSolve, pinv;
        for (int n : Sizes()) {
            Lcg gen(static_cast<std::uint64_t>(n));
            const Matrix a = gen.Random(n, n);
            const Matrix spd = SymmetricPositive(gen, n);
            const MatVectorCol b = gen.Vector(n);

            std::unique_ptr<Matrix> l(spd.CholeskyDecompse());
            chol.Add(l.get());
            std::unique_ptr<double[]> x(a.SolveSystem(b.GetData()));
            solve.Add(x.get(), n);
            std::unique_ptr<double[]> xs(spd.SolveSystem(b.GetData()));
            solve.Add(xs.get(), n);
            std::unique_ptr<Matrix> inv(a.Inverse());
            inverse.Add(inv.get());
            std::unique_ptr<Matrix> invSpd(spd.Inverse());
            inverse.Add(invSpd.get());
            det.Add(a.Det());
            det.Add(spd.Det());
            logDet.Add(a.LogAbsDet());
            logDet.Add(spd.LogAbsDet());

            // The SVD at every size to 65 and at 97 and 129, and what rests on
            // it to 40 and at 65 (it is the slow part under emulation).
            if (n > 65 && n != 97 && n != 129) continue;
            Matrix u(a);
            svd.AddSvd(u);
            if (n <= 40 || n == 65) {
                std::unique_ptr<double[]> y(a.SolveSystemBySVD(b.GetData()));
                svdSolve.Add(y.get(), n);
                std::unique_ptr<Matrix> p(a.PseudoInverse());
                pinv.Add(p.get());
            }
        }
        Check({"CholeskyDecompse", 0x4b68eb10ea6134c9ULL}, chol);
        Check({"SolveSystem", 0x42283ecd3284dad6ULL}, solve);
        Check({"Inverse", 0xe37f8885d729c2b0ULL}, inverse);
        Check({"Det", 0x5cfb59add260ad2ULL}, det);
        Check({"LogAbsDet", 0x15a10159521f3b80ULL}, logDet);
        Check({"SVD", 0xa13f5caf11f1a021ULL}, svd);
        Check({"SolveSystemBySVD", 0x5f173a04d1ef3437ULL}, svdSolve);
        Check({"PseudoInverse", 0xa22d8b8c8a639213ULL}, pinv);
    });
}

// Rectangular SVDs (more rows, more columns), a rank-deficient and a singular
// matrix (equal rows), and a matrix with an overflowing factor.
TEST_F(BitHashTest, SpecialShapesAndValues) {
    EachKernelWidth([this] {
        Hash h;
        for (const auto& shape : std::vector<std::pair<int, int>>{{5, 3}, {3, 5}, {41, 17}, {17, 41}, {130, 65}, {65, 130}}) {
            Lcg gen(static_cast<std::uint64_t>(shape.first * 1000 + shape.second));
            Matrix u = gen.Random(shape.first, shape.second);
            const MatVectorCol b = gen.Vector(shape.first);
            std::unique_ptr<double[]> y(u.SolveSystemBySVD(b.GetData()));
            h.Add(y.get(), shape.second);
            std::unique_ptr<Matrix> p(u.PseudoInverse());
            h.Add(p.get());
            h.AddSvd(u);
        }
        for (int n : {3, 17, 66}) {
            Lcg gen(static_cast<std::uint64_t>(500 + n));
            Matrix a = gen.Random(n, n);
            // Two equal rows: singular; the SVD sees a rank-deficient matrix.
            for (int j = 0; j < n; ++j) a(n - 1, j) = a(0, j);
            std::unique_ptr<Matrix> inv(a.Inverse());
            h.Add(inv.get());
            h.Add(a.Det());
            std::unique_ptr<Matrix> p(a.PseudoInverse());
            h.Add(p.get());
            // A huge row makes later factors overflow to infinity.
            Matrix big = gen.Random(n, n);
            for (int j = 0; j < n; ++j) big(0, j) *= 1e-300;
            for (int j = 0; j < n; ++j) big(n - 1, j) *= 1e300;
            std::unique_ptr<Matrix> bigInv(big.Inverse());
            h.Add(bigInv.get());
            h.Add(big.Det());
            std::unique_ptr<double[]> x(big.SolveSystem(a[0]));
            h.Add(x.get(), n);
        }
        Check({"special shapes and values", 0x749a23a5d499b535ULL}, h);
    });
}

// The products and measures of matrices and vectors (no kernel of several
// widths takes part).
TEST_F(BitHashTest, ProductsAndVectorOperations) {
    Hash h;
    for (int n : Sizes()) {
        // Past 129 only 257, beyond the panel of the product.
        if (n > 129 && n != 257) continue;
        Lcg gen(static_cast<std::uint64_t>(7000 + n));
        const int m = n % 7 + 1;
        const Matrix a = gen.Random(n, n);
        const Matrix r = gen.Random(n, m);
        // Diagonally dominant: its quadratic forms are positive.
        Matrix spd = gen.Random(n, n);
        for (int i = 0; i < n; ++i) spd(i, i) += n;
        MatVectorCol x = gen.Vector(n);
        const MatVectorCol y = gen.Vector(n);
        const MatVectorRow row(gen.Vector(n));

        std::unique_ptr<Matrix> ab(a * spd);
        h.Add(ab.get());
        std::unique_ptr<Matrix> ar(a * r);
        h.Add(ar.get());
        Matrix c(a);
        c *= spd;
        h.Add(&c);
        std::unique_ptr<Matrix> t(r.Transpose());
        h.Add(t.get());
        h.Add(a.Convolove(spd));
        std::unique_ptr<MatVectorCol> ax(a * x);
        h.Add(ax.get());
        MatVectorCol out;
        a.RightMultiply(out, x);
        h.Add(&out);
        std::unique_ptr<MatVectorRow> xa(row * a);
        h.Add(xa.get());
        std::unique_ptr<Matrix> outer(x * row);
        h.Add(outer.get());
        Matrix d(a);
        d.MultByDiagonalMatrix(y);
        h.Add(&d);

        h.Add(x.Norm());
        h.Add(x.Norm(spd));
        h.Add(x.Distance(y));
        h.Add(x.MahalonabisDistance(y, spd));
        h.Add(x.Cosine(y));
        h.Add(x.MahalonabisCosine(y, spd));
        h.Add(x.ScalarMultiply(y));
        h.Add(row * y);
        MatVectorCol z = x + y;
        z -= y * 0.375;
        z *= 3.0;
        z += 0.5;
        z.DivByItem(y);
        h.Add(&z);
    }
    Check({"products and vector operations", 0x96966b51149f7b82ULL}, h);
}

}  // namespace
