// Climb: first and second derivatives by the user's functions or by finite
// differences in normalised coordinates, the Hessian and the covariance with
// their caches.
//
// Every difference form builds its points as a batch and then evaluates the
// batch in one pass (_DoParallelCalculation), one point after the other.
// Samples stay in the unit box: a coordinate at a face is moved inward by its
// step first (central forms at both faces, forward forms at the upper face),
// upper samples are capped at 1 and lower ones floored at 0.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "containers/Arrays.h"
#include "solvers/Climb.h"

namespace {

// Base of a central difference: moved inward by h at either face.
double CentralBase(double u, double h) { return u == 0 ? u + h : (u == 1 ? u - h : u); }
// Base of a forward difference: moved inward by h at the upper face.
double ForwardBase(double u, double h) { return u == 1 ? u - h : u; }
double Upper(double c, double h) { return std::min(c + h, 1.0); }
double Lower(double c, double h) { return std::max(c - h, 0.0); }

// An owned batch of n points (zero vectors of length dim) and their values.
struct Batch {
    MatVectorCol* points = nullptr;
    double* values = nullptr;
    int count = 0;
    bool ok = false;

    Batch(int n, int dim) {
        n = n > 0 ? n : 0;
        MatVector::SetDefaultSize(dim);
        points = new (std::nothrow) MatVectorCol[static_cast<size_t>(n)];
        values = new (std::nothrow) double[static_cast<size_t>(n)]();
        ok = points != nullptr && values != nullptr;
        for (int k = 0; ok && k < n; ++k) ok = points[k].Len() == dim;
        if (ok) count = n;
        else VeskError(1, "Climb: working storage not obtained");
    }
    ~Batch() {
        delete[] points;
        delete[] values;
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    bool Ok() const { return ok; }
};

// Point k of a batch: a copy of u with coordinate i at v.
void Place(MatVectorCol& point, const MatVectorCol& u, int i, double v) {
    point = u;
    point[i] = v;
}

// The four points of a cross difference, (i, j) at (low, low), (high, low),
// (low, high), (high, high), and the steps |high - low| of both.
void PlaceCross(MatVectorCol* points, double* steps, const MatVectorCol& u, int i, double lowI,
                double highI, int j, double lowJ, double highJ) {
    const double pi[4] = {lowI, highI, lowI, highI}, pj[4] = {lowJ, lowJ, highJ, highJ};
    for (int k = 0; k < 4; ++k) {
        Place(points[k], u, i, pi[k]);
        points[k][j] = pj[k];
    }
    steps[0] = std::fabs(highI - lowI);
    steps[1] = std::fabs(highJ - lowJ);
}

// Hessian or covariance cache valid at u: its own size, a non-zero first
// element and the cache point equal to u.
bool CacheValid(const Matrix& m, const MatVectorCol& point, const MatVectorCol& u, int dim) {
    return dim > 0 && m.X() == dim && m.Y() == dim && m(0, 0) != 0 && point == u;
}

// A new copy of m, or null (error 1).
Matrix* CopyOf(const Matrix& m) {
    Matrix* c = new (std::nothrow) Matrix(m);
    if (c == nullptr) VeskError(1, "Climb: working storage not obtained");
    return c;
}

}  // namespace

void Climb::_DoParallelCalculation(double* values, MatVectorCol* points, int count) {
    for (int k = 0; k < count; ++k) values[k] = Func(ScaleResult(points[k]));
}

// --------------------------------------------------------- first derivative

double Climb::GetDerivative(MatVectorCol& u, int i) {
    if (scale[i] == 0) return 0.0;
    if (derivFunc.GetType() != VT_EMPTY) return CalculateDerivative(derivFunc, ScaleResult(u), i) / scale[i];
    return _GetDerivative_Parallel(u, i);
}

double Climb::_GetDerivative_Parallel(MatVectorCol& u, int i) {
    return symmetricDerivative ? _GetDerivative_Parallel_Symmetric(u, i)
                               : _GetDerivative_Parallel_Forward(u, i);
}

double Climb::_GetDerivative_Parallel_Symmetric(MatVectorCol& u, int i) {
    const double h = DifferenceStep(i);
    const double c = CentralBase(u[i], h);
    return TwoPointDifference(u, i, Lower(c, h), Upper(c, h));
}

double Climb::_GetDerivative_Parallel_Forward(MatVectorCol& u, int i) {
    const double h = DifferenceStep(i);
    const double c = ForwardBase(u[i], h);
    return TwoPointDifference(u, i, c, std::min(c + h, 1.0));
}

double Climb::TwoPointDifference(MatVectorCol& u, int i, double low, double high) {
    if (high - low == 0) return 0.0;
    Batch batch(2, dim);
    if (!batch.Ok()) return 0.0;
    Place(batch.points[0], u, i, low);
    Place(batch.points[1], u, i, high);
    _DoParallelCalculation(batch.values, batch.points, 2);
    return (batch.values[1] - batch.values[0]) / (high - low);
}

// ----------------------------------------------------------------- gradient

void Climb::GetGradient(MatVectorCol& g, MatVectorCol& u) {
    g.SetSize(dim);
    if (g.Len() != dim) {
        VeskError(1, "Climb: working storage not obtained");
        return;
    }
    if (derivFunc.GetType() == VT_EMPTY) {
        _GetGradient_Parallel(g, u);
        return;
    }
    CalculateGradient(g, derivFunc, ScaleResult(u));
    // A component that points out of the box at a face does not count.
    const double edge = 2 * eps;
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        g[i] /= scale[i];
        if ((u[i] < edge && g[i] > 0) || (1 - u[i] < edge && g[i] < 0)) g[i] = 0;
    }
}

void Climb::_GetGradient_Parallel(MatVectorCol& g, MatVectorCol& u) {
    if (symmetricDerivative)
        _GetGradient_ParallelSymmetric(g, u);
    else
        _GetGradient_ParallelForward(g, u);
    for (int i = 0; i < dim; ++i)
        if ((u[i] < eps && g[i] > 0) || (u[i] > 1 - eps && g[i] < 0)) g[i] = 0;
}

// 2*dim points: the lower and the upper sample of each coordinate; the slots
// of inactive coordinates stay zero vectors and are evaluated too.
void Climb::_GetGradient_ParallelSymmetric(MatVectorCol& g, MatVectorCol& u) {
    g.Set(0.0);
    Batch batch(2 * dim, dim);
    if (!batch.Ok()) return;
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        const double h = DifferenceStep(i);
        const double c = CentralBase(u[i], h);
        Place(batch.points[2 * i], u, i, Lower(c, h));
        Place(batch.points[2 * i + 1], u, i, Upper(c, h));
    }
    _DoParallelCalculation(batch.values, batch.points, batch.count);
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        const double w = batch.points[2 * i + 1][i] - batch.points[2 * i][i];
        g[i] = w != 0 ? (batch.values[2 * i + 1] - batch.values[2 * i]) / w : 0.0;
    }
}

// 1 + dim points: u itself, then u with each coordinate moved forward (back
// at the upper face); inactive slots stay zero vectors and are evaluated.
void Climb::_GetGradient_ParallelForward(MatVectorCol& g, MatVectorCol& u) {
    g.Set(0.0);
    Batch batch(1 + dim, dim);
    if (!batch.Ok()) return;
    batch.points[0] = u;
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        const double h = DifferenceStep(i);
        Place(batch.points[1 + i], u, i, u[i] == 1 ? u[i] - h : std::min(u[i] + h, 1.0));
    }
    _DoParallelCalculation(batch.values, batch.points, batch.count);
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        const double step = batch.points[1 + i][i] - u[i];
        g[i] = step != 0 ? (batch.values[1 + i] - batch.values[0]) / step : 0.0;
    }
}

// -------------------------------------------------------- second derivative

double Climb::GetDerivative2(MatVectorCol& u, int i, int j) {
    if (scale[i] == 0 || scale[j] == 0) return 0.0;
    if (deriv2Func.GetType() != VT_EMPTY)
        return CalculateDerivative2(deriv2Func, ScaleResult(u), i, j) / (scale[i] * scale[j]);
    return _GetDerivative2_Parallel(u, i, j);
}

double Climb::_GetDerivative2_Parallel(MatVectorCol& u, int i, int j) {
    Batch batch(4, dim);
    if (!batch.Ok()) return 0.0;
    double steps[2];
    if (i == j)
        _GetDerivative2_Params(u, batch.points, i, steps);
    else if (symmetricDerivative)
        _GetDerivative2_ParamsSymmetric(u, batch.points, i, j, steps);
    else
        _GetDerivative2_ParamsForward(u, batch.points, i, j, steps);
    if (steps[0] == 0 || steps[1] == 0) return 0.0;
    const double* f = batch.values;
    _DoParallelCalculation(batch.values, batch.points, i == j ? 3 : 4);
    if (i == j) return (f[2] - 2 * f[1] + f[0]) / (steps[0] * steps[1]);
    return (f[3] - f[2] - f[1] + f[0]) / (steps[0] * steps[1]);
}

// Points b, c, a of coordinate i (central base c, samples b below, a above);
// steps |a - c|, |b - c|.
void Climb::_GetDerivative2_Params(MatVectorCol u, MatVectorCol* points, int i, double* steps) {
    const double h = DifferenceStep(i);
    const double c = CentralBase(u[i], h), a = Upper(c, h), b = Lower(c, h);
    Place(points[0], u, i, b);
    Place(points[1], u, i, c);
    Place(points[2], u, i, a);
    steps[0] = std::fabs(a - c);
    steps[1] = std::fabs(b - c);
}

// Points (b_i, b_j), (a_i, b_j), (b_i, a_j), (a_i, a_j) around central bases;
// steps are the widths |a - b| of both coordinates.
void Climb::_GetDerivative2_ParamsSymmetric(MatVectorCol u, MatVectorCol* points, int i, int j,
                                            double* steps) {
    const double hi = DifferenceStep(i), hj = DifferenceStep(j);
    const double ci = CentralBase(u[i], hi), cj = CentralBase(u[j], hj);
    const double ai = Upper(ci, hi), bi = Lower(ci, hi), aj = Upper(cj, hj), bj = Lower(cj, hj);
    PlaceCross(points, steps, u, i, bi, ai, j, bj, aj);
}

// Points (c_i, c_j), (a_i, c_j), (c_i, a_j), (a_i, a_j) with forward bases c
// and samples a = min(c + h, 1); steps |a - c| of both coordinates.
void Climb::_GetDerivative2_ParamsForward(MatVectorCol u, MatVectorCol* points, int i, int j,
                                          double* steps) {
    const double hi = DifferenceStep(i), hj = DifferenceStep(j);
    const double ci = ForwardBase(u[i], hi), cj = ForwardBase(u[j], hj);
    const double ai = std::min(ci + hi, 1.0), aj = std::min(cj + hj, 1.0);
    PlaceCross(points, steps, u, i, ci, ai, j, cj, aj);
}

// ------------------------------------------------------------------ Hessian

Matrix* Climb::_GetHessian(MatVectorCol& u) {
    if (CacheValid(hessCache, cachePoint, u, dim)) return CopyOf(hessCache);
    // While the matrix is filled the caches hold a partial answer for
    // another point: an exception from the objective leaves both cleared.
    struct Invalidate {
        Climb& c;
        bool done = false;
        ~Invalidate() {
            if (!done) c.ClearCaches();
        }
    } invalidate{*this};
    hessCache.SetSize(dim, dim);
    hessCache.Set(0.0);
    covCache.Set(0.0);
    if (deriv2Func.GetType() != VT_EMPTY) {
        for (int i = 0; i < dim; ++i) {
            if (scale[i] == 0) continue;
            for (int j = i; j < dim; ++j) {
                if (scale[j] == 0) continue;
                const double v =
                    CalculateDerivative2(deriv2Func, ScaleResult(u), i, j) / (scale[i] * scale[j]);
                hessCache(i, j) = v;
                hessCache(j, i) = v;
            }
        }
    } else {
        _GetHessian_Parallel(u);
    }
    cachePoint = u;
    invalidate.done = true;
    return CopyOf(hessCache);
}

// The upper triangle over active coordinates: for each pair, the three
// diagonal points or the four forward points. Evaluated one row i at a time
// in the order of the pairs, which keeps the batch at most 4*dim points; a
// pair whose step product is 0 gets 0 and its points are not evaluated.
void Climb::_GetHessian_Parallel(MatVectorCol& u) {
    Batch batch(4 * dim, dim);
    if (!batch.Ok()) return;
    const std::unique_ptr<double[]> stepStore(new (std::nothrow) double[static_cast<size_t>(2 * dim)]);
    const std::unique_ptr<int[]> columnStore(new (std::nothrow) int[static_cast<size_t>(dim)]);
    double* steps = stepStore.get();
    int* columns = columnStore.get();
    if (steps == nullptr || columns == nullptr) {
        VeskError(1, "Climb: working storage not obtained");
    } else {
        for (int i = 0; i < dim; ++i) {
            if (scale[i] == 0) continue;
            // Build the row's batch.
            int nPoints = 0, nPairs = 0;
            for (int j = i; j < dim; ++j) {
                if (scale[j] == 0) continue;
                double* s = steps + 2 * nPairs;
                if (j == i)
                    _GetDerivative2_Params(u, batch.points + nPoints, i, s);
                else
                    _GetDerivative2_ParamsForward(u, batch.points + nPoints, i, j, s);
                if (s[0] * s[1] == 0) continue;
                nPoints += j == i ? 3 : 4;
                columns[nPairs++] = j;
            }
            _DoParallelCalculation(batch.values, batch.points, nPoints);
            // Walk the same pairs in the same order.
            const double* f = batch.values;
            for (int k = 0; k < nPairs; ++k) {
                const int j = columns[k];
                const double product = steps[2 * k] * steps[2 * k + 1];
                if (j == i) {
                    hessCache(i, i) = ((f[2] - f[1]) - (f[1] - f[0])) / product;
                    f += 3;
                } else {
                    const double v = ((f[3] - f[2]) - (f[1] - f[0])) / product;
                    hessCache(i, j) = v;
                    hessCache(j, i) = v;
                    f += 4;
                }
            }
        }
    }
}

namespace {

// u_i = (x_i - lo_i) * scale_i (0 for an inactive coordinate), not clamped.
bool ToNormalised(MatVectorCol& u, const MatVectorCol& x, const MatVector& bounds,
                  const MatVectorCol& scale, int dim) {
    if (x.Len() != dim) {
        VeskError(3, "Climb: the point must hold one value per coordinate");
        return false;
    }
    for (int i = 0; i < dim; ++i)
        if (!std::isfinite(x[i])) {
            VeskError(3, "Climb: the point must be finite");
            return false;
        }
    if (u.Len() != dim) {
        VeskError(1, "Climb: working storage not obtained");
        return false;
    }
    for (int i = 0; i < dim; ++i) u[i] = scale[i] != 0 ? (x[i] - bounds[2 * i]) * scale[i] : 0.0;
    return true;
}

// m (normalised) in real units: element (i, j) multiplied (Hessian) or
// divided (covariance, where the product is non-zero) by scale_i scale_j.
Matrix* InRealUnits(Matrix* m, const MatVectorCol& scale, int dim, bool divide) {
    for (int i = 0; m != nullptr && i < dim; ++i)
        for (int j = 0; j < dim; ++j) {
            const double p = scale[i] * scale[j];
            if (!divide) (*m)(i, j) *= p;
            else if (p != 0) (*m)(i, j) /= p;
        }
    return m;
}

}  // namespace

Matrix* Climb::GetHessian(MatVectorCol& x) {
    MatVectorCol u(dim);
    if (!CheckStorage() || !ToNormalised(u, x, boundaries, scale, dim)) return nullptr;
    return InRealUnits(_GetHessian(u), scale, dim, false);
}

// --------------------------------------------------------------- covariance

Matrix* Climb::_GetCovariationMatrix(MatVectorCol& u) {
    if (CacheValid(covCache, cachePoint, u, dim)) return CopyOf(covCache);
    Matrix* h = _GetHessian(u);
    if (h == nullptr) return nullptr;
    IntArray excludedRows(0), excludedCols(0);
    int nExcluded = 0;
    for (int i = 0; i < dim; ++i) {
        (*h)(i, i) = std::fabs((*h)(i, i));
        if (scale[i] == 0 || (*h)(i, i) == 0) ++nExcluded;
    }
    if (excludedRows.SetLen(nExcluded) != nExcluded || excludedCols.SetLen(nExcluded) != nExcluded) {
        VeskError(1, "Climb: working storage not obtained");
        delete h;
        return nullptr;
    }
    for (int i = 0, k = 0; i < dim; ++i)
        if (scale[i] == 0 || (*h)(i, i) == 0) excludedRows[k] = excludedCols[k] = i, ++k;
    covCache.SetSize(dim, dim);
    covCache.Set(0.0);
    if (nExcluded == dim) {
        delete h;
        return CopyOf(covCache);
    }
    Matrix* minor = h->GetMinor(excludedRows, excludedCols);
    delete h;
    Matrix* inverse = minor != nullptr ? minor->Inverse() : nullptr;
    delete minor;
    // A singular reduced Hessian: the inversion has raised its error; no
    // covariance is answered or cached.
    if (inverse == nullptr) return nullptr;
    if (doubleCovariation) *inverse *= 2.0;
    for (int i = 0, ri = 0, k = 0; i < dim; ++i) {
        if (k < nExcluded && excludedRows[k] == i) {
            covCache(i, i) = 1.0;
            ++k;
            continue;
        }
        for (int j = 0, rj = 0, l = 0; j < dim; ++j) {
            if (l < nExcluded && excludedRows[l] == j) {
                ++l;
                continue;
            }
            covCache(i, j) = (*inverse)(ri, rj++);
        }
        ++ri;
    }
    delete inverse;
    for (int i = 0; i < dim; ++i) covCache(i, i) = std::fabs(covCache(i, i));
    return CopyOf(covCache);
}

Matrix* Climb::GetCovariationMatrix(MatVectorCol& x) {
    MatVectorCol u(dim);
    if (!CheckStorage() || !ToNormalised(u, x, boundaries, scale, dim)) return nullptr;
    return InRealUnits(_GetCovariationMatrix(u), scale, dim, true);
}
