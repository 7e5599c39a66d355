// The host's general value arithmetic (__AddNumb ... _XorNumb): numeric
// promotion for mixed types, element-wise over arrays.
//
// Promotion: a float or double operand gives a double when either is a
// double, else a float; integers give a 64-bit integer when either is one,
// else a 32-bit integer when either is one, else a byte. Integer results wrap
// in their width; the quotient of the most negative integer by -1 wraps to
// itself and its remainder is 0. Integer division or remainder by zero raises
// error 10; bitwise operations on floating values and any other pair (texts,
// buffers, non-number objects, arrays of different lengths) raise error 3.
// The result is left empty after an error.
#include <cmath>
#include <cstdint>

#include "host/VeskHost.h"

namespace {

enum class Op { Add, Sub, Mul, Div, Rest, Or, And, Xor };

VVARTYPE Promote(VVARTYPE a, VVARTYPE b) {
    if ((a | b) & VT_DOUBLE) return VT_DOUBLE;
    if ((a | b) & VT_FLOAT) return VT_FLOAT;
    if ((a | b) & VT_INT64) return VT_INT64;
    if ((a | b) & VT_INT) return VT_INT;
    return VT_BYTE;
}

// Answers false (error raised) when the operation is not defined.
bool Scalar(Variable& r, const Variable& a, const Variable& b, Op op) {
    VVARTYPE t = Promote(a.GetType(), b.GetType());
    if (t == VT_DOUBLE || t == VT_FLOAT) {
        double x = static_cast<double>(a), y = static_cast<double>(b), z;
        switch (op) {
            case Op::Add: z = x + y; break;
            case Op::Sub: z = x - y; break;
            case Op::Mul: z = x * y; break;
            case Op::Div: z = x / y; break;
            case Op::Rest: z = std::fmod(x, y); break;
            default: VeskError(3); return false;
        }
        if (t == VT_FLOAT) r = Variable(static_cast<float>(z));
        else r = z;
        return true;
    }
    std::int64_t x = a.GetInt64(), y = b.GetInt64();
    auto ux = static_cast<std::uint64_t>(x), uy = static_cast<std::uint64_t>(y);
    std::uint64_t z;
    switch (op) {
        case Op::Add: z = ux + uy; break;
        case Op::Sub: z = ux - uy; break;
        case Op::Mul: z = ux * uy; break;
        case Op::Or: z = ux | uy; break;
        case Op::And: z = ux & uy; break;
        case Op::Xor: z = ux ^ uy; break;
        case Op::Div:
        case Op::Rest: {
            if (y == 0) {
                VeskError(10);
                return false;
            }
            // Narrow first so that the most negative value of the result
            // width divided by -1 is caught in that width.
            std::int64_t lo = t == VT_INT64 ? INT64_MIN : t == VT_INT ? INT32_MIN : 0;
            if (t == VT_INT) {
                x = static_cast<std::int32_t>(static_cast<std::uint32_t>(ux));
                y = static_cast<std::int32_t>(static_cast<std::uint32_t>(uy));
            }
            if (y == -1 && x == lo && lo != 0) z = op == Op::Div ? static_cast<std::uint64_t>(x) : 0;
            else z = static_cast<std::uint64_t>(op == Op::Div ? x / y : x % y);
            break;
        }
        default: VeskError(3); return false;
    }
    if (t == VT_INT64) r = static_cast<VInt64>(z);
    else if (t == VT_INT) r = static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(z)));
    else r = Variable(static_cast<unsigned char>(z & 0xFF));
    return true;
}

bool IsScalar(const Variable& v) {
    return v.IsNumber() || ((v.GetType() & VT_OBJECT_MASK) && v.IsInheritFrom(VCLASS_NUMBER));
}

bool Combine(Variable& r, Variable& a, Variable& b, Op op) {
    if (IsScalar(a) && IsScalar(b)) {
        Variable x = a.IsNumber() ? Variable(a) : Variable(static_cast<double>(a));
        Variable y = b.IsNumber() ? Variable(b) : Variable(static_cast<double>(b));
        return Scalar(r, x, y, op);
    }
    bool arrA = a.GetType() == VT_ARRAY, arrB = b.GetType() == VT_ARRAY;
    if ((arrA && (arrB || IsScalar(b))) || (arrB && IsScalar(a))) {
        int n = arrA ? a.GetDim() : b.GetDim();
        if (arrA && arrB && b.GetDim() != n) {
            VeskError(3);
            return false;
        }
        Variable out(VT_ARRAY, n);
        for (int i = 0; i < n; ++i) {
            Variable& x = arrA ? a[i] : a;
            Variable& y = arrB ? b[i] : b;
            if (!Combine(out[i], x, y, op)) return false;
        }
        r = std::move(out);
        return true;
    }
    VeskError(3);
    return false;
}

void Run(Variable& r, Variable& a, Variable& b, Op op) {
    Variable out;
    if (!Combine(out, a, b, op)) out.Clear();
    r = std::move(out);  // writes through a result that is a reference
}

}  // namespace

void __AddNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Add); }
void __SubNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Sub); }
void __MulNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Mul); }
void __DivNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Div); }
void __RestNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Rest); }
void _OrNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Or); }
void _AndNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::And); }
void _XorNumb(Variable& r, Variable& a, Variable& b) { Run(r, a, b, Op::Xor); }
