// Matrix decompositions and products against the reference LAPACK routines,
// Eigen's decompositions (row- and column-major storage) and a plain
// triple-loop product, on the same fixed matrices, at n = 50, 200 and 500.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "linalg/Matrix.h"

#ifdef VESK_BENCH_LAPACK
extern "C" {
void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv, double* b,
            const int* ldb, int* info);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work,
             const int* lwork, int* info);
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info);
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info);
}
#endif

#ifdef VESK_BENCH_EIGEN
#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <Eigen/LU>
#include <Eigen/SVD>
#endif

namespace {

// Fixed uniform entries in [-1, 1) (splitmix64).
std::vector<double> RandomEntries(int count, std::uint64_t seed) {
    std::vector<double> v(static_cast<size_t>(count));
    for (auto& x : v) {
        std::uint64_t z = (seed += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        x = static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
    }
    return v;
}

// The benchmark matrices: a general one and a symmetric positive definite
// one (B^T B + n I), shared by both sides.
struct Inputs {
    explicit Inputs(int n) : n(n), general(RandomEntries(n * n, 1000 + n)), spd(static_cast<size_t>(n) * n) {
        const std::vector<double> b = RandomEntries(n * n, 2000 + n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double s = 0.0;
                for (int k = 0; k < n; ++k) s += b[static_cast<size_t>(k) * n + i] * b[static_cast<size_t>(k) * n + j];
                spd[static_cast<size_t>(i) * n + j] = s + (i == j ? n : 0.0);
            }
        rhs = RandomEntries(n, 3000 + n);
    }
    int n;
    std::vector<double> general;
    std::vector<double> spd;
    std::vector<double> rhs;
};

const Inputs& For(int n) {
    static std::unique_ptr<Inputs> cache[3];
    const int slot = n == 50 ? 0 : n == 200 ? 1 : 2;
    if (!cache[slot] || cache[slot]->n != n) cache[slot] = std::make_unique<Inputs>(n);
    return *cache[slot];
}

void BM_Det(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.general.data());
    for (auto _ : state) benchmark::DoNotOptimize(a.Det());
}

void BM_SolveSystem(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.general.data());
    for (auto _ : state) delete[] a.SolveSystem(in.rhs.data());
}

void BM_Inverse(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.general.data());
    for (auto _ : state) delete a.Inverse();
}

void BM_CholeskyDecompse(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.spd.data());
    for (auto _ : state) delete a.CholeskyDecompse();
}

void BM_SVD(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.general.data());
    for (auto _ : state) {
        Matrix u(a);
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        benchmark::DoNotOptimize(u.SVD(w, v));
        delete w;
        delete v;
    }
}

void BM_PseudoInverse(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.general.data());
    for (auto _ : state) delete a.PseudoInverse();
}

void BM_MatrixProduct(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const Matrix a(in.n, in.n, in.general.data());
    const Matrix b(in.n, in.n, in.spd.data());
    for (auto _ : state) delete (a * b);
}

// The plain i-j-k triple loop, the same sums in the same order.
void BM_PlainTripleLoop(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const int n = in.n;
    const double* a = in.general.data();
    const double* b = in.spd.data();
    std::vector<double> c(static_cast<size_t>(n) * n);
    for (auto _ : state) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double s = 0.0;
                for (int k = 0; k < n; ++k) s += a[static_cast<size_t>(i) * n + k] * b[static_cast<size_t>(k) * n + j];
                c[static_cast<size_t>(i) * n + j] = s;
            }
        benchmark::DoNotOptimize(c.data());
    }
}

#ifdef VESK_BENCH_LAPACK
void BM_Lapack_dgetrf(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const int n = in.n;
    std::vector<int> ipiv(static_cast<size_t>(n));
    for (auto _ : state) {
        std::vector<double> a = in.general;
        int info = 0;
        dgetrf_(&n, &n, a.data(), &n, ipiv.data(), &info);
        benchmark::DoNotOptimize(a.data());
    }
}

void BM_Lapack_dgesv(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const int n = in.n, one = 1;
    std::vector<int> ipiv(static_cast<size_t>(n));
    for (auto _ : state) {
        std::vector<double> a = in.general;
        std::vector<double> b = in.rhs;
        int info = 0;
        dgesv_(&n, &one, a.data(), &n, ipiv.data(), b.data(), &n, &info);
        benchmark::DoNotOptimize(b.data());
    }
}

void BM_Lapack_dgetrf_dgetri(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const int n = in.n;
    std::vector<int> ipiv(static_cast<size_t>(n));
    const int lwork = 64 * n;
    std::vector<double> work(static_cast<size_t>(lwork));
    for (auto _ : state) {
        std::vector<double> a = in.general;
        int info = 0;
        dgetrf_(&n, &n, a.data(), &n, ipiv.data(), &info);
        dgetri_(&n, a.data(), &n, ipiv.data(), work.data(), &lwork, &info);
        benchmark::DoNotOptimize(a.data());
    }
}

void BM_Lapack_dpotrf(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const int n = in.n;
    const char uplo = 'L';
    for (auto _ : state) {
        std::vector<double> a = in.spd;
        int info = 0;
        dpotrf_(&uplo, &n, a.data(), &n, &info);
        benchmark::DoNotOptimize(a.data());
    }
}

void BM_Lapack_dgesvd(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const int n = in.n;
    const char job = 'S';
    std::vector<double> s(static_cast<size_t>(n)), u(static_cast<size_t>(n) * n), vt(static_cast<size_t>(n) * n);
    int lwork = -1, info = 0;
    double query = 0.0;
    std::vector<double> a = in.general;
    dgesvd_(&job, &job, &n, &n, a.data(), &n, s.data(), u.data(), &n, vt.data(), &n, &query, &lwork, &info);
    lwork = static_cast<int>(query);
    std::vector<double> work(static_cast<size_t>(lwork));
    for (auto _ : state) {
        a = in.general;
        dgesvd_(&job, &job, &n, &n, a.data(), &n, s.data(), u.data(), &n, vt.data(), &n, work.data(), &lwork,
                &info);
        benchmark::DoNotOptimize(s.data());
    }
}
#endif

#ifdef VESK_BENCH_EIGEN
// Eigen's matrices of the benchmark data in either storage order (Order:
// Eigen::RowMajor or Eigen::ColMajor); the timed work is the same as ours:
// the factor, the solution of one right-hand side, the inverse, the SVD with
// thin U and V (divide and conquer).
template <int Order>
using EigenMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Order>;

template <int Order>
EigenMatrix<Order> ToEigen(const std::vector<double>& rowMajor, int n) {
    EigenMatrix<Order> m(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) m(i, j) = rowMajor[static_cast<size_t>(i) * n + j];
    return m;
}

template <int Order>
void BM_Eigen_LLT(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const EigenMatrix<Order> a = ToEigen<Order>(in.spd, in.n);
    for (auto _ : state) {
        Eigen::LLT<EigenMatrix<Order>> llt(a);
        benchmark::DoNotOptimize(llt.matrixLLT().data());
    }
}

template <int Order>
void BM_Eigen_LUSolve(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const EigenMatrix<Order> a = ToEigen<Order>(in.general, in.n);
    const Eigen::VectorXd b = Eigen::Map<const Eigen::VectorXd>(in.rhs.data(), in.n);
    for (auto _ : state) {
        Eigen::VectorXd x = Eigen::PartialPivLU<EigenMatrix<Order>>(a).solve(b);
        benchmark::DoNotOptimize(x.data());
    }
}

template <int Order>
void BM_Eigen_Inverse(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const EigenMatrix<Order> a = ToEigen<Order>(in.general, in.n);
    for (auto _ : state) {
        EigenMatrix<Order> inv = Eigen::PartialPivLU<EigenMatrix<Order>>(a).inverse();
        benchmark::DoNotOptimize(inv.data());
    }
}

template <int Order>
void BM_Eigen_BDCSVD(benchmark::State& state) {
    const Inputs& in = For(static_cast<int>(state.range(0)));
    const EigenMatrix<Order> a = ToEigen<Order>(in.general, in.n);
    for (auto _ : state) {
        Eigen::BDCSVD<EigenMatrix<Order>> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
        benchmark::DoNotOptimize(svd.singularValues().data());
    }
}
#endif

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(50)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Det)->Apply(Sizes);
BENCHMARK(BM_SolveSystem)->Apply(Sizes);
BENCHMARK(BM_Inverse)->Apply(Sizes);
BENCHMARK(BM_CholeskyDecompse)->Apply(Sizes);
BENCHMARK(BM_SVD)->Apply(Sizes);
BENCHMARK(BM_PseudoInverse)->Apply(Sizes);
BENCHMARK(BM_MatrixProduct)->Apply(Sizes);
BENCHMARK(BM_PlainTripleLoop)->Apply(Sizes);
#ifdef VESK_BENCH_LAPACK
BENCHMARK(BM_Lapack_dgetrf)->Apply(Sizes);
BENCHMARK(BM_Lapack_dgesv)->Apply(Sizes);
BENCHMARK(BM_Lapack_dgetrf_dgetri)->Apply(Sizes);
BENCHMARK(BM_Lapack_dpotrf)->Apply(Sizes);
BENCHMARK(BM_Lapack_dgesvd)->Apply(Sizes);
#endif
#ifdef VESK_BENCH_EIGEN
BENCHMARK_TEMPLATE(BM_Eigen_LLT, Eigen::RowMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_LLT, Eigen::ColMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_LUSolve, Eigen::RowMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_LUSolve, Eigen::ColMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_Inverse, Eigen::RowMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_Inverse, Eigen::ColMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_BDCSVD, Eigen::RowMajor)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Eigen_BDCSVD, Eigen::ColMajor)->Apply(Sizes);
#endif

BENCHMARK_MAIN();
