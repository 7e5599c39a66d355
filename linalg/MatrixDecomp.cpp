// Matrix decompositions and solvers: determinant, log-determinant, Gaussian
// elimination solver, inverse, Cholesky factor, singular value decomposition
// and the solvers built on it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <new>

#include "host/Plugin.h"
#include "linalg/LinalgKernels.h"
#include "linalg/Matrix.h"
#include "linalg/NewLinalg.h"

using linalg_alloc::NewMatrix;

namespace {

// Relative threshold below which singular values count as zero.
constexpr double kSingularThreshold = 1e-15;
// Largest number of QR sweeps spent on one singular value.
constexpr int kMaxSvdIterations = 30;

// A singular value and the column it came from, for the final ordering.
struct SingularPair {
    double value;
    int index;
};

// Descending order of value: negative when a goes first, 0 for equal values,
// positive otherwise (also whenever a NaN is involved).
int CompareDescending(const SingularPair& a, const SingularPair& b) {
    if (a.value > b.value) return -1;
    if (a.value == b.value) return 0;
    return 1;
}

// Sorts p[0 .. n) by CompareDescending with a top-down merge sort that takes
// from the left half unless the right element must go first (tmp: n
// elements of scratch). Equal values keep their order, the same on every
// platform; the C library's qsort, used before, leaves that order to the
// library (the glibc of 2.36 sorts exactly like this, others do not).
void SortDescending(SingularPair* p, SingularPair* tmp, int n) {
    if (n <= 1) return;
    const int n1 = n / 2;
    SortDescending(p, tmp, n1);
    SortDescending(p + n1, tmp, n - n1);
    int i = 0;
    int j = n1;
    int k = 0;
    while (i < n1 && j < n) tmp[k++] = CompareDescending(p[i], p[j]) <= 0 ? p[i++] : p[j++];
    while (i < n1) tmp[k++] = p[i++];
    std::copy(tmp, tmp + k, p);
}

// t(j) = sum over k from k0 to k1 - 1 of m(k, col) m(k, j) for j in [j0, cols),
// each sum from 0.0 with k rising; the sums advance together along the rows.
void ColumnDots(const double* m, int cols, int col, int k0, int k1, int j0, double* t) {
    std::fill(t + j0, t + cols, 0.0);
    linalg_kernels::AddRowSums(t, j0, cols, m, cols, m + col, cols, k0, k1);
}

// m(k, j) += f(j) m(k, col) for k in [k0, k1), j in [j0, cols), with col < j0.
void AddScaledColumn(double* m, int cols, int col, int k0, int k1, int j0, const double* f) {
    for (int k = k0; k < k1; ++k) {
        double* row = m + static_cast<long>(k) * cols;
        linalg_kernels::AddScaled(row, f, row[col], j0, cols);
    }
}

// s(t) -= f(k) r(k, t) for k = from, from + step, ... (count rows) and t in
// [t0, t1), with r row-major of stride n; each s(t) receives its
// subtractions one at a time in the order of k.
void SubtractRows(double* s, const double* f, const double* r, int n, int from, int count, int step, int t0,
                  int t1) {
    linalg_kernels::SubtractRowSums(s, t0, t1, r, n, f, from, count, step);
}

// to = the transpose of the rows x cols row-major from, in tiles that keep
// both sides' lines in cache.
void TransposeInto(double* to, const double* from, int rows, int cols) {
    constexpr int kTile = 16;
    for (int r0 = 0; r0 < rows; r0 += kTile) {
        const int r1 = std::min(rows, r0 + kTile);
        for (int c0 = 0; c0 < cols; c0 += kTile) {
            const int c1 = std::min(cols, c0 + kTile);
            for (int c = c0; c < c1; ++c)
                for (int r = r0; r < r1; ++r) to[static_cast<long>(c) * rows + r] = from[static_cast<long>(r) * cols + c];
        }
    }
}

// Columns per panel of the accumulations below: a panel of every row stays
// in the second-level cache through all the steps.
constexpr int kAccumulationPanel = 32;

// The walk over rows [kd, k1) of the columns [j0, j1) of the row-major m
// (n columns) in the accumulations: rows [ku, k1) are updated, m(k, j) +=
// f(j) x(k), when f is not null; then the sums of the next step, s(j) +=
// y(k) m(k, j) from row kd, k rising, when y is not null (s(j) is set to 0
// first).
void UpdateThenSum(double* m, int n, int kd, int ku, int k1, int j0, int j1, const double* f, const double* x,
                   double* s, const double* y) {
    if (j0 >= j1) return;
    if (y != nullptr) std::fill(s + j0, s + j1, 0.0);
    if (f != nullptr && y != nullptr)
        linalg_kernels::UpdateAndSum(m, n, kd, ku, k1, j0, j1, f, x, s, y);
    else if (f != nullptr)
        linalg_kernels::AddScaledRows(m, n, ku, k1, j0, j1, f, x);
    else if (y != nullptr)
        linalg_kernels::AddRowSums(s, j0, j1, m, n, y, 1, kd, k1);
}

// s(c) = sum_{k = k0 .. k1-1} y(k) m(k, c) from 0.0, k rising: the sum of one
// column (n columns) on its own.
double ColumnSum(const double* m, int n, int c, int k0, int k1, const double* y) {
    double d = 0.0;
    for (int k = k0; k < k1; ++k) d = d + y[k] * m[static_cast<long>(k) * n + c];
    return d;
}

// Accumulation of the right-hand transformations of the SVD into the n x n
// v, from the Householder rows of the reduced a (n columns) and the
// superdiagonal rv1. Step i (n-1 down to 0), for i < n-1: unless rv1(i+1) is
// 0, v's columns j > i become v(., j) + (sum_{k > i} a(i, k) v(k, j)) x_i on
// rows k > i, x_i(k) = (a(i, k) / a(i, i+1)) / rv1(i+1); then row i and
// column i are zeroed right of and below the diagonal; last v(i, i) = 1.
// A column's steps depend only on itself and on a, so v is formed in panels
// of columns that stay in cache, and one walk over the rows does one step's
// update and the next step's sums; every element receives the same
// operations in the same order as when each step ran over all columns.
// x: n x n scratch (row i: x_i); sums, next: n values of scratch each.
void AccumulateRight(double* v, const double* a, const double* rv1, int n, double* x, double* sums, double* next) {
    for (int i = 0; i < n - 1; ++i) {
        const double g = rv1[i + 1];
        if (g == 0.0) continue;
        const double* ai = a + static_cast<long>(i) * n;
        double* xi = x + static_cast<long>(i) * n;
        for (int k = i + 1; k < n; ++k) xi[k] = (ai[k] / ai[i + 1]) / g;
    }
    for (int p0 = 0; p0 < n; p0 += kAccumulationPanel) {
        const int p1 = std::min(n, p0 + kAccumulationPanel);
        double* s = sums;
        double* t = next;
        for (int i = n - 1; i >= 0; --i) {
            const int l = i + 1;
            const bool own = p0 <= i && i < p1;
            const int j0 = std::max(l, p0);
            // The zeros and the one of step i touch neither the rows nor
            // the columns its update does.
            if (i < n - 1) {
                if (j0 < p1) std::fill(v + static_cast<long>(i) * n + j0, v + static_cast<long>(i) * n + p1, 0.0);
                if (own)
                    for (int k = l; k < n; ++k) v[static_cast<long>(k) * n + i] = 0.0;
            }
            if (own) v[static_cast<long>(i) * n + i] = 1.0;
            // Step i's update (its sums are in s) and step i-1's sums (rows
            // from i) into t.
            const bool update = i < n - 1 && rv1[l] != 0.0;
            const bool sum = i > 0 && rv1[i] != 0.0;
            const double* y = sum ? a + static_cast<long>(i - 1) * n : nullptr;
            if (own && sum) t[i] = ColumnSum(v, n, i, i, n, y);
            UpdateThenSum(v, n, i, l, n, j0, p1, update ? s : nullptr, x + static_cast<long>(i) * n, t, y);
            std::swap(s, t);
        }
    }
}

// Accumulation of the left-hand transformations of the SVD in the m x n a,
// which holds the Householder columns of the reduction, with the diagonal w.
// Step i (min(m, n)-1 down to 0) zeros row i right of the diagonal; unless
// w(i) is 0 it adds to each column j > i the product of column i (rows i
// and below) with ((sum_{k > i} a(k, i) a(k, j)) / a(i, i)) (1 / w(i)), then
// scales column i by 1 / w(i) (or zeros it); last a(i, i) += 1. Column i
// takes part only at its own step and later, so the steps read it from h, a
// transposed copy taken before (row i: column i), and a is formed in panels
// of columns that stay in cache, one walk over the rows doing one step's
// update and the next step's sums; every element receives the same
// operations in the same order as when each step ran over all columns.
// h: n x m scratch; sums, next, f: n values of scratch each.
void AccumulateLeft(double* a, const double* w, int m, int n, double* h, double* sums, double* next, double* f) {
    TransposeInto(h, a, m, n);
    const int p = std::min(m, n);
    for (int p0 = 0; p0 < n && p > 0; p0 += kAccumulationPanel) {
        const int p1 = std::min(n, p0 + kAccumulationPanel);
        double* s = sums;
        double* t = next;
        // The sums of the first step.
        if (w[p - 1] != 0.0)
            UpdateThenSum(a, n, p, p, m, std::max(p, p0), p1, nullptr, nullptr, s, h + static_cast<long>(p - 1) * m);
        for (int i = p - 1; i >= 0; --i) {
            const int l = i + 1;
            const double* hi = h + static_cast<long>(i) * m;
            const int j0 = std::max(l, p0);
            if (j0 < p1) std::fill(a + static_cast<long>(i) * n + j0, a + static_cast<long>(i) * n + p1, 0.0);
            const bool update = w[i] != 0.0;
            if (update) {
                const double g = 1.0 / w[i];
                for (int j = j0; j < p1; ++j) f[j] = (s[j] / hi[i]) * g;
            }
            // Column i is finished before the walk: its update does not
            // touch it, and the next step's sums read it finished.
            if (p0 <= i && i < p1) {
                if (update) {
                    const double g = 1.0 / w[i];
                    for (int k = i; k < m; ++k) a[static_cast<long>(k) * n + i] *= g;
                } else {
                    for (int k = i; k < m; ++k) a[static_cast<long>(k) * n + i] = 0.0;
                }
                a[static_cast<long>(i) * n + i] += 1.0;
            }
            const bool sum = i > 0 && w[i - 1] != 0.0;
            const double* y = sum ? h + static_cast<long>(i - 1) * m : nullptr;
            if (p0 <= i && i < p1 && sum) t[i] = ColumnSum(a, n, i, i, m, y);
            UpdateThenSum(a, n, i, i, m, j0, p1, update ? f : nullptr, hi, t, y);
            std::swap(s, t);
        }
    }
}

// Row operations on a transposed factor of the SVD (rotation chains of the
// QR sweeps, sign changes), kept until a batch is full or Flush is called,
// then applied together in their order: each strip of the factor passes
// through the whole batch while in cache. The coefficients of queued chains
// live in slots of slotSize values (c, then s) taken from `slots`, which holds
// 2 kBatch of them.
class RowOpQueue {
public:
    static constexpr int kBatch = 16;

    RowOpQueue(double* t, long stride, int len, double* slots, long slotSize)
        : t_(t), stride_(stride), len_(len), slots_(slots), slotSize_(slotSize) {}

    // Where the coefficients of the next chain go (indices first .. last).
    double* NextC() const { return slots_ + 2 * count_ * slotSize_; }
    double* NextS() const { return NextC() + slotSize_; }
    // Queues the chain whose coefficients were written to NextC, NextS.
    void Chain(int fixed, int first, int last) {
        if (last >= first) Add({fixed, first, last, NextC(), NextS()});
    }
    void Negate(int row) { Add({linalg_kernels::RowOp::kNegate, row, row, nullptr, nullptr}); }
    void Flush() {
        linalg_kernels::ApplyRowOps(t_, stride_, len_, ops_, count_);
        count_ = 0;
    }

private:
    void Add(const linalg_kernels::RowOp& op) {
        ops_[count_++] = op;
        if (count_ == kBatch) Flush();
    }

    double* t_;
    long stride_;
    int len_;
    double* slots_;
    long slotSize_;
    linalg_kernels::RowOp ops_[kBatch];
    int count_ = 0;
};

// n values of T without throwing (value-initialised); null when they cannot
// be obtained, with error 1 raised.
template <class T>
std::unique_ptr<T[]> NewArray(long n) {
    const size_t count = static_cast<size_t>(n > 0 ? n : 0);
    std::unique_ptr<T[]> p(count <= static_cast<size_t>(PTRDIFF_MAX) / sizeof(T) ? new (std::nothrow) T[count]()
                                                                                 : nullptr);
    if (!p) VeskError(1);
    return p;
}


// True when the private copy of a decomposition did not get its storage
// (error 1 has been raised).
bool CopyFailed(const Matrix& copy, const Matrix& of) {
    return copy.X() != of.X() || copy.Y() != of.Y();
}

// The SVD of a copy of a, owning what it hands over: stored is false when
// storage was missing (error 1 raised), converged is SVD's answer.
struct SvdOfCopy {
    Matrix u;
    std::unique_ptr<MatVectorCol> w;
    std::unique_ptr<Matrix> v;
    int converged = 0;
    bool stored = false;

    explicit SvdOfCopy(const Matrix& a) : u(a) {
        if (CopyFailed(u, a)) return;
        MatVectorCol* wp = nullptr;
        Matrix* vp = nullptr;
        converged = u.SVD(wp, vp);
        w.reset(wp);
        v.reset(vp);
        stored = w != nullptr && v != nullptr;
    }
};

// A value whose logarithm is meaningful without range loss: finite and normal
// (or exactly 0).
bool InFullRange(double v) { return v == 0.0 || std::isnormal(v); }

}  // namespace

int Matrix::PivotRow(int k) const {
    int p = k;
    double best = std::fabs((*this)(k, k));
    for (int i = k + 1; i < nY; ++i) {
        const double v = std::fabs((*this)(i, k));
        if (v > best) {
            best = v;
            p = i;
        }
    }
    return p;
}

bool Matrix::Eliminate(double* rhs, bool* negative, int* order) {
    const int n = nX;
    // Blocked by panels of kPanel columns. Within a panel each step updates
    // only the panel's columns and stores its factors in the pivot column
    // below the diagonal, which nothing else reads; the columns right of the
    // panel then receive the panel's row operations in step order, element by
    // element, while a segment of the row stays in cache. Every element thus
    // sees the same subtractions in the same order as the unblocked steps.
    // The panel's rows over one segment of 128 columns (32 kB) stay in the
    // first-level cache while every row below passes (512 columns, 128 kB,
    // made the solve at n = 500 about a fifth slower).
    constexpr int kPanel = 32;
    constexpr int kSegment = 128;
    for (int k0 = 0; k0 < n; k0 += kPanel) {
        const int k1 = std::min(n, k0 + kPanel);
        for (int k = k0; k < k1; ++k) {
            const int p = PivotRow(k);
            if (p != k) {
                Swap((*this)[k], (*this)[p]);
                if (rhs != nullptr) std::swap(rhs[k], rhs[p]);
                if (negative != nullptr) *negative = !*negative;
                if (order != nullptr) std::swap(order[k], order[p]);
            }
            const double* pivotRow = (*this)[k];
            const double pivot = pivotRow[k];
            if (pivot == 0.0) return false;
            for (int i = k + 1; i < n; ++i) {
                double* row = (*this)[i];
                const double factor = row[k] / pivot;
                row[k] = factor;
                for (int j = k + 1; j < k1; ++j) row[j] -= factor * pivotRow[j];
                if (rhs != nullptr) rhs[i] -= factor * rhs[k];
            }
        }
        // Rows of the panel first (row k needs the operations of the panel
        // steps above it), then every row below, on the columns right of the
        // panel.
        for (int j0 = k1; j0 < n; j0 += kSegment) {
            const int j1 = std::min(n, j0 + kSegment);
            for (int i = k0 + 1; i < n; ++i) {
                double* row = (*this)[i];
                // Row i's factors lie left of the segment it updates.
                SubtractRows(row, row, (*this)[0], n, k0, std::min(i, k1) - k0, 1, j0, j1);
            }
        }
    }
    return true;
}

double Matrix::Det() const {
    if (nX != nY) {
        VeskError(3);
        return 0.0;
    }
    const int n = nX;
    if (n == 0) return 1.0;
    if (n == 1) return data[0];
    if (n == 2) return (*this)(1, 1) * (*this)(0, 0) - (*this)(0, 1) * (*this)(1, 0);
    Matrix a(*this);
    if (CopyFailed(a, *this)) return 0.0;
    bool negative = false;
    if (!a.Eliminate(nullptr, &negative, nullptr)) return 0.0;
    double d = a(0, 0);
    for (int k = 1; k < n; ++k) d *= a(k, k);
    return negative ? -d : d;
}

double Matrix::LogAbsDet() const {
    if (nX != nY) {
        VeskError(3);
        return 0.0;
    }
    const int n = nX;
    if (n == 0) return 0.0;
    if (n == 2) {
        const double p = (*this)(1, 1) * (*this)(0, 0);
        const double q = (*this)(0, 1) * (*this)(1, 0);
        // Products that over- or underflow lose the determinant's range.
        const double larger = std::fmax(std::fabs(p), std::fabs(q));
        if (std::isnormal(larger)) return std::log(std::fabs(p - q));
        return LogAbsDetEquilibrated();
    }
    double s = 0.0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) s += std::fabs((*this)(i, j));
    // An all-zero matrix: the scaling below would divide by zero.
    if (s == 0.0) return -std::numeric_limits<double>::infinity();
    const double mean = s / (static_cast<double>(nX) * nY);
    const double scale = 1.0 / mean;
    Matrix a(*this);
    if (CopyFailed(a, *this)) return 0.0;
    a *= scale;
    // The scaling by the mean magnitude keeps every element in range unless
    // the elements span more than the double range allows (or the sum
    // overflowed): then powers of two per row and column take its place.
    bool inRange = std::isnormal(mean) && std::isnormal(scale);
    const long count = static_cast<long>(n) * n;
    for (long i = 0; i < count && inRange; ++i)
        inRange = InFullRange(a.data[i]) && (a.data[i] != 0.0 || data[i] == 0.0);
    if (!inRange) return LogAbsDetEquilibrated();
    if (!a.Eliminate(nullptr, nullptr, nullptr)) return -std::numeric_limits<double>::infinity();
    double logs = std::log(std::fabs(a(0, 0)));
    for (int k = 1; k < n; ++k) logs += std::log(std::fabs(a(k, k)));
    const double result = n * std::log(mean) + logs;
    // A pivot that over- or underflowed in the elimination.
    if (std::isnan(result) || result == std::numeric_limits<double>::infinity())
        return LogAbsDetEquilibrated();
    return result;
}

double Matrix::LogAbsDetEquilibrated() const {
    const int n = nX;
    Matrix a(*this);
    if (CopyFailed(a, *this)) return 0.0;
    // Every row, then every column, is scaled by a power of two (exactly)
    // so that its largest magnitude lies in [0.5, 1); the exponents removed
    // are added back as a sum of integers.
    long long exponents = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < n; ++i) {
            double largest = 0.0;
            for (int j = 0; j < n; ++j)
                largest = std::fmax(largest, std::fabs(pass == 0 ? a(i, j) : a(j, i)));
            if (largest == 0.0) return -std::numeric_limits<double>::infinity();
            if (!std::isfinite(largest)) return std::numeric_limits<double>::quiet_NaN();
            int e = 0;
            std::frexp(largest, &e);
            exponents += e;
            for (int j = 0; j < n; ++j) {
                double& v = pass == 0 ? a(i, j) : a(j, i);
                v = std::ldexp(v, -e);
            }
        }
    }
    if (!a.Eliminate(nullptr, nullptr, nullptr)) return -std::numeric_limits<double>::infinity();
    double logs = std::log(std::fabs(a(0, 0)));
    for (int k = 1; k < n; ++k) logs += std::log(std::fabs(a(k, k)));
    return static_cast<double>(exponents) * std::numbers::ln2 + logs;
}

double* Matrix::SolveSystem(const double* b) const {
    if (nX != nY) {
        VeskError(3);
        return nullptr;
    }
    const int n = nX;
    if (b == nullptr && n > 0) {
        VeskError(3);
        return nullptr;
    }
    double* x = new (std::nothrow) double[static_cast<size_t>(n)]();
    double* rhs = new (std::nothrow) double[static_cast<size_t>(n)];
    if (x == nullptr || rhs == nullptr) {
        delete[] x;
        delete[] rhs;
        VeskError(1);
        return nullptr;
    }
    if (n > 0) std::memcpy(rhs, b, static_cast<size_t>(n) * sizeof(double));
    Matrix a(*this);
    if (CopyFailed(a, *this)) {
        delete[] x;
        delete[] rhs;
        return nullptr;
    }
    if (!a.Eliminate(rhs, nullptr, nullptr)) {
        VeskError(10);
        delete[] rhs;
        return x;
    }
    for (int i = n - 1; i >= 0; --i) {
        const double* row = a[i];
        double s = rhs[i];
        for (int j = n - 1; j > i; --j) s -= row[j] * x[j];
        if (s == 0.0) {
            x[i] = 0.0;
        } else if (row[i] == 0.0) {
            VeskError(10);
            break;
        } else {
            x[i] = s / row[i];
        }
    }
    delete[] rhs;
    return x;
}

Matrix* Matrix::Inverse() const {
    if (nX != nY) {
        VeskError(3);
        return nullptr;
    }
    const int n = nX;
    Matrix a(*this);
    if (CopyFailed(a, *this)) return nullptr;
    std::unique_ptr<int[]> origin = NewArray<int>(n);
    if (!origin) return nullptr;
    for (int i = 0; i < n; ++i) origin[i] = i;
    // A zero pivot makes the matrix singular, in the last column too.
    if (!a.Eliminate(nullptr, nullptr, origin.get())) {
        VeskError(10);
        return nullptr;
    }
    // The accumulated identity R0 (the elimination's row operations applied
    // to the identity, rows exchanged with A's), formed row by row from the
    // factors the elimination left below the diagonal: row i receives the
    // operations of steps 0..i-1 in order, each with the finished row of its
    // pivot. Its columns are kept permuted: column t of q holds the column of
    // R0 whose identity one started in the row chosen as pivot t. Pivot row k
    // can be non-zero only in columns 0..k (the others are exact +0.0, and R0
    // never holds -0.0), so with a finite factor the operation on the
    // remaining columns would change nothing and is skipped. A non-finite
    // factor (overflow, or infinities in the input) turns those zeros into
    // NaN, so such an operation runs over the whole row and marks it; a marked
    // pivot row is likewise applied in full.
    Matrix q(n);
    if (CopyFailed(q, *this)) return nullptr;
    std::unique_ptr<char[]> fullRow = NewArray<char>(n);
    if (!fullRow) return nullptr;
    for (int i = 0; i < n; ++i) {
        double* qRow = q[i];
        const double* factors = a[i];
        char full = 0;
        for (int k = 0; k < i; ++k) {
            const double factor = factors[k];
            int last = k;
            if (fullRow[k] != 0 || !std::isfinite(factor)) {
                last = n - 1;
                full = 1;
            }
            const double* qPivot = q[k];
            for (int t = 0; t <= last; ++t) qRow[t] -= factor * qPivot[t];
        }
        fullRow[i] = full;
        // The row's own identity one (1.0, or NaN after a full operation).
        qRow[i] += 1.0;
    }
    // Back substitution on all columns at once, row by row from the bottom:
    // R(i, .) = (R0(i, .) - sum_{j = n-1 down to i+1} A(i, j) R(j, .)) / A(i, i).
    // q's rows are overwritten by the rows of R (in q's column order), in
    // panels of columns that stay in cache.
    constexpr int kPanel = 128;
    for (int t0 = 0; t0 < n; t0 += kPanel) {
        const int t1 = std::min(n, t0 + kPanel);
        for (int i = n - 1; i >= 0; --i) {
            double* row = q[i];
            SubtractRows(row, a[i], q[0], n, n - 1, n - 1 - i, -1, t0, t1);
            const double d = a(i, i);
            for (int t = t0; t < t1; ++t) row[t] = row[t] / d;
        }
    }
    Matrix* r = NewMatrix(n, n);
    if (r == nullptr) return nullptr;
    for (int i = 0; i < n; ++i) {
        const double* src = q[i];
        double* dst = (*r)[i];
        for (int t = 0; t < n; ++t) dst[origin[t]] = src[t];
    }
    return r;
}

Matrix* Matrix::CholeskyDecompse() const {
    if (nX != nY) {
        VeskError(3, "Matrix is not symmetric");
        return nullptr;
    }
    const int n = nX;
    Matrix* L = NewMatrix(n, n);
    if (L == nullptr) return nullptr;
    // L is formed transposed in its own storage (row i holding column i of
    // L), so that the sums of a column, L(j, i) for every j >= i, advance
    // together along contiguous memory over the same k; it is transposed in
    // place at the end.
    double* t = L->data;
    for (int i = 0; i < n; i += 2) {
        const bool formed = i + 1 < n ? linalg_kernels::CholeskyColumnPair(t, data, n, i)
                                      : linalg_kernels::CholeskyColumn(t, data, n, i);
        if (!formed) {
            VeskError(3, "Matrix, with rounding errors, is is not positive defined");
            delete L;
            return nullptr;
        }
    }
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) std::swap(t[static_cast<long>(i) * n + j], t[static_cast<long>(j) * n + i]);
    return L;
}

double Matrix::Pythag(double a, double b) {
    const double p = std::fabs(a);
    const double q = std::fabs(b);
    if (p > q) {
        const double r = q / p;
        return p * std::sqrt(1.0 + r * r);
    }
    if (q == 0.0) return 0.0;
    const double r = p / q;
    return q * std::sqrt(1.0 + r * r);
}

int Matrix::SVD(MatVectorCol*& wOut, Matrix*& vOut) {
    const int m = nY;
    const int n = nX;
    wOut = linalg_alloc::NewVector<MatVectorCol>(n);
    vOut = wOut != nullptr ? NewMatrix(n, n) : nullptr;
    // Work arrays: the superdiagonal, a row of sums and the rotation
    // coefficients of the QR steps queued for U and for V.
    const long slotSize = n + 1L;
    std::unique_ptr<double[]> work =
        vOut != nullptr ? NewArray<double>(2L * n + 2 * 2 * RowOpQueue::kBatch * slotSize) : nullptr;
    // U and V transposed for the QR sweeps, whose rotations combine columns:
    // there each rotation runs along two contiguous rows.
    std::unique_ptr<double[]> transposed =
        work ? NewArray<double>(static_cast<long>(n) * (static_cast<long>(m) + n)) : nullptr;
    if (!transposed) {
        delete wOut;
        delete vOut;
        wOut = nullptr;
        vOut = nullptr;
        return 0;
    }
    double* w = wOut->GetData();
    Matrix& v = *vOut;
    Matrix& a = *this;
    double* rv1 = work.get();
    double* tmp = rv1 + n;
    double* slots = tmp + n;

    // Householder reduction to bidiagonal form.
    double g = 0.0;
    double scale = 0.0;
    double anorm = 0.0;
    double s = 0.0;
    int l = 0;
    for (int i = 0; i < n; ++i) {
        l = i + 1;
        rv1[i] = scale * g;
        g = s = scale = 0.0;
        // The column transformation of step i reaches rows below i in the
        // same walk as the row transformation (each row takes the first,
        // then the second, as before); column i is scaled back after both,
        // which neither reads.
        const double* columnFactors = nullptr;
        double columnScale = 0.0;
        if (i < m) {
            for (int k = i; k < m; ++k) scale += std::fabs(a(k, i));
            if (scale != 0.0) {
                for (int k = i; k < m; ++k) {
                    a(k, i) /= scale;
                    s += a(k, i) * a(k, i);
                }
                const double f = a(i, i);
                g = f >= 0.0 ? -std::sqrt(s) : std::sqrt(s);
                const double h = f * g - s;
                a(i, i) = f - g;
                ColumnDots(data, n, i, i, m, l, tmp);
                for (int j = l; j < n; ++j) tmp[j] = tmp[j] / h;
                AddScaledColumn(data, n, i, i, l, l, tmp);
                columnFactors = tmp;
                columnScale = scale;
            }
        }
        w[i] = scale * g;
        g = s = scale = 0.0;
        bool rowsDone = false;
        if (i < m && i != n - 1) {
            double* ai = a[i];
            for (int k = l; k < n; ++k) scale += std::fabs(ai[k]);
            if (scale != 0.0) {
                for (int k = l; k < n; ++k) {
                    ai[k] /= scale;
                    s += ai[k] * ai[k];
                }
                const double f = ai[l];
                g = f >= 0.0 ? -std::sqrt(s) : std::sqrt(s);
                const double h = f * g - s;
                ai[l] = f - g;
                for (int k = l; k < n; ++k) rv1[k] = ai[k] / h;
                linalg_kernels::DotAndUpdateRows(data, n, l, m, l, n, ai, rv1, columnFactors, i);
                rowsDone = true;
                for (int k = l; k < n; ++k) ai[k] *= scale;
            }
        }
        if (columnFactors != nullptr) {
            if (!rowsDone) AddScaledColumn(data, n, i, l, m, l, columnFactors);
            for (int k = i; k < m; ++k) a(k, i) *= columnScale;
        }
        const double span = std::fabs(w[i]) + std::fabs(rv1[i]);
        anorm = anorm > span ? anorm : span;
    }

    // Accumulation of the right-hand, then of the left-hand transformations
    // (the transposed storage serves as scratch).
    AccumulateRight(vOut->data, data, rv1, n, transposed.get(), tmp, slots);
    AccumulateLeft(data, w, m, n, transposed.get(), tmp, slots, slots + n);

    double* ut = transposed.get();
    double* vt = ut + static_cast<long>(n) * m;
    TransposeInto(ut, data, m, n);
    TransposeInto(vt, vOut->data, n, n);
    RowOpQueue toU(ut, m, m, slots, slotSize);
    RowOpQueue toV(vt, n, n, slots + 2 * RowOpQueue::kBatch * slotSize, slotSize);

    // Diagonalisation of the bidiagonal form by implicit-shift QR.
    for (int k = n - 1; k >= 0; --k) {
        for (int its = 1; its <= kMaxSvdIterations; ++its) {
            bool cancel = true;
            int nm = 0;
            for (l = k; l >= 0; --l) {
                nm = l - 1;
                // e(0) is zero, so l = 0 always splits; testing it directly
                // also keeps a NaN anorm from reaching w(-1).
                if (l == 0 || std::fabs(rv1[l]) + anorm == anorm) {
                    cancel = false;
                    break;
                }
                if (std::fabs(w[nm]) + anorm == anorm) break;
            }
            if (cancel) {
                double c = 0.0;
                s = 1.0;
                int last = l - 1;
                double* cU = toU.NextC();
                double* sU = toU.NextS();
                for (int i = l; i <= k; ++i) {
                    const double f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (std::fabs(f) + anorm == anorm) break;
                    g = w[i];
                    double h = Pythag(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    cU[i] = c;
                    sU[i] = s;
                    last = i;
                }
                toU.Chain(nm, l, last);
            }
            double z = w[k];
            if (l == k) {
                if (z < 0.0) {
                    w[k] = -z;
                    toV.Negate(k);
                }
                break;
            }
            if (its == kMaxSvdIterations) {
                VeskError(VeskModuleErrorCode, "no convergence in 30 SVD iterations");
                toU.Flush();
                toV.Flush();
                TransposeInto(data, ut, n, m);
                TransposeInto(vOut->data, vt, n, n);
                return 0;
            }
            double x = w[l];
            nm = k - 1;
            double y = w[nm];
            g = rv1[nm];
            double h = rv1[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = Pythag(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + (f >= 0.0 ? g : -g))) - h)) / x;
            double c = 1.0;
            s = 1.0;
            double* cU = toU.NextC();
            double* sU = toU.NextS();
            double* cV = toV.NextC();
            double* sV = toV.NextS();
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = rv1[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = Pythag(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y = y * c;
                cV[j] = c;
                sV[j] = s;
                z = Pythag(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                cU[j] = c;
                sU[j] = s;
            }
            toV.Chain(linalg_kernels::RowOp::kNeighbours, l, nm);
            toU.Chain(linalg_kernels::RowOp::kNeighbours, l, nm);
            rv1[l] = 0.0;
            rv1[k] = f;
            w[k] = x;
        }
    }

    toU.Flush();
    toV.Flush();
    TransposeInto(data, ut, n, m);
    TransposeInto(vOut->data, vt, n, n);

    // Descending order of the singular values, columns of U and V following.
    std::unique_ptr<SingularPair[]> pairs = NewArray<SingularPair>(2L * n);
    if (!pairs) {
        delete wOut;
        delete vOut;
        wOut = nullptr;
        vOut = nullptr;
        return 0;
    }
    for (int i = 0; i < n; ++i) pairs[i] = {w[i], i};
    SortDescending(pairs.get(), pairs.get() + n, n);
    for (int p = n - 1; p >= 0; --p) {
        const int src = pairs[p].index;
        if (src != p) {
            SwapColumns(p, src);
            v.SwapColumns(p, src);
        }
        w[p] = pairs[p].value;
        for (int r = p - 1; r >= 0; --r) {
            if (pairs[r].index == p) {
                pairs[r].index = src;
                break;
            }
        }
    }
    return 1;
}

double* Matrix::SolveSystemBySVD(const double* b) const {
    const int n = nX;
    const int m = nY;
    std::unique_ptr<double[]> x = NewArray<double>(n);
    if (!x) return nullptr;
    if (b == nullptr && m > 0) {
        VeskError(3);
        return x.release();
    }
    SvdOfCopy svd(*this);
    if (!svd.stored) return nullptr;
    if (svd.converged == 0) return x.release();
    const std::unique_ptr<MatVectorCol>& w = svd.w;
    const std::unique_ptr<Matrix>& v = svd.v;
    std::unique_ptr<Matrix> ut(svd.u.Transpose());
    MatVectorCol rhs(b, m);
    // Made at their final length, so that the products need no storage.
    MatVectorCol t(n);
    MatVectorCol y(n);
    if (!ut || rhs.Len() != m || t.Len() != n || y.Len() != n) return nullptr;
    ut->RightMultiply(t, rhs);
    const int last = std::min(t.Len(), w->Len()) - 1;
    double total = 0.0;
    for (int i = last; i >= 0; --i) total += std::fabs((*w)[i]);
    const double threshold = kSingularThreshold * total;
    for (int i = last; i >= 0; --i) {
        if (std::fabs((*w)[i]) <= threshold)
            t[i] = 0.0;
        else
            t[i] = t[i] / (*w)[i];
    }
    v->RightMultiply(y, t);
    std::copy(y.GetData(), y.GetData() + n, x.get());
    return x.release();
}

Matrix* Matrix::PseudoInverse() const {
    const int n = nX;
    SvdOfCopy svd(*this);
    if (!svd.stored || svd.converged == 0) return nullptr;
    const std::unique_ptr<MatVectorCol>& w = svd.w;
    const std::unique_ptr<Matrix>& v = svd.v;
    double total = 0.0;
    for (int i = n - 1; i >= 0; --i) total += std::fabs((*w)[i]);
    const double threshold = kSingularThreshold * total;
    for (int i = 0; i < n; ++i) (*w)[i] = std::fabs((*w)[i]) <= threshold ? 0.0 : 1.0 / (*w)[i];
    std::unique_ptr<Matrix> ut(svd.u.Transpose());
    if (!ut) return nullptr;
    v->MultByDiagonalMatrix(*w);
    return (*v) * (*ut);
}
