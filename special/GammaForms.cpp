// FTest in the form client modules link against (plain data pointers); it
// forwards to the const form, which holds the implementation.
#include "special/Gamma.h"

double FTest(double* dataA, int na, double* dataB, int nb, double* f) {
    return FTest(static_cast<const double*>(dataA), na, static_cast<const double*>(dataB), nb, f);
}
