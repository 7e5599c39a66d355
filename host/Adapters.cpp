// Dispatch of "any" arguments and the one-value routines of the table rows.
#include "host/Adapters.h"

#include <cmath>
#include <utility>

#include "special/Bessel.h"
#include "special/Gamma.h"

namespace {

enum class Shape { Number, Array, TabulatedFunction, Other };

Shape ShapeOf(const Variable& a) {
    if (a.IsNumber()) return Shape::Number;
    const VVARTYPE type = a.GetType();
    const bool object = (type & VT_OBJECT_MASK) != 0;
    if (object && a.IsInheritFrom(VCLASS_NUMBER)) return Shape::Number;
    if (type == VT_ARRAY || a.IsInheritFrom(VCLASS_ARRAY)) return Shape::Array;
    if (object && a.IsInheritFrom(Token::GetNameID("TFunc"))) return Shape::TabulatedFunction;
    return Shape::Other;
}

// Applies element(dst, src) to the n elements of src, writing those of dst.
template <class Apply>
void EachElement(Variable& dst, Variable& src, int n, Apply element) {
    for (int i = 0; i < n; ++i) {
        Variable& s = src[i];
        element(dst[i], s);
    }
}

// The shape dispatch; element(dst, src) writes one value.
template <class Apply>
void Dispatch(VarRegister& result, VarRegister& arg, Apply element) {
    Variable& a = arg;
    switch (ShapeOf(a)) {
        case Shape::Number: element(result.GetVar(), a); return;
        case Shape::Array: {
            const int n = a.GetDim();
            Variable out(VT_ARRAY, n > 0 ? n : 0);
            EachElement(out, a, n, element);
            result.GetVar() = std::move(out);
            return;
        }
        case Shape::TabulatedFunction: {
            Variable out(a);
            if (a.HasMember("Y")) {
                Variable& y = a("Y");
                EachElement(out("Y"), y, y.GetDim(), element);
            }
            result.GetVar() = std::move(out);
            return;
        }
        case Shape::Other: VeskError(3); return;
    }
}

}  // namespace

void DispatchAny(VarRegister& result, VarRegister& arg, ElementRoutine element) {
    Dispatch(result, arg, element);
}

void DispatchAny(VarRegister& result, VarRegister& arg, OrderElementRoutine element, double order) {
    Dispatch(result, arg, [element, order](Variable& dst, Variable& src) { element(dst, src, order); });
}

double BesselJnValue(double x, double order) {
    int n;
    return IsIntegralOrder(order, &n) ? BesselJInteger(n, x) : BesselJFrac(x, order);
}

double BesselYnValue(double x, double order) {
    int n;
    return IsIntegralOrder(order, &n) ? BesselYInteger(n, x) : BesselYFrac(x, order);
}

double ErrfValue(double x) {
    const double p = Gamma_P(0.5, x * x);
    return x < 0 ? -p : p;
}

double SincValue(double x) { return x == 0 ? 1.0 : std::sin(x) / x; }
