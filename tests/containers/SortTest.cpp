// Quicksort and index sort against std::sort; binary searches against a
// linear reference.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "containers/Sort.h"

namespace {

template <class T>
bool IsNan(T x) {
    return x != x;
}

// The expected result of sorting: the numbers ascending, then the NaNs.
template <class T>
void ExpectSortedLike(const std::vector<T>& got, std::vector<T> input, const std::string& what) {
    std::vector<T> numbers;
    for (T x : input)
        if (!IsNan(x)) numbers.push_back(x);
    std::sort(numbers.begin(), numbers.end());
    ASSERT_EQ(got.size(), input.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        if (i < numbers.size()) {
            ASSERT_EQ(got[i], numbers[i]) << what << " at " << i;
        } else {
            ASSERT_TRUE(IsNan(got[i])) << what << " at " << i;
        }
    }
}

// Inputs of n values of T in the shapes that stress a quicksort.
template <class T>
std::vector<std::pair<std::string, std::vector<T>>> Shapes(int n, std::mt19937_64& rng) {
    std::uniform_int_distribution<int> wide(-1000000, 1000000);
    std::uniform_int_distribution<int> few(0, 9);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<std::pair<std::string, std::vector<T>>> out;
    auto make = [&](const std::string& name, auto gen) {
        std::vector<T> v(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<T>(gen(i));
        out.emplace_back(name, std::move(v));
    };
    make("random", [&](int) { return wide(rng); });
    make("sorted", [&](int i) { return i; });
    make("reversed", [&](int i) { return n - i; });
    make("all equal", [&](int) { return 7; });
    make("few distinct", [&](int) { return few(rng); });
    make("sawtooth", [&](int i) { return i % 97; });
    make("90% at the maximum", [&](int) { return percent(rng) < 90 ? 1000000 : wide(rng); });
    make("one smaller among equal", [&](int i) { return i == n / 3 ? 1 : 5; });
    make("clipped above and below", [&](int) { return std::clamp(wide(rng), -200000, 200000); });
    if constexpr (std::is_floating_point_v<T>) {
        const T nan = std::numeric_limits<T>::quiet_NaN();
        make("random with NaNs", [&](int) { return percent(rng) < 20 ? nan : static_cast<T>(wide(rng)) / 8; });
        make("all NaN", [&](int) { return nan; });
        make("NaN in the middle", [&](int i) { return i == n / 2 ? nan : static_cast<T>(i % 3); });
    }
    return out;
}

template <class T>
class QSortTyped : public ::testing::Test {};
using SortTypes = ::testing::Types<int, float, double>;
TYPED_TEST_SUITE(QSortTyped, SortTypes);

TYPED_TEST(QSortTyped, MatchesStdSortOnEveryShapeAndLeavesTheRestAlone) {
    using T = TypeParam;
    std::mt19937_64 rng(20261206);
    for (int n : {0, 1, 2, 3, 5, 8, 17, 100, 1001, 65536}) {
        for (auto& [name, input] : Shapes<T>(n, rng)) {
            const std::string what = name + ", n = " + std::to_string(n);
            std::vector<T> a = input;
            QSort(a.data(), 0, n - 1);
            ExpectSortedLike(a, input, what);

            // Only [l, r] changes.
            if (n < 4) continue;
            const int l = n / 4;
            const int r = n - 2;
            std::vector<T> part = input;
            QSort(part.data(), l, r);
            ExpectSortedLike(std::vector<T>(part.begin() + l, part.begin() + r + 1),
                             std::vector<T>(input.begin() + l, input.begin() + r + 1), what + " [l, r]");
            for (int i = 0; i < n; ++i) {
                if (i >= l && i <= r) continue;
                const T x = part[static_cast<size_t>(i)];
                const T y = input[static_cast<size_t>(i)];
                ASSERT_TRUE(x == y || (IsNan(x) && IsNan(y))) << what << " outside at " << i;
            }
        }
    }
}

TEST(QSort, SmallCasesAndNaNPivots) {
    int a[] = {3, 1, 2};
    QSort(a, 1, 2);
    EXPECT_EQ(std::vector<int>(a, a + 3), (std::vector<int>{3, 1, 2}));
    QSort(a, 0, 2);
    EXPECT_EQ(std::vector<int>(a, a + 3), (std::vector<int>{1, 2, 3}));
    QSort(a, 2, 0);  // reversed range: nothing
    EXPECT_EQ(a[0], 1);

    // The middle element is the pivot: a NaN there must not stall the sort or
    // read outside the range.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> d = {1, nan, 2};
    QSort(d.data(), 0, 2);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], 2);
    EXPECT_TRUE(std::isnan(d[2]));
    std::vector<float> f = {2.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f};
    QSort(f.data(), 0, 2);
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[1], 2.0f);
    EXPECT_TRUE(std::isnan(f[2]));
}

TEST(QSortIndex, OrdersIndicesByTheirValuesWithoutTouchingThem) {
    std::vector<double> v = {30, 10, 20};
    std::vector<int> idx = {0, 1, 2};
    QSortIndex(idx.data(), v.data(), 0, 2);
    EXPECT_EQ(idx, (std::vector<int>{1, 2, 0}));

    // An all-equal range exchanges nothing.
    std::vector<double> same(50, 4.0);
    std::vector<int> order(50);
    std::iota(order.begin(), order.end(), 0);
    const std::vector<int> keep = order;
    QSortIndex(order.data(), same.data(), 0, 49);
    EXPECT_EQ(order, keep);

    std::mt19937_64 rng(7);
    for (int n : {2, 3, 10, 257, 20000}) {
        for (auto& [name, values] : Shapes<double>(n, rng)) {
            SCOPED_TRACE(name + ", n = " + std::to_string(n));
            // A scattered index into twice the values.
            std::vector<double> pool = values;
            pool.insert(pool.end(), values.begin(), values.end());
            const std::vector<double> poolBefore = pool;
            std::vector<int> ix(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) ix[size_t(i)] = (i * 7 + 3) % (2 * n);
            std::vector<int> before = ix;
            QSortIndex(ix.data(), pool.data(), 0, n - 1);

            std::vector<double> got;
            std::vector<double> want;
            for (int i = 0; i < n; ++i) {
                got.push_back(pool[size_t(ix[size_t(i)])]);
                want.push_back(pool[size_t(before[size_t(i)])]);
            }
            ExpectSortedLike(got, want, name);
            std::sort(ix.begin(), ix.end());
            std::sort(before.begin(), before.end());
            ASSERT_EQ(ix, before);
            ASSERT_EQ(std::memcmp(pool.data(), poolBefore.data(), pool.size() * sizeof(double)), 0);
        }
    }
}

// Ten million doubles sorted on a thread with an 8 MiB stack, as a host
// thread would have: the pending segments must not grow with the range.
void* SortAll(void* values) {
    auto* v = static_cast<std::vector<double>*>(values);
    QSort(v->data(), 0, static_cast<int>(v->size()) - 1);
    return nullptr;
}

TEST(QSort, TenMillionValuesOnAnEightMebibyteStack) {
    const int n = 10000000;
    std::vector<double> values(static_cast<size_t>(n));
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double& x : values) x = u(rng);
    // A tenth of the values equal the maximum: removed one copy per pass, as
    // before repeated maxima were gathered, they would take hours.
    for (int i = 0; i < n; i += 10) values[static_cast<size_t>(i)] = 2.0;
    std::vector<double> expected = values;
    std::sort(expected.begin(), expected.end());

    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 8u << 20), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, SortAll, &values), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(values == expected);
}

// A linear reference for the searches over a strided array.
template <class T>
struct Linear {
    std::vector<double> e;  // element k as double
    bool descending;

    Linear(const std::vector<T>& a, int n, int stride) {
        for (int k = 0; k < n; ++k) e.push_back(static_cast<double>(a[static_cast<size_t>(k * stride)]));
        descending = n > 0 && a[static_cast<size_t>((n - 1) * stride)] < a[0];
    }
    int Count(auto pred) const { return static_cast<int>(std::count_if(e.begin(), e.end(), pred)); }

    void CheckFind(int got, double x) const {
        const int n = static_cast<int>(e.size());
        const bool any = Count([&](double y) { return y == x; }) > 0;
        if (!any) {
            EXPECT_EQ(got, -1);
        } else if (e[static_cast<size_t>(n - 1)] == x) {
            EXPECT_EQ(got, n - 1);
        } else if (e[0] == x) {
            EXPECT_EQ(got, 0);
        } else {
            ASSERT_GE(got, 0);
            ASSERT_LT(got, n);
            EXPECT_EQ(e[static_cast<size_t>(got)], x);
        }
    }

    // Insertion positions that keep the order: beside an equal element, x
    // goes on the side of the larger values.
    void CheckInsert(int got, double x) const {
        const int n = static_cast<int>(e.size());
        if (n <= 1) {
            EXPECT_EQ(got, n - 1);
            return;
        }
        const int less = Count([&](double y) { return y < x; });
        const int equal = Count([&](double y) { return y == x; });
        const int greater = n - less - equal;
        int lo = descending ? greater : less;
        int hi = lo;
        if (equal > 0) {
            lo = descending ? greater : less + 1;
            hi = descending ? greater + equal - 1 : less + equal;
        }
        EXPECT_GE(got, lo);
        EXPECT_LE(got, hi);
    }
};

template <class T>
class SearchTyped : public ::testing::Test {};
TYPED_TEST_SUITE(SearchTyped, SortTypes);

TYPED_TEST(SearchTyped, AgreeWithLinearReference) {
    using T = TypeParam;
    std::mt19937_64 rng(4242);
    for (int trial = 0; trial < 600; ++trial) {
        const int n = static_cast<int>(rng() % 40);
        const int stride = (trial % 3 == 0) ? 1 : 1 + static_cast<int>(rng() % 3);
        const bool descending = (trial & 1) != 0;
        const int spread = 1 + static_cast<int>(rng() % 30);  // small spreads give duplicates
        std::vector<T> values(static_cast<size_t>(n));
        for (T& v : values) v = static_cast<T>(static_cast<int>(rng() % static_cast<unsigned>(spread)) * 2 - spread);
        std::sort(values.begin(), values.end());
        if (descending) std::reverse(values.begin(), values.end());
        std::vector<T> a(static_cast<size_t>(std::max(1, n * stride)), static_cast<T>(-9999));
        for (int k = 0; k < n; ++k) a[static_cast<size_t>(k * stride)] = values[static_cast<size_t>(k)];
        const Linear<T> ref(a, n, stride);

        std::vector<double> probes = {-1e9, 1e9, 0.5, -0.5};
        for (int x = -spread - 2; x <= spread + 2; ++x) probes.push_back(x);
        for (double x : probes) {
            SCOPED_TRACE("n " + std::to_string(n) + " stride " + std::to_string(stride) + " x " +
                         std::to_string(x) + (descending ? " descending" : " ascending"));
            ref.CheckFind(BFind(a.data(), x, n, stride), x);
            ref.CheckInsert(BFindInsertIndex(a.data(), x, n, stride), x);
            if (stride == 1) {
                EXPECT_EQ(BFind(a.data(), x, n), BFind(a.data(), x, n, 1));
                EXPECT_EQ(BFindInsertIndex(a.data(), x, n), BFindInsertIndex(a.data(), x, n, 1));
            }
        }
    }
}

// Answers the generated arrays above do not pin down.
TEST(Search, ExactAnswers) {
    // Among duplicates the bisection's midpoint (lo + hi) / 2 decides which
    // match is met.
    const double desc[] = {9, 5, 5, 5, 5, 1};
    EXPECT_EQ(BFind(desc, 5, 6), 2);
    EXPECT_EQ(BFindInsertIndex(desc, 5, 6), 2);
    const int ints[] = {1, 2, 3, 4};
    EXPECT_EQ(BFind(ints, 1.0, -3), -1);
    EXPECT_EQ(BFindInsertIndex(ints, 1.0, -3), -1);
    // Float elements compare exactly after conversion to double.
    const float f[] = {0.1f, 0.2f, 0.3f};
    EXPECT_EQ(BFind(f, 0.2, 3), -1);
    EXPECT_EQ(BFind(f, static_cast<double>(0.2f), 3), 1);
    EXPECT_EQ(BFindInsertIndex(f, 0.2, 3), 1);  // 0.2f is above 0.2
}

}  // namespace
