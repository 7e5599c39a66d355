// New matrices and vectors for the operations that hand one to their caller,
// made without throwing: null when the object or its storage cannot be
// obtained, with error 1 raised (by the object's own storage, or here for the
// object itself). Internal to the module's sources.
#pragma once

#include <new>
#include <utility>

#include "host/VeskHost.h"
#include "linalg/MatVector.h"
#include "linalg/Matrix.h"

namespace linalg_alloc {

// A new T from args, kept only when complete(*object) says its storage was
// obtained.
template <class T, class Complete, class... Args>
T* NewComplete(Complete complete, Args&&... args) {
    T* p = new (std::nothrow) T(std::forward<Args>(args)...);
    if (p == nullptr) {
        VeskError(1);
        return nullptr;
    }
    if (!complete(*p)) {
        delete p;
        return nullptr;
    }
    return p;
}

inline bool HasShape(const Matrix& m, int rows, int cols) {
    return m.Y() == (rows > 0 ? rows : 0) && m.X() == (cols > 0 ? cols : 0);
}

// rows x cols, all 0.0.
inline Matrix* NewMatrix(int rows, int cols) {
    return NewComplete<Matrix>([=](const Matrix& m) { return HasShape(m, rows, cols); }, rows, cols);
}

// A copy of m.
inline Matrix* NewMatrix(const Matrix& m) {
    return NewComplete<Matrix>([&](const Matrix& c) { return HasShape(c, m.Y(), m.X()); }, m);
}

// A vector of n values 0.0 (V: MatVectorCol or MatVectorRow).
template <class V>
V* NewVector(int n) {
    return NewComplete<V>([=](const V& v) { return v.Len() == (n > 0 ? n : 0); }, n);
}

}  // namespace linalg_alloc
