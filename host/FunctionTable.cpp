// The function table, in the host's row order, and the row handlers.
//
// Handler families:
//   AnyRow<E>        one "any" argument, element routine E over its shape.
//   OrderAnyRow<E>   the order (read as a double first), then an "any"
//                    argument whose every element gets that order.
//   NumbersRow<F>    number arguments read as doubles in signature order,
//                    F's double assigned to the result.
// Rows 0 (Conjugate), 29 (FTest) and 36 (RandBinominal, whose
// second argument is an int) have handlers of their own.
#include "host/FunctionTable.h"

#include <cmath>
#include <limits>

#include "host/Adapters.h"
#include "special/Bessel.h"
#include "special/Gamma.h"
#include "special/Random.h"

namespace {

template <ElementRoutine E>
void AnyRow(VarRegister& result, VarRegister* args) {
    DispatchAny(result, args[0], E);
}

template <OrderElementRoutine E>
void OrderAnyRow(VarRegister& result, VarRegister* args) {
    const double order = args[0];
    DispatchAny(result, args[1], E, order);
}

template <double (*F)(double)>
void NumbersRow(VarRegister& result, VarRegister* args) {
    const double a = args[0];
    result = F(a);
}

template <double (*F)(double, double)>
void NumbersRow(VarRegister& result, VarRegister* args) {
    const double a = args[0];
    const double b = args[1];
    result = F(a, b);
}

template <double (*F)(double, double, double)>
void NumbersRow(VarRegister& result, VarRegister* args) {
    const double a = args[0];
    const double b = args[1];
    const double c = args[2];
    result = F(a, b, c);
}

// Row 0: the argument's conjugate, assigned to the result's value.
void ConjugateRow(VarRegister& result, VarRegister* args) {
    Variable conj = args[0].GetVar().Conjugate();
    result.GetVar() = conj;
}

// Row 28: the chi-square distribution function of `degrees` degrees of
// freedom at chi2, P(degrees/2, chi2/2). Halving a subnormal rounds it (5e-324
// to 0): below the normal range chi2/2 is taken exactly as chi2·2^63 with the
// factor 2^(−64·a) outside, since P(a, x) = x^a/Γ(a + 1)·(1 + O(x)) there
// (ProbChi2(1, 5e-324) was 0 for 1.77e-162). Degrees whose half rounds to 0
// keep their value: P is 1 for every such a (ProbChi2(5e-324, 1.5) was
// refused).
double ProbChi2(double degrees, double chi2) {
    const double a = degrees / 2 > 0.0 ? degrees / 2 : degrees;
    if (chi2 > 0.0 && chi2 < std::numeric_limits<double>::min())
        return Gamma_P(a, chi2 * 0x1p63) * std::exp2(-64.0 * a);
    return Gamma_P(a, chi2 / 2);
}

// The elements of v as a new host-heap array of doubles (at least one slot,
// so that an empty sample is not mistaken for a failed allocation); null
// when the heap refuses. A value without elements gives a count of 0.
double* CopySample(Variable& v, int* count) {
    const int dim = v.GetDim();
    const int n = dim > 0 ? dim : 0;
    auto* data = static_cast<double*>(HMALLOC(sizeof(double) * static_cast<size_t>(n > 0 ? n : 1)));
    if (data == nullptr) return nullptr;
    for (int i = 0; i < n; ++i) data[i] = static_cast<double>(v[i]);
    *count = n;
    return data;
}

// Row 29: the significance of the F-test of the two samples; the F ratio is
// not returned. A sample that is no array (a text, a number, ...): error 3;
// when working storage is not obtained, error 1; the result is then left
// alone.
void FTestRow(VarRegister& result, VarRegister* args) {
    for (int i = 0; i < 2; ++i) {
        const Variable& v = args[i].GetVar();
        if (v.GetType() != VT_ARRAY && !v.IsInheritFrom(VCLASS_ARRAY)) {
            VeskError(3);
            return;
        }
    }
    int na = 0, nb = 0;
    double* a = CopySample(args[0].GetVar(), &na);
    double* b = CopySample(args[1].GetVar(), &nb);
    if (a != nullptr && b != nullptr) {
        double f = 0;
        result = FTest(a, na, b, nb, &f);
    } else {
        VeskError(1);
    }
    HFREE(a);
    HFREE(b);
}

// Row 36: the trial count is read as an int.
void RandBinominalRow(VarRegister& result, VarRegister* args) {
    const double p = args[0];
    const int n = args[1];
    result = RandBinominal(p, n);
}

}  // namespace

const VeskFunctionEntry VeskFunctionTable[] = {
    {ConjugateRow, "Conjugate(any)"},
    {AnyRow<Element<j0>>, "BesselJ0(any)"},
    {AnyRow<Element<j1>>, "BesselJ1(any)"},
    {OrderAnyRow<OrderElement<BesselJnValue>>, "BesselJn(number, any)"},
    {OrderAnyRow<OrderElement<BesselJpFrac>>, "BesselJpn(number, any)"},
    {AnyRow<Element<y0>>, "BesselY0(any)"},
    {AnyRow<Element<y1>>, "BesselY1(any)"},
    {OrderAnyRow<OrderElement<BesselYnValue>>, "BesselYn(number, any)"},
    {OrderAnyRow<OrderElement<BesselYpFrac>>, "BesselYpn(number, any)"},
    {AnyRow<Element<BesselI0>>, "BesselI0(any)"},
    {AnyRow<Element<BesselI1>>, "BesselI1(any)"},
    {OrderAnyRow<OrderElement<BesselIn>>, "BesselIn(number, any)"},
    {OrderAnyRow<OrderElement<LnBesselIn>>, "LnBesselIn(number, any)"},
    {OrderAnyRow<OrderElement<BesselIpn>>, "BesselIpn(number, any)"},
    {OrderAnyRow<OrderElement<LnBesselIpn>>, "LnBesselIpn(number, any)"},
    {AnyRow<Element<BesselK0>>, "BesselK0(any)"},
    {AnyRow<Element<BesselK1>>, "BesselK1(any)"},
    {OrderAnyRow<OrderElement<BesselKn>>, "BesselKn(number, any)"},
    {OrderAnyRow<OrderElement<BesselKpn>>, "BesselKpn(number, any)"},
    {AnyRow<Element<LnGamma>>, "LnGamma(any)"},
    {NumbersRow<Gamma_P>, "Gamma_P(number, number)"},
    {NumbersRow<LnGamma_P>, "LnGamma_P(number, number)"},
    {NumbersRow<Gamma_Q>, "Gamma_Q(number, number)"},
    {NumbersRow<LnGamma_Q>, "LnGamma_Q(number, number)"},
    {NumbersRow<Beta_I>, "Beta_I(number, number, number)"},
    {NumbersRow<LnBeta_I>, "LnBeta_I(number, number, number)"},
    {NumbersRow<Beta>, "Beta(number, number)"},
    {NumbersRow<LnBeta>, "LnBeta(number, number)"},
    {NumbersRow<ProbChi2>, "ProbChi2(number, number)"},
    {FTestRow, "FTest(refer object Vector, refer object Vector)"},
    {AnyRow<Element<ErrfValue>>, "Errf(any)"},
    {AnyRow<Element<Erf>>, "Errf1(any)"},
    {AnyRow<Element<SincValue>>, "Sinc(any)"},
    {NumbersRow<RandGauss>, "RandGauss(number, number)"},
    {NumbersRow<RandGauss>, "RandGaus(number, number)"},
    {NumbersRow<RandPoisson>, "RandPoisson(number)"},
    {RandBinominalRow, "RandBinominal(number, int)"},
    {nullptr, ""},
};
