// Dispatch of "any" arguments and the one-value routines of the table rows.
#include "host/Adapters.h"

#include <cmath>
#include <utility>

#include "special/Bessel.h"
#include "special/Gamma.h"

namespace {

enum class Shape { Number, Array, TabulatedFunction, Other };

bool IsObject(const Variable& a) { return (a.GetType() & VT_OBJECT_MASK) != 0; }

bool IsArray(const Variable& a) { return a.GetType() == VT_ARRAY || a.IsInheritFrom(VCLASS_ARRAY); }

// A number, or a number object whose "Value" holds one (the parser and the
// host limit how deeply values nest).
bool HoldsNumber(Variable& a) {
    if (a.IsNumber()) return true;
    if (!IsObject(a) || !a.IsInheritFrom(VCLASS_NUMBER) || !a.HasMember("Value")) return false;
    return HoldsNumber(a("Value"));
}

// A number object whose "Value" is no number, or a tabulated function whose
// "Y" is present but no array, has no shape: it is refused like a text.
Shape ShapeOf(Variable& a) {
    if (a.IsNumber()) return Shape::Number;
    const bool object = IsObject(a);
    if (object && a.IsInheritFrom(VCLASS_NUMBER)) return HoldsNumber(a) ? Shape::Number : Shape::Other;
    if (IsArray(a)) return Shape::Array;
    if (object && a.IsInheritFrom(Token::GetNameID("TFunc"))) {
        if (a.HasMember("Y") && !IsArray(a("Y"))) return Shape::Other;
        return Shape::TabulatedFunction;
    }
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
    if (std::isnan(x)) return x;
    const double p = Gamma_P(0.5, x * x);
    return x < 0 ? -p : p;
}

double SincValue(double x) {
    if (std::isinf(x)) return 0.0;
    return x == 0 ? 1.0 : std::sin(x) / x;
}
