// Growable numeric arrays on the host heap and their serialised form.
//
// Storage of DoubleArray, IntArray and DoubleArrayEx comes from the host heap
// (HMALLOC / HREALLOC / HFREE) and always has exactly the length of the array:
// every insertion and removal reallocates to the new size, so an array built
// element by element costs one reallocation per element; SetLen sizes an
// array in one step. Indices passed to element access, InsertItem and
// RemoveItem are not checked: callers pass existing indices (InsertItem also
// accepts the length, which appends).
//
// Serialised form, written into a host byte buffer (type 512), little-endian
// and without padding:
//   DoubleArray    int32 count n, then n IEEE-754 binary64 values
//   IntArray       int32 count n, then n int32 values
//   DoubleArrayEx  int32 record count c, int32 record width w, then c*w
//                  binary64 values record after record
//
// Errors: allocation failures raise nothing; constructors and assignment then
// leave length 0, SetLen and InsertItem leave the array unchanged. A malformed
// serialised buffer and negative sizes raise error 3 (see each operation).
// Arrays are not synchronised: one thread at a time.
//
// Client modules link against the members in their declared form (non-const
// members, plain pointers and references). Where a const-correct form helps
// callers it stands beside the declared one; the const form holds the
// implementation and the declared form forwards to it (containers/ArraysForms.cpp).
#pragma once

#include "host/Export.h"

#include <cstddef>

#include "host/VeskHost.h"

// HMALLOC(size) filled with zero bytes; answers the block (released with
// HFREE) or null when the host heap cannot supply it.
VESK_MATH_API void* HMALLOCZ(size_t size);

// DoubleArray: a growable array of doubles.
//
// DoubleArray(n)            n elements of 0.0 (length 0 when the storage
//                           cannot be obtained; n < 0 raises error 3 and
//                           gives length 0 without storage).
// DoubleArray(buf, size)    rebuilt from `size` bytes of serialised form. A
//                           buffer shorter than its 4-byte header, a negative
//                           count or a count whose elements do not fit in the
//                           bytes raises error 3 and gives a one-element array
//                           holding 0.0.
// SetLen(n)                 resizes to n elements (new elements are not
//                           initialised); answers n, or the old length when
//                           the storage cannot be obtained or n < 0.
// Clear()                   releases the storage; afterwards InsertItem does
//                           nothing until SetLen gives storage again.
// InsertItem / RemoveItem   insert before index i (i = length appends) /
//                           remove index i; only on an array with storage.
// QSort()                   ascending sort in place; NaNs go to the top.
// GetSerializeSize()        4 + 8*length bytes (-1 when that exceeds the
//                           int range); Serialize(out) makes `out` a byte
//                           buffer holding the serialised form.
class VESK_MATH_API DoubleArray : public VeskAss {
public:
    explicit DoubleArray(int n = 0);
    DoubleArray(const char* buf, int size);
    DoubleArray(char* buf, int size);
    DoubleArray(const DoubleArray& a);
    ~DoubleArray() override;
    DoubleArray& operator=(const DoubleArray& a);

    int SetLen(int n);
    void Clear();
    void InsertItem(int i, double v);
    void RemoveItem(int i);
    void QSort();

    int GetSerializeSize() const;
    void Serialize(Variable& out) const;
    int GetSerializeSize();
    void Serialize(Variable& out);

    double& operator[](int i) { return data_[i]; }
    double operator[](int i) const { return data_[i]; }
    int Len() const { return len_; }
    double* GetData() const { return data_; }

private:
    double* data_;
    int len_;
};

// IntArray: DoubleArray's operations over 32-bit signed ints; the serialised
// form holds 4 + 4*length bytes.
class VESK_MATH_API IntArray : public VeskAss {
public:
    explicit IntArray(int n = 0);
    IntArray(const char* buf, int size);
    IntArray(char* buf, int size);
    IntArray(const IntArray& a);
    ~IntArray() override;
    IntArray& operator=(const IntArray& a);

    int SetLen(int n);
    void Clear();
    void InsertItem(int i, int v);
    void RemoveItem(int i);
    void QSort();

    int GetSerializeSize() const;
    void Serialize(Variable& out) const;
    int GetSerializeSize();
    void Serialize(Variable& out);

    int& operator[](int i) { return data_[i]; }
    int operator[](int i) const { return data_[i]; }
    int Len() const { return len_; }
    int* GetData() const { return data_; }

private:
    int* data_;
    int len_;
};

// DoubleArrayEx: an array of records, each of `width` doubles, stored record
// after record.
//
// DoubleArrayEx(count, width)  count records of 0.0; the width is always set,
//                              the count becomes 0 when the storage cannot be
//                              obtained (negative sizes: error 3, count 0).
// SetLen(n)                    without storage: n records of 0.0; with
//                              storage: resized to n records (new records not
//                              initialised). Answers n, or the old count.
// InsertItem(i, rec)           inserts a copy of the width values at rec
//                              before record i (rec may point into this
//                              array); only on an array with storage.
// FindMaxIndex / FindMinIndex  record with the largest / smallest value in
//                              column col, the first one on ties; -1 when
//                              there is no record.
// GetSerializeSize()           8 + 8*count*width bytes (-1 beyond the int
//                              range).
class VESK_MATH_API DoubleArrayEx : public VeskAss {
public:
    DoubleArrayEx(int count, int width);
    DoubleArrayEx(const DoubleArrayEx& a);
    DoubleArrayEx(DoubleArrayEx& a);
    ~DoubleArrayEx() override;
    DoubleArrayEx& operator=(const DoubleArrayEx& a);

    int SetLen(int n);
    void Clear();
    void InsertItem(int i, const double* rec);
    void InsertItem(int i, double* rec);
    void RemoveItem(int i);
    int FindMaxIndex(int col) const;
    int FindMinIndex(int col) const;
    int FindMaxIndex(int col);
    int FindMinIndex(int col);

    int GetSerializeSize() const;
    void Serialize(Variable& out) const;
    int GetSerializeSize();
    void Serialize(Variable& out);

    double* operator[](int i) { return data_ + static_cast<size_t>(i) * static_cast<size_t>(width_); }
    const double* operator[](int i) const {
        return data_ + static_cast<size_t>(i) * static_cast<size_t>(width_);
    }
    double& operator()(int i, int j) { return (*this)[i][j]; }
    double operator()(int i, int j) const { return (*this)[i][j]; }
    int Len() const { return count_; }
    int Width() const { return width_; }
    double* GetData() const { return data_; }

private:
    double* data_;
    int width_;
    int count_;
};

// DoubleArraySet: a fixed set of n items of itemLen doubles, each with a
// parameter block of 10 doubles, all zero-filled on the host heap.
//
// When a pointer table cannot be obtained (or n or itemLen is negative, which
// also raises error 3) the set is empty and not valid; when an item or
// parameter block cannot be obtained its pointer is null and IsValid() answers
// 0. Param(i) answers parameter block 0 for i outside 0..n-1, and null for a
// set without blocks. The set owns its blocks, so it cannot be copied.
class VESK_MATH_API DoubleArraySet : public VeskAss {
public:
    DoubleArraySet(int n, int itemLen);
    ~DoubleArraySet() override;
    DoubleArraySet(const DoubleArraySet&) = delete;
    DoubleArraySet& operator=(const DoubleArraySet&) = delete;

    double* operator[](int i) const { return items_[i]; }
    double** GetSet() const { return items_; }
    double* Param(int i) const;
    double* Param(int i);
    int SetLen() const { return n_; }
    int ItemLen() const { return itemLen_; }
    int IsValid() const { return valid_; }

private:
    double** params_;
    double** items_;
    int n_;
    int itemLen_;
    int valid_;
};
