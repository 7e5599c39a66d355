// Storage that cannot be obtained: every matrix and vector operation raises
// error 1 and answers its fallback instead of throwing, and releases what it
// had obtained. This program replaces the global allocation functions: they
// count live blocks, fail on request, and refuse requests beyond 1 TiB the
// way a machine without that much memory does (without asking malloc, which
// a sanitizer would stop instead).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "containers/Arrays.h"
#include "linalg/MatVector.h"
#include "linalg/Matrix.h"
#include "tests/host/ErrorTest.h"
#include "tests/host/ReplacedAllocation.h"

using replaced_allocation::g_failAt;
using replaced_allocation::g_live;

namespace {

using AllocationTest = ErrorTest;

// Runs op(arm) with the k-th allocation after arm() failing, for k = 1, 2, ...
// until op completes without reaching it. Every failing run must answer the
// fallback (op answers true), raise error 1, and leave no block behind.
template <class Op>
void EveryAllocationFails(const char* what, Op op) {
    SCOPED_TRACE(what);
    for (int k = 1; k < 200; ++k) {
        vrt::ClearErrors();
        const long live = g_live;
        const bool fallback = op([k] { g_failAt = k; });
        const bool reached = g_failAt == 0;
        g_failAt = 0;
        EXPECT_EQ(g_live, live) << "allocation " << k << " leaked";
        if (!reached) {
            EXPECT_TRUE(vrt::Errors().empty()) << k;
            EXPECT_GT(k, 1) << "nothing was allocated";
            return;
        }
        EXPECT_TRUE(fallback) << "allocation " << k;
        ASSERT_FALSE(vrt::Errors().empty()) << "allocation " << k;
        for (const auto& e : vrt::Errors()) EXPECT_EQ(e.code, 1) << "allocation " << k;
    }
    ADD_FAILURE() << "more than 200 allocations";
}

Matrix Sample(int rows, int cols) {
    Matrix m(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) m(i, j) = 1.0 + i * cols + j + (i == j ? 10.0 : 0.0);
    return m;
}

template <class T>
bool IsNull(T* p) {
    std::unique_ptr<T> owner(p);
    return p == nullptr;
}

template <class T>
bool IsNullArray(T* p) {
    std::unique_ptr<T[]> owner(p);
    return p == nullptr;
}

TEST_F(AllocationTest, MatrixStorageNeverThrows) {
    // 2^40 doubles: refused, error 1, the empty matrix.
    Matrix huge(1 << 20, 1 << 20);
    EXPECT_EQ(huge.X() + huge.Y(), 0);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{1});
    vrt::ClearErrors();
    // A matrix asked for that shape keeps its own.
    Matrix kept = Sample(2, 2);
    kept.SetSize(1 << 20, 1 << 20);
    EXPECT_EQ(kept(1, 1), 14.0);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{1});

    const Matrix a = Sample(4, 4);
    const Matrix wide = Sample(3, 5);
    double b[5] = {1, 2, 3, 4, 5};
    EveryAllocationFails("constructors", [&](auto arm) {
        arm();
        Matrix m(3, 2);
        return m.X() == 0 && m.Y() == 0;
    });
    EveryAllocationFails("copy", [&](auto arm) {
        arm();
        Matrix m(a);
        return m.X() == 0 && m.Y() == 0;
    });
    EveryAllocationFails("assignment keeps the matrix", [&](auto arm) {
        Matrix m = Sample(2, 3);
        arm();
        m = a;
        return m.X() == 3 && m.Y() == 2 && m(1, 2) == 6.0;
    });
    EveryAllocationFails("SetSize keeps the matrix", [&](auto arm) {
        Matrix m = Sample(2, 3);
        arm();
        m.SetSize(7, 7);
        return m.X() == 3 && m.Y() == 2 && m(1, 2) == 6.0;
    });
    EveryAllocationFails("operator*= keeps A", [&](auto arm) {
        Matrix m(a);
        arm();
        m *= a;
        return m(3, 3) == a(3, 3);
    });
    EveryAllocationFails("Transpose", [&](auto arm) { return arm(), IsNull(a.Transpose()); });
    EveryAllocationFails("operator+", [&](auto arm) { return arm(), IsNull(a + a); });
    EveryAllocationFails("operator* d", [&](auto arm) { return arm(), IsNull(a * 2.0); });
    EveryAllocationFails("product", [&](auto arm) { return arm(), IsNull(a * a); });
    EveryAllocationFails("GetMinor", [&](auto arm) {
        IntArray rows(1), cols(1);
        rows[0] = 1;
        cols[0] = 0;
        arm();
        return IsNull(a.GetMinor(rows, cols));
    });
    EveryAllocationFails("Det", [&](auto arm) { return arm(), a.Det() == 0.0; });
    EveryAllocationFails("LogAbsDet", [&](auto arm) { return arm(), a.LogAbsDet() == 0.0; });
    EveryAllocationFails("SolveSystem", [&](auto arm) { return arm(), IsNullArray(a.SolveSystem(b)); });
    EveryAllocationFails("Inverse", [&](auto arm) { return arm(), IsNull(a.Inverse()); });
    EveryAllocationFails("CholeskyDecompse", [&](auto arm) {
        Matrix spd = Sample(3, 3);
        Matrix* t = spd.Transpose();
        Matrix* p = spd * *t;
        delete t;
        Matrix s(*p);
        delete p;
        arm();
        return IsNull(s.CholeskyDecompse());
    });
    EveryAllocationFails("SVD", [&](auto arm) {
        Matrix u(wide);
        MatVectorCol* w = nullptr;
        Matrix* v = nullptr;
        arm();
        const int ok = u.SVD(w, v);
        const bool fallback = ok == 0;
        delete w;
        delete v;
        return fallback;
    });
    EveryAllocationFails("SolveSystemBySVD", [&](auto arm) {
        return arm(), IsNullArray(wide.SolveSystemBySVD(b));
    });
    EveryAllocationFails("PseudoInverse", [&](auto arm) { return arm(), IsNull(wide.PseudoInverse()); });
}

TEST_F(AllocationTest, VectorStorageNeverThrows) {
    const Matrix a = Sample(3, 4);
    MatVectorCol col(3);
    MatVectorRow row(3);
    for (int i = 0; i < 3; ++i) col[i] = row[i] = i + 1.0;
    EveryAllocationFails("vector", [&](auto arm) {
        arm();
        MatVectorCol v(5);
        return v.Len() == 0;
    });
    EveryAllocationFails("SetSize keeps the vector", [&](auto arm) {
        MatVectorCol v(col);
        arm();
        v.SetSize(9);
        return v.Len() == 3 && v[2] == 3.0;
    });
    EveryAllocationFails("outer product", [&](auto arm) { return arm(), IsNull(col * row); });
    EveryAllocationFails("row times matrix", [&](auto arm) { return arm(), IsNull(row * a); });
    EveryAllocationFails("matrix times column", [&](auto arm) {
        MatVectorCol four(4);
        arm();
        return IsNull(a * four);
    });
    EveryAllocationFails("column set", [&](auto arm) {
        MatVector::SetDefaultSize(2);
        arm();
        MatVectorColSet set(3);
        return set.Len() == 0 || set[2].Len() == 0 || set[1].Len() == 0 || set[0].Len() == 0;
    });
}

}  // namespace
