// Matrix storage, conversion from host values, structure and arithmetic.
#include <limits>
#include <memory>

#include "LinalgTestUtil.h"
#include "containers/Arrays.h"

namespace {

using linalg_test::FromRows;
using linalg_test::Generator;
using linalg_test::LinalgTest;
using linalg_test::SameBits;

using MatrixTest = LinalgTest;

void ExpectOneByOneZero(const Matrix& m) {
    EXPECT_EQ(m.X(), 1);
    EXPECT_EQ(m.Y(), 1);
    EXPECT_EQ(m(0, 0), 0.0);
}

TEST_F(MatrixTest, ConvertsHostArrayOfRows) {
    Variable v(VT_ARRAY, 2);
    vrt::MakeArray(v[0], {1, 2, 3});
    vrt::MakeArray(v[1], {4, 5, 6});
    v[1][2] = 7;  // an int element converts too
    Matrix m(v);
    ASSERT_EQ(m.Y(), 2);
    ASSERT_EQ(m.X(), 3);
    EXPECT_EQ(m(0, 2), 3.0);
    EXPECT_EQ(m(1, 0), 4.0);
    EXPECT_EQ(m(1, 2), 7.0);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(MatrixTest, RejectsMalformedHostValues) {
    Variable empty(VT_ARRAY, 0);
    Variable emptyFirst(VT_ARRAY, 1);
    emptyFirst[0].Init(VT_ARRAY, 0);
    Variable ragged(VT_ARRAY, 2);
    vrt::MakeArray(ragged[0], {1, 2});
    vrt::MakeArray(ragged[1], {1});
    // A row that reports a length but presents no element array: a text.
    Variable textRow(VT_ARRAY, 2);
    vrt::MakeArray(textRow[0], {1, 2});
    textRow[1] = "ab";
    Variable number(3.0);
    for (Variable* v : {&empty, &emptyFirst, &ragged, &textRow, &number}) {
        vrt::ClearErrors();
        Matrix m(*v);
        ExpectOneByOneZero(m);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
    }
}

TEST_F(MatrixTest, ShapeChangesAndMove) {
    Matrix m = FromRows({{1, 2}, {3, 4}});
    m.SetSize(2, 2);
    EXPECT_EQ(m(1, 1), 4.0);
    m.SetSize(3, 2);
    EXPECT_EQ(m.Y(), 3);
    EXPECT_EQ(m.Max(), 0.0);
    EXPECT_EQ(m.Min(), 0.0);

    Matrix a = FromRows({{1, 2}, {3, 4}});
    Matrix b = FromRows({{5}, {6}, {7}});
    a.Move(b);
    EXPECT_TRUE(SameBits(a, FromRows({{5}, {6}, {7}})));
    EXPECT_TRUE(SameBits(b, FromRows({{1, 2}, {3, 4}})));

    Matrix c(1, 1);
    c = a;  // another shape: rebuilt
    EXPECT_TRUE(SameBits(c, a));
    Matrix t(2, 3, nullptr);
    EXPECT_EQ(t.Max(), 0.0);
}

TEST_F(MatrixTest, DiagonalTransposeAndSwaps) {
    Matrix m(2, 3);
    m.SetDiagonal(5.0);
    EXPECT_TRUE(SameBits(m, FromRows({{5, 0, 0}, {0, 5, 0}})));
    MatVector shortDiag(1);
    shortDiag[0] = 9.0;
    m.SetDiagonal(shortDiag);  // too short for two diagonal places: unchanged
    EXPECT_EQ(m(0, 0), 5.0);
    MatVector d(2);
    d[0] = 7;
    d[1] = 8;
    m.SetDiagonal(d);
    EXPECT_TRUE(SameBits(m, FromRows({{7, 0, 0}, {0, 8, 0}})));

    Matrix a = FromRows({{1, 2, 3}, {4, 5, 6}});
    std::unique_ptr<Matrix> t(a.T());
    EXPECT_TRUE(SameBits(*t, FromRows({{1, 4}, {2, 5}, {3, 6}})));
    a.SwapColumns(0, 2);
    EXPECT_TRUE(SameBits(a, FromRows({{3, 2, 1}, {6, 5, 4}})));
}

TEST_F(MatrixTest, MinorDropsSortedRowsAndColumns) {
    Matrix m(4, 4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m(i, j) = 10 * i + j;
    IntArray rows(2);
    rows[0] = 2;
    rows[1] = 0;
    IntArray cols(1);
    cols[0] = 3;
    std::unique_ptr<Matrix> minor(m.GetMinor(rows, cols));
    ASSERT_TRUE(minor);
    EXPECT_TRUE(SameBits(*minor, FromRows({{10, 11, 12}, {30, 31, 32}})));
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(rows[1], 2);

    // Repeated or outside indices would make a wrong shape: refused.
    IntArray twice(2);
    twice[0] = 1;
    twice[1] = 1;
    IntArray outside(1);
    outside[0] = 4;
    IntArray none(0);
    EXPECT_EQ(m.GetMinor(twice, none), nullptr);
    EXPECT_EQ(m.GetMinor(none, outside), nullptr);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
}

TEST_F(MatrixTest, ShapeMismatchesAnswerNullOrChangeNothing) {
    Matrix a = FromRows({{1, 2, 3}, {4, 5, 6}});
    const Matrix before(a);
    Matrix b(3, 2);
    EXPECT_EQ(a + b, nullptr);
    EXPECT_EQ(a - b, nullptr);
    EXPECT_EQ(a * a, nullptr);
    a += b;
    a -= b;
    a *= b;  // 2x3 * 3x2 cannot be kept in a 2x3 matrix
    Matrix square3 = FromRows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    Matrix wide(3, 4);
    a *= wide;  // X rows but not X columns
    MatVector d2(2);
    a.MultByDiagonalMatrix(d2);
    EXPECT_TRUE(SameBits(a, before));
    EXPECT_EQ(a.Convolove(b), 0.0);
    MatVectorCol v2(2);
    EXPECT_EQ(a * v2, nullptr);
    MatVector out(5);
    out.Set(1.5);
    a.Mul(out, v2);
    MatVectorCol outCol(5);
    a.RightMultiply(outCol, v2);
    EXPECT_EQ(out.Len(), 5);
    EXPECT_EQ(out[4], 1.5);
    EXPECT_EQ(outCol.Len(), 5);
    a *= square3;
    EXPECT_TRUE(SameBits(a, before));
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(MatrixTest, ArithmeticValues) {
    Matrix a = FromRows({{1, 2, 3}, {4, 5, 6}});
    Matrix b = FromRows({{1, 0, 1, 0}, {0, 1, 0, 1}, {1, 1, 1, 1}});
    std::unique_ptr<Matrix> p(a * b);
    ASSERT_TRUE(p);
    EXPECT_TRUE(SameBits(*p, FromRows({{4, 5, 4, 5}, {10, 11, 10, 11}})));
    std::unique_ptr<Matrix> sum(a + a), diff(a - a), plus(a + 1.0), minus(a - 1.0), times(a * 2.0);
    EXPECT_TRUE(SameBits(*sum, *times));
    EXPECT_EQ(diff->Max(), 0.0);
    EXPECT_EQ((*plus)(1, 2), 7.0);
    EXPECT_EQ((*minus)(0, 0), 0.0);

    Matrix r = FromRows({{0, -1}, {1, 0}});
    Matrix q = FromRows({{1, 2}, {3, 4}});
    q *= r;
    EXPECT_TRUE(SameBits(q, FromRows({{2, -1}, {4, -3}})));

    MatVectorCol v(3);
    v[0] = 1;
    v[1] = -1;
    v[2] = 2;
    std::unique_ptr<MatVectorCol> av(a * v);
    ASSERT_TRUE(av);
    EXPECT_EQ((*av)[0], 5.0);
    EXPECT_EQ((*av)[1], 11.0);
    MatVectorCol out;
    a.RightMultiply(out, v);
    EXPECT_TRUE(out == *av);

    MatVector d(3);
    d[0] = 2;
    d[1] = 0;
    d[2] = -1;
    a.MultByDiagonalMatrix(d);
    EXPECT_TRUE(SameBits(a, FromRows({{2, 0, -3}, {8, 0, -6}})));
}

TEST_F(MatrixTest, ExtremesAndConvolution) {
    Matrix low = FromRows({{-1e301, -2e301}});
    EXPECT_EQ(low.Max(), -1e300);
    int x = 7, y = 7;
    low.MaxItemIndex(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);

    Matrix m = FromRows({{1, 9, 3}, {9, -4, -4}});
    m.MaxItemIndex(x, y);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 0);
    m.MinItemIndex(x, y);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(m.Min(), -4.0);

    // Summed from the last element down: 1e17 then -1e17 cancel before the
    // ones are added, which a forward sum would lose.
    Matrix a = FromRows({{1, 1, 1e17, -1e17}});
    Matrix ones = FromRows({{1, 1, 1, 1}});
    EXPECT_EQ(a.Convolove(ones), 2.0);
}

// The product must equal the plain i-j-k triple loop bit for bit, whatever
// traversal the implementation uses; shapes cover the blocked and the
// remainder paths.
TEST_F(MatrixTest, ProductMatchesPlainSumsBitForBit) {
    Generator g(11);
    const int shapes[][3] = {{1, 1, 1}, {3, 5, 2}, {7, 3, 9}, {9, 300, 5}, {13, 17, 270}};
    for (const auto& s : shapes) {
        Matrix a = g.Random(s[0], s[1]);
        Matrix b = g.Random(s[1], s[2]);
        b(0, 0) = -0.0;
        Matrix expected(s[0], s[2]);
        for (int i = 0; i < s[0]; ++i)
            for (int j = 0; j < s[2]; ++j) {
                double sum = 0.0;
                for (int k = 0; k < s[1]; ++k) sum += a(i, k) * b(k, j);
                expected(i, j) = sum;
            }
        std::unique_ptr<Matrix> c(a * b);
        ASSERT_TRUE(c);
        EXPECT_TRUE(SameBits(*c, expected)) << s[0] << "x" << s[1] << "x" << s[2];
    }
}

}  // namespace
