// Inner kernels of the matrix decompositions: the templates of
// LinalgKernelBodies.h instantiated for two lanes (baseline) and, on x86-64,
// for four lanes in functions compiled for AVX2 and, for the rotations, eight
// lanes (AVX-512F), chosen at run time through a table of function pointers.
#include "linalg/LinalgKernels.h"
#include "linalg/LinalgKernelBodies.h"

#include <atomic>

namespace linalg_kernels {
namespace {

// The kernels of one width.
struct Table {
    int lanes;
    bool (*choleskyColumn)(double*, const double*, int, int);
    bool (*choleskyColumnPair)(double*, const double*, int, int);
    void (*addRowSums)(double*, int, int, const double*, long, const double*, long, int, int);
    void (*subtractRowSums)(double*, int, int, const double*, long, const double*, int, int, int);
    void (*addScaled)(double*, const double*, double, int, int);
    void (*addScaledRows)(double*, long, int, int, int, int, const double*, const double*);
    void (*updateAndSum)(double*, long, int, int, int, int, int, const double*, const double*, double*,
                         const double*);
    void (*applyRowOps)(double*, long, int, const RowOp*, int);
    void (*dotAndUpdateRows)(double*, long, int, int, int, int, const double*, const double*, const double*, int);
};

#define VESK_KERNEL_TABLE(name, V, attributes)                                                              \
    namespace name {                                                                                        \
    attributes bool CholeskyColumn(double* t, const double* a, int n, int i) {                              \
        return CholeskyColumnT<V>(t, a, n, i);                                                              \
    }                                                                                                       \
    attributes bool CholeskyColumnPair(double* t, const double* a, int n, int i) {                          \
        return CholeskyColumnsT<V, V>(t, a, n, i);                                                       \
    }                                                                                                       \
    attributes void AddRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f,    \
                               long fStride, int k0, int k1) {                                              \
        AddRowSumsT<V>(t, j0, j1, r, stride, f, fStride, k0, k1);                                           \
    }                                                                                                       \
    attributes void SubtractRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, \
                                    int k0, int count, int step) {                                          \
        SubtractRowSumsT<V>(t, j0, j1, r, stride, f, k0, count, step);                                      \
    }                                                                                                       \
    attributes void AddScaled(double* row, const double* f, double a, int j0, int j1) {                     \
        AddScaledT<V>(row, f, a, j0, j1);                                                                   \
    }                                                                                                       \
    attributes void AddScaledRows(double* m, long stride, int k0, int k1, int j0, int j1, const double* f,  \
                                  const double* x) {                                                        \
        AddScaledRowsT<V>(m, stride, k0, k1, j0, j1, f, x);                                                 \
    }                                                                                                       \
    attributes void UpdateAndSum(double* m, long stride, int kd, int ku, int k1, int j0, int j1,          \
                                 const double* f, const double* x, double* s, const double* y) {            \
        UpdateAndSumT<V>(m, stride, kd, ku, k1, j0, j1, f, x, s, y);                                        \
    }                                                                                                       \
    attributes void ApplyRowOps(double* t, long stride, int len, const RowOp* ops, int count) {             \
        ApplyRowOpsT<V>(t, stride, len, ops, count);                                                        \
    }                                                                                                       \
    attributes void DotAndUpdateRows(double* m, long stride, int j0, int j1, int k0, int k1,               \
                                     const double* x, const double* y, const double* f, int col) {          \
        DotAndUpdateRowsT<V>(m, stride, j0, j1, k0, k1, x, y, f, col);                                      \
    }                                                                                                       \
    constexpr Table kTable{kLanes<V>, CholeskyColumn, CholeskyColumnPair, AddRowSums,  SubtractRowSums,                       \
                           AddScaled, AddScaledRows,  UpdateAndSum, ApplyRowOps, DotAndUpdateRows};                                    \
    }

VESK_KERNEL_TABLE(lanes2, Pair, )
#ifdef VESK_WIDE_KERNELS
VESK_KERNEL_TABLE(lanes4, Quad, __attribute__((target("avx2"))))

// Eight lanes (AVX-512F) for the rotations of the SVD and the columns of the
// Cholesky factor, bound by the multiply and add units (the rotations ran at
// about 1.3 times, the Cholesky factor at about 1.07 times the four-lane
// rate here); the other kernels, bound by memory, keep four lanes, which were
// as fast or faster. The eight-lane kernels are compiled in their own source
// for AVX-512F (LinalgKernelsWide.cpp).
namespace lanes8 {
constexpr Table kTable{8,
                       CholeskyColumn8,
                       CholeskyColumnPair8,
                       lanes4::AddRowSums,
                       lanes4::SubtractRowSums,
                       lanes4::AddScaled,
                       lanes4::AddScaledRows,
                       lanes4::UpdateAndSum,
                       ApplyRowOps8,
                       lanes4::DotAndUpdateRows};
}  // namespace lanes8
#endif

#undef VESK_KERNEL_TABLE

// The widest table the processor runs with at most `lanes` lanes.
const Table* Widest(int lanes) {
#ifdef VESK_WIDE_KERNELS
    __builtin_cpu_init();
    if (lanes >= 8 && __builtin_cpu_supports("avx512f")) return &lanes8::kTable;
    if (lanes >= 4 && __builtin_cpu_supports("avx2")) return &lanes4::kTable;
#else
    (void)lanes;
#endif
    return &lanes2::kTable;
}

std::atomic<const Table*>& Current() {
    static std::atomic<const Table*> table(Widest(8));
    return table;
}

const Table& Kernels() { return *Current().load(std::memory_order_relaxed); }

}  // namespace

int Lanes() { return Kernels().lanes; }

int UseLanes(int lanes) {
    Current().store(Widest(lanes), std::memory_order_relaxed);
    return Lanes();
}

bool CholeskyColumn(double* t, const double* a, int n, int i) { return Kernels().choleskyColumn(t, a, n, i); }

bool CholeskyColumnPair(double* t, const double* a, int n, int i) {
    return Kernels().choleskyColumnPair(t, a, n, i);
}

void AddRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, long fStride, int k0,
                int k1) {
    Kernels().addRowSums(t, j0, j1, r, stride, f, fStride, k0, k1);
}

void SubtractRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, int k0, int count,
                     int step) {
    Kernels().subtractRowSums(t, j0, j1, r, stride, f, k0, count, step);
}

void AddScaled(double* row, const double* f, double a, int j0, int j1) { Kernels().addScaled(row, f, a, j0, j1); }

void AddScaledRows(double* m, long stride, int k0, int k1, int j0, int j1, const double* f, const double* x) {
    Kernels().addScaledRows(m, stride, k0, k1, j0, j1, f, x);
}

void UpdateAndSum(double* m, long stride, int kd, int ku, int k1, int j0, int j1, const double* f, const double* x,
                  double* s, const double* y) {
    Kernels().updateAndSum(m, stride, kd, ku, k1, j0, j1, f, x, s, y);
}

void ApplyRowOps(double* t, long stride, int len, const RowOp* ops, int count) {
    if (count > 0) Kernels().applyRowOps(t, stride, len, ops, count);
}

void DotAndUpdateRows(double* m, long stride, int j0, int j1, int k0, int k1, const double* x, const double* y,
                      const double* f, int col) {
    Kernels().dotAndUpdateRows(m, stride, j0, j1, k0, k1, x, y, f, col);
}

}  // namespace linalg_kernels
