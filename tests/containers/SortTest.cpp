// Quicksort and index sort against std::sort, binary searches against a
// linear scan, and the exported instances.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "containers/Sort.h"
#include "runtime/PluginLoader.h"

namespace {

// Checks that `got` is `in` with [l, r] sorted: the numbers ascending, then
// the NaNs.
template <class T>
void ExpectSorted(const std::vector<T>& got, std::vector<T> in, int l, int r, const std::string& what) {
    std::sort(in.begin() + l, std::stable_partition(in.begin() + l, in.begin() + (r + 1), [](T x) { return x == x; }));
    ASSERT_EQ(got.size(), in.size()) << what;
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i] == in[i] || (in[i] != in[i] && got[i] != got[i])) << what << " at " << i;
}

// n values in shapes that stress a quicksort; for floating types each shape
// comes again with NaNs, one of them in the middle (the first pivot).
template <class T>
std::vector<std::pair<std::string, std::vector<T>>> Shapes(int n, std::mt19937_64& rng) {
    const char* names[] = {"random", "sorted", "reversed", "all equal", "few distinct", "90% at the maximum",
                           "one smaller among equal"};
    std::vector<std::pair<std::string, std::vector<T>>> out;
    for (int s = 0; s < 7; ++s) {
        std::vector<T> v;
        for (int i = 0; i < n; ++i) {
            const int r = int(rng() % 2000001) - 1000000;
            const int shape[] = {r, i, n - i, 7, r % 10, r % 10 != 0 ? 1000000 : r, i == n / 3 ? 1 : 5};
            v.push_back(static_cast<T>(shape[s]));
        }
        out.emplace_back(names[s], v);
        if constexpr (std::is_floating_point_v<T>) {
            for (int i = 0; i < n; ++i)
                if (i == n / 2 || rng() % 8 == 0) v[size_t(i)] = static_cast<T>(NAN);
            out.emplace_back(std::string(names[s]) + " with NaNs", v);
        }
    }
    return out;
}

template <class T>
class Typed : public ::testing::Test {};
using Types = ::testing::Types<int, float, double>;
TYPED_TEST_SUITE(Typed, Types);

TYPED_TEST(Typed, SortsMatchStdSortAndTouchOnlyTheirRange) {
    std::mt19937_64 rng(20261206);
    for (int n : {0, 1, 2, 3, 5, 17, 1001, 65536}) {
        for (const auto& [name, in] : Shapes<TypeParam>(n, rng)) {
            const std::string what = name + ", n = " + std::to_string(n);
            for (const int l : {0, n / 4}) {
                const int r = l == 0 ? n - 1 : n - 2;
                auto a = in;
                QSort(a.data(), l, r);
                QSort(a.data(), std::max(l, r), std::min(l, r));  // reversed: nothing happens
                ExpectSorted(a, in, l, r, what + ", l = " + std::to_string(l));
            }
            if constexpr (std::is_same_v<TypeParam, double>) {
                // QSortIndex over the index n-1 .. 0: the values it points to
                // sort, the values themselves stay.
                std::vector<int> ix;
                for (int i = n - 1; i >= 0; --i) ix.push_back(i);
                auto v = in;
                QSortIndex(ix.data(), v.data(), 0, n - 1);
                std::vector<double> got;
                for (int k : ix) got.push_back(in[size_t(k)]);
                ExpectSorted(got, in, 0, n - 1, what + ", index");
                for (int i = 0; i < n; ++i) {
                    ASSERT_EQ(std::bit_cast<std::uint64_t>(v[size_t(i)]), std::bit_cast<std::uint64_t>(in[size_t(i)]));
                    ASSERT_TRUE(name != "all equal" || ix[size_t(i)] == n - 1 - i);  // nothing exchanged
                }
                std::sort(ix.begin(), ix.end());
                for (int i = 0; i < n; ++i) ASSERT_EQ(ix[size_t(i)], i);  // a permutation
            }
        }
    }
}

// The pivot is element (l + r) / 2, rounded toward zero also for negative
// bounds (a pointer into an array); it decides where -0.0 and 0.0 end.
TEST(QSort, PivotOfNegativeBounds) {
    double base[] = {0.0, -0.0, -1.0, 0.0};
    QSort(base + 3, -3, 0);
    EXPECT_EQ(std::vector<double>(base, base + 4), (std::vector<double>{-1, 0, 0, 0}));
    EXPECT_TRUE(std::signbit(base[1]) && !std::signbit(base[2]));
}

// Ten million doubles, a tenth of them at the maximum, sorted on a thread
// with an 8 MiB stack as a host thread has.
TEST(QSort, TenMillionValuesOnAnEightMebibyteStack) {
    std::vector<double> values(10000000);
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (size_t i = 0; i < values.size(); ++i) values[i] = i % 10 == 0 ? 2.0 : u(rng);
    const std::vector<double> in = values;
    auto sort = [](void* p) -> void* {
        auto* v = static_cast<std::vector<double>*>(p);
        QSort(v->data(), 0, int(v->size()) - 1);
        return nullptr;
    };
    pthread_attr_t attr;
    pthread_t thread;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 8u << 20), 0);
    ASSERT_EQ(pthread_create(&thread, &attr, sort, &values), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
    ExpectSorted(values, in, 0, int(in.size()) - 1, "ten million");
}

// Generated sorted arrays, ascending and descending, with and without a
// stride; each answer is checked against what a linear scan allows.
TYPED_TEST(Typed, SearchesAgreeWithLinearScan) {
    std::mt19937_64 rng(4242);
    for (int trial = 0; trial < 600; ++trial) {
        const int n = int(rng() % 40);
        const int stride = trial % 3 == 0 ? 1 : 1 + int(rng() % 3);
        const int spread = 1 + int(rng() % 30);  // small spreads give duplicates
        std::vector<double> e;
        for (int k = 0; k < n; ++k) e.push_back(int(rng() % unsigned(spread)) * 2 - spread);
        std::sort(e.begin(), e.end());
        if (trial & 1) std::reverse(e.begin(), e.end());
        std::vector<TypeParam> a(size_t(std::max(1, n * stride)), TypeParam(-9999));
        for (int k = 0; k < n; ++k) a[size_t(k * stride)] = static_cast<TypeParam>(e[size_t(k)]);
        const bool desc = n > 0 && e.back() < e.front();

        for (double x = -spread - 2.5; x <= spread + 2; x += 0.5) {
            SCOPED_TRACE("n " + std::to_string(n) + " stride " + std::to_string(stride) + " x " + std::to_string(x));
            const int less = int(std::count_if(e.begin(), e.end(), [&](double y) { return y < x; }));
            const int equal = int(std::count(e.begin(), e.end(), x));
            const int greater = n - less - equal;
            // The last element if it matches, else the first, else any match.
            const int f = BFind(a.data(), x, n, stride);
            if (equal == 0 || e.back() == x || e.front() == x) {
                EXPECT_EQ(f, equal == 0 ? -1 : e.back() == x ? n - 1 : 0);
            } else {
                ASSERT_TRUE(f >= 0 && f < n);
                EXPECT_EQ(e[size_t(f)], x);
            }
            // Beside equal elements x goes on the side of the larger values.
            const int g = BFindInsertIndex(a.data(), x, n, stride);
            const int lo = n <= 1 ? n - 1 : desc ? greater : less + (equal > 0);
            const int hi = n <= 1 ? n - 1 : desc ? greater + std::max(equal - 1, 0) : less + equal;
            EXPECT_TRUE(g >= lo && g <= hi) << g;
            EXPECT_TRUE(stride > 1 || (BFind(a.data(), x, n) == f && BFindInsertIndex(a.data(), x, n) == g));
        }
    }
}

// Answers the generated arrays do not pin down.
TEST(Search, ExactAnswers) {
    // Among duplicates the midpoint (lo + hi) / 2 decides which match is met.
    double desc[] = {9, 5, 5, 5, 5, 1};
    EXPECT_EQ(BFind(desc, 5, 6) * 10 + BFindInsertIndex(desc, 5, 6), 22);
    int ints[] = {1, 2, 3, 4};
    EXPECT_EQ(BFind(ints, 1.0, -3) + BFindInsertIndex(ints, 1.0, -3), -2);
    // Float elements compare exactly after conversion to double: 0.2f > 0.2.
    float f[] = {0.1f, 0.2f, 0.3f};
    EXPECT_EQ((std::vector<int>{BFind(f, 0.2, 3), BFind(f, double(0.2f), 3), BFindInsertIndex(f, 0.2, 3)}),
              (std::vector<int>{-1, 1, 1}));
}

// Client modules link against these sixteen instances by name.
TEST(Exports, InstancesAreInTheDynamicSymbolTable) {
    vrt::PluginModule module;
    std::string error;
    ASSERT_TRUE(module.Load(VESK_MODULE_FILE, error)) << error;
    EXPECT_NE(module.Symbol("_Z10QSortIndexIdEvPiPT_ii"), nullptr);
    for (const std::string t : {"i", "f", "d"}) {
        std::vector<std::string> names = {"_Z5QSortI" + t + "EvPT_ii"};
        for (const std::string args : {"dii", "di"}) {
            names.push_back("_Z5BFindI" + t + "EiPT_" + args);
            names.push_back("_Z16BFindInsertIndexI" + t + "EiPT_" + args);
        }
        for (const std::string& name : names) EXPECT_NE(module.Symbol(name.c_str()), nullptr) << name;
    }
}

}  // namespace
