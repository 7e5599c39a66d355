// Matrix and vectors: exchange with host values, shapes, structure,
// arithmetic and measures.
#include <memory>

#include "LinalgTestUtil.h"
#include "containers/Arrays.h"

namespace {

using namespace linalg_test;
using MatrixTest = LinalgTest;

MatVector Of(Values values) { return MatVector(values.data(), static_cast<int>(values.size())); }
Values Get(const MatVector& v) { return Values(v.GetData(), v.GetData() + v.Len()); }

TEST_F(MatrixTest, ReadsHostValues) {
    Variable rows(VT_ARRAY, 2), mixed(VT_ARRAY, 3), notArray(2.0), text("abc");
    vrt::MakeArray(rows[0], {1, 2, 3});
    vrt::MakeArray(rows[1], {4, 5, 6});
    rows[1][2] = 7;  // an int element converts too
    mixed[0] = 1.5, mixed[1] = 2, mixed[2] = static_cast<VInt64>(-4);
    EXPECT_TRUE(SameBits(Matrix(rows), FromRows({{1, 2, 3}, {4, 5, 7}})));
    EXPECT_EQ(Get(MatVectorCol(mixed)), (Values{1.5, 2, -4}));
    MatVector none(notArray);  // dimension -1: empty, but with storage
    EXPECT_TRUE(none.Len() == 0 && none.GetData() != nullptr);
    EXPECT_EQ(Get(MatVectorRow(text)), (Values{0, 0, 0}));  // no element array
    EXPECT_TRUE(vrt::Errors().empty());

    Variable empty(VT_ARRAY, 0), emptyFirst(VT_ARRAY, 1), ragged(VT_ARRAY, 2), textRow(VT_ARRAY, 2);
    emptyFirst[0].Init(VT_ARRAY, 0);
    vrt::MakeArray(ragged[0], {1, 2});
    vrt::MakeArray(ragged[1], {1});
    vrt::MakeArray(textRow[0], {1, 2});
    textRow[1] = "ab";  // reports length 2 but presents no element array
    for (Variable* bad : {&empty, &emptyFirst, &ragged, &textRow, &notArray}) {
        vrt::ClearErrors();
        EXPECT_TRUE(SameBits(Matrix(*bad), Matrix(1)));
        EXPECT_EQ(Codes(), std::vector<int>{3});
    }

    // A set of vectors takes its length from the first element, which then
    // is the default; shorter elements fill what they have, one without
    // elements leaves zeros, and an empty array gives one vector of length 1.
    MatVectorColSet set(rows);
    EXPECT_EQ(Get(MatVector()), (Values{0, 0, 0}));
    MatVectorColSet shortOnes(ragged), noElements(textRow), fromEmpty(empty), copy(set), other(1);
    EXPECT_EQ(Get(set[1]), (Values{4, 5, 7}));
    EXPECT_EQ(Get(shortOnes[1]), (Values{1, 0}));
    EXPECT_EQ(Get(noElements[1]), (Values{0, 0}));
    EXPECT_TRUE(fromEmpty.Len() == 1 && Get(fromEmpty[0]) == Values{0});
    other = set;
    EXPECT_TRUE(copy.Len() == 2 && copy[1] == set[1] && other.Len() == 2 && other[1] == set[1]);
}

TEST_F(MatrixTest, ExportsVectors) {
    const MatVector v = Of({1, -2, 3.25});
    Variable out(7.0), untouched(7.0), mv, shortOne;
    v.ExportToVector(out);
    EXPECT_EQ(out.GetType(), static_cast<VVARTYPE>(VT_ARRAY));
    EXPECT_EQ(vrt::ToDoubles(out), Get(v));
    v.ExportToMVector(untouched);  // no processor
    Processor p;
    vrt::SetCurrentProcessor(&p);
    vrt::SetConnectorAvailable(false);
    v.ExportToMVector(untouched);  // no connector
    vrt::SetConnectorAvailable(true);
    EXPECT_EQ(static_cast<double>(untouched), 7.0);
    v.ExportToMVector(mv);
    EXPECT_STREQ(mv.GetClass()->GetName(), "MVector");
    EXPECT_EQ(Get(MatVector(mv)), Get(v));
    // An instance presenting fewer elements than asked for is filled as far
    // as it goes.
    auto withLength = [](int fixed) {
        return [fixed](Variable& self, VarRegister* args, int n) {
            const int len = fixed >= 0 ? fixed : n > 0 ? static_cast<int>(args[0]) : 0;
            self.GetObject()->Elements().Init(VT_ARRAY, len);
            for (int i = 0; i < len; ++i) self.GetObject()->Elements()[i] = 0.0;
        };
    };
    vrt::DefineClass("MVector", VCLASS_ARRAY, withLength(2));
    v.ExportToMVector(shortOne);
    vrt::DefineClass("MVector", VCLASS_ARRAY, withLength(-1));
    EXPECT_EQ(vrt::ToDoubles(shortOne), (Values{1, -2}));
}

TEST_F(MatrixTest, ShapesAndStructure) {
    Matrix a = FromRows({{1, 2}, {3, 4}}), b = FromRows({{5}, {6}, {7}}), d(2, 3);
    a.Move(b);
    EXPECT_TRUE(SameBits(a, FromRows({{5}, {6}, {7}})) && SameBits(b, FromRows({{1, 2}, {3, 4}})));
    b.SetSize(2, 2);
    EXPECT_EQ(b(1, 1), 4.0);
    b.SetSize(3, 2);
    EXPECT_TRUE(SameBits(b, Matrix(3, 2)));
    d.SetDiagonal(5.0);
    d.SetDiagonal(MatVector(1));  // shorter than the diagonal: nothing changes
    EXPECT_TRUE(SameBits(d, FromRows({{5, 0, 0}, {0, 5, 0}})));
    std::unique_ptr<Matrix> t(FromRows({{1, 2, 3}, {4, 5, 6}}).T());
    t->SwapColumns(0, 1);
    EXPECT_TRUE(SameBits(*t, FromRows({{4, 1}, {5, 2}, {6, 3}})));

    MatVector v = Of({1, 2, 3});
    v.SetSize(5);
    EXPECT_EQ(Get(v), (Values{1, 2, 3, 0, 0}));
    v.SetSize(2);
    EXPECT_EQ(Get(v), (Values{1, 2}));
    EXPECT_EQ(Of({0.0}) == Of({-0.0}), 0);  // stored bytes compared
    EXPECT_EQ(Of({std::nan(""), 1}) == Of({std::nan(""), 1}), 1);
    EXPECT_EQ(Of({1, 2}) == Of({1, 2, 3}), 0);

    Matrix m(4);
    for (int i = 0; i < 16; ++i) m(i / 4, i % 4) = 10 * (i / 4) + i % 4;
    IntArray rows(2), cols(1), twice(2), outside(1), none(0);
    rows[0] = 2, cols[0] = 3, twice[0] = twice[1] = 1, outside[0] = 4;
    std::unique_ptr<Matrix> minor(m.GetMinor(rows, cols));
    EXPECT_TRUE(SameBits(*minor, FromRows({{10, 11, 12}, {30, 31, 32}})));
    EXPECT_EQ(rows[1], 2);  // sorted in place
    // Repeated or outside indices would give a wrong shape: refused.
    EXPECT_TRUE(m.GetMinor(twice, none) == nullptr && m.GetMinor(none, outside) == nullptr);
    EXPECT_EQ(Codes(), (std::vector<int>{3, 3}));
}

TEST_F(MatrixTest, ShapeMismatchesAnswerNullOrChangeNothing) {
    Matrix a = FromRows({{1, 2, 3}, {4, 5, 6}}), b(3, 2), wide(3, 4);
    const Matrix before(a);
    EXPECT_TRUE(a + b == nullptr && a - b == nullptr && a * a == nullptr &&
                a * MatVectorCol(2) == nullptr);
    EXPECT_EQ(a.Convolove(b), 0.0);
    a += b;
    a -= b;
    a *= b;
    a *= wide;  // X rows but not X columns
    a.MultByDiagonalMatrix(MatVector(2));
    EXPECT_TRUE(SameBits(a, before));
    MatVectorCol out = Of({1, 1, 1, 1, 1});
    a.Mul(out, MatVectorCol(2));
    a.RightMultiply(out, MatVectorCol(2));
    MatVectorRow into = Of({9}), r = Of({1, 2, 3});
    r.RightMultiply(into, a);
    EXPECT_TRUE(r * a == nullptr && r * out == 0.0);
    EXPECT_EQ(Get(MatVectorCol(Of({1, 2})) - MatVectorCol(Of({1, 1, 1}))), (Values{1, 2}));
    EXPECT_EQ(Get(out), Values(5, 1.0));
    EXPECT_EQ(Get(into), Values{9});
    MatVector x = Of({1, 2});
    x += Of({1, 1, 1});
    x.DivByItem(Of({5}));
    EXPECT_EQ(x.Bind(Of({2, 3})), 0);  // too few bounds
    EXPECT_EQ(Get(x), (Values{1, 2}));
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(MatrixTest, ArithmeticValues) {
    Matrix a = FromRows({{1, 2, 3}, {4, 5, 6}}), q = FromRows({{1, 2}, {3, 4}});
    std::unique_ptr<Matrix> twice(a + a), times(a * 2.0), plus(a + 1.0), back(*plus - 1.0);
    EXPECT_TRUE(SameBits(*twice, *times) && SameBits(*back, a));
    *plus -= a;
    EXPECT_TRUE(SameBits(*plus, FromRows({{1, 1, 1}, {1, 1, 1}})));
    q *= FromRows({{0, -1}, {1, 0}});
    EXPECT_TRUE(SameBits(q, FromRows({{2, -1}, {4, -3}})));
    MatVectorCol v = Of({1, -1, 2}), out;
    std::unique_ptr<MatVectorCol> av(a * v);
    a.RightMultiply(out, v);
    EXPECT_TRUE(Get(*av) == (Values{5, 11}) && out == *av);
    a.MultByDiagonalMatrix(v);
    EXPECT_TRUE(SameBits(a, FromRows({{1, -2, 6}, {4, -5, 12}})));

    const MatVectorCol c = Of({1, 2});
    const MatVectorRow r = Of({3, 4, 5}), row = Of({1, 2});
    std::unique_ptr<Matrix> outer(c * r);
    EXPECT_TRUE(SameBits(*outer, FromRows({{3, 4, 5}, {6, 8, 10}})));
    std::unique_ptr<MatVectorRow> rm(row * FromRows({{1, 0, 2}, {0, 1, 3}}));
    EXPECT_EQ(Get(*rm), (Values{1, 2, 8}));
    EXPECT_EQ(row * c, 5.0);
    EXPECT_EQ(Get(c * 3.0 - 1.0 + MatVectorCol(Of({1, 1}))), (Values{3, 6}));
    EXPECT_EQ(Get(c.T().T()), Get(c));

    MatVector x = Of({1, 2}), b = Of({1.5, 0.5});
    x -= 0.5;
    x *= 2;
    x.DivByItem(Of({1, -3}));
    EXPECT_EQ(Get(x), (Values{1, -1}));
    EXPECT_EQ(b.Bind(Of({0, 1, 0, 1})), 1);
    EXPECT_EQ(Get(b), (Values{1, 0.5}));
    EXPECT_EQ(Of({-1}).Bind(Of({0, 1})) * 10 + Of({0.5}).Bind(Of({0, 1})), 10);
}

TEST_F(MatrixTest, ExtremesAndMeasures) {
    int x = 7, y = 7;
    FromRows({{-1e301, -2e301}}).MaxItemIndex(x, y);
    EXPECT_TRUE(FromRows({{-1e301}}).Max() == -1e300 && x == 0 && y == 0);
    const Matrix m = FromRows({{1, 9, 3}, {9, -4, -4}});
    m.MaxItemIndex(x, y);  // the first of two maxima
    EXPECT_EQ(x * 10 + y, 10);
    m.MinItemIndex(x, y);
    EXPECT_TRUE(x * 10 + y == 11 && m.Min() == -4.0);
    // From the last element down: 1e17 and -1e17 cancel before the ones are
    // added, which a forward sum would lose.
    EXPECT_EQ(FromRows({{1, 1, 1e17, -1e17}}).Convolove(FromRows({{1, 1, 1, 1}})), 2.0);
    const MatVector t = Of({3, 7, 7, -1, -1});
    EXPECT_EQ(t.MaxIndex() * 10 + t.MinIndex(), 13);
    EXPECT_TRUE(MatVector(0).MaxIndex() == 0 && MatVector(0).Max() == -1e300 &&
                MatVector(0).Min() == 1e300);

    const MatVector u = Of({3, 4}), v = Of({1, 0});
    const Matrix q = FromRows({{2, 0.5}, {0.5, 1}});
    EXPECT_EQ(u.Norm(), 5.0);
    EXPECT_EQ(u.Norm(q), std::sqrt(46.0));
    EXPECT_EQ(u.Distance(v), std::sqrt(20.0));
    EXPECT_EQ(u.MahalonabisDistance(v, q), std::sqrt(32.0));
    EXPECT_EQ(u.Cosine(v), 0.6);
    EXPECT_EQ(u.MahalonabisCosine(v, q), 8.0 / std::sqrt(2.0 * 46.0));
    EXPECT_EQ(u.ScalarMultiply(Of({1, 2})), 11.0);
    // Degenerate or short operands answer 0.0 instead of reading past them.
    for (double d : {u.Cosine(Of({0, 0})), MatVector(0).MahalonabisCosine(MatVector(0), Matrix(0)),
                     u.ScalarMultiply(Of({1, 2, 3})), u.Norm(Matrix(3)), u.Distance(Of({1})),
                     u.Cosine(Of({1})), u.MahalonabisDistance(v, Matrix(1))})
        EXPECT_EQ(d, 0.0);
}

// The product equals the plain i-j-k loop bit for bit, on shapes that cover
// the blocked and the remainder paths.
TEST_F(MatrixTest, ProductMatchesPlainSumsBitForBit) {
    Generator g(11);
    for (const auto& s : {std::vector<int>{1, 1, 1}, {7, 3, 9}, {9, 300, 5}, {13, 17, 270}}) {
        Matrix a = g.Random(s[0], s[1]), b = g.Random(s[1], s[2]), plain(s[0], s[2]);
        b(0, 0) = -0.0;
        for (int i = 0; i < s[0]; ++i)
            for (int j = 0; j < s[2]; ++j)
                for (int k = 0; k < s[1]; ++k) plain(i, j) += a(i, k) * b(k, j);
        std::unique_ptr<Matrix> c(a * b);
        EXPECT_TRUE(SameBits(*c, plain)) << s[0] << "x" << s[1] << "x" << s[2];
    }
}

}  // namespace
