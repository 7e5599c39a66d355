// Kernels of LeastSquaresFit: pivoted QR, the constrained linear least
// squares solve and the Levenberg parameter iteration.
#include "solvers/LeastSquaresQR.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace lsq_internal {

namespace {
constexpr double kEpsmch = DBL_EPSILON;
constexpr double kDwarf = DBL_MIN;
}  // namespace

double Norm(int n, const double* x) {
    // Scaled sum: the largest magnitude first, so that no square overflows.
    double scale = 0.0;
    for (int i = 0; i < n; ++i) scale = std::max(scale, std::fabs(x[i]));
    if (scale == 0.0 || !std::isfinite(scale)) return scale;
    double s = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = x[i] / scale;
        s += t * t;
    }
    return scale * std::sqrt(s);
}

void QrFactor(int m, int n, double* a, int ld, int* ipvt, double* rdiag, double* acnorm, double* wa) {
    for (int j = 0; j < n; ++j) {
        acnorm[j] = Norm(m, a + j * ld);
        rdiag[j] = acnorm[j];
        wa[j] = rdiag[j];
        ipvt[j] = j;
    }
    const int minmn = std::min(m, n);
    for (int j = 0; j < minmn; ++j) {
        // The remaining column of largest norm moves to position j.
        int kmax = j;
        for (int k = j; k < n; ++k)
            if (rdiag[k] > rdiag[kmax]) kmax = k;
        if (kmax != j) {
            for (int i = 0; i < m; ++i) std::swap(a[i + j * ld], a[i + kmax * ld]);
            rdiag[kmax] = rdiag[j];
            wa[kmax] = wa[j];
            std::swap(ipvt[j], ipvt[kmax]);
        }
        double* aj = a + j * ld;
        double ajnorm = Norm(m - j, aj + j);
        if (ajnorm != 0.0) {
            if (aj[j] < 0.0) ajnorm = -ajnorm;
            for (int i = j; i < m; ++i) aj[i] /= ajnorm;
            aj[j] += 1.0;
            for (int k = j + 1; k < n; ++k) {
                double* ak = a + k * ld;
                double sum = 0.0;
                for (int i = j; i < m; ++i) sum += aj[i] * ak[i];
                const double temp = sum / aj[j];
                for (int i = j; i < m; ++i) ak[i] -= temp * aj[i];
                if (rdiag[k] != 0.0) {
                    // Downdate the remaining norm; recompute it when too
                    // much cancellation has accumulated.
                    const double t = ak[j] / rdiag[k];
                    rdiag[k] *= std::sqrt(std::max(0.0, 1.0 - t * t));
                    const double ratio = rdiag[k] / wa[k];
                    if (0.05 * ratio * ratio <= kEpsmch) {
                        rdiag[k] = Norm(m - j - 1, ak + j + 1);
                        wa[k] = rdiag[k];
                    }
                }
            }
        }
        rdiag[j] = -ajnorm;
    }
}

void ApplyQt(int m, int n, const double* a, int ld, double* v) {
    for (int j = 0; j < std::min(m, n); ++j) {
        const double* aj = a + j * ld;
        if (aj[j] == 0.0) continue;
        double sum = 0.0;
        for (int i = j; i < m; ++i) sum += aj[i] * v[i];
        const double temp = -sum / aj[j];
        for (int i = j; i < m; ++i) v[i] += temp * aj[i];
    }
}

void QrSolve(int n, double* r, int ld, const int* ipvt, const double* diag, const double* qtb,
             double* x, double* sdiag, double* wa) {
    auto R = [r, ld](int i, int j) -> double& { return r[i + j * ld]; };
    // Copy R' into the lower triangle; keep R's diagonal in x.
    for (int j = 0; j < n; ++j) {
        for (int i = j; i < n; ++i) R(i, j) = R(j, i);
        x[j] = R(j, j);
        wa[j] = qtb[j];
    }
    // Eliminate the diagonal matrix D by Givens rotations.
    for (int j = 0; j < n; ++j) {
        const int l = ipvt[j];
        if (diag[l] != 0.0) {
            for (int k = j; k < n; ++k) sdiag[k] = 0.0;
            sdiag[j] = diag[l];
            double qtbpj = 0.0;
            for (int k = j; k < n; ++k) {
                if (sdiag[k] == 0.0) continue;
                double sn, cs;
                if (std::fabs(R(k, k)) < std::fabs(sdiag[k])) {
                    const double cotan = R(k, k) / sdiag[k];
                    sn = 0.5 / std::sqrt(0.25 + 0.25 * cotan * cotan);
                    cs = sn * cotan;
                } else {
                    const double tn = sdiag[k] / R(k, k);
                    cs = 0.5 / std::sqrt(0.25 + 0.25 * tn * tn);
                    sn = cs * tn;
                }
                R(k, k) = cs * R(k, k) + sn * sdiag[k];
                const double temp = cs * wa[k] + sn * qtbpj;
                qtbpj = -sn * wa[k] + cs * qtbpj;
                wa[k] = temp;
                for (int i = k + 1; i < n; ++i) {
                    const double t = cs * R(i, k) + sn * sdiag[i];
                    sdiag[i] = -sn * R(i, k) + cs * sdiag[i];
                    R(i, k) = t;
                }
            }
        }
        sdiag[j] = R(j, j);
        R(j, j) = x[j];
    }
    // Back substitution with S; a singular S gives the least squares
    // solution of its leading nonsingular part.
    int nsing = n;
    for (int j = 0; j < n; ++j) {
        if (sdiag[j] == 0.0 && nsing == n) nsing = j;
        if (nsing < n) wa[j] = 0.0;
    }
    for (int j = nsing - 1; j >= 0; --j) {
        double sum = 0.0;
        for (int i = j + 1; i < nsing; ++i) sum += R(i, j) * wa[i];
        wa[j] = (wa[j] - sum) / sdiag[j];
    }
    for (int j = 0; j < n; ++j) x[ipvt[j]] = wa[j];
}

void LevenbergParameter(int n, double* r, int ld, const int* ipvt, const double* diag,
                        const double* qtb, double delta, double& par, double* x, double* sdiag,
                        double* wa1, double* wa2) {
    auto R = [r, ld](int i, int j) -> double& { return r[i + j * ld]; };
    // The Gauss-Newton direction (least squares solution when R is singular).
    int nsing = n;
    for (int j = 0; j < n; ++j) {
        wa1[j] = qtb[j];
        if (R(j, j) == 0.0 && nsing == n) nsing = j;
        if (nsing < n) wa1[j] = 0.0;
    }
    for (int j = nsing - 1; j >= 0; --j) {
        wa1[j] /= R(j, j);
        const double temp = wa1[j];
        for (int i = 0; i < j; ++i) wa1[i] -= R(i, j) * temp;
    }
    for (int j = 0; j < n; ++j) x[ipvt[j]] = wa1[j];

    for (int j = 0; j < n; ++j) wa2[j] = diag[j] * x[j];
    double dxnorm = Norm(n, wa2);
    double fp = dxnorm - delta;
    if (fp <= 0.1 * delta) {
        par = 0.0;
        return;
    }
    // Lower bound parl of the Newton iteration for phi(par) = |D x| - delta
    // (0 when R is singular).
    double parl = 0.0;
    if (nsing >= n) {
        for (int j = 0; j < n; ++j) {
            const int l = ipvt[j];
            wa1[j] = diag[l] * (wa2[l] / dxnorm);
        }
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int i = 0; i < j; ++i) sum += R(i, j) * wa1[i];
            wa1[j] = (wa1[j] - sum) / R(j, j);
        }
        const double temp = Norm(n, wa1);
        parl = ((fp / delta) / temp) / temp;
    }
    // Upper bound paru.
    for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int i = 0; i <= j; ++i) sum += R(i, j) * qtb[i];
        wa1[j] = sum / diag[ipvt[j]];
    }
    const double gnorm = Norm(n, wa1);
    double paru = gnorm / delta;
    if (paru == 0.0) paru = kDwarf / std::min(delta, 0.1);

    par = std::min(std::max(par, parl), paru);
    if (par == 0.0) par = gnorm / dxnorm;

    for (int iter = 1;; ++iter) {
        if (par == 0.0) par = std::max(kDwarf, 0.001 * paru);
        const double sq = std::sqrt(par);
        for (int j = 0; j < n; ++j) wa1[j] = sq * diag[j];
        QrSolve(n, r, ld, ipvt, wa1, qtb, x, sdiag, wa2);
        for (int j = 0; j < n; ++j) wa2[j] = diag[j] * x[j];
        dxnorm = Norm(n, wa2);
        const double fpOld = fp;
        fp = dxnorm - delta;
        // Accept par when |D x| is within 10 % of delta, when phi has
        // stopped decreasing from a negative value with parl = 0, or after
        // ten iterations.
        if (std::fabs(fp) <= 0.1 * delta || (parl == 0.0 && fp <= fpOld && fpOld < 0.0) || iter == 10) break;
        // Newton correction.
        for (int j = 0; j < n; ++j) {
            const int l = ipvt[j];
            wa1[j] = diag[l] * (wa2[l] / dxnorm);
        }
        for (int j = 0; j < n; ++j) {
            wa1[j] /= sdiag[j];
            const double temp = wa1[j];
            for (int i = j + 1; i < n; ++i) wa1[i] -= R(i, j) * temp;
        }
        const double temp = Norm(n, wa1);
        const double parc = ((fp / delta) / temp) / temp;
        if (fp > 0.0) parl = std::max(parl, par);
        if (fp < 0.0) paru = std::min(paru, par);
        par = std::max(parl, par + parc);
    }
}

}  // namespace lsq_internal
