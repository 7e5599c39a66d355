// The function table, in the host's row order.
#include "host/FunctionTable.h"

namespace {

// Row 0: the argument's conjugate, assigned to the result's value.
void ConjugateHandler(VarRegister& result, VarRegister* args) {
    Variable conj = args[0].GetVar().Conjugate();
    result.GetVar() = conj;
}

}  // namespace

const VeskFunctionEntry VeskFunctionTable[] = {
    {ConjugateHandler, "Conjugate(any)"},
    {nullptr, ""},
};
