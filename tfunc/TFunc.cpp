// Tabulated function: construction, lookup by bisection, interpolation,
// extremes, arithmetic and abscissa transformations.
#include "tfunc/TFunc.h"

#include <cmath>
#include <cstring>
#include <new>

#include "host/VeskHost.h"

namespace {

// Two arrays of count doubles, both or neither (count > 0); error 1 when
// they cannot be obtained.
bool NewPair(int count, double*& px, double*& py) {
    px = new (std::nothrow) double[static_cast<size_t>(count)];
    py = px ? new (std::nothrow) double[static_cast<size_t>(count)] : nullptr;
    if (py) return true;
    delete[] px;
    px = nullptr;
    VeskError(1);
    return false;
}

bool BadShape(const double* px, const double* py, int count) {
    return count < 0 || (count > 0 && (px == nullptr || py == nullptr));
}

}  // namespace

void TFunc::MakeEmpty() {
    external = 0;
    x = nullptr;
    y = nullptr;
    n = 0;
}

void TFunc::Release() {
    if (external == 0) {
        delete[] x;
        delete[] y;
    }
    MakeEmpty();
}

// Replaces the points by owned copies of count points. The copies are made
// before the old arrays are released, so the source may be this table's own
// (or borrowed) storage.
void TFunc::CopyPoints(const double* px, const double* py, int count) {
    double* nx = nullptr;
    double* ny = nullptr;
    bool ok = count > 0 && NewPair(count, nx, ny);
    if (ok) {
        std::memcpy(nx, px, static_cast<size_t>(count) * sizeof(double));
        std::memcpy(ny, py, static_cast<size_t>(count) * sizeof(double));
    }
    Release();
    if (ok) {
        x = nx;
        y = ny;
        n = count;
    }
}

TFunc::TFunc(int count) {
    MakeEmpty();
    if (count < 0) {
        VeskError(3, "TFunc: negative number of points");
        return;
    }
    if (count == 0 || !NewPair(count, x, y)) return;
    n = count;
    for (int i = 0; i < n; ++i) {
        x[i] = i;
        y[i] = 0.0;
    }
}

TFunc::TFunc(double* px, double* py, int count) : TFunc(px, py, count, 0) {}

TFunc::TFunc(double* px, double* py, int count, int ext) {
    MakeEmpty();
    if (BadShape(px, py, count)) {
        VeskError(3, "TFunc: missing points");
        return;
    }
    if (ext != 0) {
        external = ext;
        x = px;
        y = py;
        n = count;
        return;
    }
    CopyPoints(px, py, count);
}

TFunc::TFunc(const TFunc& f) {
    MakeEmpty();
    CopyPoints(f.x, f.y, f.n);
}

TFunc& TFunc::operator=(const TFunc& f) {
    if (&f != this) CopyPoints(f.x, f.y, f.n);
    return *this;
}

TFunc::~TFunc() { Release(); }

void TFunc::Bisect(double t, int& lo, int& hi) const {
    lo = 0;
    hi = n - 1;
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (x[mid] > t)
            hi = mid;
        else
            lo = mid;
    }
}

double TFunc::operator()(double t) const {
    if (n == 0) return 0.0;
    if (t <= x[0]) return y[0];
    if (t >= x[n - 1]) return y[n - 1];
    int lo = 0;
    int hi = 1;
    if (n != 2) Bisect(t, lo, hi);
    return y[lo] + (y[hi] - y[lo]) * (t - x[lo]) / (x[hi] - x[lo]);
}

int TFunc::pos(double t) const {
    if (n == 0 || t <= x[0]) return 0;
    if (t >= x[n - 1]) return n - 1;
    int lo = 0;
    int hi = 1;
    if (n != 2) Bisect(t, lo, hi);
    return t - x[lo] > x[hi] - t ? hi : lo;
}

int TFunc::Index(double t) const {
    if (n == 0 || t == x[0]) return 0;
    if (t < x[0]) return -1;
    if (t >= x[n - 1]) return n - 1;
    if (n == 2) return 0;
    int lo, hi;
    Bisect(t, lo, hi);
    return lo;
}

double TFunc::minX() const { return n == 0 ? 0.0 : x[0]; }

double TFunc::maxX() const { return n == 0 ? 1e-7 : x[n - 1]; }

// The extremes start from the first entry, so every answer is a value of
// the table; a later value replaces the current one only when strictly
// smaller (minima) or larger (maxima), so the first extreme wins.
int TFunc::minYindex() const {
    int at = 0;
    for (int i = 1; i < n; ++i)
        if (y[i] < y[at]) at = i;
    return at;
}

int TFunc::maxYindex() const {
    int at = 0;
    for (int i = 1; i < n; ++i)
        if (y[i] > y[at]) at = i;
    return at;
}

double TFunc::minY() const { return n == 0 ? 0.0 : y[minYindex()]; }

double TFunc::maxY() const { return n == 0 ? 1e-7 : y[maxYindex()]; }

TFunc& TFunc::operator+=(double c) {
    for (int i = 0; i < n; ++i) y[i] += c;
    return *this;
}

TFunc& TFunc::operator-=(double c) {
    for (int i = 0; i < n; ++i) y[i] -= c;
    return *this;
}

TFunc& TFunc::operator*=(double c) {
    for (int i = 0; i < n; ++i) y[i] *= c;
    return *this;
}

TFunc& TFunc::operator/=(double c) {
    if (c == 0.0) {
        VeskError(10);
        return *this;
    }
    for (int i = 0; i < n; ++i) y[i] /= c;
    return *this;
}

// Applies y[i] = op(y[i], g(x[i])) for every point. When g is this table the
// operand is read from a snapshot, so every point sees the original values.
template <class Op>
TFunc& TFunc::CombineWith(const TFunc& g, Op op) {
    if (&g == this) {
        TFunc snapshot(g);
        if (snapshot.n != n) return *this;  // no storage: error 1 raised
        return CombineWith(snapshot, op);
    }
    for (int i = 0; i < n; ++i) y[i] = op(y[i], g(x[i]));
    return *this;
}

TFunc& TFunc::operator+=(const TFunc& g) {
    return CombineWith(g, [](double a, double v) { return a + v; });
}

TFunc& TFunc::operator-=(const TFunc& g) {
    return CombineWith(g, [](double a, double v) { return a - v; });
}

TFunc& TFunc::operator*=(const TFunc& g) {
    return CombineWith(g, [](double a, double v) { return a * v; });
}

TFunc& TFunc::operator/=(const TFunc& g) {
    return CombineWith(g, [](double a, double v) {
        if (v != 0.0) return a / v;
        if (a != 0.0) VeskError(10);
        return 0.0;
    });
}

TFunc& TFunc::pow(double p) {
    for (int i = 0; i < n; ++i) y[i] = std::pow(y[i], p);
    return *this;
}

void TFunc::Shift(double d) {
    for (int i = 0; i < n; ++i) x[i] += d;
}

void TFunc::ScaleX(double k) {
    for (int i = 0; i < n; ++i) x[i] *= k;
}

void TFunc::LnX() {
    for (int i = 0; i < n; ++i) x[i] = std::log(x[i]);
}

void TFunc::ExpX() {
    for (int i = 0; i < n; ++i) x[i] = std::exp(x[i]);
}
