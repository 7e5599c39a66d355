// Arithmetic and bitwise operations on host values: same-typed fast paths,
// the host's general operations otherwise.
#include "host/Arithmetic.h"

#include <cstring>
#include <type_traits>

namespace {

enum class Op { Add, Sub, Mul, Div, Rest };
enum class BitOp { Or, And, Xor };

// What the same-typed fast path made of a pair.
enum class Outcome { Done, ZeroDivisor, NotSameType };

using HostOp = void (*)(Variable&, Variable&, Variable&);

HostOp HostFor(Op op) {
    switch (op) {
        case Op::Add: return __AddNumb;
        case Op::Sub: return __SubNumb;
        case Op::Mul: return __MulNumb;
        case Op::Div: return __DivNumb;
        case Op::Rest: return __RestNumb;
    }
    return __AddNumb;
}

HostOp HostFor(BitOp op) {
    switch (op) {
        case BitOp::Or: return _OrNumb;
        case BitOp::And: return _AndNumb;
        case BitOp::Xor: return _XorNumb;
    }
    return _OrNumb;
}

// The host's general operations take their operands by non-const reference
// but only read them.
void RunHost(HostOp f, Variable& r, const Variable& a, const Variable& b) {
    f(r, const_cast<Variable&>(a), const_cast<Variable&>(b));
}

// The payload of v (or of the value it refers to) read as a T.
template <class T>
T Load(const Variable& v) {
    T t;
    std::memcpy(&t, v.Deref().RawPayload(), sizeof t);
    return t;
}

// Integer arithmetic that wraps in T's width: computed on the unsigned
// counterpart, whose overflow is defined. Division by -1 is a negation, so
// the most negative value divided by -1 wraps to itself with remainder 0.
// The divisor is not zero.
template <class T>
T IntegerOp(Op op, T x, T y) {
    using U = std::make_unsigned_t<T>;
    const U ux = static_cast<U>(x), uy = static_cast<U>(y);
    switch (op) {
        case Op::Add: return static_cast<T>(static_cast<U>(ux + uy));
        case Op::Sub: return static_cast<T>(static_cast<U>(ux - uy));
        case Op::Mul: return static_cast<T>(static_cast<U>(ux * uy));
        case Op::Div:
            if constexpr (std::is_signed_v<T>)
                if (y == -1) return static_cast<T>(static_cast<U>(U{0} - ux));
            return static_cast<T>(x / y);
        case Op::Rest:
            if constexpr (std::is_signed_v<T>)
                if (y == -1) return 0;
            return static_cast<T>(x % y);
    }
    return 0;
}

template <class T>
T FloatingOp(Op op, T x, T y) {
    switch (op) {
        case Op::Add: return x + y;
        case Op::Sub: return x - y;
        case Op::Mul: return x * y;
        case Op::Div: return x / y;
        case Op::Rest: break;
    }
    return 0;
}

// Both operands hold a T: writes `out` unless the divisor of a division or
// remainder is zero. The operands are read before out is written, so out may
// be one of them.
template <class T>
Outcome Compute(Op op, const Variable& a, const Variable& b, Variable& out) {
    const T x = Load<T>(a), y = Load<T>(b);
    if ((op == Op::Div || op == Op::Rest) && y == T(0)) return Outcome::ZeroDivisor;
    if constexpr (std::is_integral_v<T>)
        out = Variable(IntegerOp(op, x, y));
    else
        out = Variable(FloatingOp(op, x, y));
    return Outcome::Done;
}

// The same-typed fast path. A remainder is computed only for integers.
Outcome SameTyped(Op op, const Variable& a, const Variable& b, Variable& out) {
    const VVARTYPE t = a.GetType();
    if (t != b.GetType()) return Outcome::NotSameType;
    switch (t) {
        case VT_INT64: return Compute<VInt64>(op, a, b, out);
        case VT_BYTE: return Compute<unsigned char>(op, a, b, out);
        case VT_INT: return Compute<int>(op, a, b, out);
        case VT_FLOAT:
            if (op == Op::Rest) return Outcome::NotSameType;
            return Compute<float>(op, a, b, out);
        case VT_DOUBLE:
            if (op == Op::Rest) return Outcome::NotSameType;
            return Compute<double>(op, a, b, out);
        default: return Outcome::NotSameType;
    }
}

// The in-place form: a zero divisor of a same-typed pair raises error 10 and
// leaves r the zero of a's type.
void InPlace(Op op, Variable& r, const Variable& a, const Variable& b) {
    const VVARTYPE t = a.GetType();
    switch (SameTyped(op, a, b, r)) {
        case Outcome::Done: return;
        case Outcome::ZeroDivisor:
            VeskError(10);
            r.Init(t, 0);
            return;
        case Outcome::NotSameType: RunHost(HostFor(op), r, a, b); return;
    }
}

// The operator form: whatever the fast path does not finish, including a
// zero divisor, goes to the host through a temporary.
Variable Answer(Op op, const Variable& a, const Variable& b) {
    Variable out;
    if (SameTyped(op, a, b, out) != Outcome::Done) RunHost(HostFor(op), out, a, b);
    return out;
}

template <class T>
T Bits(BitOp op, T x, T y) {
    switch (op) {
        case BitOp::Or: return x | y;
        case BitOp::And: return x & y;
        case BitOp::Xor: return x ^ y;
    }
    return 0;
}

void Bitwise(BitOp op, Variable& r, const Variable& a, const Variable& b) {
    const VVARTYPE t = a.GetType();
    if (t == b.GetType()) {
        switch (t) {
            case VT_INT64: r = Bits(op, Load<VInt64>(a), Load<VInt64>(b)); return;
            case VT_BYTE:
                r = Bits(op, static_cast<int>(Load<unsigned char>(a)),
                         static_cast<int>(Load<unsigned char>(b)));
                return;
            case VT_INT: r = Bits(op, Load<int>(a), Load<int>(b)); return;
            default: break;
        }
    }
    RunHost(HostFor(op), r, a, b);
}

Variable BitwiseAnswer(BitOp op, const Variable& a, const Variable& b) {
    Variable out;
    Bitwise(op, out, a, b);
    return out;
}

}  // namespace

unsigned short TopType(VVARTYPE a, VVARTYPE b) {
    if ((a & VT_NUMERIC_MASK) == 0 || (b & VT_NUMERIC_MASK) == 0) return 0xFFFF;
    if (((a | b) & VT_INT64) != 0 && a < VT_FLOAT && b < VT_FLOAT) return VT_INT64;
    return static_cast<unsigned short>(a > b ? a : b);
}

void Add(Variable& r, const Variable& a, const Variable& b) { InPlace(Op::Add, r, a, b); }
void Sub(Variable& r, const Variable& a, const Variable& b) { InPlace(Op::Sub, r, a, b); }
void Mul(Variable& r, const Variable& a, const Variable& b) { InPlace(Op::Mul, r, a, b); }
void Div(Variable& r, const Variable& a, const Variable& b) { InPlace(Op::Div, r, a, b); }
void Rest(Variable& r, const Variable& a, const Variable& b) { InPlace(Op::Rest, r, a, b); }

void Or(Variable& r, const Variable& a, const Variable& b) { Bitwise(BitOp::Or, r, a, b); }
void And(Variable& r, const Variable& a, const Variable& b) { Bitwise(BitOp::And, r, a, b); }
void Xor(Variable& r, const Variable& a, const Variable& b) { Bitwise(BitOp::Xor, r, a, b); }

Variable operator+(const Variable& a, const Variable& b) { return Answer(Op::Add, a, b); }
Variable operator-(const Variable& a, const Variable& b) { return Answer(Op::Sub, a, b); }
Variable operator*(const Variable& a, const Variable& b) { return Answer(Op::Mul, a, b); }
Variable operator/(const Variable& a, const Variable& b) { return Answer(Op::Div, a, b); }
Variable operator%(const Variable& a, const Variable& b) { return Answer(Op::Rest, a, b); }

Variable operator|(const Variable& a, const Variable& b) { return BitwiseAnswer(BitOp::Or, a, b); }
Variable operator&(const Variable& a, const Variable& b) { return BitwiseAnswer(BitOp::And, a, b); }
Variable operator^(const Variable& a, const Variable& b) { return BitwiseAnswer(BitOp::Xor, a, b); }
