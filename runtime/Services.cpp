// Host services: heap with failure injection, uniform deviates, text buffer,
// and the polymorphic base class.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/VeskHost.h"
#include "runtime/VeskRuntime.h"

namespace {

int g_failNext = 0;
long g_liveBlocks = 0;

bool ShouldFail() {
    if (g_failNext > 0) {
        --g_failNext;
        return true;
    }
    return false;
}

// xoshiro256** seeded by splitmix64: fixed, documented sequence per seed.
struct Xoshiro {
    unsigned long long s[4];
    explicit Xoshiro(unsigned long long seed) { Seed(seed); }
    void Seed(unsigned long long seed) {
        for (auto& w : s) {
            seed += 0x9E3779B97F4A7C15ULL;
            unsigned long long z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            w = z ^ (z >> 31);
        }
    }
    static unsigned long long Rotl(unsigned long long x, int k) { return (x << k) | (x >> (64 - k)); }
    unsigned long long Next() {
        unsigned long long result = Rotl(s[1] * 5, 7) * 9;
        unsigned long long t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = Rotl(s[3], 45);
        return result;
    }
};

Xoshiro& Generator() {
    static Xoshiro g(1);
    return g;
}

}  // namespace

void* HMALLOC(size_t bytes) {
    if (ShouldFail()) return nullptr;
    void* p = std::malloc(bytes ? bytes : 1);
    if (p) ++g_liveBlocks;
    return p;
}

void* HREALLOC(void* p, size_t bytes) {
    if (p == nullptr) return HMALLOC(bytes);
    if (ShouldFail()) return nullptr;
    return std::realloc(p, bytes ? bytes : 1);
}

void HFREE(void* p) {
    if (p == nullptr) return;
    --g_liveBlocks;
    std::free(p);
}

double Rand(double x) {
    return static_cast<double>(Generator().Next() >> 11) * 0x1.0p-53 * x;
}

Buffer::Buffer(int capacity) : data_(nullptr), len_(0), cap_(capacity > 0 ? capacity : 1) {
    data_ = static_cast<char*>(std::malloc(static_cast<size_t>(cap_) + 1));
    data_[0] = 0;
}

Buffer::~Buffer() { std::free(data_); }

void Buffer::Printf(int max, const char* format, ...) {
    if (max <= 0) return;
    va_list ap;
    va_start(ap, format);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(ap2);
        return;
    }
    char* tmp = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
    std::vsnprintf(tmp, static_cast<size_t>(n) + 1, format, ap2);
    va_end(ap2);
    int add = n < max ? n : max;
    if (len_ + add > cap_) {
        cap_ = (len_ + add) * 2;
        data_ = static_cast<char*>(std::realloc(data_, static_cast<size_t>(cap_) + 1));
    }
    std::memcpy(data_ + len_, tmp, static_cast<size_t>(add));
    len_ += add;
    data_[len_] = 0;
    std::free(tmp);
}

void VeskAss::PlaceHolder() {}
VeskAss::~VeskAss() = default;

namespace vrt {
void SeedRand(std::uint64_t seed) { Generator().Seed(seed); }
void FailNextAllocations(int n) { g_failNext = n > 0 ? n : 0; }
long LiveHeapBlocks() { return g_liveBlocks; }
}  // namespace vrt
