// Vectors: exchange with host values, size changes, measures, arithmetic and
// products with matrices.
#include <limits>
#include <memory>

#include "LinalgTestUtil.h"

namespace {

using linalg_test::LinalgTest;
using linalg_test::SameBits;

using VectorTest = LinalgTest;

MatVector Of(std::initializer_list<double> values) {
    MatVector v(static_cast<int>(values.size()));
    int i = 0;
    for (double x : values) v[i++] = x;
    return v;
}

std::vector<double> Values(const MatVector& v) { return std::vector<double>(v.GetData(), v.GetData() + v.Len()); }

TEST_F(VectorTest, ReadsHostValues) {
    Variable mixed(VT_ARRAY, 3);
    mixed[0] = 1.5;
    mixed[1] = 2;
    mixed[2] = static_cast<VInt64>(-4);
    MatVectorCol c(mixed);
    EXPECT_EQ(Values(c), (std::vector<double>{1.5, 2, -4}));

    Variable notArray(2.0);  // reports dimension -1
    MatVector none(notArray);
    EXPECT_EQ(none.Len(), 0);
    EXPECT_NE(none.GetData(), nullptr);

    Variable text("abc");  // dimension 3, no element array
    MatVectorRow zeros(text);
    EXPECT_EQ(Values(zeros), (std::vector<double>{0, 0, 0}));

    // An "MVector" instance reads like an array.
    Processor p;
    vrt::SetCurrentProcessor(&p);
    Variable mv;
    Of({4, 5}).ExportToMVector(mv);
    MatVector back;
    back = mv;
    EXPECT_EQ(Values(back), (std::vector<double>{4, 5}));
}

TEST_F(VectorTest, ExportsToHostArraysAndMVectors) {
    const MatVector v = Of({1, -2, 3.25});
    Variable out(7.0);
    v.ExportToVector(out);
    EXPECT_EQ(out.GetType(), static_cast<VVARTYPE>(VT_ARRAY));
    EXPECT_EQ(vrt::ToDoubles(out), (std::vector<double>{1, -2, 3.25}));

    Variable untouched(7.0);
    v.ExportToMVector(untouched);  // no current processor
    EXPECT_EQ(static_cast<double>(untouched), 7.0);

    Processor p;
    vrt::SetCurrentProcessor(&p);
    vrt::SetConnectorAvailable(false);
    v.ExportToMVector(untouched);  // no connector
    vrt::SetConnectorAvailable(true);
    EXPECT_EQ(static_cast<double>(untouched), 7.0);

    Variable mv;
    v.ExportToMVector(mv);
    ASSERT_NE(mv.GetClass(), nullptr);
    EXPECT_STREQ(mv.GetClass()->GetName(), "MVector");
    EXPECT_EQ(mv.GetDim(), 3);
    EXPECT_EQ(static_cast<double>(mv[2]), 3.25);

    // An "MVector" class that presents fewer elements than asked for is
    // filled only as far as it goes.
    vrt::DefineClass("MVector", VCLASS_ARRAY, [](Variable& self, VarRegister*, int) {
        self.GetObject()->Elements().Init(VT_ARRAY, 2);
    });
    Variable shortOne;
    v.ExportToMVector(shortOne);
    EXPECT_EQ(shortOne.GetDim(), 2);
    EXPECT_EQ(static_cast<double>(shortOne[1]), -2.0);
    vrt::DefineClass("MVector", VCLASS_ARRAY, [](Variable& self, VarRegister* args, int n) {
        const int len = n > 0 ? static_cast<int>(args[0]) : 0;
        Variable& e = self.GetObject()->Elements();
        e.Init(VT_ARRAY, len);
        for (int i = 0; i < len; ++i) e[i] = 0.0;
    });
}

TEST_F(VectorTest, SizeAssignmentAndDefaultSize) {
    MatVector v = Of({1, 2, 3});
    v.SetSize(5);
    EXPECT_EQ(Values(v), (std::vector<double>{1, 2, 3, 0, 0}));
    v.SetSize(2);
    EXPECT_EQ(Values(v), (std::vector<double>{1, 2}));
    const double src[3] = {7, 8, 9};
    v.Set(src, 3);
    EXPECT_EQ(Values(v), (std::vector<double>{7, 8, 9}));
    v.Set(0.5);
    EXPECT_EQ(v.Max(), 0.5);

    EXPECT_EQ(MatVector().Len(), 1);
    Variable host(VT_ARRAY, 3);
    for (int i = 0; i < 3; ++i) vrt::MakeArray(host[i], {1.0 + i, 2, 3, 4});
    MatVectorColSet set(host);
    ASSERT_EQ(set.Len(), 3);
    EXPECT_EQ(Values(set[2]), (std::vector<double>{3, 2, 3, 4}));
    EXPECT_EQ(MatVector::GetDefaultSize(), 4);
    EXPECT_EQ(Values(MatVector()), (std::vector<double>(4, 0.0)));

    MatVectorColSet copy(set);
    EXPECT_TRUE(copy[1] == set[1]);
    MatVectorColSet other(1);
    other = set;
    EXPECT_EQ(other.Len(), 3);
    EXPECT_TRUE(other[2] == set[2]);

    // Elements shorter than the first or without elements leave zeros.
    Variable ragged(VT_ARRAY, 3);
    vrt::MakeArray(ragged[0], {1, 2, 3});
    vrt::MakeArray(ragged[1], {5});
    ragged[2] = 1.0;
    MatVectorColSet r(ragged);
    EXPECT_EQ(Values(r[1]), (std::vector<double>{5, 0, 0}));
    EXPECT_EQ(Values(r[2]), (std::vector<double>{0, 0, 0}));
}

// An empty host array has no element 0 to take a length from: one vector of
// length 1.
TEST_F(VectorTest, SetFromEmptyHostArray) {
    Variable empty(VT_ARRAY, 0);
    MatVectorColSet set(empty);
    ASSERT_EQ(set.Len(), 1);
    EXPECT_EQ(Values(set[0]), std::vector<double>{0.0});
    EXPECT_EQ(MatVector::GetDefaultSize(), 1);
}

TEST_F(VectorTest, EqualityComparesStoredBytes) {
    EXPECT_EQ(Of({0.0}) == Of({-0.0}), 0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Of({nan, 1}) == Of({nan, 1}), 1);
    EXPECT_EQ(Of({1, 2}) == Of({1, 2, 3}), 0);
    EXPECT_EQ(MatVector(0) == MatVector(0), 1);
}

TEST_F(VectorTest, Measures) {
    const MatVector x = Of({3, 4});
    const MatVector v = Of({1, 0});
    Matrix m(2);
    m(0, 0) = 2;
    m(1, 1) = 1;
    m(0, 1) = m(1, 0) = 0.5;
    EXPECT_EQ(x.Norm(), 5.0);
    EXPECT_EQ(x.Norm(m), std::sqrt(18.0 + 12.0 + 16.0));
    EXPECT_EQ(x.Distance(v), std::sqrt(20.0));
    EXPECT_EQ(x.MahalonabisDistance(v, m), std::sqrt(2.0 * 4 + 0.5 * 8 + 0.5 * 8 + 16));
    EXPECT_EQ(x.Cosine(v), 3.0 / 5.0);
    EXPECT_EQ(x.Cosine(Of({0, 0})), 0.0);
    // xMv = 3*2 + 4*0.5 = 8, vMv = 2, xMx = 46.
    EXPECT_EQ(x.MahalonabisCosine(v, m), 8.0 / std::sqrt(2.0 * 46.0));
    EXPECT_EQ(MatVector(0).MahalonabisCosine(MatVector(0), Matrix(0)), 0.0);
    EXPECT_EQ(x.ScalarMultiply(Of({1, 2, 3})), 0.0);
    // Operands of the wrong size answer 0.0 instead of reading past them.
    EXPECT_EQ(x.Norm(Matrix(3)), 0.0);
    EXPECT_EQ(x.Distance(Of({1})), 0.0);

    const MatVector t = Of({3, 7, 7, -1, -1});
    EXPECT_EQ(t.MaxIndex(), 1);
    EXPECT_EQ(t.MinIndex(), 3);
    EXPECT_EQ(MatVector(0).MaxIndex(), 0);
    EXPECT_EQ(MatVector(0).Max(), -1e300);
    EXPECT_EQ(MatVector(0).Min(), 1e300);
}

TEST_F(VectorTest, InPlaceChangesAndBind) {
    MatVector x = Of({1, 2});
    x += Of({1, 1, 1});  // other length: nothing
    EXPECT_EQ(Values(x), (std::vector<double>{1, 2}));
    x += Of({1, 1});
    x -= 0.5;
    x *= 2;
    EXPECT_EQ(Values(x), (std::vector<double>{3, 5}));
    x.DivByItem(Of({3, -5}));
    EXPECT_EQ(Values(x), (std::vector<double>{1, -1}));

    MatVector b = Of({1.5, 0.5});
    EXPECT_EQ(b.Bind(Of({0, 1, 0, 1})), 1);
    EXPECT_EQ(Values(b), (std::vector<double>{1, 0.5}));
    MatVector inside = Of({0.5});
    EXPECT_EQ(inside.Bind(Of({0, 1})), 0);
    EXPECT_EQ(inside.Bind(Of({0})), 0);  // too few bounds: unchanged
    EXPECT_EQ(inside[0], 0.5);
}

TEST_F(VectorTest, OrientationsAndProducts) {
    MatVectorCol c(Of({1, 2}));
    MatVectorRow r(Of({3, 4, 5}));
    std::unique_ptr<Matrix> outer(c * r);
    Matrix expected(2, 3);
    const double rows[2][3] = {{3, 4, 5}, {6, 8, 10}};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) expected(i, j) = rows[i][j];
    EXPECT_TRUE(SameBits(*outer, expected));
    Matrix out(1);
    c.RightMultiply(out, r);
    EXPECT_TRUE(SameBits(out, expected));

    MatVectorRow row(Of({1, 2}));
    Matrix m(2, 3);
    m(0, 0) = 1;
    m(0, 2) = 2;
    m(1, 1) = 1;
    m(1, 2) = 3;
    std::unique_ptr<MatVectorRow> rm(row * m);
    ASSERT_TRUE(rm);
    EXPECT_EQ(Values(*rm), (std::vector<double>{1, 2, 8}));
    EXPECT_EQ(row * Matrix(3), nullptr);
    MatVectorRow into(Of({9}));
    row.RightMultiply(into, Matrix(3));  // wrong shape: untouched
    EXPECT_EQ(Values(into), std::vector<double>{9});
    row.RightMultiply(into, m);
    EXPECT_EQ(Values(into), (std::vector<double>{1, 2, 8}));

    EXPECT_EQ(row * c, 5.0);
    EXPECT_EQ(r * c, 0.0);

    const MatVectorCol sum = c + MatVectorCol(Of({1, 1}));
    EXPECT_EQ(Values(sum), (std::vector<double>{2, 3}));
    EXPECT_EQ(Values(c - MatVectorCol(Of({1, 1, 1}))), (std::vector<double>{1, 2}));
    EXPECT_EQ(Values(c * 3.0), (std::vector<double>{3, 6}));
    EXPECT_EQ(Values(c + 1.0), (std::vector<double>{2, 3}));
    const MatVectorRow t = c.T();
    EXPECT_EQ(Values(t), (std::vector<double>{1, 2}));
    EXPECT_EQ(Values(t.T() - 1.0), (std::vector<double>{0, 1}));
}

}  // namespace
