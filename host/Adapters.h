// Argument adapters of the script function table: an argument declared "any"
// is turned into doubles, a one-value routine is applied to each, and the
// result has the argument's shape.
//
// Shapes of an "any" argument, told apart in this order:
//   number              a numeric value, or an object of a class inheriting
//                       from the number class (id 42) whose member "Value"
//                       holds a number, read as one double; the result is
//                       one double.
//   array               type 1024 or an object inheriting from the array class
//                       (id 1); the result is a fresh array (type 1024) of the
//                       same length, an empty array for an empty one.
//   tabulated function  an object of a class inheriting from "TFunc"; the
//                       result is a copy of the object whose member "Y" holds
//                       the transformed ordinates; the other members, "X"
//                       included, are those of the copy. An object without
//                       "Y" comes back as a plain copy.
//   anything else       error 3; the result register keeps what it held. So
//                       are a number object whose "Value" is missing or not
//                       a number and a tabulated function whose "Y" is not
//                       an array ({Y: 5}, {Y: "abc"}).
// Elements of an array or of "Y" are read as doubles whatever their own type.
// The argument is never changed, and the result is complete before it
// replaces what the result register held, so the result may refer to the
// argument. Errors of the numeric routine are raised per element and the loop
// goes on.
#pragma once

#include "host/VeskHost.h"

// Writes the routine's value for the double read from src into dst.
typedef void (*ElementRoutine)(Variable& dst, Variable& src);
// The same for the rows that take an order (n or ν) before x.
typedef void (*OrderElementRoutine)(Variable& dst, Variable& src, double order);

// Applies `element` to the "any" argument `arg` into `result` (shapes above).
void DispatchAny(VarRegister& result, VarRegister& arg, ElementRoutine element);
// The same, passing `order` to every call of `element`.
void DispatchAny(VarRegister& result, VarRegister& arg, OrderElementRoutine element, double order);

// The element routine of a one-value function: dst = F(src).
template <double (*F)(double)>
void Element(Variable& dst, Variable& src) {
    dst = F(static_cast<double>(src));
}

// The element routine of a function of x and an order: dst = F(src, order).
template <double (*F)(double, double)>
void OrderElement(Variable& dst, Variable& src, double order) {
    dst = F(static_cast<double>(src), order);
}

// J_n(x) and Y_n(x): the C library's jn and yn for an integral order, the
// fractional-order routines otherwise (which raise error 3 and answer 0 for
// x ≤ 0 or a negative order).
double BesselJnValue(double x, double order);
double BesselYnValue(double x, double order);

// The error function through the incomplete gamma function: P(1/2, x²),
// negated for x < 0; ±1 at ±∞, NaN for NaN (without an error).
double ErrfValue(double x);

// sin(x)/x, exactly 1 at x = 0 and 0 (its limit) at ±∞.
double SincValue(double x);
