// Integrals, zeros, extremes and the log-integral of e^y for TFunc.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "host/VeskHost.h"
#include "linalg/MatVector.h"
#include "tfunc/TFunc.h"

namespace {

// The parabola y1 + b*t + a*t^2 in t = x - x1 through three consecutive
// points (x0, y0), (x1, y1), (x2, y2), with h1 = x1 - x0 and h2 = x2 - x1.
// A triple with a repeated abscissa (or spacing so small that a or b is not
// finite) has no such parabola; its pieces are then integrated by
// trapezoids, which is what the interpolant itself gives there.
struct Parabola {
    double h1, h2, y0, y1, y2, a, b;
    bool degenerate;

    Parabola(const double* x, const double* y, int k)
        : h1(x[k - 1] - x[k - 2]),
          h2(x[k] - x[k - 1]),
          y0(y[k - 2]),
          y1(y[k - 1]),
          y2(y[k]),
          a(0.0),
          b(0.0),
          degenerate(true) {
        double d = h1 * h2 * (h1 + h2);
        if (d == 0.0) return;
        a = (y0 * h2 + y2 * h1 - (h1 + h2) * y1) / d;
        b = (h1 * h1 * y2 - h2 * h2 * y0 + (h2 * h2 - h1 * h1) * y1) / d;
        degenerate = !std::isfinite(a) || !std::isfinite(b);
    }

    // Over [x0, x2].
    double Whole() const {
        if (degenerate) return Left() + Right();
        return a / 3 * (h1 * h1 * h1 + h2 * h2 * h2) + b / 2 * (h2 * h2 - h1 * h1) + y1 * (h1 + h2);
    }
    // Over [x1, x2].
    double Right() const {
        if (degenerate) return (y1 + y2) / 2 * h2;
        return a / 3 * (h2 * h2 * h2) + b / 2 * (h2 * h2) + y1 * h2;
    }
    // Over [x0, x1].
    double Left() const {
        if (degenerate) return (y0 + y1) / 2 * h1;
        return a / 3 * (h1 * h1 * h1) - b / 2 * (h1 * h1) + y1 * h1;
    }
};

// The table that a cumulative integral answers: this table's abscissae with
// ordinates left for the caller to fill (every one of them is overwritten);
// an empty copy for an empty table. Null, with error 1, when it cannot be
// made.
TFunc* NewResultTable(const TFunc& f) {
    TFunc* r = new (std::nothrow) TFunc(0);
    if (r == nullptr) {
        VeskError(1);
        return nullptr;
    }
    if (f.n == 0) return r;
    r->x = new (std::nothrow) double[static_cast<size_t>(f.n)];
    r->y = r->x ? new (std::nothrow) double[static_cast<size_t>(f.n)] : nullptr;
    if (r->y == nullptr) {
        delete r;  // owns whatever it got
        VeskError(1);
        return nullptr;
    }
    std::memcpy(r->x, f.x, static_cast<size_t>(f.n) * sizeof(double));
    r->n = f.n;
    return r;
}

}  // namespace

TFunc* TFunc::Integral() const {
    TFunc* r = NewResultTable(*this);
    if (r == nullptr || n == 0) return r;
    double* F = r->y;
    F[0] = 0.0;
    for (int i = 1; i < n; ++i) F[i] = F[i - 1] + (x[i] - x[i - 1]) * (y[i - 1] + y[i]) / 2;
    return r;
}

TFunc* TFunc::IntegralSimpson() const {
    TFunc* r = NewResultTable(*this);
    if (r == nullptr || n == 0) return r;
    double* F = r->y;
    F[0] = 0.0;
    if (n == 1) return r;
    if (n == 2) {
        F[1] = (x[1] - x[0]) * (y[0] + y[1]) / 2;
        return r;
    }
    double h = x[1] - x[0];
    bool equal = true;
    for (int i = 2; i < n && equal; ++i) equal = x[i] - x[i - 1] == h;
    if (equal) {
        F[1] = (5 * y[0] + 8 * y[1] - y[2]) / 12 * h;
        for (int i = 2; i < n; ++i) {
            if (i % 2 == 0)
                F[i] = F[i - 2] + (y[i - 2] + 4 * y[i - 1] + y[i]) / 3 * h;
            else
                F[i] = F[i - 1] + (5 * y[i] + 8 * y[i - 1] - y[i - 2]) / 12 * h;
        }
        return r;
    }
    F[1] = Parabola(x, y, 2).Left();
    for (int i = 2; i < n; ++i) {
        Parabola p(x, y, i);
        F[i] = i % 2 == 0 ? F[i - 2] + p.Whole() : F[i - 1] + p.Right();
    }
    return r;
}

// The span of a definite integral from a to b (n >= 2): lo = min(a, b),
// hi = max(a, b), sign -1 when a > b; the inner trapezoids or parabolas run
// from x[i1] to x[i2], the signed end pieces cover lo to x[i1] and x[i2] to
// hi.
TFunc::Span TFunc::MakeSpan(double a, double b) const {
    Span s;
    s.lo = a > b ? b : a;
    s.hi = a > b ? a : b;
    s.sign = a > b ? -1.0 : 1.0;
    int unused;
    if (s.lo <= x[0])
        s.i1 = 0;
    else if (s.lo >= x[n - 1])
        s.i1 = n - 1;
    else
        Bisect(s.lo, s.i1, unused);
    if (s.hi <= x[0])
        s.i2 = 0;
    else if (s.lo >= x[n - 1])
        s.i2 = n - 1;
    else
        Bisect(s.hi, unused, s.i2);
    return s;
}

// Trapezoid from t to x[i], signed (negative when t lies above x[i]).
double TFunc::PieceTo(double t, int i) const {
    return x[i] == t ? 0.0 : ((*this)(t) + y[i]) / 2 * (x[i] - t);
}

// Trapezoid from x[i] to t, signed.
double TFunc::PieceFrom(int i, double t) const {
    return x[i] == t ? 0.0 : ((*this)(t) + y[i]) / 2 * (t - x[i]);
}

double TFunc::Integral(double a, double b) const {
    if (n < 2) return 0.0;
    const Span sp = MakeSpan(a, b);
    if (sp.i2 < sp.i1) return ((*this)(sp.lo) + (*this)(sp.hi)) / 2 * (sp.hi - sp.lo) * sp.sign;
    double s = PieceTo(sp.lo, sp.i1);
    for (int j = sp.i1 + 1; j <= sp.i2; ++j) s += (y[j - 1] + y[j]) / 2 * (x[j] - x[j - 1]);
    s += PieceFrom(sp.i2, sp.hi);
    return s * sp.sign;
}

double TFunc::IntegralSimpson(double a, double b) const {
    if (n < 2) return 0.0;
    const Span sp = MakeSpan(a, b);
    if (sp.i2 - sp.i1 < 6) return Integral(a, b);
    double s = PieceTo(sp.lo, sp.i1);
    for (int j = sp.i1 + 2; j <= sp.i2; j += 2) s += Parabola(x, y, j).Whole();
    if ((sp.i2 - sp.i1) % 2 != 0) s += Parabola(x, y, sp.i2).Right();
    s += PieceFrom(sp.i2, sp.hi);
    return s * sp.sign;
}

MatVector* TFunc::Zero() const {
    // The vector raises error 1 itself when its values cannot be obtained.
    MatVector* roots = new (std::nothrow) MatVector(n);
    if (roots == nullptr) VeskError(1);
    if (roots == nullptr || roots->Len() != n) {
        delete roots;
        return nullptr;
    }
    int count = 0;
    for (int i = 0; i + 1 < n; ++i) {
        double a = y[i];
        double b = y[i + 1];
        // Signs are compared rather than multiplied: a product of two tiny
        // values underflows to 0 and would report a root outside the interval.
        bool crosses = (a <= 0 && b >= 0) || (a >= 0 && b <= 0);
        if (b != a && crosses) (*roots)[count++] = x[i] - (x[i + 1] - x[i]) * a / (b - a);
    }
    // Shrinking takes new storage; if that fails the vector would keep n
    // values and report the unused zeros as roots.
    roots->SetSize(count);
    if (roots->Len() != count) {
        delete roots;
        return nullptr;
    }
    return roots;
}

void TFunc::Max(double& px, double& py) const {
    px = 0.0;
    py = 0.0;
    if (n == 0) return;
    px = x[0];
    py = y[0];
    for (int i = 1; i < n; ++i) {
        if (y[i] > py) {
            py = y[i];
            px = x[i];
        }
    }
}

void TFunc::Min(double& px, double& py) const {
    px = 0.0;
    py = 0.0;
    if (n == 0) return;
    px = x[0];
    py = y[0];
    for (int i = 1; i < n; ++i) {
        if (y[i] < py) {
            py = y[i];
            px = x[i];
        }
    }
}

double TFunc::LogIntegralExp() const {
    if (n < 2) return -HUGE_VAL;
    std::unique_ptr<double[]> L(new (std::nothrow) double[static_cast<size_t>(n - 1)]);
    if (!L) {
        VeskError(1);
        return std::nan("");
    }
    int count = 0;
    double m = -1e300;
    for (int i = 0; i + 1 < n; ++i) {
        double dx = x[i + 1] - x[i];
        if (dx == 0.0) continue;
        double dy = y[i + 1] - y[i];
        double s = dy / dx;
        double li;
        if (std::fabs(dy) < 1e-7)
            li = std::log(dx) + y[i];
        else if (dy < -14)
            li = y[i] - std::log(std::fabs(s));
        else if (dy > 14)
            li = y[i + 1] - std::log(s);
        else
            li = std::log((std::exp(dy) - 1) / s) + y[i];
        L[count++] = li;
        if (li > m) m = li;
    }
    if (count == 0) return -HUGE_VAL;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += std::exp(L[i] - m);
    return std::log(sum) + m;
}
