// Vectors: storage, exchange with host values, measures and arithmetic.
#include "linalg/MatVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "host/Plugin.h"
#include "linalg/Matrix.h"
#include "linalg/NewLinalg.h"

int MatVector::DefaultSize = 1;

namespace {

constexpr double kSearchStart = 1e300;

// Array of n values 0.0 (room for at least `room` values), or null with
// error 1 when it cannot be obtained.
double* NewZeros(int n, int room) {
    const int size = std::max(std::max(n, room), 0);
    double* p = new (std::nothrow) double[static_cast<size_t>(size)]();
    if (p == nullptr) VeskError(1);
    return p;
}

// n default vectors (each raising error 1 itself when its storage fails), or
// null with error 1.
MatVectorCol* NewColumns(int n) {
    MatVectorCol* p = new (std::nothrow) MatVectorCol[static_cast<size_t>(n)];
    if (p == nullptr) VeskError(1);
    return p;
}

void CopyDoubles(double* to, const double* from, int n) {
    if (n > 0) std::memcpy(to, from, static_cast<size_t>(n) * sizeof(double));
}

// sum_i x(i) * (sum_j M(i, j) y(j)) for n x n M, each sum from 0.0 with its
// index rising.
double QuadraticForm(const double* x, const Matrix& M, const double* y, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* row = M[i];
        double r = 0.0;
        for (int j = 0; j < n; ++j) r += row[j] * y[j];
        s += x[i] * r;
    }
    return s;
}

bool IsSquareOf(const Matrix& M, int n) { return M.X() == n && M.Y() == n; }

}  // namespace

MatVector::MatVector() : len(0), data(nullptr) { Resize(DefaultSize); }

MatVector::MatVector(int n) : len(0), data(nullptr) { Resize(n); }

MatVector::MatVector(const double* p, int n) : len(0), data(nullptr) {
    if (Resize(n) && p != nullptr) CopyDoubles(data, p, len);
}

MatVector::MatVector(const MatVector& v) : len(0), data(nullptr) {
    if (Resize(v.len)) CopyDoubles(data, v.data, len);
}

MatVector::MatVector(Variable& v) : len(0), data(nullptr) { ReadVariable(v); }

MatVector::~MatVector() { delete[] data; }

bool MatVector::Resize(int n) {
    n = std::max(n, 0);
    if (data != nullptr && n == len) return true;
    delete[] data;
    data = NewZeros(n, n);
    len = data != nullptr ? n : 0;
    return data != nullptr;
}

void MatVector::ReadVariable(Variable& v) {
    const int n = std::max(v.GetDim(), 0);
    if (data == nullptr || n != len) {
        delete[] data;
        // One value more than the length, so an empty vector still has storage.
        data = NewZeros(n, n + 1);
        len = data != nullptr ? n : 0;
        if (data == nullptr) return;
    }
    const Variable* elems = v.GetArray();
    for (int i = 0; i < len; ++i) data[i] = elems != nullptr ? static_cast<double>(elems[i]) : 0.0;
}

MatVector& MatVector::operator=(const MatVector& v) {
    if (this != &v && Resize(v.len)) CopyDoubles(data, v.data, len);
    return *this;
}

MatVector& MatVector::operator=(Variable& v) {
    ReadVariable(v);
    return *this;
}

void MatVector::Set(const double* p, int n) {
    if (Resize(n) && p != nullptr) CopyDoubles(data, p, len);
}

void MatVector::SetSize(int n) {
    n = std::max(n, 0);
    if (n == len && data != nullptr) return;
    double* fresh = NewZeros(n, n);
    if (fresh == nullptr) return;
    CopyDoubles(fresh, data, std::min(n, len));
    delete[] data;
    data = fresh;
    len = n;
}

void MatVector::Set(double d) { std::fill(data, data + len, d); }

int MatVector::operator==(const MatVector& v) const {
    if (len != v.len) return 0;
    if (len == 0) return 1;
    return std::memcmp(data, v.data, static_cast<size_t>(len) * sizeof(double)) == 0 ? 1 : 0;
}

void MatVector::ExportToVector(Variable& out) const {
    out.Init(VT_ARRAY, len);
    Variable* elems = out.GetArray();
    if (elems == nullptr) return;
    for (int i = 0; i < len; ++i) elems[i] = data[i];
}

void MatVector::ExportToMVector(Variable& out) const {
    Processor* processor = GetOwner();
    if (processor == nullptr) return;
    VarRegister arg;
    arg = len;
    processor->MakeInstance(out, "MVector", &arg, 1);
    Variable* elems = out.GetArray();
    if (elems == nullptr) return;
    // Never write past the elements the instance presents.
    const int n = std::min(len, out.GetDim());
    for (int i = 0; i < n; ++i) elems[i] = data[i];
}

void MatVector::SetDefaultSize(int n) { DefaultSize = n; }

int MatVector::GetDefaultSize() { return DefaultSize; }

double MatVector::Norm() const {
    double s = 0.0;
    for (int i = 0; i < len; ++i) s += data[i] * data[i];
    return std::sqrt(s);
}

double MatVector::Norm(const Matrix& M) const {
    if (!IsSquareOf(M, len)) return 0.0;
    return std::sqrt(QuadraticForm(data, M, data, len));
}

double MatVector::Distance(const MatVector& v) const {
    if (v.len < len) return 0.0;
    double s = 0.0;
    for (int i = 0; i < len; ++i) {
        const double d = data[i] - v.data[i];
        s += d * d;
    }
    return std::sqrt(s);
}

double MatVector::MahalonabisDistance(const MatVector& v, const Matrix& M) const {
    if (v.len < len || !IsSquareOf(M, len)) return 0.0;
    MatVector d(data, len);
    for (int i = 0; i < len; ++i) d.data[i] = data[i] - v.data[i];
    return std::sqrt(QuadraticForm(d.data, M, d.data, len));
}

double MatVector::Cosine(const MatVector& v) const {
    if (v.len < len) return 0.0;
    double xv = 0.0;
    double vv = 0.0;
    double xx = 0.0;
    for (int i = 0; i < len; ++i) {
        xv += data[i] * v.data[i];
        vv += v.data[i] * v.data[i];
        xx += data[i] * data[i];
    }
    if (vv <= 0.0 || xx <= 0.0) return 0.0;
    return xv / std::sqrt(vv * xx);
}

double MatVector::MahalonabisCosine(const MatVector& v, const Matrix& M) const {
    if (len == 0 || v.len < len || !IsSquareOf(M, len)) return 0.0;
    const double xMv = QuadraticForm(data, M, v.data, len);
    const double vMv = QuadraticForm(v.data, M, v.data, len);
    const double xMx = QuadraticForm(data, M, data, len);
    if (xMx <= 0.0 || vMv <= 0.0) return 0.0;
    return xMv / std::sqrt(vMv * xMx);
}

double MatVector::ScalarMultiply(const MatVector& v) const {
    if (v.len != len) return 0.0;
    double s = 0.0;
    for (int i = 0; i < len; ++i) s += data[i] * v.data[i];
    return s;
}

double MatVector::Max() const {
    double best = -kSearchStart;
    for (int i = 0; i < len; ++i)
        if (data[i] > best) best = data[i];
    return best;
}

double MatVector::Min() const {
    double best = kSearchStart;
    for (int i = 0; i < len; ++i)
        if (data[i] < best) best = data[i];
    return best;
}

int MatVector::MaxIndex() const {
    int index = 0;
    double best = -kSearchStart;
    for (int i = 0; i < len; ++i) {
        if (data[i] > best) {
            best = data[i];
            index = i;
        }
    }
    return index;
}

int MatVector::MinIndex() const {
    int index = 0;
    double best = kSearchStart;
    for (int i = 0; i < len; ++i) {
        if (data[i] < best) {
            best = data[i];
            index = i;
        }
    }
    return index;
}

MatVector& MatVector::operator+=(const MatVector& v) {
    if (v.len == len)
        for (int i = 0; i < len; ++i) data[i] += v.data[i];
    return *this;
}

MatVector& MatVector::operator-=(const MatVector& v) {
    if (v.len == len)
        for (int i = 0; i < len; ++i) data[i] -= v.data[i];
    return *this;
}

MatVector& MatVector::operator+=(double d) {
    for (int i = 0; i < len; ++i) data[i] += d;
    return *this;
}

MatVector& MatVector::operator-=(double d) {
    for (int i = 0; i < len; ++i) data[i] -= d;
    return *this;
}

MatVector& MatVector::operator*=(double d) {
    for (int i = 0; i < len; ++i) data[i] *= d;
    return *this;
}

MatVector& MatVector::DivByItem(const MatVector& d) {
    if (d.len >= len)
        for (int i = 0; i < len; ++i) data[i] /= d.data[i];
    return *this;
}

int MatVector::Bind(const MatVector& bounds) {
    if (bounds.len < 2 * static_cast<long>(len)) return 0;
    int changed = 0;
    for (int i = 0; i < len; ++i) {
        const double lower = bounds.data[2 * i];
        const double upper = bounds.data[2 * i + 1];
        if (data[i] < lower) {
            data[i] = lower;
            changed = 1;
        } else if (data[i] > upper) {
            data[i] = upper;
            changed = 1;
        }
    }
    return changed;
}

// Column and row vectors: the shared operations answer the derived object.

#define VESK_VECTOR_ORIENTATION(Cls)                                              \
    Cls& Cls::operator=(const Cls& v) {                                           \
        MatVector::operator=(v);                                                  \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator=(const MatVector& v) {                                     \
        MatVector::operator=(v);                                                  \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator=(Variable& v) {                                            \
        MatVector::operator=(v);                                                  \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator+=(const MatVector& v) {                                    \
        MatVector::operator+=(v);                                                 \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator-=(const MatVector& v) {                                    \
        MatVector::operator-=(v);                                                 \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator+=(double d) {                                              \
        MatVector::operator+=(d);                                                 \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator-=(double d) {                                              \
        MatVector::operator-=(d);                                                 \
        return *this;                                                             \
    }                                                                             \
    Cls& Cls::operator*=(double d) {                                              \
        MatVector::operator*=(d);                                                 \
        return *this;                                                             \
    }                                                                             \
    Cls Cls::operator+(const Cls& v) const { return Cls(*this) += v; }            \
    Cls Cls::operator-(const Cls& v) const { return Cls(*this) -= v; }            \
    Cls Cls::operator+(double d) const { return Cls(*this) += d; }                \
    Cls Cls::operator-(double d) const { return Cls(*this) -= d; }                \
    Cls Cls::operator*(double d) const { return Cls(*this) *= d; }

VESK_VECTOR_ORIENTATION(MatVectorCol)
VESK_VECTOR_ORIENTATION(MatVectorRow)

#undef VESK_VECTOR_ORIENTATION

MatVectorRow MatVectorCol::T() const { return MatVectorRow(static_cast<const MatVector&>(*this)); }

MatVectorCol MatVectorRow::T() const { return MatVectorCol(static_cast<const MatVector&>(*this)); }

Matrix* MatVectorCol::operator*(const MatVectorRow& r) const {
    Matrix* m = linalg_alloc::NewMatrix(len, r.Len());
    if (m != nullptr) RightMultiply(*m, r);
    return m;
}

void MatVectorCol::RightMultiply(Matrix& out, const MatVectorRow& r) const {
    const int cols = r.Len();
    out.SetSize(len, cols);
    for (int i = 0; i < len; ++i) {
        double* row = out[i];
        for (int j = 0; j < cols; ++j) row[j] = r[j] * data[i];
    }
}

double MatVectorRow::operator*(const MatVectorCol& c) const { return ScalarMultiply(c); }

MatVectorRow* MatVectorRow::operator*(const Matrix& M) const {
    if (len != M.Y()) return nullptr;
    MatVectorRow* r = linalg_alloc::NewVector<MatVectorRow>(M.X());
    if (r != nullptr) RightMultiply(*r, M);
    return r;
}

void MatVectorRow::RightMultiply(MatVectorRow& out, const Matrix& M) const {
    if (len != M.Y()) return;
    const int cols = M.X();
    out.SetSize(cols);
    out.Set(0.0);
    if (out.Len() != cols) return;
    // Rows of M are walked outermost; each out(c) still accumulates its terms
    // x(j) M(j, c) with j rising.
    double* o = out.GetData();
    for (int j = 0; j < len; ++j) {
        const double* row = M[j];
        const double xj = data[j];
        for (int c = 0; c < cols; ++c) o[c] += xj * row[c];
    }
}

MatVectorColSet::MatVectorColSet(int n) : items(nullptr), count(0) {
    if (n <= 0) return;
    items = NewColumns(n);
    count = items != nullptr ? n : 0;
}

MatVectorColSet::MatVectorColSet(const MatVectorColSet& s) : MatVectorColSet(s.count) {
    for (int i = 0; i < count; ++i) items[i] = s.items[i];
}

MatVectorColSet::MatVectorColSet(Variable& v) : items(nullptr), count(0) {
    const int present = std::max(v.GetDim(), 0);
    const int n = std::max(present, 1);
    // An empty host array has no element 0 to ask for a length.
    const int len = std::max(present > 0 ? v[0].GetDim() : 0, 1);
    MatVector::SetDefaultSize(len);
    items = NewColumns(n);
    if (items == nullptr) return;
    count = n;
    for (int i = 0; i < present; ++i) {
        Variable& element = v[i];
        const Variable* elems = element.GetArray();
        if (elems == nullptr) continue;
        MatVectorCol& item = items[i];
        const int m = std::min(std::min(len, element.GetDim()), item.Len());
        for (int j = 0; j < m; ++j) item[j] = static_cast<double>(elems[j]);
    }
}

MatVectorColSet::~MatVectorColSet() { delete[] items; }

MatVectorColSet& MatVectorColSet::operator=(const MatVectorColSet& s) {
    if (this == &s) return *this;
    if (count != s.count) {
        delete[] items;
        items = s.count > 0 ? NewColumns(s.count) : nullptr;
        count = items != nullptr ? s.count : 0;
    }
    for (int i = 0; i < count; ++i) items[i] = s.items[i];
    return *this;
}
