// Calls of a caller's function value by the solvers (internal, not
// exported). A type-2 value (VT_INT64) holds a native function pointer; any
// other value is a script function run through the current processor.
//
//   RunScriptCall(f, x, nums, n, extra, result)
//       runs the script f with x as a new "MVector", then the n numbers
//       (int or double, passed as they are), then extra by reference; the
//       answer lands in result. Without a processor nothing runs.
//   NativeOf(f, isNative, nullText)
//       the native pointer of a type-2 value, null for any other value;
//       a null pointer in a type-2 value raises error 3 with nullText.
#pragma once

#include "host/Plugin.h"
#include "linalg/MatVector.h"

namespace solver_calls {

template <class Number>
void RunScriptCall(Variable& f, MatVector& x, const Number* nums, int n, Variable& extra, VarRegister& result) {
    Processor* proc = GetOwner();
    if (proc == nullptr) return;
    VarRegister args[4];
    x.ExportToMVector(args[0].GetVar());
    for (int k = 0; k < n; ++k) args[1 + k] = nums[k];
    args[1 + n].PointTo(&extra);
    args[1 + n].SetRef();
    proc->RunFunctionAsIs(result, f, args, 2 + n);
}

inline void* NativeOf(Variable& f, bool& isNative, const char* nullText) {
    isNative = f.GetType() == VT_INT64;
    if (!isNative) return nullptr;
    void* p = f.GetCppPointer();
    if (p == nullptr) VeskError(3, nullText);
    return p;
}

}  // namespace solver_calls
