// Arithmetic and bitwise operations on host values.
//
// When both operands have the same plain numeric type (64-bit integer 2,
// byte 4, 32-bit integer 8, float 16, double 32) the result is computed
// directly in that type; every other pair (mixed types, arrays, objects,
// texts) goes to the host's general operation (__AddNumb ... _XorNumb), which
// promotes, works element by element, or raises its own errors.
//
// Integer results wrap around in the operand's width (two's complement; bytes
// are unsigned and wrap modulo 256). The quotient of the most negative 64-bit
// or 32-bit integer by -1 wraps to that same most negative value and the
// remainder is 0, as in the host's general operation; no error is raised.
// A remainder has the sign of the dividend.
//
// Operands are read only; they may be references (their targets are read).
// A result that is a reference is written through to its target, as the
// host's general operations do. A result may be one of the operands:
// Add(x, x, y) leaves x + y in x.
#pragma once

#include "host/Export.h"

#include "host/VeskHost.h"

// The numeric type a mixed operation of the type codes a and b produces:
// 0xFFFF when either has no numeric bit; 2 (64-bit integer) when either is a
// 64-bit integer and both are integer codes (below 16); otherwise the larger
// code, so float and double win over every integer and a 32-bit integer wins
// over a byte.
VESK_MATH_API unsigned short TopType(VVARTYPE a, VVARTYPE b);

// r = a + b, a - b, a * b. Same-typed numbers are computed in their type,
// everything else by the host's general operation. No error of their own.
VESK_MATH_API void Add(Variable& r, const Variable& a, const Variable& b);
VESK_MATH_API void Sub(Variable& r, const Variable& a, const Variable& b);
VESK_MATH_API void Mul(Variable& r, const Variable& a, const Variable& b);

// r = a / b. For same-typed numbers a zero divisor (0, 0.0f, 0.0 or -0.0)
// raises error 10 and leaves r the zero of a's type; other pairs go to the
// host's __DivNumb.
VESK_MATH_API void Div(Variable& r, const Variable& a, const Variable& b);

// r = a % b for same-typed integers (byte, 32-bit, 64-bit); a zero divisor
// raises error 10 and leaves r the zero of a's type. Floating and mixed pairs
// go to the host's __RestNumb.
VESK_MATH_API void Rest(Variable& r, const Variable& a, const Variable& b);

// Bitwise r = a | b, a & b, a ^ b. Two 64-bit integers give a 64-bit integer;
// two bytes or two 32-bit integers give a 32-bit integer. Other pairs go to
// the host's _OrNumb, _AndNumb, _XorNumb.
VESK_MATH_API void Or(Variable& r, const Variable& a, const Variable& b);
VESK_MATH_API void And(Variable& r, const Variable& a, const Variable& b);
VESK_MATH_API void Xor(Variable& r, const Variable& a, const Variable& b);

// The same operations answering a new value. They never raise errors
// themselves: a zero divisor, like every pair outside the same-typed fast
// path, is handed to the host's general operation, which decides the result.
// operator% computes same-typed integers directly; floating pairs go to the
// host.
VESK_MATH_API Variable operator+(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator-(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator*(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator/(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator%(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator|(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator&(const Variable& a, const Variable& b);
VESK_MATH_API Variable operator^(const Variable& a, const Variable& b);
