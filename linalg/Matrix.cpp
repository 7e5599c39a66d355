// Matrix storage, element access, structure and arithmetic.
#include "linalg/Matrix.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "containers/Arrays.h"
#include "linalg/NewLinalg.h"

using linalg_alloc::NewMatrix;

namespace {

constexpr double kSearchStart = 1e300;

// Copies n doubles; tolerates empty ranges with null pointers.
void CopyDoubles(double* to, const double* from, long n) {
    if (n > 0) std::memcpy(to, from, static_cast<size_t>(n) * sizeof(double));
}

// to(i, j) = sum_k a(i, k) b(k, j), k rising from 0.0, for a rows x inner
// and b inner x cols, into to (rows x cols, row-major). Rows of the result are
// formed four at a time and columns in panels, so each row of b is loaded
// once per four result rows while every sum keeps its terms in k order.
void MultiplyInto(double* to, const double* a, const double* b, int rows, int inner, int cols) {
    std::fill(to, to + static_cast<long>(rows) * cols, 0.0);
    constexpr int kPanel = 256;
    for (int j0 = 0; j0 < cols; j0 += kPanel) {
        const int j1 = std::min(cols, j0 + kPanel);
        int i = 0;
        for (; i + 4 <= rows; i += 4) {
            double* c0 = to + static_cast<long>(i) * cols;
            double* c1 = c0 + cols;
            double* c2 = c1 + cols;
            double* c3 = c2 + cols;
            const double* a0 = a + static_cast<long>(i) * inner;
            const double* a1 = a0 + inner;
            const double* a2 = a1 + inner;
            const double* a3 = a2 + inner;
            for (int k = 0; k < inner; ++k) {
                const double* bk = b + static_cast<long>(k) * cols;
                const double f0 = a0[k], f1 = a1[k], f2 = a2[k], f3 = a3[k];
                for (int j = j0; j < j1; ++j) {
                    const double bv = bk[j];
                    c0[j] += f0 * bv;
                    c1[j] += f1 * bv;
                    c2[j] += f2 * bv;
                    c3[j] += f3 * bv;
                }
            }
        }
        for (; i < rows; ++i) {
            double* c0 = to + static_cast<long>(i) * cols;
            const double* a0 = a + static_cast<long>(i) * inner;
            for (int k = 0; k < inner; ++k) {
                const double* bk = b + static_cast<long>(k) * cols;
                const double f0 = a0[k];
                for (int j = j0; j < j1; ++j) c0[j] += f0 * bk[j];
            }
        }
    }
}

// Checks that a sorted index list holds distinct values in [0, limit).
bool ValidSortedIndices(IntArray& list, int limit) {
    for (int i = 0; i < list.Len(); ++i) {
        if (list[i] < 0 || list[i] >= limit) return false;
        if (i > 0 && list[i] == list[i - 1]) return false;
    }
    return true;
}

// n doubles 0.0, or null when they cannot be obtained (also for a count
// whose byte size does not fit).
double* NewZeros(size_t n) {
    if (n > static_cast<size_t>(PTRDIFF_MAX) / sizeof(double)) return nullptr;
    return new (std::nothrow) double[n]();
}

}  // namespace

bool Matrix::Allocate(int rows, int cols) {
    const int r = rows > 0 ? rows : 0;
    const int c = cols > 0 ? cols : 0;
    double* d = NewZeros(static_cast<size_t>(c) * static_cast<size_t>(r));
    double* b = d != nullptr ? NewZeros(static_cast<size_t>(c)) : nullptr;
    if (b == nullptr) {
        delete[] d;
        VeskError(1);
        return false;
    }
    nY = r;
    nX = c;
    data = d;
    rowBuffer = b;
    return true;
}

void Matrix::MakeEmpty() {
    nX = 0;
    nY = 0;
    data = nullptr;
    rowBuffer = nullptr;
}

void Matrix::Release() {
    delete[] data;
    delete[] rowBuffer;
    MakeEmpty();
}

Matrix::Matrix(int n) {
    MakeEmpty();
    Allocate(n, n);
}

Matrix::Matrix(int rows, int cols) {
    MakeEmpty();
    Allocate(rows, cols);
}

Matrix::Matrix(int rows, int cols, const double* src) {
    MakeEmpty();
    if (Allocate(rows, cols) && src != nullptr) CopyDoubles(data, src, static_cast<long>(nX) * nY);
}

Matrix::Matrix(const Matrix& m) {
    MakeEmpty();
    if (Allocate(m.nY, m.nX)) CopyDoubles(data, m.data, static_cast<long>(nX) * nY);
}

Matrix::Matrix(Variable& v) {
    MakeEmpty();
    const int rows = v.GetDim();
    const int cols = rows > 0 ? v[0].GetDim() : 0;
    bool ok = rows > 0 && cols > 0;
    if (ok) {
        // No storage: error 1 and the empty matrix.
        if (!Allocate(rows, cols)) return;
        for (int i = 0; i < rows && ok; ++i) {
            Variable& row = v[i];
            const Variable* elems = row.GetArray();
            if (row.GetDim() != cols || elems == nullptr) {
                ok = false;
                break;
            }
            double* out = (*this)[i];
            for (int j = 0; j < cols; ++j) out[j] = static_cast<double>(elems[j]);
        }
        if (!ok) Release();
    }
    if (!ok) {
        VeskError(3);
        Allocate(1, 1);
    }
}

Matrix::~Matrix() { Release(); }

Matrix& Matrix::operator=(const Matrix& m) {
    if (this == &m) return *this;
    if (m.nX != nX || m.nY != nY) {
        Matrix fresh(m.nY, m.nX);
        if (fresh.nX != m.nX || fresh.nY != m.nY) return *this;
        Move(fresh);
    }
    CopyDoubles(data, m.data, static_cast<long>(nX) * nY);
    return *this;
}

void Matrix::SetSize(int rows, int cols) {
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    if (rows == nY && cols == nX) return;
    Matrix fresh(rows, cols);
    if (fresh.nX == cols && fresh.nY == rows) Move(fresh);
}

void Matrix::Move(Matrix& m) {
    std::swap(nX, m.nX);
    std::swap(nY, m.nY);
    std::swap(data, m.data);
    std::swap(rowBuffer, m.rowBuffer);
}

void Matrix::Set(double d) {
    if (data == nullptr) return;
    std::fill(data, data + static_cast<long>(nX) * nY, d);
}

void Matrix::SetDiagonal(double d) {
    const int n = std::min(nX, nY);
    for (int i = 0; i < n; ++i) (*this)(i, i) = d;
}

void Matrix::SetDiagonal(const MatVector& d) {
    const int n = std::min(nX, nY);
    if (d.Len() < n) return;
    for (int i = 0; i < n; ++i) (*this)(i, i) = d[i];
}

Matrix* Matrix::Transpose() const {
    Matrix* t = NewMatrix(nX, nY);
    if (t == nullptr) return nullptr;
    for (int r = 0; r < nY; ++r) {
        const double* src = (*this)[r];
        for (int c = 0; c < nX; ++c) (*t)(c, r) = src[c];
    }
    return t;
}

void Matrix::SwapColumns(int a, int b) {
    for (int i = 0; i < nY; ++i) {
        double* row = (*this)[i];
        Swap(row[a], row[b]);
    }
}

void Matrix::Swap(double& a, double& b) {
    const double t = a;
    a = b;
    b = t;
}

void Matrix::Swap(double* rowA, double* rowB) {
    CopyDoubles(rowBuffer, rowA, nX);
    CopyDoubles(rowA, rowB, nX);
    CopyDoubles(rowB, rowBuffer, nX);
}

Matrix* Matrix::GetMinor(IntArray& rows, IntArray& cols) const {
    rows.QSort();
    cols.QSort();
    if (!ValidSortedIndices(rows, nY) || !ValidSortedIndices(cols, nX)) {
        VeskError(3);
        return nullptr;
    }
    Matrix* m = NewMatrix(nY - rows.Len(), nX - cols.Len());
    if (m == nullptr) return nullptr;
    int rowCursor = 0;
    int outRow = 0;
    for (int r = 0; r < nY; ++r) {
        if (rowCursor < rows.Len() && rows[rowCursor] == r) {
            ++rowCursor;
            continue;
        }
        const double* src = (*this)[r];
        double* dst = (*m)[outRow++];
        int colCursor = 0;
        int outCol = 0;
        for (int c = 0; c < nX; ++c) {
            if (colCursor < cols.Len() && cols[colCursor] == c) {
                ++colCursor;
                continue;
            }
            dst[outCol++] = src[c];
        }
    }
    return m;
}

Matrix* Matrix::operator+(const Matrix& B) const {
    if (B.nX != nX || B.nY != nY) return nullptr;
    Matrix* m = NewMatrix(*this);
    if (m != nullptr) *m += B;
    return m;
}

Matrix* Matrix::operator-(const Matrix& B) const {
    if (B.nX != nX || B.nY != nY) return nullptr;
    Matrix* m = NewMatrix(*this);
    if (m != nullptr) *m -= B;
    return m;
}

Matrix& Matrix::operator+=(const Matrix& B) {
    if (B.nX != nX || B.nY != nY) return *this;
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i) data[i] += B.data[i];
    return *this;
}

Matrix& Matrix::operator-=(const Matrix& B) {
    if (B.nX != nX || B.nY != nY) return *this;
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i) data[i] -= B.data[i];
    return *this;
}

Matrix* Matrix::operator+(double d) const {
    Matrix* m = NewMatrix(*this);
    if (m != nullptr) *m += d;
    return m;
}

Matrix* Matrix::operator-(double d) const {
    Matrix* m = NewMatrix(*this);
    if (m != nullptr) *m -= d;
    return m;
}

Matrix* Matrix::operator*(double d) const {
    Matrix* m = NewMatrix(*this);
    if (m != nullptr) *m *= d;
    return m;
}

Matrix& Matrix::operator+=(double d) {
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i) data[i] += d;
    return *this;
}

Matrix& Matrix::operator-=(double d) {
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i) data[i] -= d;
    return *this;
}

Matrix& Matrix::operator*=(double d) {
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i) data[i] *= d;
    return *this;
}

Matrix* Matrix::operator*(const Matrix& B) const {
    if (nX != B.nY) return nullptr;
    Matrix* m = NewMatrix(nY, B.nX);
    if (m != nullptr) MultiplyInto(m->data, data, B.data, nY, nX, B.nX);
    return m;
}

Matrix& Matrix::operator*=(const Matrix& B) {
    if (nX != B.nY || B.nX != nX) return *this;
    Matrix product(nY, nX);
    if (product.nY != nY || product.nX != nX) return *this;
    MultiplyInto(product.data, data, B.data, nY, nX, nX);
    Move(product);
    return *this;
}

MatVectorCol* Matrix::operator*(const MatVectorCol& v) const {
    if (nX != v.Len()) return nullptr;
    MatVectorCol* r = linalg_alloc::NewVector<MatVectorCol>(nY);
    if (r != nullptr) Mul(*r, v);
    return r;
}

void Matrix::Mul(MatVector& out, const MatVectorCol& v) const {
    if (nX != v.Len()) return;
    if (out.Len() != nY) out.SetSize(nY);
    if (out.Len() != nY) return;
    const double* x = v.GetData();
    for (int i = 0; i < nY; ++i) {
        const double* row = (*this)[i];
        double s = 0.0;
        for (int j = 0; j < nX; ++j) s += row[j] * x[j];
        out[i] = s;
    }
}

void Matrix::RightMultiply(MatVectorCol& out, const MatVectorCol& v) const {
    if (nX != v.Len()) return;
    out.SetSize(nY);
    out.Set(0.0);
    Mul(out, v);
}

Matrix& Matrix::MultByDiagonalMatrix(const MatVector& d) {
    if (nX != d.Len()) return *this;
    for (int i = 0; i < nY; ++i) {
        double* row = (*this)[i];
        for (int j = 0; j < nX; ++j) row[j] *= d[j];
    }
    return *this;
}

double Matrix::Max() const {
    double best = -kSearchStart;
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i)
        if (data[i] > best) best = data[i];
    return best;
}

double Matrix::Min() const {
    double best = kSearchStart;
    const long n = static_cast<long>(nX) * nY;
    for (long i = 0; i < n; ++i)
        if (data[i] < best) best = data[i];
    return best;
}

void Matrix::MaxItemIndex(int& x, int& y) const {
    x = 0;
    y = 0;
    double best = -kSearchStart;
    for (int i = 0; i < nY; ++i) {
        const double* row = (*this)[i];
        for (int j = 0; j < nX; ++j) {
            if (row[j] > best) {
                best = row[j];
                x = j;
                y = i;
            }
        }
    }
}

void Matrix::MinItemIndex(int& x, int& y) const {
    x = 0;
    y = 0;
    double best = kSearchStart;
    for (int i = 0; i < nY; ++i) {
        const double* row = (*this)[i];
        for (int j = 0; j < nX; ++j) {
            if (row[j] < best) {
                best = row[j];
                x = j;
                y = i;
            }
        }
    }
}

double Matrix::Convolove(const Matrix& B) const {
    if (B.nX != nX || B.nY != nY) return 0.0;
    double s = 0.0;
    for (long i = static_cast<long>(nX) * nY - 1; i >= 0; --i) s += data[i] * B.data[i];
    return s;
}
