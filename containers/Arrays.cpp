// Host-heap arrays: DoubleArray, IntArray, DoubleArrayEx, DoubleArraySet.
#include "containers/Arrays.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Bytes of n elements of T (n >= 0; an int count cannot overflow size_t).
template <class T>
size_t Bytes(int n) {
    return static_cast<size_t>(n) * sizeof(T);
}

// Bytes of count records of width doubles; false when that exceeds size_t.
bool RecordBytes(int count, int width, size_t& bytes) {
    const size_t values = static_cast<size_t>(count) * static_cast<size_t>(width);
    if (width != 0 && values / static_cast<size_t>(width) != static_cast<size_t>(count)) return false;
    if (values > SIZE_MAX / sizeof(double)) return false;
    bytes = values * sizeof(double);
    return true;
}

// Little-endian fields of the serialised form.
void PutInt32(char* p, int v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int k = 0; k < 4; ++k) p[k] = static_cast<char>((u >> (8 * k)) & 0xFFu);
}

int GetInt32(const char* p) {
    std::uint32_t u = 0;
    for (int k = 0; k < 4; ++k) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[k])) << (8 * k);
    return static_cast<int>(u);
}

// Unsigned integer of the same width as T, used to write T's bytes in order.
template <class T>
using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;

template <class T>
void PutValues(char* dst, const T* src, size_t n) {
    if (n == 0) return;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(dst, src, n * sizeof(T));
    } else {
        for (size_t i = 0; i < n; ++i) {
            const auto u = std::bit_cast<Bits<T>>(src[i]);
            for (size_t k = 0; k < sizeof(T); ++k)
                dst[i * sizeof(T) + k] = static_cast<char>((u >> (8 * k)) & 0xFFu);
        }
    }
}

template <class T>
void GetValues(T* dst, const char* src, size_t n) {
    if (n == 0) return;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(dst, src, n * sizeof(T));
    } else {
        for (size_t i = 0; i < n; ++i) {
            Bits<T> u = 0;
            for (size_t k = 0; k < sizeof(T); ++k)
                u |= static_cast<Bits<T>>(static_cast<unsigned char>(src[i * sizeof(T) + k])) << (8 * k);
            dst[i] = std::bit_cast<T>(u);
        }
    }
}

// Makes `out` a byte buffer of `size` bytes and answers its bytes, or null.
// A size beyond the host buffer's int range raises error 3 and leaves an
// empty buffer.
char* MakeBuffer(Variable& out, long long size) {
    if (size > INT_MAX) {
        out.Init(VT_BUFFER, 0);
        VeskError(3);
        return nullptr;
    }
    out.Init(VT_BUFFER, static_cast<int>(size));
    return static_cast<char*>(out);
}

int ClampSize(long long size) { return size > INT_MAX ? -1 : static_cast<int>(size); }

// Operations shared by DoubleArray and IntArray on their (data, length) pair.
template <class T>
struct Vec {
    static void Zeros(T*& data, int& len, int n) {
        data = nullptr;
        len = 0;
        if (n < 0) {
            VeskError(3);
            return;
        }
        data = static_cast<T*>(HMALLOCZ(Bytes<T>(n)));
        if (data) len = n;
    }

    // A valid buffer holds a count n >= 0 and at least n elements after the
    // header; anything else gives one 0 element and error 3.
    static void FromBuffer(T*& data, int& len, const char* buf, int size) {
        data = nullptr;
        len = 0;
        const int n = (buf != nullptr && size >= 4) ? GetInt32(buf) : -1;
        if (n >= 0 && static_cast<long long>(n) * static_cast<long long>(sizeof(T)) <=
                          static_cast<long long>(size) - 4) {
            data = static_cast<T*>(HMALLOC(Bytes<T>(n)));
            if (data) {
                GetValues(data, buf + 4, static_cast<size_t>(n));
                len = n;
            }
            return;
        }
        data = static_cast<T*>(HMALLOCZ(sizeof(T)));
        if (data) len = 1;
        VeskError(3);
    }

    static void Copy(T*& data, int& len, const T* src, int srcLen) {
        data = nullptr;
        len = 0;
        if (src == nullptr) return;
        data = static_cast<T*>(HMALLOC(Bytes<T>(srcLen)));
        if (data == nullptr) return;
        if (srcLen > 0) std::memcpy(data, src, Bytes<T>(srcLen));
        len = srcLen;
    }

    static void Assign(T*& data, int& len, const T* src, int srcLen) {
        if (data == src) return;
        if (len != srcLen) {
            HFREE(data);
            len = 0;
            data = static_cast<T*>(HMALLOC(Bytes<T>(srcLen)));
            if (data == nullptr) return;
            len = srcLen;
        }
        if (len > 0) std::memcpy(data, src, Bytes<T>(len));
    }

    static int SetLen(T*& data, int& len, int n) {
        if (n < 0) {
            VeskError(3);
            return len;
        }
        T* p = static_cast<T*>(HREALLOC(data, Bytes<T>(n)));
        if (p == nullptr) return len;
        data = p;
        len = n;
        return n;
    }

    static void Clear(T*& data, int& len) {
        HFREE(data);
        data = nullptr;
        len = 0;
    }

    static void Insert(T*& data, int& len, int i, T v) {
        if (data == nullptr || len == INT_MAX) return;
        T* p = static_cast<T*>(HREALLOC(data, Bytes<T>(len + 1)));
        if (p == nullptr) return;
        data = p;
        if (i < len) std::memmove(data + i + 1, data + i, Bytes<T>(len - i));
        data[i] = v;
        ++len;
    }

    static void Remove(T*& data, int& len, int i) {
        if (data == nullptr || len < 1) return;
        if (i < len - 1) std::memmove(data + i, data + i + 1, Bytes<T>(len - i - 1));
        --len;
        if (len > 0) {
            T* p = static_cast<T*>(HREALLOC(data, Bytes<T>(len)));
            if (p) data = p;
        }
    }

    static long long SerializeSize(int len) { return 4 + static_cast<long long>(len) * sizeof(T); }

    static void Serialize(const T* data, int len, Variable& out) {
        char* p = MakeBuffer(out, SerializeSize(len));
        if (p == nullptr) return;
        PutInt32(p, len);
        PutValues(p + 4, data, static_cast<size_t>(len));
    }
};

// qsort comparisons: 1 when the first value is greater, -1 when they differ
// otherwise, 0 when equal. NaNs order above every number (and equal to each
// other) so that the comparison stays a total order.
int CompareDoubles(const void* pa, const void* pb) {
    const double a = *static_cast<const double*>(pa);
    const double b = *static_cast<const double*>(pb);
    if (a > b) return 1;
    if (a == b) return 0;
    const bool nanA = std::isnan(a);
    const bool nanB = std::isnan(b);
    if (nanA && nanB) return 0;
    return nanA ? 1 : -1;
}

int CompareInts(const void* pa, const void* pb) {
    const int a = *static_cast<const int*>(pa);
    const int b = *static_cast<const int*>(pb);
    if (a > b) return 1;
    return a != b ? -1 : 0;
}

}  // namespace

void* HMALLOCZ(size_t size) {
    void* p = HMALLOC(size);
    if (p) std::memset(p, 0, size);
    return p;
}

// ---------------------------------------------------------------- DoubleArray

DoubleArray::DoubleArray(int n) { Vec<double>::Zeros(data_, len_, n); }
DoubleArray::DoubleArray(const char* buf, int size) { Vec<double>::FromBuffer(data_, len_, buf, size); }
DoubleArray::DoubleArray(const DoubleArray& a) : VeskAss() { Vec<double>::Copy(data_, len_, a.data_, a.len_); }
DoubleArray::~DoubleArray() { HFREE(data_); }

DoubleArray& DoubleArray::operator=(const DoubleArray& a) {
    Vec<double>::Assign(data_, len_, a.data_, a.len_);
    return *this;
}

int DoubleArray::SetLen(int n) { return Vec<double>::SetLen(data_, len_, n); }
void DoubleArray::Clear() { Vec<double>::Clear(data_, len_); }
void DoubleArray::InsertItem(int i, double v) { Vec<double>::Insert(data_, len_, i, v); }
void DoubleArray::RemoveItem(int i) { Vec<double>::Remove(data_, len_, i); }

void DoubleArray::QSort() {
    if (data_ != nullptr && len_ >= 1) std::qsort(data_, static_cast<size_t>(len_), sizeof(double), CompareDoubles);
}

int DoubleArray::GetSerializeSize() const { return ClampSize(Vec<double>::SerializeSize(len_)); }
void DoubleArray::Serialize(Variable& out) const { Vec<double>::Serialize(data_, len_, out); }

// ------------------------------------------------------------------- IntArray

IntArray::IntArray(int n) { Vec<int>::Zeros(data_, len_, n); }
IntArray::IntArray(const char* buf, int size) { Vec<int>::FromBuffer(data_, len_, buf, size); }
IntArray::IntArray(const IntArray& a) : VeskAss() { Vec<int>::Copy(data_, len_, a.data_, a.len_); }
IntArray::~IntArray() { HFREE(data_); }

IntArray& IntArray::operator=(const IntArray& a) {
    Vec<int>::Assign(data_, len_, a.data_, a.len_);
    return *this;
}

int IntArray::SetLen(int n) { return Vec<int>::SetLen(data_, len_, n); }
void IntArray::Clear() { Vec<int>::Clear(data_, len_); }
void IntArray::InsertItem(int i, int v) { Vec<int>::Insert(data_, len_, i, v); }
void IntArray::RemoveItem(int i) { Vec<int>::Remove(data_, len_, i); }

void IntArray::QSort() {
    if (data_ != nullptr && len_ >= 1) std::qsort(data_, static_cast<size_t>(len_), sizeof(int), CompareInts);
}

int IntArray::GetSerializeSize() const { return ClampSize(Vec<int>::SerializeSize(len_)); }
void IntArray::Serialize(Variable& out) const { Vec<int>::Serialize(data_, len_, out); }

// -------------------------------------------------------------- DoubleArrayEx

DoubleArrayEx::DoubleArrayEx(int count, int width) : data_(nullptr), width_(width), count_(0) {
    if (count < 0 || width < 0) {
        VeskError(3);
        return;
    }
    size_t bytes = 0;
    if (!RecordBytes(count, width, bytes)) return;
    data_ = static_cast<double*>(HMALLOCZ(bytes));
    if (data_) count_ = count;
}

DoubleArrayEx::DoubleArrayEx(const DoubleArrayEx& a) : VeskAss(), data_(nullptr), width_(a.width_), count_(0) {
    if (a.data_ == nullptr) return;
    size_t bytes = 0;
    RecordBytes(a.count_, a.width_, bytes);
    data_ = static_cast<double*>(HMALLOC(bytes));
    if (data_ == nullptr) return;
    if (bytes > 0) std::memcpy(data_, a.data_, bytes);
    count_ = a.count_;
}

DoubleArrayEx::~DoubleArrayEx() { HFREE(data_); }

DoubleArrayEx& DoubleArrayEx::operator=(const DoubleArrayEx& a) {
    if (this == &a) return *this;
    size_t bytes = 0;
    RecordBytes(a.count_, a.width_, bytes);
    if (count_ != a.count_ || width_ != a.width_) {
        HFREE(data_);
        count_ = 0;
        width_ = a.width_;
        data_ = static_cast<double*>(HMALLOC(bytes));
        if (data_ == nullptr) return *this;
        count_ = a.count_;
    }
    if (bytes > 0) std::memcpy(data_, a.data_, bytes);
    return *this;
}

int DoubleArrayEx::SetLen(int n) {
    size_t bytes = 0;
    if (n < 0 || width_ < 0) {
        VeskError(3);
        return count_;
    }
    if (!RecordBytes(n, width_, bytes)) return count_;
    double* p = static_cast<double*>(data_ == nullptr ? HMALLOCZ(bytes) : HREALLOC(data_, bytes));
    if (p == nullptr) return count_;
    data_ = p;
    count_ = n;
    return n;
}

void DoubleArrayEx::Clear() {
    HFREE(data_);
    data_ = nullptr;
    count_ = 0;
}

void DoubleArrayEx::InsertItem(int i, const double* rec) {
    if (data_ == nullptr || count_ == INT_MAX) return;
    size_t bytes = 0;
    if (!RecordBytes(count_ + 1, width_, bytes)) return;
    const size_t w = static_cast<size_t>(width_);
    const size_t total = static_cast<size_t>(count_) * w;
    // rec may point into this array, whose block moves on reallocation:
    // remember its offset instead of the pointer.
    const auto recAddr = reinterpret_cast<std::uintptr_t>(rec);
    const auto base = reinterpret_cast<std::uintptr_t>(data_);
    const bool inside = recAddr >= base && recAddr < base + total * sizeof(double);
    const size_t offset = inside ? (recAddr - base) / sizeof(double) : 0;

    double* p = static_cast<double*>(HREALLOC(data_, bytes));
    if (p == nullptr) return;
    data_ = p;
    const size_t at = static_cast<size_t>(i) * w;
    if (at < total) std::memmove(data_ + at + w, data_ + at, (total - at) * sizeof(double));
    if (inside) {
        // Values that stood at or after record i have moved up by one record.
        for (size_t k = 0; k < w; ++k) {
            size_t src = offset + k;
            if (src >= at) src += w;
            data_[at + k] = data_[src];
        }
    } else if (w > 0) {
        std::memcpy(data_ + at, rec, w * sizeof(double));
    }
    ++count_;
}

void DoubleArrayEx::RemoveItem(int i) {
    if (data_ == nullptr || count_ < 1) return;
    const size_t w = static_cast<size_t>(width_);
    const size_t at = static_cast<size_t>(i) * w;
    const size_t total = static_cast<size_t>(count_) * w;
    if (at + w < total) std::memmove(data_ + at, data_ + at + w, (total - at - w) * sizeof(double));
    --count_;
    if (count_ > 0) {
        double* p = static_cast<double*>(HREALLOC(data_, (total - w) * sizeof(double)));
        if (p) data_ = p;
    }
}

int DoubleArrayEx::FindMaxIndex(int col) const {
    if (data_ == nullptr || count_ < 1) return -1;
    int best = 0;
    for (int k = 1; k < count_; ++k)
        if ((*this)(k, col) > (*this)(best, col)) best = k;
    return best;
}

int DoubleArrayEx::FindMinIndex(int col) const {
    if (data_ == nullptr || count_ < 1) return -1;
    int best = 0;
    for (int k = 1; k < count_; ++k)
        if ((*this)(k, col) < (*this)(best, col)) best = k;
    return best;
}

int DoubleArrayEx::GetSerializeSize() const {
    return ClampSize(8 + static_cast<long long>(count_) * width_ * static_cast<long long>(sizeof(double)));
}

void DoubleArrayEx::Serialize(Variable& out) const {
    const long long values = static_cast<long long>(count_) * width_;
    char* p = MakeBuffer(out, 8 + values * static_cast<long long>(sizeof(double)));
    if (p == nullptr) return;
    PutInt32(p, count_);
    PutInt32(p + 4, width_);
    PutValues(p + 8, data_, static_cast<size_t>(values));
}

// ------------------------------------------------------------- DoubleArraySet

namespace {
constexpr int kParamLen = 10;  // doubles in a parameter block
}  // namespace

DoubleArraySet::DoubleArraySet(int n, int itemLen)
    : params_(nullptr), items_(nullptr), n_(n), itemLen_(itemLen), valid_(1) {
    if (n < 0 || itemLen < 0) {
        VeskError(3);
        n_ = 0;
        itemLen_ = 0;
        valid_ = 0;
        return;
    }
    params_ = new (std::nothrow) double*[static_cast<size_t>(n)];
    items_ = new (std::nothrow) double*[static_cast<size_t>(n)];
    if (params_ == nullptr || items_ == nullptr) {
        delete[] params_;
        delete[] items_;
        params_ = nullptr;
        items_ = nullptr;
        n_ = 0;
        valid_ = 0;
        return;
    }
    for (int i = 0; i < n; ++i) {
        items_[i] = static_cast<double*>(HMALLOCZ(Bytes<double>(itemLen)));
        params_[i] = static_cast<double*>(HMALLOCZ(Bytes<double>(kParamLen)));
        if (items_[i] == nullptr || params_[i] == nullptr) valid_ = 0;
    }
}

DoubleArraySet::~DoubleArraySet() {
    for (int i = 0; i < n_; ++i) {
        HFREE(items_[i]);
        HFREE(params_[i]);
    }
    delete[] params_;
    delete[] items_;
}

double* DoubleArraySet::Param(int i) const {
    if (params_ == nullptr || n_ <= 0) return nullptr;
    if (i < 0 || i >= n_) i = 0;
    return params_[i];
}
