// The kernels in eight lanes (rotations, Cholesky columns), this source alone
// compiled for AVX-512F (GCC builds eight-lane vectors from scalars lane by
// lane in templates inlined into a function that merely has the target
// attribute). Called only through the table of kernels, after the processor was checked.
// The object must define nothing the linker could pick for the rest of the
// library (an out-of-line copy of an inline function from a standard header
// would carry AVX-512 instructions): the kernel templates have internal
// linkage; `nm` on the object should list no defined symbol but the entry
// points.
#include "linalg/LinalgKernelBodies.h"

#ifdef VESK_WIDE_KERNELS
#ifndef __AVX512F__
#error "LinalgKernelsWide.cpp must be compiled with -mavx512f"
#endif
namespace linalg_kernels {

void ApplyRowOps8(double* t, long stride, int len, const RowOp* ops, int count) {
    ApplyRowOpsT<Oct>(t, stride, len, ops, count);
}

// Short columns (fewer than kShortColumn values) take four lanes: their
// strips of 32 values would leave most of the column to the narrower tails.
bool CholeskyColumn8(double* t, const double* a, int n, int i) {
    constexpr int kShortColumn = 96;
    return n - i < kShortColumn ? CholeskyColumnT<Quad>(t, a, n, i) : CholeskyColumnT<Oct>(t, a, n, i);
}

bool CholeskyColumnPair8(double* t, const double* a, int n, int i) {
    return CholeskyColumnsT<Oct, Quad>(t, a, n, i);
}

}  // namespace linalg_kernels
#endif
