// The rotation kernel in eight lanes, this source alone compiled for
// AVX-512F (GCC builds eight-lane vectors from scalars lane by lane in
// templates inlined into a function that merely has the target attribute).
// Called only through the table of kernels, after the processor was checked.
#include "linalg/LinalgKernelBodies.h"

#ifdef VESK_WIDE_KERNELS
#ifndef __AVX512F__
#error "LinalgKernelsWide.cpp must be compiled with -mavx512f"
#endif
namespace linalg_kernels {

void ApplyRowOps8(double* t, long stride, int len, const RowOp* ops, int count) {
    ApplyRowOpsT<Oct>(t, stride, len, ops, count);
}

}  // namespace linalg_kernels
#endif
